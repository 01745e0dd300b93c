#include "WinDesktop.h"

#include "DragOut.h"
#include "Files.h"
#include "Picture.h"
#include "TopDownBitmap.h"
#include "Wide.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

namespace vistrel {

namespace {

// A 32-bit top-down bitmap the clipboard's picture is drawn into.
struct DrawnBitmap {
    HBITMAP bitmap = nullptr;
    uint32_t* bits = nullptr;
    DrawnBitmap(int width, int height) { bitmap = createTopDownBitmap(width, height, &bits); }
    ~DrawnBitmap() {
        if (bitmap) DeleteObject(bitmap);
    }
};

bool allocate(ClipboardBitmap& out, int width, int height) {
    out.width = width;
    out.height = height;
    out.bits = LargeBuffer(std::size_t(width) * std::size_t(height) * 4);
    return bool(out.bits);
}

// Copies a drawn bitmap out, opaque: GDI's drawing leaves the fourth byte undefined.
void copyOpaque(const uint32_t* drawn, ClipboardBitmap& out) {
    auto* to = reinterpret_cast<uint32_t*>(out.bits.data());
    const std::size_t count = std::size_t(out.width) * std::size_t(out.height);
    for (std::size_t i = 0; i < count; ++i)
        to[i] = drawn[i] | 0xFF000000u;
}

} // namespace

bool BitmapFromPackedDib(const uint8_t* data, std::size_t size, ClipboardBitmap& out) {
    if (size < sizeof(BITMAPINFOHEADER)) return false;
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    if (header.biSize < sizeof header || header.biSize > size || header.biWidth <= 0 ||
        header.biHeight == 0 || header.biHeight == INT32_MIN || header.biPlanes != 1)
        return false;
    const int width = header.biWidth, height = std::abs(header.biHeight);
    if (uint64_t(width) * uint64_t(height) > kMaxPicturePixels) return false;
    const int depth = header.biBitCount;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32)
        return false;
    // What lies between the header and the pixels: the three masks of a 40-byte header's bit
    // fields, the colour table of 8 bits or fewer.
    uint64_t offset = header.biSize;
    if (header.biCompression == BI_BITFIELDS && header.biSize == sizeof header) offset += 12;
    uint64_t colors = header.biClrUsed;
    if (depth <= 8 && (colors == 0 || colors > (1u << depth))) colors = 1u << depth;
    if (depth > 8) colors = std::min<uint64_t>(colors, 256);
    offset += colors * 4;
    const uint64_t stride = (uint64_t(width) * uint64_t(depth) + 31) / 32 * 4;
    const bool compressed = header.biCompression == BI_RLE8 || header.biCompression == BI_RLE4;
    const uint64_t pixels = compressed ? header.biSizeImage : stride * uint64_t(height);
    if (offset > size || pixels > size - offset || pixels == 0) return false;
    if (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS && !compressed)
        return false;
    if (!allocate(out, width, height)) return false;
    const uint8_t* bits = data + offset;
    if (depth == 32 && header.biCompression == BI_RGB) {
        // As stored, the fourth byte included: a picture whose fourth byte is all 0 carries no
        // transparency and is shown opaque.
        for (int y = 0; y < height; ++y) {
            const int from = header.biHeight > 0 ? height - 1 - y : y;
            std::memcpy(out.bits.data() + std::size_t(y) * std::size_t(width) * 4,
                        bits + uint64_t(from) * stride, std::size_t(width) * 4);
        }
        return true;
    }
    // Every other layout through GDI, which reads them all.
    DrawnBitmap drawn(width, height);
    HDC dc = CreateCompatibleDC(nullptr);
    if (!drawn.bitmap || !dc) {
        if (dc) DeleteDC(dc);
        return false;
    }
    const HGDIOBJ old = SelectObject(dc, drawn.bitmap);
    const int copied =
        StretchDIBits(dc, 0, 0, width, height, 0, 0, width, height, bits,
                      reinterpret_cast<const BITMAPINFO*>(data), DIB_RGB_COLORS, SRCCOPY);
    GdiFlush();
    SelectObject(dc, old);
    DeleteDC(dc);
    if (copied == 0) return false;
    copyOpaque(drawn.bits, out);
    return true;
}

bool WinDesktop::setWallpaper(const std::string& path) {
    // Windows keeps a copy of its own (the transcoded background), so the file may go afterwards.
    std::wstring wide = systemPath(path);
    return SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, wide.data(),
                                 SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE) != 0;
}

bool WinDesktop::showInFolder(const std::string& path) {
    PIDLIST_ABSOLUTE item = ILCreateFromPathW(systemPath(path).c_str());
    if (!item) return false;
    const bool shown = SUCCEEDED(SHOpenFolderAndSelectItems(item, 0, nullptr, 0));
    ILFree(item);
    return shown;
}

bool WinDesktop::openInBrowser(const std::string& addressOrPath) {
    const std::wstring target =
        addressOrPath.rfind("https://", 0) == 0 || addressOrPath.rfind("http://", 0) == 0
            ? widen(addressOrPath)
            : systemPath(addressOrPath);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner_, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32; // the function's own way of saying it succeeded
}

bool WinDesktop::clipboardImage(ClipboardBitmap& out) {
    // Another program may hold the clipboard for a moment; a few tries, never an open-ended wait.
    bool opened = false;
    for (int attempt = 0; attempt < 5 && !(opened = OpenClipboard(owner_)); ++attempt)
        Sleep(10);
    if (!opened) return false;
    bool got = false;
    if (HANDLE dib = IsClipboardFormatAvailable(CF_DIB) ? GetClipboardData(CF_DIB) : nullptr) {
        if (const void* data = GlobalLock(dib)) {
            got = BitmapFromPackedDib(static_cast<const uint8_t*>(data), GlobalSize(dib), out);
            GlobalUnlock(dib);
        }
    } else if (HANDLE handle =
                   IsClipboardFormatAvailable(CF_BITMAP) ? GetClipboardData(CF_BITMAP) : nullptr) {
        auto* bitmap = static_cast<HBITMAP>(handle);
        BITMAP description{};
        if (GetObjectW(bitmap, sizeof description, &description) && description.bmWidth > 0 &&
            description.bmHeight > 0 &&
            uint64_t(description.bmWidth) * uint64_t(description.bmHeight) <= kMaxPicturePixels &&
            allocate(out, description.bmWidth, description.bmHeight)) {
            BITMAPINFO info = topDownBitmapInfo(out.width, out.height);
            HDC screen = GetDC(nullptr);
            got = GetDIBits(screen, bitmap, 0, UINT(out.height), out.bits.data(), &info,
                            DIB_RGB_COLORS) == out.height;
            ReleaseDC(nullptr, screen);
            if (got) {
                auto* pixels = reinterpret_cast<uint32_t*>(out.bits.data());
                copyOpaque(pixels, out);
            }
        }
    }
    CloseClipboard();
    return got;
}

bool WinDesktop::dragFileOut(const std::string& path) {
    return !path.empty() && DragFile(systemPath(path));
}

namespace {

// Moveable global memory holding `size` bytes written by `fill`; null when it cannot be had.
template <typename Fill> HGLOBAL globalBlock(std::size_t size, Fill fill) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block) return nullptr;
    void* data = GlobalLock(block);
    if (!data) {
        GlobalFree(block);
        return nullptr;
    }
    fill(static_cast<uint8_t*>(data));
    GlobalUnlock(block);
    return block;
}

} // namespace

bool WinDesktop::copyToClipboard(const ClipboardBitmap& picture, const std::string& path) {
    if (picture.width <= 0 || picture.height <= 0 || !picture.bits) return false;
    const std::size_t pixelBytes = std::size_t(picture.width) * std::size_t(picture.height) * 4;
    // A packed 32-bit bitmap, top row first (a negative height), as CF_DIB holds it.
    HGLOBAL dib = globalBlock(sizeof(BITMAPINFOHEADER) + pixelBytes, [&](uint8_t* data) {
        BITMAPINFOHEADER header{};
        header.biSize = sizeof header;
        header.biWidth = picture.width;
        header.biHeight = -picture.height;
        header.biPlanes = 1;
        header.biBitCount = 32;
        header.biCompression = BI_RGB;
        header.biSizeImage = DWORD(pixelBytes);
        std::memcpy(data, &header, sizeof header);
        std::memcpy(data + sizeof header, picture.bits.data(), pixelBytes);
    });
    if (!dib) return false;
    // The file too, for Explorer to paste: a DROPFILES block and the name, ending in two nulls.
    HGLOBAL files = nullptr;
    if (!path.empty()) {
        const std::wstring name = systemPath(absolutePath(path));
        files = globalBlock(
            sizeof(DROPFILES) + (name.size() + 2) * sizeof(wchar_t), [&](uint8_t* data) {
                DROPFILES header{};
                header.pFiles = sizeof header;
                header.fWide = TRUE;
                std::memcpy(data, &header, sizeof header);
                std::memcpy(data + sizeof header, name.c_str(), name.size() * sizeof(wchar_t));
            });
    }
    bool opened = false;
    for (int attempt = 0; attempt < 5 && !(opened = OpenClipboard(owner_)); ++attempt)
        Sleep(10);
    bool put = false;
    if (opened && EmptyClipboard()) {
        // What SetClipboardData takes is the clipboard's from then on.
        put = SetClipboardData(CF_DIB, dib) != nullptr;
        if (put) dib = nullptr;
        if (put && files && SetClipboardData(CF_HDROP, files)) files = nullptr;
    }
    if (opened) CloseClipboard();
    if (dib) GlobalFree(dib);
    if (files) GlobalFree(files);
    return put;
}

bool WinDesktop::moveToTrash(const std::string& path) {
    if (path.empty()) return false;
    // The operation takes a list of names, each ending in a null and the list in another.
    std::wstring names = systemPath(absolutePath(path));
    names.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = owner_;
    operation.wFunc = FO_DELETE;
    operation.pFrom = names.c_str();
    // Into the recycle bin, without a question, unless the file cannot go there (a network
    // folder, a file larger than the bin): then the Shell asks before it would delete it for
    // good, and a "no" leaves it where it is.
    operation.fFlags =
        FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING | FOF_NOERRORUI | FOF_SILENT;
    return SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted &&
           fileKind(path.c_str()) == FileKind::Missing;
}

bool WinDesktop::openWith(const std::string& path) {
    const std::wstring name = systemPath(absolutePath(path));
    OPENASINFO info{};
    info.pcszFile = name.c_str();
    info.oaifInFlags = OAIF_ALLOW_REGISTRATION | OAIF_EXEC;
    if (SUCCEEDED(SHOpenWithDialog(owner_, &info))) return true;
    // Where the Shell has no such dialog: the program it opens the file's type with.
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner_, L"open", name.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

} // namespace vistrel
