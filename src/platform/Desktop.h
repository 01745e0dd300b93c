// What the viewer's commands ask of the running desktop: the background picture, a file shown in
// its folder, a page in the browser, the clipboard's picture and a file dragged out of the window.
// Separate from the window's own interface; src/qt implements it, tests use a fake.
#pragma once

#include "BitmapLayout.h"
#include "LargeBuffer.h"

#include <string>

namespace vistrel {

// A picture taken from the clipboard or put there: top row first, rows of width x 4 bytes, pixels
// blue, green, red, alpha (not premultiplied).
struct ClipboardBitmap {
    int width = 0;
    int height = 0;
    LargeBuffer bits;

    BitmapDescription description() const {
        BitmapDescription d;
        d.width = width;
        d.height = height;
        d.pitch = width * 4;
        d.bitsPerPixel = 32;
        d.bits = bits.data();
        return d;
    }
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // Makes the picture file the desktop background on the desktops that have a way for it
    // (GNOME family, KDE Plasma, XFCE); the desktop gets its own copy, so the file may be removed
    // afterwards. False where nothing could be set.
    virtual bool setWallpaper(const std::string& path) = 0;
    // Shows the file selected in a file manager's window of its folder, or at least opens the
    // folder. False when neither could be done.
    virtual bool showInFolder(const std::string& path) = 0;
    // Opens a web address ("https://...") or a local file (a path) in the desktop's browser.
    virtual bool openInBrowser(const std::string& addressOrPath) = 0;
    // The clipboard's picture; false when the clipboard holds none.
    virtual bool clipboardImage(ClipboardBitmap& out) = 0;
    // Offers the file to a drag that starts now, as a copy, move or link; returns when the drag
    // has ended. True when it was dropped somewhere.
    virtual bool dragFileOut(const std::string& path) = 0;
    // Puts the picture on the clipboard as an image and, with a `path`, as that file for file
    // managers to paste. False where nothing could be put there.
    virtual bool copyToClipboard(const ClipboardBitmap& picture, const std::string& path) {
        return false;
    }
    // Moves the file to the desktop's trash, from where the user can restore it; it is never
    // deleted here. False when it could not be moved (it then stays where it is).
    virtual bool moveToTrash(const std::string& path) { return false; }
    // Asks the desktop which program to open the file with, and opens it there; where the desktop
    // cannot ask, its default program for the file's type. False when neither could be done.
    virtual bool openWith(const std::string& path) { return false; }
};

} // namespace vistrel
