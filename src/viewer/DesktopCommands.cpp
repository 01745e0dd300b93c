#include "DesktopCommands.h"

#include "BmpFile.h"
#include "CachedPicture.h"
#include "ColorManagement.h"
#include "Desktop.h"
#include "Files.h"
#include "PngFile.h"
#include "TemporaryFiles.h"

#include <strings.h>

namespace vistrel {

namespace {

bool hasPixels(const CachedPicture* current) {
    return current && current->picture && !current->picture->empty();
}

bool hasExtension(const std::string& path, std::initializer_list<const char*> extensions) {
    const char* extension = extensionOf(path.c_str());
    if (!extension) return false;
    for (const char* wanted : extensions)
        if (strcasecmp(extension, wanted) == 0) return true;
    return false;
}

// What every desktop's background reader takes as it is. Of the rest the viewer reads, GNOME,
// KDE and XFCE show none: PSD, TGA, ICO, CUR, WMF.
bool desktopReads(const std::string& path) {
    return hasExtension(path, {"jpg", "jpe", "jpeg", "png", "bmp", "gif"});
}

// A new temporary file of the picture, written by `save`; empty when it cannot be written.
std::string writeTemporary(Picture& picture, const char* suffix,
                           bool (*save)(Picture&, const char*)) {
    std::string name = MakeTemporaryFile(suffix);
    if (name.empty()) return {};
    if (!save(picture, name.c_str())) {
        removeFile(name.c_str());
        return {};
    }
    return name;
}

// Hands a temporary copy to the desktop, which makes a copy of its own; then it goes.
bool setTemporaryWallpaper(Desktop& desktop, Picture& picture, const char* suffix,
                           bool (*save)(Picture&, const char*)) {
    const std::string temporary = writeTemporary(picture, suffix, save);
    if (temporary.empty()) return false;
    const bool set = desktop.setWallpaper(temporary);
    removeFile(temporary.c_str());
    return set;
}

} // namespace

namespace {

// A pasted picture has no file to hand over; it gets a temporary BMP on every desktop rather than
// an empty path, which would clear the background.
bool wallpaperNeedsBmp(const CachedPicture& current, bool wallpaperFromAnyFile) {
    return current.path.empty() || (!wallpaperFromAnyFile && !hasExtension(current.path, {"bmp"}));
}

} // namespace

bool WallpaperWritesPicture(const CachedPicture& current, bool wallpaperFromAnyFile) {
    return wallpaperNeedsBmp(current, wallpaperFromAnyFile) || !desktopReads(current.path);
}

bool SetAsWallpaper(Desktop& desktop, CachedPicture* current, bool wallpaperFromAnyFile) {
    if (!current || !current->showable()) return false;
    if (!WallpaperWritesPicture(*current, wallpaperFromAnyFile))
        return desktop.setWallpaper(current->path);
    if (!hasPixels(current)) return false;
    // The picture on show, as the desktops read it: in sRGB, not in the display's colours it was
    // converted to.
    Picture* saved = current->picture.get();
    Picture inSrgb;
    if (current->convertedTo && inSrgb.copyFrom(*saved) &&
        convertTargetToSrgb(inSrgb, *current->convertedTo))
        saved = &inSrgb;
    if (wallpaperNeedsBmp(*current, wallpaperFromAnyFile))
        return setTemporaryWallpaper(desktop, *saved, ".bmp", SaveAsBmp);
    return setTemporaryWallpaper(desktop, *saved, ".png", SaveAsPng);
}

bool ShowInFolder(Desktop& desktop, const CachedPicture* current, bool startPage) {
    if (startPage || !current || current->path.empty()) return false;
    if (fileKind(current->path.c_str()) == FileKind::Missing) return false;
    return desktop.showInFolder(current->path);
}

bool DragOutPicture(Desktop& desktop, CachedPicture* current) {
    if (!current) return false;
    if (!current->path.empty()) return desktop.dragFileOut(current->path);
    if (!hasPixels(current)) return false;
    // Kept until the program ends: a file manager may still be copying it after the drop.
    const std::string temporary = writeTemporary(*current->picture, ".bmp", SaveAsBmp);
    return !temporary.empty() && desktop.dragFileOut(temporary);
}

bool CopyPicture(Desktop& desktop, CachedPicture* current) {
    if (!hasPixels(current)) return false;
    Picture& picture = *current->picture;
    ClipboardBitmap bitmap;
    bitmap.width = picture.width();
    bitmap.height = picture.height();
    const std::size_t row = std::size_t(bitmap.width) * 4;
    bitmap.bits = LargeBuffer(row * std::size_t(bitmap.height));
    if (!bitmap.bits) return false;
    // A fourth byte that carries no transparency (0 everywhere, as many writers pad) is opaque.
    const bool alpha = picture.bitsPerPixel() == 32 && hasRealTransparency(picture);
    for (int y = 0; y < bitmap.height; ++y) {
        auto* pixels = reinterpret_cast<uint32_t*>(bitmap.bits.data() + row * std::size_t(y));
        expandBitmapRow(*picture.info(), picture.colorTable(), picture.pixels(), picture.rowSize(),
                        y, 0, bitmap.width, pixels);
        if (!alpha)
            for (int x = 0; x < bitmap.width; ++x)
                pixels[x] |= 0xFF000000u;
    }
    return desktop.copyToClipboard(bitmap, current->path);
}

bool OpenWith(Desktop& desktop, const CachedPicture* current) {
    if (!current || current->path.empty()) return false;
    return fileKind(current->path.c_str()) != FileKind::Missing && desktop.openWith(current->path);
}

bool MoveToTrash(Desktop& desktop, const CachedPicture* current) {
    return current && !current->path.empty() && desktop.moveToTrash(current->path);
}

std::string UserGuidePath(const std::string& programFolder) {
    if (programFolder.empty()) return {};
    for (const char* place : {"/vistrel-guide.html", "/../share/vistrel/vistrel-guide.html"}) {
        const std::string path = programFolder + place;
        // The address the browser shows: /usr/share/..., not /usr/bin/../share/...
        if (isRegularFile(path)) return canonicalPath(path);
    }
    return {};
}

std::string ProgramFolder() {
    const std::string path = executablePath();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool OpenUserGuide(Desktop& desktop) {
    const std::string guide = UserGuidePath(ProgramFolder());
    return !guide.empty() && desktop.openInBrowser(guide);
}

bool OpenHomePage(Desktop& desktop) {
    return desktop.openInBrowser(kHomePageUrl);
}

} // namespace vistrel
