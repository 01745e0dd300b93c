// The EXIF orientation and camera text of a JPEG file, found by searching the start of the file
// for the byte patterns of three tags. It deliberately does not walk the TIFF directories: files
// are shown as this search reads them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistrel {

// Bytes of the file start that are searched; tags further into the file are not found.
inline constexpr std::size_t kExifWindowBytes = 4096;

// Scans the first kExifWindowBytes of the file. Sets `angle` to 90 (orientation 6: turn a
// quarter clockwise), -90 (orientation 8) or 0 (anything else, mirrored and half turns included);
// leaves it untouched when the file cannot be read. Returns the camera text (make and model), or
// null when there is none or the file cannot be read. The text belongs to the calling thread and
// stays valid until its next scan.
const char* scanExif(const char* path, int& angle);
// The same over bytes already read (at most kExifWindowBytes of them are looked at).
const char* scanExifWindow(const uint8_t* data, std::size_t size, int& angle);

} // namespace vistrel
