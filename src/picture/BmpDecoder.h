#pragma once

#include "ByteSource.h"
#include "PictureFormat.h"

namespace vistrel {

// Uncompressed bottom-up BMP files with a header of 40 bytes or more. Everything else (top-down
// rows, run-length, bit fields, embedded JPEG or PNG, the old 12-byte header) is refused as
// unsupported, so that the system picture decoder takes the file.
DecodeResult decodeBmp(ByteSource& source, Picture& picture);
DecodeResult decodeBmp(const char* path, Picture& picture);

// The file header and the info header (the 12-byte core header too): the picture's size, and
// its depth as held: the file's own for what decodeBmp reads, 24 bits for what it leaves to the
// system picture decoder.
DecodeResult readBmpHeader(ByteSource& source, PictureHeader& header);

// Whether the pixel data present can fill the picture the headers of any BMP file announce, under
// the size rule of DecodeLimits.h: raw rows at 1:1, run-length at its best ratio. Also for the
// files only the system picture decoder reads (top-down, bit fields, run-length, the 12-byte
// header). False when the headers cannot be read.
bool bmpDataCanFill(ByteSource& source);

} // namespace vistrel
