// The picture formats the program reads, one row each. A file is told by its extension for the
// decoder dispatch and the folder listing, and by its first bytes where the system picture
// decoder takes it; its header is read once, by the same function for the decoder and for the
// prefetcher's memory budget. Adding a format is adding a row.
#pragma once

#include "ByteSource.h"
#include "DecodeResult.h"
#include "Picture.h"
#include "PictureMetadata.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vistrel {

enum class FormatId : uint8_t {
    Jpeg,
    Bmp,
    Gif,
    Icon,
    Metafile,
    Cursor,
    Targa,
    Png,
    Psd,
    Psb,
    Webp,
    Heif,
    Avif,
    Jxl,
};

// What a file's header says of the picture its decode makes.
struct PictureHeader {
    int width = 0;
    int height = 0;
    // Of the picture as held: 16-bit PNG samples are held at 8 bits, what the system picture
    // decoder makes at 24.
    int bitsPerPixel = 0;
    // Pictures shown one after another: 1 for a still picture, 0 where only a walk through the
    // whole file could tell (GIF).
    int frames = 1;

    uint64_t pixels() const { return uint64_t(width) * uint64_t(height); }
    // Sets the size from a header's unsigned fields (clamped to what an int holds); false for an
    // empty side.
    bool setSize(uint64_t w, uint64_t h);
};

struct PictureFormat {
    FormatId id;
    const char* name;
    // Lower case, without the dot, matched without regard to ASCII case; unused places null.
    const char* extensions[3];
    // As the desktop entry lists them, each followed by ';'.
    const char* mimeTypes;
    // Whether the first bytes are this format's signature; null for a format without one.
    bool (*sniff)(const uint8_t* data, std::size_t size);
    DecodeResult (*readHeader)(ByteSource& source, PictureHeader& header);
    // The program's own decoder; null where the system picture decoder alone reads the format.
    // Beside the picture it hands over what the file says of its orientation, colour space and
    // camera (PictureMetadata.h), which the load applies.
    DecodeResult (*decode)(const char* path, Picture& picture, PictureMetadata& metadata);
    // Whether a file of these extensions goes to the system picture decoder when the own decoder
    // refuses it or there is none.
    bool systemFallback;
    // For the formats the system picture decoder reads (null for the others): whether the whole
    // file's data can fill what its headers claim, the size rule of DecodeLimits.h, checked
    // before the system decoder's readers size anything by those headers.
    bool (*systemDataCanFill)(const uint8_t* data, std::size_t size);
};

// Every row: JPEG, BMP, GIF, ICO, WMF, CUR, TGA, PNG, PSD, PSB, WebP, HEIF, AVIF, JPEG XL (the
// folder listing's order).
std::span<const PictureFormat> pictureFormats();

// The text after the last "." that follows the last "/" of the path; null when the path has no
// "/" or nothing after it has a ".".
const char* extensionOf(const char* path);
// The row of the path's extension; null for an extension no row lists, or none.
const PictureFormat* formatOfPath(const char* path);
// The row whose signature the bytes start with; null when none does.
const PictureFormat* formatOfBytes(const uint8_t* data, std::size_t size);
// Reads the file's header and returns its row: the extension's, or where that header cannot be
// read and the system picture decoder may take the file, the row its first bytes name among the
// formats that decoder reads. Null when no header can be read.
const PictureFormat* readPictureHeader(const char* path, PictureHeader& header);

// "*.jpg,*.jpe,...": every extension of every row, in row order.
std::string listingPatterns();

// Makes `picture` width x height at `bitsPerPixel`, saying why it could not: an empty side is
// malformed, an odd depth unsupported, more than kMaxPicturePixels too large; else memory ran out.
DecodeResult createPicture(Picture& picture, int width, int height, int bitsPerPixel);

} // namespace vistrel
