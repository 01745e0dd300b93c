#include "PngDecoder.h"

#include "ApngFrames.h"
#include "ByteOrder.h"
#include "ByteSource.h"
#include "DecodeLimits.h"
#include "PngFastPath.h"
#include "PngMetadata.h"
#include "Resampler.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

namespace vistrel {

namespace {

constexpr std::size_t kSignatureBytes = 8;

// The reader's memory source: the whole file, read by libpng through readCallback.
struct PngMemorySource {
    const uint8_t* data = nullptr;
    // Read instead of `data` when set: a file streamed through the decode.
    ByteSource* file = nullptr;
    uint32_t size = 0;
    uint32_t position = 0;
    png_structp png = nullptr;
    png_infop info = nullptr;
    char error[128] = {};
    // Set when libpng asked for bytes past the end: the file is cut short, not damaged.
    bool ranOut = false;

    ~PngMemorySource() { reset(); }
    void reset() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        png = nullptr;
        info = nullptr;
        size = 0;
        position = 0;
    }
};

void readCallback(png_structp png, png_bytep out, png_size_t wanted) {
    auto* source = static_cast<PngMemorySource*>(png_get_io_ptr(png));
    std::size_t n = std::min<std::size_t>(wanted, source->size - source->position);
    if (source->file)
        n = source->file->readAt(source->position, out, n);
    else if (n > 0)
        std::memcpy(out, source->data + source->position, n);
    source->ranOut = n < wanted;
    if (n == 0) png_error(png, "Read Error");
    source->position += uint32_t(n);
    // libpng asks for exact amounts; a short copy means the file ended inside a chunk.
    if (n < wanted) png_error(png, "Read Error");
}

void errorCallback(png_structp png, png_const_charp message) {
    auto* source = static_cast<PngMemorySource*>(png_get_error_ptr(png));
    std::snprintf(source->error, sizeof source->error, "%s", message);
    png_longjmp(png, 1);
}

void warningCallback(png_structp, png_const_charp) {}

// Bytes of IDAT chunk data present: chunks of a big-endian length, a type, the data and a CRC,
// after the 8-byte signature.
uint64_t imageDataBytes(const uint8_t* data, std::size_t size) {
    uint64_t bytes = 0;
    std::size_t at = 8;
    while (size >= at && size - at >= 8) {
        const uint64_t length = bigEndian32(data + at);
        const uint64_t available = size - at - 8;
        if (std::memcmp(data + at + 4, "IDAT", 4) == 0) bytes += std::min(length, available);
        if (length + 4 > available) break;
        at += std::size_t(length) + 12;
    }
    return bytes;
}

// Whether a palette file's tRNS makes any entry less than opaque: such a file is read as 32-bit
// colour with alpha, as browsers show it. A tRNS of opaque entries only changes nothing.
bool hasTranslucentEntry(png_structp png, png_infop info) {
    png_bytep alpha = nullptr;
    int entries = 0;
    if (png_get_color_type(png, info) != PNG_COLOR_TYPE_PALETTE ||
        png_get_tRNS(png, info, &alpha, &entries, nullptr) != PNG_INFO_tRNS || !alpha)
        return false;
    return std::any_of(alpha, alpha + entries, [](png_byte a) { return a < 255; });
}

// Only plain data lives in this frame, so the jump back from libpng skips no destructor.
Refusal decodeRows(PngMemorySource& source, Picture& picture) {
    png_structp png = source.png;
    png_infop info = source.info;
    if (setjmp(png_jmpbuf(png))) return source.ranOut ? Refusal::Truncated : Refusal::Malformed;

    png_read_info(png, info);
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) return Refusal::Unsupported;
    // The filtered rows as stored, before any transformation: a filter byte and the samples.
    const uint64_t pixels =
        uint64_t(png_get_image_width(png, info)) * png_get_image_height(png, info);
    const uint64_t filtered =
        cappedProduct(uint64_t(png_get_rowbytes(png, info)) + 1, png_get_image_height(png, info));
    if (!fitsItsData(pixels, filtered, deflateProducible(imageDataBytes(source.data, source.size))))
        return Refusal::SizeRule;
    const int colorType = png_get_color_type(png, info);
    if (png_get_bit_depth(png, info) == 16) png_set_strip_16(png);
    // A single transparent grey level or colour becomes alpha, compared with the samples as
    // stored (before 16 bits are cut): browsers show it transparent. So do palette entries with
    // alpha: the indices become colour with alpha.
    const bool keyed = (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_RGB) &&
                       png_get_valid(png, info, PNG_INFO_tRNS);
    const bool translucentPalette = hasTranslucentEntry(png, info);
    if (translucentPalette) png_set_palette_to_rgb(png);
    if (keyed || translucentPalette) png_set_tRNS_to_alpha(png);
    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA || (keyed && colorType == PNG_COLOR_TYPE_GRAY))
        png_set_gray_to_rgb(png);
    if (colorType & PNG_COLOR_MASK_COLOR) png_set_bgr(png);
    png_read_update_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int depth = png_get_channels(png, info) * png_get_bit_depth(png, info);
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return Refusal::TooLarge;
    if (const DecodeResult made = createPicture(picture, int(width), int(height), depth); !made)
        return made.refusal();

    const uint32_t row = picture.rowSize();
    if (png_get_rowbytes(png, info) > row) return Refusal::Malformed;
    uint8_t* bits = picture.pixels();
    for (png_uint_32 y = 0; y < height; ++y)
        png_read_row(png, bits + std::size_t(y) * row, nullptr);
    png_read_end(png, nullptr);

    png_colorp palette = nullptr;
    int paletteSize = 0;
    if (png_get_PLTE(png, info, &palette, &paletteSize) != PNG_INFO_PLTE) palette = nullptr;
    static_assert(sizeof(png_color) == 3, "palette entries are red, green, blue bytes");
    setPngColorTable(picture, reinterpret_cast<const uint8_t*>(palette), paletteSize);
    return Refusal::None;
}

// The colour rows of a file (colour, grey with alpha, colour with alpha: 24 or 32 bits after the
// transformations decodeRows sets) averaged over `reduction` x `reduction` blocks as they are
// read, into a picture of the block count each way: only one row and one row of sums held beside
// it. `row` and `sums` live in the caller's frame, so that the jump back from libpng skips them.
Refusal decodeReducedRows(PngMemorySource& source, uint64_t imageData, int reduction, Size copy,
                          Picture& picture, std::vector<uint8_t>& row, std::vector<uint32_t>& sums,
                          RowResampler& toCopy) {
    png_structp png = source.png;
    png_infop info = source.info;
    if (setjmp(png_jmpbuf(png))) return source.ranOut ? Refusal::Truncated : Refusal::Malformed;

    png_read_info(png, info);
    const int colorType = png_get_color_type(png, info);
    // A palette with translucent entries is held at 32 bits as well; other palettes are not.
    const bool translucentPalette = hasTranslucentEntry(png, info);
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE ||
        (colorType != PNG_COLOR_TYPE_RGB && colorType != PNG_COLOR_TYPE_RGB_ALPHA &&
         colorType != PNG_COLOR_TYPE_GRAY_ALPHA && !translucentPalette))
        return Refusal::Unsupported;
    const uint64_t pixels =
        uint64_t(png_get_image_width(png, info)) * png_get_image_height(png, info);
    const uint64_t filtered =
        cappedProduct(uint64_t(png_get_rowbytes(png, info)) + 1, png_get_image_height(png, info));
    if (!fitsItsData(pixels, filtered, deflateProducible(imageData))) return Refusal::SizeRule;
    if (png_get_bit_depth(png, info) == 16) png_set_strip_16(png);
    if (translucentPalette) png_set_palette_to_rgb(png);
    if ((colorType == PNG_COLOR_TYPE_RGB && png_get_valid(png, info, PNG_INFO_tRNS)) ||
        translucentPalette)
        png_set_tRNS_to_alpha(png); // the transparent colour or entries, as the full decode shows

    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_read_update_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const unsigned channels = png_get_channels(png, info);
    // The full decode's limit holds for the reduced one too: a neighbour never shows a picture
    // that its full decode would refuse.
    if (uint64_t(width) * height > kMaxPicturePixels) return Refusal::TooLarge;
    if (png_get_rowbytes(png, info) != std::size_t(width) * channels) return Refusal::Malformed;
    const auto n = png_uint_32(reduction);
    const png_uint_32 reducedWidth = (width + n - 1) / n, reducedHeight = (height + n - 1) / n;
    const bool streamed = copy.width > 0 && copy.height > 0;
    if (const DecodeResult made = streamed ? createPicture(picture, copy.width, copy.height, 32)
                                           : createPicture(picture, int(reducedWidth),
                                                           int(reducedHeight), int(channels) * 8);
        !made)
        return made.refusal();
    if (streamed && !toCopy.begin(picture.pixels(), picture.info(), int(reducedWidth),
                                  int(reducedHeight), int(channels)))
        return Refusal::OutOfMemory;
    row.resize(std::size_t(width) * channels);
    sums.assign(std::size_t(reducedWidth) * channels, 0);

    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(png, row.data(), nullptr);
        for (png_uint_32 x = 0; x < width; ++x) {
            uint32_t* sum = sums.data() + std::size_t(x / n) * channels;
            const uint8_t* sample = row.data() + std::size_t(x) * channels;
            for (unsigned c = 0; c < channels; ++c)
                sum[c] += sample[c];
        }
        if ((y + 1) % n != 0 && y + 1 != height) continue;
        // The blocks of the last row and column may be cut short by the picture's edge.
        const uint32_t rows = y % n + 1;
        uint8_t* out =
            streamed ? toCopy.nextRow() : picture.pixels() + std::size_t(y / n) * picture.rowSize();
        for (png_uint_32 bx = 0; bx < reducedWidth; ++bx) {
            const uint32_t count = rows * (std::min(width, (bx + 1) * n) - bx * n);
            for (unsigned c = 0; c < channels; ++c) {
                uint32_t& sum = sums[std::size_t(bx) * channels + c];
                out[std::size_t(bx) * channels + c] = uint8_t((sum + count / 2) / count);
                sum = 0;
            }
        }
        if (streamed) toCopy.rowWritten();
    }
    png_read_end(png, nullptr);
    return Refusal::None;
}

// A libpng reader of the bytes, set up as both decodes want it.
DecodeResult openWithLibpng(PngMemorySource& source, const uint8_t* data, std::size_t size) {
    // libpng reads the whole signature before it compares it: a few wrong bytes would read as a
    // file cut short.
    if (const DecodeResult signature = checkPngSignature(data, size); !signature) return signature;
    if (size > UINT32_MAX) return Refusal::TooLarge;
    source.data = data;
    source.size = uint32_t(size);
    source.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!source.png) return Refusal::OutOfMemory;
    source.info = png_create_info_struct(source.png);
    if (!source.info) return Refusal::OutOfMemory;
    png_set_read_fn(source.png, &source, readCallback);
    png_set_error_fn(source.png, &source, errorCallback, warningCallback);
    // Only the header, palette, transparency and image data are used; every other chunk is
    // skipped unread. Read, a text chunk takes a buffer of the length it announces before its
    // bytes are looked at: a 98-byte file announcing 1.6 GB of text asked for 1.6 GB.
    png_set_keep_unknown_chunks(source.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
#ifdef PNG_IGNORE_ADLER32
    // The zlib stream's own checksum costs a sixth of the inflate time on large pictures; damaged
    // data almost always breaks the inflate itself, and chunk CRCs are still checked.
    png_set_option(source.png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
    return kOk;
}

// The depth decodeRows gives once the file's tRNS chunk is weighed as libpng weighs it: a
// transparent grey level or colour (a chunk of the length its samples take), or a palette entry
// less than opaque (a chunk after the palette and no longer than it), makes the picture 32-bit.
// Only the chunks before the image data, and no more than a few dozen of them, are looked at.
int depthAfterTransparency(ByteSource& source, uint8_t colorType, int depth) {
    constexpr int kChunksLookedAt = 64;
    if (colorType != PNG_COLOR_TYPE_GRAY && colorType != PNG_COLOR_TYPE_RGB &&
        colorType != PNG_COLOR_TYPE_PALETTE)
        return depth;
    uint64_t at = kSignatureBytes + 25; // past the IHDR chunk: length, type, 13 bytes, CRC
    uint32_t paletteEntries = 0;
    for (int chunk = 0; chunk < kChunksLookedAt; ++chunk) {
        uint8_t head[8];
        if (source.readAt(at, head, sizeof head) != sizeof head) break;
        const uint32_t length = bigEndian32(head);
        auto is = [&](const char* type) { return std::memcmp(head + 4, type, 4) == 0; };
        if (is("IDAT") || is("IEND")) break;
        if (is("PLTE")) paletteEntries = length / 3;
        if (!is("tRNS")) {
            at += uint64_t(length) + 12;
            continue;
        }
        if (colorType != PNG_COLOR_TYPE_PALETTE)
            return length == (colorType == PNG_COLOR_TYPE_GRAY ? 2u : 6u) ? 32 : depth;
        uint8_t alpha[256];
        if (length == 0 || length > paletteEntries || length > sizeof alpha ||
            source.readAt(at + 8, alpha, length) != length)
            return depth;
        return std::any_of(alpha, alpha + length, [](uint8_t a) { return a < 255; }) ? 32 : depth;
    }
    return depth;
}

} // namespace

DecodeResult readPngHeader(ByteSource& source, PictureHeader& header) {
    // Signature (8), then the IHDR chunk: length (4), type (4), width, height (4 each), bit
    // depth, colour type.
    uint8_t head[26];
    const std::size_t got = source.readAt(0, head, sizeof head);
    if (const DecodeResult signature = checkPngSignature(head, got); !signature) return signature;
    if (got < sizeof head) return Refusal::Truncated;
    if (bigEndian32(head + 12) != 0x49484452) return Refusal::Malformed; // no IHDR first
    if (!header.setSize(bigEndian32(head + 16), bigEndian32(head + 20))) return Refusal::Malformed;
    header.bitsPerPixel =
        depthAfterTransparency(source, head[25], pngPictureDepth(head[25], head[24]));
    header.frames = 1;
    return kOk;
}

DecodeResult decodePng(const uint8_t* data, std::size_t size, Picture& picture) {
    if (const std::optional<DecodeResult> fast = decodePngFast(data, size, picture)) return *fast;
    return decodePngWithLibpng(data, size, picture);
}

DecodeResult decodePngWithLibpng(const uint8_t* data, std::size_t size, Picture& picture) {
    PngMemorySource source;
    if (const DecodeResult opened = openWithLibpng(source, data, size); !opened) return opened;
    const Refusal refusal = decodeRows(source, picture);
    source.reset();
    return refusal;
}

int pngReduction(Size size, Size atLeast) {
    if (atLeast.width <= 0 || atLeast.height <= 0) return 1;
    return std::clamp(std::min(size.width / atLeast.width, size.height / atLeast.height), 1,
                      kLargestPngReduction);
}

uint64_t readPngChunksBesideImage(ByteSource& file, std::vector<uint8_t>& chunks) {
    constexpr std::size_t kMostKept = std::size_t(16) << 20;
    chunks.assign(kSignatureBytes, 0);
    file.readAt(0, chunks.data(), kSignatureBytes);
    uint64_t imageData = 0;
    uint64_t at = kSignatureBytes;
    uint8_t head[8];
    while (file.readAt(at, head, 8) == 8) {
        const uint64_t length = bigEndian32(head);
        if (std::memcmp(head + 4, "IDAT", 4) == 0) {
            imageData += std::min(length, file.size() - at - 8);
        } else if (chunks.size() + length + 12 <= kMostKept) {
            const std::size_t start = chunks.size();
            chunks.resize(start + std::size_t(length) + 12);
            chunks.resize(start + file.readAt(at, chunks.data() + start, std::size_t(length) + 12));
        }
        at += length + 12;
    }
    return imageData;
}

DecodeResult decodePngReduced(ByteSource& file, uint64_t imageData, int reduction, Picture& picture,
                              Size copy) {
    if (reduction < 1 || reduction > kLargestPngReduction) return Refusal::Unsupported;
    uint8_t signature[kSignatureBytes];
    const std::size_t got = file.readAt(0, signature, sizeof signature);
    if (const DecodeResult checked = checkPngSignature(signature, got); !checked) return checked;
    if (file.size() > UINT32_MAX) return Refusal::TooLarge;
    PngMemorySource source;
    source.file = &file;
    if (const DecodeResult opened = openWithLibpng(source, signature, std::size_t(file.size()));
        !opened)
        return opened;
    std::vector<uint8_t> row;
    std::vector<uint32_t> sums;
    RowResampler toCopy;
    const Refusal refusal =
        decodeReducedRows(source, imageData, reduction, copy, picture, row, sums, toCopy);
    source.reset();
    return refusal;
}

DecodeResult decodePng(const char* path, Picture& picture) {
    std::vector<uint8_t> bytes;
    if (const DecodeResult read = readWholeFile(path, bytes); !read) return read;
    return decodePng(bytes.data(), bytes.size(), picture);
}

DecodeResult decodePng(const char* path, Picture& picture, PictureMetadata& metadata) {
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    if (const DecodeResult read = readWholeFile(path, *bytes); !read) return read;
    // An animation keeps the bytes for its later frames; a still is decoded as it always was.
    std::shared_ptr<Animation> animation;
    const std::optional<DecodeResult> animated = decodeApng(bytes, picture, &animation);
    const DecodeResult decoded =
        animated ? *animated : decodePng(bytes->data(), bytes->size(), picture);
    if (decoded) readPngMetadata(bytes->data(), bytes->size(), metadata);
    metadata.animation = std::move(animation);
    return decoded;
}

} // namespace vistrel
