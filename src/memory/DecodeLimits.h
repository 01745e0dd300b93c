// The one size rule every decoder applies before it allocates a picture (the PSD reader too, for
// its merged image, layers and patterns): a header may not claim a picture much larger than the
// data behind it can produce. A few bytes that announce 16000 x
// 16000 pixels would otherwise cost gigabytes and seconds to show a picture that is nearly all
// missing.
//
// A picture's uncompressed size (its samples as the format stores them uncompressed) may be at
// most twice what the data present can produce at the format's best ratio. A real file cut short
// that still holds half its data or more is shown as before. Below the floor nothing is refused.
#pragma once

#include <atomic>
#include <cstdint>

namespace vistrel {

// The floor is measured on the picture as it is held, at 4 bytes a pixel (the system decoder's
// readers hand out 32-bit rows and every picture on show may be widened to 24 or 32 bits), not
// on the file's samples: a 1-bit header claiming 24 MB of rows costs 1.2 GB on its way to the
// screen. 64 MB is a 4096 x 4096 picture.
inline constexpr uint64_t kDecodeFloorBytes = uint64_t(64) << 20;

namespace detail {
inline std::atomic<uint64_t> decodeFloor{kDecodeFloorBytes};
} // namespace detail

// a * b, or the largest value when that overflows: sizes from headers multiply freely.
inline uint64_t cappedProduct(uint64_t a, uint64_t b) {
    return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b;
}

// Tests lower the floor to see what the ratios alone allow on small files; the viewer and the
// fuzz harnesses keep it.
inline void setDecodeFloor(uint64_t bytes) {
    detail::decodeFloor = bytes;
}
inline uint64_t decodeFloor() {
    return detail::decodeFloor;
}

// Whether a decode that holds `heldBytes` once done, and whose samples take `uncompressedBytes`
// as the format stores them, may go ahead on data that can produce at most `producibleBytes`
// (one of the worst cases below).
inline bool bytesFitTheirData(uint64_t heldBytes, uint64_t uncompressedBytes,
                              uint64_t producibleBytes) {
    return heldBytes <= decodeFloor() ||
           uncompressedBytes - uncompressedBytes / 2 <= producibleBytes;
}

// The same for a picture of `pixels`, held at 4 bytes a pixel.
inline bool fitsItsData(uint64_t pixels, uint64_t uncompressedBytes, uint64_t producibleBytes) {
    return bytesFitTheirData(cappedProduct(pixels, 4), uncompressedBytes, producibleBytes);
}

// The most each format's data can produce, from the bytes of it present in the file.

// Uncompressed pixel rows (BMP, TGA type 2, bitmap icon images): one byte gives one byte.
inline uint64_t rawProducible(uint64_t present) {
    return present;
}

// PackBits (PSD channels): a two-byte run repeats its byte at most 128 times.
inline uint64_t packBitsProducible(uint64_t present) {
    return cappedProduct(present, 64);
}

// TGA run-length packets: a header byte and one pixel of `bytesPerPixel` repeat that pixel at
// most 128 times.
inline uint64_t tgaRunLengthProducible(uint64_t present, uint64_t bytesPerPixel) {
    const uint64_t packets = present / (1 + bytesPerPixel) + 1;
    return cappedProduct(packets, 128 * bytesPerPixel);
}

// BMP run-length (RLE8, RLE4): a two-byte run fills at most 255 pixels. The end-of-line, delta
// and end-of-bitmap escapes leave pixels unwritten rather than produce them, so they earn
// nothing: a picture made mostly of skipped pixels is no picture its data describes.
inline uint64_t bmpRunLengthProducible(uint64_t present, uint64_t bitsPerPixel) {
    const uint64_t pixels = cappedProduct(present / 2 + 1, 255);
    return cappedProduct(pixels, bitsPerPixel) / 8 + 1;
}

// Huffman-coded JPEG: every 8x8 block of every component costs at least one bit (its DC
// difference, in a sequential scan or a progressive file's first DC scan), so a byte covers at
// most 8 blocks of 64 samples. Uncompressed size: the blocks of all components times 64.
// Arithmetic coding can go below a bit per block; flat arithmetic-coded pictures past the floor
// are held to the same rule.
inline uint64_t jpegProducible(uint64_t present) {
    return cappedProduct(present, 8 * 64);
}

// GIF LZW: one code yields at most 4096 pixels (the string table's size), and a code that long
// is 12 bits wide, since the table has grown past 2048 entries by then; shorter strings cost
// more bits per pixel. Uncompressed size: one byte per pixel of the canvas.
inline uint64_t lzwProducible(uint64_t present) {
    return cappedProduct(cappedProduct(present, 8) / 12 + 1, 4096);
}

// Deflate (PNG rows, PNG icon images): a 258-byte match costs at least 2 bits, so a byte yields
// at most 1032. Uncompressed size: the filtered rows, one filter byte each.
inline uint64_t deflateProducible(uint64_t present) {
    return cappedProduct(present, 1032);
}

// The codecs of today's phones and web (WebP, HEIF, AVIF, JPEG XL) have no bound of their own: an
// arithmetic coder spends a fraction of a bit on a skipped block (VP8, HEVC, AV1), and a prefix
// code of one symbol costs no bits at all (WebP lossless, JPEG XL's modular mode), so a flat
// picture of any size fits in a few hundred bytes. Each is held to a ratio a little above the
// best its own encoder reaches on a flat 4000 x 4000 grey picture (samples as 8-bit RGB), which
// no photo or screenshot comes near: cwebp -q 75 28.5 KB (1:1700), cwebp -lossless 680 bytes
// (1:70000), heif-enc 3.9 KB (1:12000), heif-enc -A (AVIF) 396 bytes (1:120000), cjxl -d 0 676
// bytes (1:70000). With the rule's factor of two, a flat picture of twice that area still opens;
// a header that claims 16000 x 16000 needs several kilobytes behind it. Uncompressed size: the
// pixels times their channels (3, or 4 with alpha) at 8 bits.
inline uint64_t webpLossyProducible(uint64_t present) {
    return cappedProduct(present, uint64_t(1) << 12);
}
inline uint64_t webpLosslessProducible(uint64_t present) {
    return cappedProduct(present, uint64_t(1) << 17);
}
inline uint64_t heicProducible(uint64_t present) {
    return cappedProduct(present, uint64_t(1) << 14);
}
inline uint64_t avifProducible(uint64_t present) {
    return cappedProduct(present, uint64_t(1) << 17);
}
inline uint64_t jxlProducible(uint64_t present) {
    return cappedProduct(present, uint64_t(1) << 17);
}

// Placeable metafiles hold drawing records, not pixels: one record of a few bytes may paint the
// whole frame, so no amount of data bounds the picture, and a 46-byte header can ask for 16000 x
// 16000 pixels. They are held to the floor alone.
inline bool metafileFits(uint64_t pixels) {
    return cappedProduct(pixels, 4) <= decodeFloor();
}

} // namespace vistrel
