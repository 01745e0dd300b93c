// The signatures of the formats the codec module reads (CodecModule.h), told without it: the
// format table sniffs every file's first bytes, and only a decode may load the module.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistrel {

// "RIFF", a length, "WEBP".
bool isWebp(const uint8_t* data, std::size_t size);
// An ISO box file (ftyp) whose major brand is one of HEIF's (HEVC stills and sequences, or the
// brands of images whose codec the brand does not name) ...
bool isHeic(const uint8_t* data, std::size_t size);
// ... or AVIF's (AV1 stills and sequences).
bool isAvif(const uint8_t* data, std::size_t size);
// A bare JPEG XL codestream (FF 0A) or the JPEG XL container's signature box.
bool isJxl(const uint8_t* data, std::size_t size);

} // namespace vistrel
