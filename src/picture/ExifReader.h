// The orientation, camera text and date of an EXIF block, read by walking its TIFF structure: the
// header, the first directory (IFD0), which describes the main picture, and the Exif directory it
// points to. Thumbnails and maker notes have directories of their own further on, and are never
// read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vistrel {

// Entries of IFD0 read at most; real directories hold a few dozen.
inline constexpr std::size_t kMostExifEntries = 512;

struct ExifFacts {
    // Orientation 1 to 8 (1 also where the tag is missing or holds another value).
    uint8_t orientation = 1;
    // The model when it names the make; else make, a space, model (either may be missing); empty
    // when the block names neither.
    std::string cameraText;
    // When the picture was taken, "YYYY-MM-DD HH:MM:SS" (other forms as written): the Exif
    // directory's DateTimeOriginal, else IFD0's DateTime; empty when neither holds a date (cameras
    // without a clock write blanks or zeros). Bytes above ASCII are read as Latin-1, in UTF-8.
    std::string dateTaken;
};

// Reads a TIFF block ("II" or "MM", 42, the offset of IFD0), optionally preceded by the "Exif"
// and two zero bytes of a JPEG's APP1 segment. Every offset and count is checked against the
// block: false, with default facts, when the header is not a TIFF header or IFD0 does not lie
// within the block; a text whose bytes do not is left out.
bool readExif(const uint8_t* block, std::size_t size, ExifFacts& facts);

} // namespace vistrel
