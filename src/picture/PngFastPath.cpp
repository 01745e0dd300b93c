#include "PngFastPath.h"

#include "ByteOrder.h"
#include "DecodeLimits.h"
#include "LargeBuffer.h"
#include "PictureFormat.h"
#include "PngUnfilter.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace vistrel {

namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// libpng's own limits, past which it refuses a file: on either side (PNG_USER_WIDTH_MAX,
// PNG_USER_HEIGHT_MAX), and on a chunk other than IDAT (PNG_USER_CHUNK_MALLOC_MAX).
constexpr uint32_t kLargestSide = 1000000;
constexpr uint32_t kLargestChunk = 8000000;
// The filtered rows are inflated whole: past this, libpng's row by row reading keeps the memory
// a picture takes close to its own size.
constexpr uint64_t kLargestWholeRows = uint64_t(256) << 20;

// A chunk type is four ASCII letters; libpng refuses anything else.
bool validType(const uint8_t* type) {
    for (int i = 0; i < 4; ++i)
        if (!((type[i] >= 'A' && type[i] <= 'Z') || (type[i] >= 'a' && type[i] <= 'z')))
            return false;
    return true;
}

enum ColorType : uint8_t { kGrey = 0, kColor = 2, kPalette = 3, kGreyAlpha = 4, kColorAlpha = 6 };

unsigned channelsOf(uint8_t colorType) {
    switch (colorType) {
    case kColor:
        return 3;
    case kGreyAlpha:
        return 2;
    case kColorAlpha:
        return 4;
    default:
        return 1;
    }
}

bool allowedDepth(uint8_t colorType, uint8_t depth) {
    switch (colorType) {
    case kGrey:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case kPalette:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case kColor:
    case kGreyAlpha:
    case kColorAlpha:
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

struct Header {
    uint32_t width = 0, height = 0;
    uint8_t depth = 0, colorType = 0, compression = 0, filter = 0, interlace = 0;
};

// The longest IDAT chunk libpng accepts for this header: the filtered rows and the most that
// deflate and zlib can add to them (png_check_chunk_length).
uint64_t longestImageChunk(const Header& h) {
    constexpr uint64_t kMost = 0x7FFFFFFF;
    uint64_t rowFactor = uint64_t(h.width) * channelsOf(h.colorType) * (h.depth > 8 ? 2 : 1) + 1;
    uint64_t limit = h.height > 0xFFFFFFFFu / rowFactor ? kMost : h.height * rowFactor;
    rowFactor = std::min<uint64_t>(rowFactor, 32566);
    limit += 6 + 5 * (limit / rowFactor + 1);
    return std::min(limit, kMost);
}

// One unfiltered row of samples laid into a picture row: the high byte of 16-bit samples, colour
// as blue, green, red (as libpng's strip_16, gray_to_rgb and bgr transformations give it).
void layRow(const Header& h, const uint8_t* in, std::size_t rowBytes, uint8_t* out) {
    const std::size_t w = h.width;
    const bool wide = h.depth == 16;
    const std::size_t step = wide ? 2 : 1; // bytes per sample
    switch (h.colorType) {
    case kColor:
        for (std::size_t x = 0; x < w; ++x, in += 3 * step, out += 3) {
            out[0] = in[2 * step];
            out[1] = in[step];
            out[2] = in[0];
        }
        break;
    case kColorAlpha:
        if (!wide) {
            for (std::size_t x = 0; x < w; ++x) {
                uint32_t v;
                std::memcpy(&v, in + 4 * x, 4);
                v = (v & 0xFF00FF00u) | (v >> 16 & 0xFFu) | (v & 0xFFu) << 16;
                std::memcpy(out + 4 * x, &v, 4);
            }
            break;
        }
        for (std::size_t x = 0; x < w; ++x, in += 8, out += 4) {
            out[0] = in[4];
            out[1] = in[2];
            out[2] = in[0];
            out[3] = in[6];
        }
        break;
    case kGreyAlpha:
        for (std::size_t x = 0; x < w; ++x, in += 2 * step, out += 4) {
            out[0] = out[1] = out[2] = in[0];
            out[3] = in[step];
        }
        break;
    default: // grey and palette indices as stored; 16-bit grey cut to its high bytes
        if (!wide) {
            // Below 8 bits the row's last byte may hold bits past its last pixel: those of the
            // picture row are kept, as libpng keeps them.
            const unsigned used = unsigned(w * h.depth % 8);
            std::memcpy(out, in, used ? rowBytes - 1 : rowBytes);
            if (used) {
                const auto mask = uint8_t(0xFF00u >> used);
                out[rowBytes - 1] =
                    uint8_t((out[rowBytes - 1] & ~mask) | (in[rowBytes - 1] & mask));
            }
            break;
        }
        for (std::size_t x = 0; x < w; ++x)
            out[x] = in[2 * x];
    }
}

// The sample at `x` of a row of grey samples below 8 bits, packed from the high bits down.
unsigned packedSample(const uint8_t* in, std::size_t x, unsigned depth) {
    const std::size_t bit = x * depth;
    return (in[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

// One row of grey or colour samples with a transparent colour (tRNS) laid as 32-bit pixels:
// blue, green, red, and alpha 0 where the samples as stored (16 bits before they are cut) equal
// the key, 255 elsewhere; grey below 8 bits spread over the whole range. As libpng's
// tRNS_to_alpha with strip_16, gray_to_rgb and bgr gives them.
void layKeyedRow(const Header& h, const uint8_t* in, const uint16_t key[3], uint8_t* out) {
    const std::size_t w = h.width;
    if (h.colorType == kColor) {
        const bool wide = h.depth == 16;
        const std::size_t step = wide ? 2 : 1;
        for (std::size_t x = 0; x < w; ++x, in += 3 * step, out += 4) {
            const unsigned r = wide ? bigEndian16(in) : in[0];
            const unsigned g = wide ? bigEndian16(in + 2) : in[1];
            const unsigned b = wide ? bigEndian16(in + 4) : in[2];
            out[0] = in[2 * step];
            out[1] = in[step];
            out[2] = in[0];
            out[3] = r == key[0] && g == key[1] && b == key[2] ? 0 : 0xFF;
        }
        return;
    }
    const unsigned most = (1u << std::min<unsigned>(h.depth, 8)) - 1;
    for (std::size_t x = 0; x < w; ++x, out += 4) {
        unsigned sample, level;
        if (h.depth == 16) {
            sample = bigEndian16(in + 2 * x);
            level = in[2 * x];
        } else if (h.depth == 8) {
            sample = level = in[x];
        } else {
            sample = packedSample(in, x, h.depth);
            level = sample * 255 / most;
        }
        out[0] = out[1] = out[2] = uint8_t(level);
        out[3] = sample == key[0] ? 0 : 0xFF;
    }
}

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

} // namespace

DecodeResult checkPngSignature(const uint8_t* data, std::size_t size) {
    if (!std::equal(data, data + std::min<std::size_t>(size, 8), kSignature))
        return Refusal::Malformed;
    return size < 8 ? Refusal::Truncated : Refusal::None;
}

int pngPictureDepth(uint8_t colorType, uint8_t bitDepth) {
    switch (colorType) {
    case kColor:
        return 24;
    case kGreyAlpha:
    case kColorAlpha:
        return 32;
    default:
        return std::min<int>(bitDepth, 8);
    }
}

void setPngColorTable(Picture& picture, const uint8_t* palette, int paletteEntries) {
    RgbQuad* colors = picture.colorTable();
    if (!colors) return;
    const int entries = 1 << picture.bitsPerPixel();
    if (palette) {
        for (int i = 0; i < std::min(paletteEntries, entries); ++i)
            colors[i] = {palette[3 * i + 2], palette[3 * i + 1], palette[3 * i], 0};
        return;
    }
    for (int i = 0; i < entries; ++i) {
        const auto level = uint8_t(i * 255 / (entries - 1));
        colors[i] = {level, level, level, 0};
    }
}

std::optional<DecodeResult> decodePngFast(const uint8_t* data, std::size_t size, Picture& picture) {
    constexpr std::nullopt_t kLeftToLibpng = std::nullopt;
    if (const DecodeResult signature = checkPngSignature(data, size); !signature) return signature;

    // The chunks: a big-endian length, a type, the data and a CRC of type and data. IHDR comes
    // first; the IDAT chunks follow one another; IEND ends the file.
    Header h;
    bool headerRead = false, imageDataOver = false;
    const uint8_t* palette = nullptr;
    uint32_t paletteBytes = 0;
    // The one transparent grey level or colour (tRNS beside grey or colour samples), as stored.
    bool keyed = false;
    uint16_t key[3] = {};
    std::vector<std::pair<const uint8_t*, uint32_t>> imageData;
    uint64_t imageBytes = 0;
    std::size_t at = 8;
    for (;;) {
        if (size - at < 12) return kLeftToLibpng; // cut short: no IEND
        const uint32_t length = bigEndian32(data + at);
        if (length > 0x7FFFFFFFu || length > size - at - 12) return kLeftToLibpng;
        const uint8_t* type = data + at + 4;
        const uint8_t* body = type + 4;
        auto is = [&](const char* name) { return std::memcmp(type, name, 4) == 0; };
        if (!validType(type) ||
            length > (is("IDAT") && headerRead ? longestImageChunk(h) : kLargestChunk))
            return kLeftToLibpng;
        const bool critical = (type[0] & 0x20) == 0; // an upper-case first letter
        if (headerRead == is("IHDR")) return kLeftToLibpng;
        // libpng refuses a critical chunk whose checksum is wrong; the others it skips unread.
        if (critical && libdeflate_crc32(libdeflate_crc32(0, type, 4), body, length) !=
                            bigEndian32(body + length))
            return kLeftToLibpng;
        if (!imageData.empty() && !is("IDAT")) imageDataOver = true;
        if (is("IHDR")) {
            if (length != 13) return kLeftToLibpng;
            h = {bigEndian32(body), bigEndian32(body + 4), body[8], body[9], body[10], body[11],
                 body[12]};
            headerRead = true;
        } else if (is("PLTE")) {
            if (palette || !imageData.empty()) return kLeftToLibpng;
            palette = body;
            paletteBytes = length;
        } else if (is("tRNS") && (h.colorType == kGrey || h.colorType == kColor)) {
            // Only one, before the image data, of the length the colour type gives, with a
            // sample the depth can hold: anything else libpng judges.
            const uint32_t samples = h.colorType == kGrey ? 1 : 3;
            if (keyed || !imageData.empty() || length != 2 * samples ||
                libdeflate_crc32(libdeflate_crc32(0, type, 4), body, length) !=
                    bigEndian32(body + length))
                return kLeftToLibpng;
            for (uint32_t i = 0; i < samples; ++i) {
                key[i] = uint16_t(bigEndian16(body + 2 * i));
                if (h.depth < 16 && key[i] >> h.depth != 0) return kLeftToLibpng;
            }
            keyed = true;
        } else if (is("tRNS") && h.colorType == kPalette &&
                   std::any_of(body, body + length, [](uint8_t alpha) { return alpha < 255; })) {
            // Entries less than opaque make the picture colour with alpha: rare enough for
            // libpng's palette expansion to do it. A tRNS of opaque entries changes nothing.
            return kLeftToLibpng;
        } else if (is("IDAT")) {
            if (imageDataOver) return kLeftToLibpng;
            imageData.emplace_back(body, length);
            imageBytes += length;
        } else if (is("IEND")) {
            break;
        } else if (critical) {
            return kLeftToLibpng; // a critical chunk libpng does not know: it refuses
        }
        at += 12 + std::size_t(length);
    }

    if (h.width == 0 || h.height == 0 || h.width > kLargestSide || h.height > kLargestSide ||
        !allowedDepth(h.colorType, h.depth) || h.compression != 0 || h.filter != 0 ||
        h.interlace > 1 || imageData.empty())
        return kLeftToLibpng;
    const int paletteEntries = int(paletteBytes / 3);
    if (h.colorType == kPalette
            ? !palette || paletteBytes % 3 != 0 || paletteEntries > (1 << h.depth)
            : palette && (h.colorType == kGrey || h.colorType == kGreyAlpha))
        return kLeftToLibpng;
    // Interlaced files are not shown; libpng, given the same well-formed file, refuses them too.
    if (h.interlace == 1) return Refusal::Unsupported;

    // The filtered rows: a filter type byte, then the row's samples packed to whole bytes.
    const unsigned bitsPerPixel = channelsOf(h.colorType) * h.depth;
    const std::size_t rowBytes = (std::size_t(h.width) * bitsPerPixel + 7) / 8;
    const uint64_t filtered = cappedProduct(rowBytes + 1, h.height);
    if (!fitsItsData(uint64_t(h.width) * h.height, filtered, deflateProducible(imageBytes)))
        return Refusal::SizeRule;
    if (filtered > kLargestWholeRows) return kLeftToLibpng;

    // One inflate of the whole stream; several IDAT chunks are joined first.
    std::vector<uint8_t> joined;
    const uint8_t* stream = imageData.front().first;
    std::size_t streamBytes = imageData.front().second;
    if (imageData.size() > 1) {
        joined.reserve(std::size_t(imageBytes));
        for (const auto& [piece, bytes] : imageData)
            joined.insert(joined.end(), piece, piece + bytes);
        stream = joined.data();
        streamBytes = joined.size();
    }
    const int depth = keyed ? 32 : pngPictureDepth(h.colorType, h.depth);
    const uint64_t rowSize = paddedRowSize(h.width, uint32_t(depth));
    const uint64_t image = rowSize * h.height;
    if (uint64_t(h.width) * h.height > kMaxPicturePixels || image > UINT32_MAX - kPixelSpareBytes)
        return Refusal::TooLarge;
    // The filtered rows are inflated into the end of the picture's own block and unfiltered into
    // its rows from the top, each row's output ending before the next filtered row starts: no
    // second block as large as the picture. Only 16-bit samples, whose filtered rows are twice
    // the picture, are inflated into a block of their own.
    const bool inPlace = filtered <= image + h.height;
    const uint64_t blockBytes = inPlace ? std::max(image, filtered) : image;
    auto* block = static_cast<uint8_t*>(allocateLarge(std::size_t(blockBytes) + kPixelSpareBytes));
    if (!block) return Refusal::OutOfMemory;
    struct BlockOwner {
        uint8_t* block;
        std::size_t bytes;
        ~BlockOwner() { freeLarge(block, bytes); }
    } owner{block, std::size_t(blockBytes) + kPixelSpareBytes};
    LargeBuffer separate;
    if (!inPlace) {
        separate = LargeBuffer(std::size_t(filtered), AfterUse::Release);
        if (!separate) return Refusal::OutOfMemory;
    }
    uint8_t* rows = inPlace ? block + (blockBytes - filtered) : separate.data();
    const std::unique_ptr<libdeflate_decompressor, DecompressorFree> inflater(
        libdeflate_alloc_decompressor());
    if (!inflater) return kLeftToLibpng;
    std::size_t inflated = 0;
    // Too little data, too much, or a bad stream checksum (which libpng is told to overlook):
    // libpng's reading of it stands.
    if (libdeflate_zlib_decompress(inflater.get(), stream, streamBytes, rows, std::size_t(filtered),
                                   &inflated) != LIBDEFLATE_SUCCESS ||
        inflated != filtered)
        return kLeftToLibpng;
    std::vector<uint8_t>().swap(joined);

    // Each row is unfiltered in a copy of its own (the row above kept beside it), so that laying
    // it into the picture may overwrite what it came from.
    std::vector<uint8_t> scratch(2 * rowBytes);
    const unsigned pixelBytes = std::max(1u, bitsPerPixel / 8);
    // The bytes of a picture row the samples fill; the rest is padding, zero as in a new picture.
    // (Below 8 bits the last of them keeps the picture's own bits past the last pixel.)
    const std::size_t laid = (std::size_t(h.width) * unsigned(depth) + 7) / 8;
    const uint8_t* above = nullptr;
    for (uint32_t y = 0; y < h.height; ++y) {
        const uint8_t* line = rows + std::size_t(y) * (rowBytes + 1);
        uint8_t* row = scratch.data() + (y % 2) * rowBytes;
        std::memcpy(row, line + 1, rowBytes);
        if (!unfilterRow(line[0], row, above, rowBytes, pixelBytes))
            return kLeftToLibpng; // an unknown filter type: libpng refuses it
        uint8_t* out = block + std::size_t(y) * rowSize;
        std::memset(out + laid - 1, 0, std::size_t(rowSize) - laid + 1);
        if (keyed)
            layKeyedRow(h, row, key, out);
        else
            layRow(h, row, rowBytes, out);
        above = row;
    }
    // What is left of the filtered rows past the picture reads as zero, as the spare bytes must.
    std::memset(block + image, 0, std::size_t(blockBytes - image) + kPixelSpareBytes);
    if (!picture.adoptPixels(block, uint32_t(blockBytes), int(h.width), int(h.height), depth))
        return Refusal::OutOfMemory;
    owner.block = nullptr;
    setPngColorTable(picture, h.colorType == kPalette ? palette : nullptr, paletteEntries);
    return kOk;
}

} // namespace vistrel
