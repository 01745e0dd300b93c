// The desktop services on Win32: the background through SystemParametersInfo, show in folder
// through SHOpenFolderAndSelectItems, pages through ShellExecute, the clipboard's bitmap
// (CF_DIB, else CF_BITMAP; copied as CF_DIB with the file as CF_HDROP), file drags out of the
// window through OLE's DoDragDrop, the recycle bin through SHFileOperation and "Open with"
// through the Shell's own dialog.
#pragma once

#include "Desktop.h"

#include <windows.h>

namespace vistrel {

class WinDesktop final : public Desktop {
public:
    // `owner`: the window the clipboard is opened for (null: none); the thread has joined OLE
    // (OleInitialize) for the drags.
    explicit WinDesktop(HWND owner = nullptr) : owner_(owner) {}
    void setOwner(HWND owner) { owner_ = owner; }

    bool setWallpaper(const std::string& path) override;
    bool showInFolder(const std::string& path) override;
    bool openInBrowser(const std::string& addressOrPath) override;
    bool clipboardImage(ClipboardBitmap& out) override;
    bool dragFileOut(const std::string& path) override;
    bool copyToClipboard(const ClipboardBitmap& picture, const std::string& path) override;
    bool moveToTrash(const std::string& path) override;
    bool openWith(const std::string& path) override;

private:
    HWND owner_;
};

// The clipboard's picture from a packed bitmap (a BITMAPINFOHEADER or later header, its masks
// or colour table, the pixels), as CF_DIB holds it: top row first, 32-bit. False for a header,
// size or compression that cannot be read, and for more than kMaxPicturePixels.
bool BitmapFromPackedDib(const uint8_t* data, std::size_t size, ClipboardBitmap& out);

} // namespace vistrel
