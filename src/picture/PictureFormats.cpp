#include "PictureFormat.h"

#include "BmpDecoder.h"
#include "GifDecoder.h"
#include "GifFrames.h"
#include "IconDirectory.h"
#include "JpegDecoder.h"
#include "PngDecoder.h"
#include "PsdDecoder.h"
#include "TgaDecoder.h"
#include "WmfFile.h"
#if VISTREL_MODERN_FORMATS
#include "CodecModule.h"
#include "ModernSignatures.h"
#endif

#include <strings.h>

#include <climits>
#include <cstring>

namespace vistrel {

namespace {

bool startsWith(const uint8_t* data, std::size_t size, const char* signature, std::size_t length) {
    return size >= length && std::memcmp(data, signature, length) == 0;
}

bool isJpeg(const uint8_t* data, std::size_t size) {
    return startsWith(data, size, "\xFF\xD8\xFF", 3);
}
bool isBmp(const uint8_t* data, std::size_t size) {
    return startsWith(data, size, "BM", 2);
}
bool isGif(const uint8_t* data, std::size_t size) {
    return startsWith(data, size, "GIF87a", 6) || startsWith(data, size, "GIF89a", 6);
}
bool isIcon(const uint8_t* data, std::size_t size) {
    return iconKindOf(data, size) == IconKind::Icon;
}
bool isCursor(const uint8_t* data, std::size_t size) {
    return iconKindOf(data, size) == IconKind::Cursor;
}
bool isPng(const uint8_t* data, std::size_t size) {
    return startsWith(data, size, "\x89PNG\r\n\x1A\n", 8);
}
// PSD and its large document format PSB share the signature; the version tells them apart.
bool isPsd(const uint8_t* data, std::size_t size) {
    return startsWith(data, size, "8BPS\0\1", 6);
}
bool isPsb(const uint8_t* data, std::size_t size) {
    return startsWith(data, size, "8BPS\0\2", 6);
}

// A decoder of a format that carries no orientation, colour space or camera.
template <DecodeResult (*decode)(const char*, Picture&)>
DecodeResult withoutMetadata(const char* path, Picture& picture, PictureMetadata&) {
    return decode(path, picture);
}

bool bmpDataCanFillBytes(const uint8_t* data, std::size_t size) {
    MemorySource source(data, size);
    return bmpDataCanFill(source);
}

// Dispatch is by extension: a row's own decoder first (JPEG through its library, when the library
// is there), then, for the rows that allow it, the system picture decoder. PNG and PSD files
// their decoders refuse are not shown. TGA keeps the fall-back the program always had, though
// the system decoder reads no TGA (only a TGA file holding another format's bytes gets through).
// The rows run in the order the folder listing has always used.
// clang-format off
const PictureFormat kFormats[] = {
    // id, name, extensions, MIME types;
    // signature, header reader, own decoder, system fall-back, the system decoder's size rule
    {FormatId::Jpeg, "JPEG", {"jpg", "jpe", "jpeg"}, "image/jpeg;image/pjpeg;",
     isJpeg, readJpegHeader, decodeJpeg, true, jpegDataCanFill},
    {FormatId::Bmp, "BMP", {"bmp"}, "image/bmp;image/x-bmp;image/x-ms-bmp;",
     isBmp, readBmpHeader, withoutMetadata<decodeBmp>, true, bmpDataCanFillBytes},
    {FormatId::Gif, "GIF", {"gif"}, "image/gif;",
     isGif, readGifHeader, decodeGif, true, gifDataCanFill},
    {FormatId::Icon, "ICO", {"ico"}, "image/vnd.microsoft.icon;image/x-icon;image/x-ico;",
     isIcon, readIconHeader, nullptr, true, iconDataCanFill},
    {FormatId::Metafile, "WMF", {"wmf"}, "image/wmf;image/x-wmf;application/x-msmetafile;",
     isPlaceableWmf, readWmfPictureHeader, nullptr, true, wmfDataCanFill},
    {FormatId::Cursor, "CUR", {"cur"}, "image/x-win-bitmap;",
     isCursor, readIconHeader, nullptr, true, iconDataCanFill},
    {FormatId::Targa, "TGA", {"tga"}, "image/x-tga;image/x-targa;",
     nullptr, readTgaHeader, withoutMetadata<decodeTga>, true, nullptr},
    {FormatId::Png, "PNG", {"png"}, "image/png;image/x-png;",
     isPng, readPngHeader, decodePng, false, nullptr},
    {FormatId::Psd, "PSD", {"psd"},
     "image/vnd.adobe.photoshop;image/x-psd;image/psd;application/x-photoshop;"
     "application/photoshop;application/psd;",
     isPsd, readPsdHeader, decodePsd, false, nullptr},
    // The shared MIME database types PSB files by their signature as PSD (no type or extension
    // of their own), so the row adds no MIME type.
    {FormatId::Psb, "PSB", {"psb"}, "",
     isPsb, readPsdHeader, decodePsd, false, nullptr},
#if VISTREL_MODERN_FORMATS
    // Read by the codec module, loaded on first use (CodecModule.h).
    {FormatId::Webp, "WebP", {"webp"}, "image/webp;",
     isWebp, moduleHeader<&CodecEntries::readWebpHeader>,
     moduleDecode<&CodecEntries::decodeWebpFile>, false, nullptr},
    {FormatId::Heif, "HEIF", {"heic", "heif"},
     "image/heic;image/heif;image/heic-sequence;image/heif-sequence;",
     isHeic, moduleHeader<&CodecEntries::readHeifHeader>,
     moduleDecode<&CodecEntries::decodeHeifFile>, false, nullptr},
    {FormatId::Avif, "AVIF", {"avif"}, "image/avif;",
     isAvif, moduleHeader<&CodecEntries::readHeifHeader>,
     moduleDecode<&CodecEntries::decodeAvifFile>, false, nullptr},
    {FormatId::Jxl, "JPEG XL", {"jxl"}, "image/jxl;",
     isJxl, moduleHeader<&CodecEntries::readJxlHeader>,
     moduleDecode<&CodecEntries::decodeJxlFile>, false, nullptr},
#endif
};
// clang-format on

// The first bytes any signature needs (WebP's RIFF form, an ISO box file's major brand, JPEG XL's
// container).
constexpr std::size_t kSniffBytes = 12;

} // namespace

bool PictureHeader::setSize(uint64_t w, uint64_t h) {
    width = int(std::min<uint64_t>(w, INT_MAX));
    height = int(std::min<uint64_t>(h, INT_MAX));
    return w > 0 && h > 0;
}

std::span<const PictureFormat> pictureFormats() {
    return kFormats;
}

const char* extensionOf(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (!slash) return nullptr;
    const char* dot = std::strrchr(slash, '.');
    return dot ? dot + 1 : nullptr;
}

const PictureFormat* formatOfPath(const char* path) {
    const char* extension = extensionOf(path);
    if (!extension) return nullptr;
    for (const PictureFormat& format : kFormats)
        for (const char* listed : format.extensions)
            if (listed && strcasecmp(extension, listed) == 0) return &format;
    return nullptr;
}

const PictureFormat* formatOfBytes(const uint8_t* data, std::size_t size) {
    for (const PictureFormat& format : kFormats)
        if (format.sniff && format.sniff(data, size)) return &format;
    return nullptr;
}

const PictureFormat* readPictureHeader(const char* path, PictureHeader& header) {
    const PictureFormat* format = formatOfPath(path);
    FileSource file;
    if (!format || !file.open(path)) return nullptr;
    if (format->readHeader(file, header)) return format;
    if (!format->systemFallback) return nullptr;
    // What the system picture decoder would make of the file: the format its bytes name.
    uint8_t head[kSniffBytes];
    const PictureFormat* named = formatOfBytes(head, file.readAt(0, head, sizeof head));
    return named && named->systemDataCanFill && named->readHeader(file, header) ? named : nullptr;
}

std::string listingPatterns() {
    std::string patterns;
    for (const PictureFormat& format : kFormats) {
        for (const char* extension : format.extensions) {
            if (!extension) continue;
            if (!patterns.empty()) patterns += ',';
            patterns += std::string("*.") + extension;
        }
    }
    return patterns;
}

DecodeResult createPicture(Picture& picture, int width, int height, int bitsPerPixel) {
    if (picture.create(width, height, bitsPerPixel, false)) return kOk;
    if (width <= 0 || height <= 0) return Refusal::Malformed;
    switch (bitsPerPixel) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        return Refusal::Unsupported;
    }
    const uint64_t bytes =
        paddedRowSize(uint64_t(width), uint32_t(bitsPerPixel)) * uint64_t(height);
    if (uint64_t(width) * uint64_t(height) > kMaxPicturePixels || bytes >= UINT32_MAX)
        return Refusal::TooLarge;
    return Refusal::OutOfMemory;
}

} // namespace vistrel
