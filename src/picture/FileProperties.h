// What a picture file says of itself besides its pixels, for the information view: its size on
// disk, its format, the description of its embedded colour profile and the date its picture was
// taken. Read from the file's first bytes by the readers the decoders use (JpegMetadata.h,
// PngMetadata.h, ExifReader.h), every length checked against what was read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vistrel {

// Bytes of the file start that are read for the profile and the date: a JPEG's APP segments, a
// PNG's chunks (its eXIf may follow the image data).
inline constexpr std::size_t kPropertiesWindowBytes = std::size_t(1) << 20;

struct FileProperties {
    bool sizeKnown = false;
    uint64_t bytes = 0;    // the file's size
    std::string format;    // the format table row's name ("JPEG"); empty when none reads it
    std::string profile;   // the embedded profile's description, "sRGB" when declared; empty: none
    std::string dateTaken; // "YYYY-MM-DD HH:MM:SS" from EXIF; empty: none
};

// Reads the properties of the file at `path`; what cannot be read stays empty.
FileProperties readFileProperties(const char* path);
// The format, profile and date from the file's first bytes (at most kPropertiesWindowBytes).
FileProperties propertiesOfBytes(const uint8_t* data, std::size_t size);

} // namespace vistrel
