// The menu commands and gestures that hand the picture on show to the desktop: background, show
// in folder, drag-out, and the start page's links. Each is a rule over the Desktop interface, so
// that it can be checked with a fake desktop.
#pragma once

#include <string>

namespace vistrel {

class CachedPicture;
class Desktop;

// The product's home page, which the start page's link button opens.
inline constexpr const char* kHomePageUrl = "https://vistrel.quorbane.com/";

// Makes the picture on show the desktop background. A JPEG, PNG, BMP or GIF file is handed over
// as it is; the picture of any other file (PSD, TGA, ICO, CUR, WMF, which the desktops cannot
// read) is first written to a temporary PNG. A pasted picture, and on a desktop that takes only
// BMP files (not `wallpaperFromAnyFile`) a file that is not a ".bmp", is written to a temporary
// BMP. A temporary file is removed again once the desktop has taken its copy. False when there is
// no picture, the file cannot be written (the background then stays as it was), or the desktop
// took nothing.
bool SetAsWallpaper(Desktop& desktop, CachedPicture* current, bool wallpaperFromAnyFile);
// Whether SetAsWallpaper writes the picture out rather than hand its file over: then it needs
// the picture at full resolution.
bool WallpaperWritesPicture(const CachedPicture& current, bool wallpaperFromAnyFile);

// Shows the picture's file selected in its folder; nothing on the start page, for a pasted picture
// or when the file no longer exists.
bool ShowInFolder(Desktop& desktop, const CachedPicture* current, bool startPage);

// Offers the picture on show to a drag that starts now: its file, or for a pasted picture a new
// temporary BMP. A receiving file manager may still be copying that BMP when the drag ends, so it
// stays until the program ends (RemoveTemporaryFiles). False when there is nothing to offer.
bool DragOutPicture(Desktop& desktop, CachedPicture* current);

// Puts the picture on show at full resolution on the clipboard, with its file when it has one.
bool CopyPicture(Desktop& desktop, CachedPicture* current);
// Asks the desktop which program to open the picture's file with; nothing for a pasted picture or
// a file no longer there.
bool OpenWith(Desktop& desktop, const CachedPicture* current);
// Moves the picture's file to the trash; false for a pasted picture or when it could not be moved.
bool MoveToTrash(Desktop& desktop, const CachedPicture* current);

// The user guide page (made from the README at build time): beside the program, else in the
// installed data folder ../share/vistrel/ next to the program's folder, as a path without "..".
// Empty when neither exists.
std::string UserGuidePath(const std::string& programFolder);
// The folder the running program lies in; empty when it cannot be told.
std::string ProgramFolder();
// The start page's help button and link button.
bool OpenUserGuide(Desktop& desktop);
bool OpenHomePage(Desktop& desktop);

} // namespace vistrel
