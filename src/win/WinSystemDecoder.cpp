// The system picture decoder on Win32: OleLoadPicture, held to the same rules as on every system
// before the bytes reach it (the formats told by their first bytes, the size rule and the pixel
// limit checked by the caller and here). What OLE makes is drawn twice, over black and over
// white, so that transparent and translucent parts come out as straight alpha, as the sink wants
// them, whatever the format's way of marking them (a GIF's transparent index, an icon's mask or
// alpha, the parts of a metafile no record draws).
#include "WinPlatform.h"

#include "ByteSource.h"
#include "GifFrames.h"
#include "IconDirectory.h"
#include "PictureFormat.h"
#include "PngDecoder.h"
#include "TopDownBitmap.h"
#include "Wide.h"
#include "WmfFile.h"

#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

namespace vistrel {

namespace {

// Joins COM for the decode when the thread has not joined it yet (a prefetch worker); the window
// thread's apartment is left as it is.
class ComMembership {
public:
    ComMembership() : joined_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~ComMembership() {
        if (joined_) CoUninitialize();
    }
    ComMembership(const ComMembership&) = delete;
    ComMembership& operator=(const ComMembership&) = delete;

private:
    bool joined_;
};

template <typename Interface> struct Held {
    Interface* pointer = nullptr;
    ~Held() {
        if (pointer) pointer->Release();
    }
    Interface* operator->() const { return pointer; }
};

// A 32-bit top-down bitmap to render into, every pixel starting as `fill`.
class RenderTarget {
public:
    RenderTarget(int width, int height, uint32_t fill) : width_(width) {
        uint32_t* bits = nullptr;
        bitmap_ = createTopDownBitmap(width, height, &bits);
        dc_ = CreateCompatibleDC(nullptr);
        if (!bitmap_ || !dc_) return;
        bits_ = bits;
        std::fill(bits_, bits_ + std::size_t(width) * std::size_t(height), fill);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~RenderTarget() {
        if (dc_) {
            if (old_) SelectObject(dc_, old_);
            DeleteDC(dc_);
        }
        if (bitmap_) DeleteObject(bitmap_);
    }
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    bool ok() const { return bits_ != nullptr; }
    HDC dc() const { return dc_; }
    const uint32_t* row(int y) {
        GdiFlush(); // drawing may still be queued
        return bits_ + std::size_t(y) * std::size_t(width_);
    }

private:
    int width_;
    HBITMAP bitmap_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

bool readByOle(FormatId id) {
    switch (id) {
    case FormatId::Gif:
    case FormatId::Bmp:
    case FormatId::Jpeg:
    case FormatId::Icon:
    case FormatId::Cursor:
    case FormatId::Metafile:
        return true;
    default:
        return false;
    }
}

uint32_t little32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The bytes of the image entry `index` of an ICO or CUR file; empty when they do not lie inside
// the data.
std::span<const uint8_t> iconImage(const uint8_t* data, std::size_t size, int index) {
    constexpr std::size_t kDirectory = 6, kEntry = 16;
    const std::size_t at = kDirectory + kEntry * std::size_t(index);
    if (index < 0 || size < at + kEntry) return {};
    const uint32_t bytes = little32(data + at + 8), offset = little32(data + at + 12);
    if (offset > size || bytes > size - offset) return {};
    return {data + offset, bytes};
}

// A PNG image entry through the program's own PNG decoder, as straight pixels: its alpha is
// composited once, where it is shown, as the file holds it.
DecodeResult sendIconPng(std::span<const uint8_t> image, SystemImageSink& sink) {
    Picture picture;
    if (const DecodeResult decoded = decodePng(image.data(), image.size(), picture); !decoded)
        return decoded;
    const int width = picture.width(), height = picture.height();
    if (const DecodeResult begun = sink.begin(width, height); !begun) return begun;
    std::vector<uint32_t> row(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        expandBitmapRow(*picture.info(), picture.colorTable(), picture.pixels(), picture.rowSize(),
                        y, 0, width, row.data());
        sink.row(y, row.data());
    }
    return kOk;
}

// An icon file of the one image entry `index` of an ICO or CUR file: OLE would take the first
// image 32 pixels wide, or the first of all, and reads a cursor's hot spot as an icon's planes
// and depth. Empty when the entry's image does not lie inside the data.
std::vector<uint8_t> oneIcon(const uint8_t* data, std::size_t size, int index) {
    constexpr std::size_t kDirectory = 6, kEntry = 16;
    const std::span<const uint8_t> image = iconImage(data, size, index);
    if (image.empty()) return {};
    std::vector<uint8_t> icon(kDirectory + kEntry + image.size(), 0);
    icon[2] = 1; // an icon
    icon[4] = 1; // one image
    // Width, height, colours and reserved as the entry has them; one plane, and the depth is the
    // image's own.
    std::memcpy(icon.data() + kDirectory, data + kDirectory + kEntry * std::size_t(index), 4);
    icon[kDirectory + 4] = 1;
    const uint32_t imageBytes = uint32_t(image.size()), imageOffset = kDirectory + kEntry;
    std::memcpy(icon.data() + kDirectory + 8, &imageBytes, 4);
    std::memcpy(icon.data() + kDirectory + 12, &imageOffset, 4);
    std::memcpy(icon.data() + kDirectory + kEntry, image.data(), image.size());
    return icon;
}

Held<IPicture> loadPicture(const uint8_t* data, std::size_t size) {
    Held<IPicture> picture;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return picture;
    void* locked = GlobalLock(memory);
    if (!locked) {
        GlobalFree(memory);
        return picture;
    }
    std::memcpy(locked, data, size);
    GlobalUnlock(memory);
    Held<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream.pointer))) {
        GlobalFree(memory);
        return picture;
    }
    OleLoadPicture(stream.pointer, LONG(size), FALSE, IID_IPicture,
                   reinterpret_cast<void**>(&picture.pointer));
    return picture;
}

// The pixel size of what OLE made: a bitmap's or an icon's own; a metafile's frame at 96 dots
// per inch, as the placeable header gives it.
bool pixelSize(IPicture& picture, const uint8_t* data, std::size_t size, int& width, int& height) {
    short type = PICTYPE_NONE;
    OLE_HANDLE handle = 0;
    if (FAILED(picture.get_Type(&type)) || FAILED(picture.get_Handle(&handle))) return false;
    if (type == PICTYPE_BITMAP) {
        BITMAP bitmap{};
        if (!GetObjectW(reinterpret_cast<HBITMAP>(uintptr_t(handle)), sizeof bitmap, &bitmap))
            return false;
        width = bitmap.bmWidth;
        height = std::abs(bitmap.bmHeight);
        return true;
    }
    if (type == PICTYPE_ICON) {
        ICONINFO info{};
        if (!GetIconInfo(reinterpret_cast<HICON>(uintptr_t(handle)), &info)) return false;
        BITMAP bitmap{};
        const bool read =
            GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap) != 0;
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
        if (!read) return false;
        width = bitmap.bmWidth;
        // A monochrome icon's mask holds the AND and XOR halves one above the other.
        height = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
        return true;
    }
    if (type == PICTYPE_METAFILE) {
        MemorySource source(data, size);
        PictureHeader header;
        if (!readWmfPictureHeader(source, header)) return false;
        width = header.width;
        height = header.height;
        return true;
    }
    return false;
}

// Straight alpha and colour from a pixel drawn over black and over white: what shows through is
// the difference, the colour is what was drawn over black divided by its coverage.
uint32_t straight(uint32_t overBlack, uint32_t overWhite) {
    if (((overBlack ^ overWhite) & 0xFFFFFF) == 0) return 0xFF000000u | (overBlack & 0xFFFFFF);
    int through = 0;
    for (int shift = 0; shift < 24; shift += 8)
        through += int((overWhite >> shift) & 0xFF) - int((overBlack >> shift) & 0xFF);
    const int alpha = std::clamp(255 - (through + 1) / 3, 0, 255);
    if (alpha == 0) return 0;
    uint32_t pixel = uint32_t(alpha) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const int drawn = int((overBlack >> shift) & 0xFF);
        pixel |= uint32_t(std::min(255, (drawn * 255 + alpha / 2) / alpha)) << shift;
    }
    return pixel;
}

} // namespace

DecodeResult WinPlatform::decodeSystemPicture(const uint8_t* data, std::size_t size,
                                              SystemImageSink& sink) {
    const PictureFormat* sniffed = formatOfBytes(data, size);
    if (!sniffed || !readByOle(sniffed->id)) return Refusal::UnknownFormat;
    if (size > std::size_t(INT32_MAX)) return Refusal::TooLarge;
    // OLE's readers size some buffers by what a frame or an icon image announces rather than by
    // the picture's size; such announcements are checked before the reader sees them.
    if (sniffed->id == FormatId::Gif && !gifFirstFrameFits(data, size, kMaxPixels))
        return Refusal::TooLarge;
    std::vector<uint8_t> icon;
    if (sniffed->id == FormatId::Icon || sniffed->id == FormatId::Cursor) {
        const int index = chooseIconImage(data, size);
        if (index < 0) return Refusal::Truncated; // a directory longer than the file
        if (iconImagePixels(data, size, index) > kMaxPixels) return Refusal::TooLarge;
        // A 32-bit bitmap entry is read straight from the file, so that its colours are
        // composited once, as every system shows the same icon.
        int width = 0, height = 0;
        std::vector<uint32_t> pixels;
        if (readIconBitmap32(data, size, index, width, height, pixels)) {
            if (const DecodeResult begun = sink.begin(width, height); !begun) return begun;
            for (int y = 0; y < height; ++y)
                sink.row(y, pixels.data() + std::size_t(y) * std::size_t(width));
            return kOk;
        }
        const std::span<const uint8_t> image = iconImage(data, size, index);
        const PictureFormat* inside = formatOfBytes(image.data(), image.size());
        if (inside && inside->id == FormatId::Png) return sendIconPng(image, sink);
        icon = oneIcon(data, size, index);
        if (icon.empty()) return Refusal::Truncated;
        data = icon.data();
        size = icon.size();
    }

    const ComMembership com;
    Held<IPicture> picture = loadPicture(data, size);
    // OLE does not tell a file cut short from a damaged one.
    if (!picture.pointer) return Refusal::Malformed;
    int width = 0, height = 0;
    if (!pixelSize(*picture.pointer, data, size, width, height) || width <= 0 || height <= 0)
        return Refusal::Malformed;
    if (uint64_t(width) * uint64_t(height) > kMaxPixels) return Refusal::TooLarge;
    OLE_XSIZE_HIMETRIC himetricWidth = 0;
    OLE_YSIZE_HIMETRIC himetricHeight = 0;
    picture->get_Width(&himetricWidth);
    picture->get_Height(&himetricHeight);

    // JPEG and BMP pictures are opaque: one drawing does.
    const bool mayBeTransparent = sniffed->id != FormatId::Jpeg && sniffed->id != FormatId::Bmp;
    RenderTarget overBlack(width, height, 0x000000);
    if (!overBlack.ok()) return Refusal::OutOfMemory;
    std::vector<RenderTarget*> targets{&overBlack};
    RenderTarget overWhite(mayBeTransparent ? width : 1, mayBeTransparent ? height : 1, 0xFFFFFF);
    if (mayBeTransparent) {
        if (!overWhite.ok()) return Refusal::OutOfMemory;
        targets.push_back(&overWhite);
    }
    // The source rectangle runs from the bottom up in HIMETRIC, as OLE's pictures count.
    for (RenderTarget* target : targets)
        if (FAILED(picture->Render(target->dc(), 0, 0, width, height, 0, himetricHeight,
                                   himetricWidth, -himetricHeight, nullptr)))
            return Refusal::Malformed;

    if (const DecodeResult begun = sink.begin(width, height); !begun) return begun;
    std::vector<uint32_t> row(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        const uint32_t* black = overBlack.row(y);
        if (mayBeTransparent) {
            const uint32_t* white = overWhite.row(y);
            for (int x = 0; x < width; ++x)
                row[std::size_t(x)] = straight(black[x], white[x]);
        } else {
            for (int x = 0; x < width; ++x)
                row[std::size_t(x)] = 0xFF000000u | (black[x] & 0xFFFFFF);
        }
        sink.row(y, row.data());
    }
    return kOk;
}

} // namespace vistrel
