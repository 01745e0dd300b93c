// JPEG files through libjpeg-turbo's TurboJPEG library, loaded at run time and never linked: a
// machine without it still shows JPEG files through the system picture decoder.
#pragma once

#include "ByteSource.h"
#include "Geometry.h"
#include "PictureFormat.h"
#include "PictureMetadata.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// The JPEG codec library, loaded at run time on first use; opaque to callers.
struct JpegLibrary;

// The library when it loaded and its entry points were found; null otherwise, and then JPEG
// files go to the system picture decoder. The first call loads it (once per process); it is
// released at exit.
const JpegLibrary* jpegLibrary();
// Makes the library count as absent from now on (vistrel-decode --no-jpeg-library, tests of the
// fall-back); false makes it count again.
void disableJpegLibrary(bool disabled = true);

// Whether the scans of a JPEG file can fill the frame its header announces, under the size rule
// of DecodeLimits.h (a bit per block at best). False when no frame header precedes the first scan
// or the segments cannot be walked.
bool jpegDataCanFill(const uint8_t* data, std::size_t size);

// The frame header (the first start-of-frame segment before the first scan): the picture's size.
// Segments before it (EXIF, ICC profiles) are passed over by their lengths.
DecodeResult readJpegHeader(ByteSource& source, PictureHeader& header);

// Decodes the whole file straight into the picture: 24 bits, rows top first, blue-green-red,
// padded to 4 bytes. Grey files come out as 24-bit grey, CMYK and YCCK files as colour. A file
// whose pixel data is damaged or cut short still counts as decoded: rows the library did not
// write keep the block's content. Refused when there is no library (Refusal::NoDecoder), the file
// cannot be read, its header is not a JPEG header, or it has more than `maxPixels` pixels
// (refused before anything is allocated).
DecodeResult decodeJpeg(const char* path, Picture& picture);
// The same with the file's metadata (JpegMetadata.h): a CMYK file with a CMYK profile keeps its
// inks for the profile (PictureMetadata::inks).
DecodeResult decodeJpeg(const char* path, Picture& picture, PictureMetadata& metadata);
// With `eighths` below 8 the picture comes out eighths/8 of its size on each side (rounded up;
// jpegScaledSide), scaled in the inverse DCT: much of the decode's work is skipped. A scale the
// library does not offer decodes the full size. With `keepInks`
// a CMYK or YCCK file comes out as a 32-bit picture of its inks as stored (bytes cyan, magenta,
// yellow, black; 255 for no ink in Adobe's files), to be converted through its profile.
DecodeResult decodeJpeg(const uint8_t* data, std::size_t size, Picture& picture,
                        uint64_t maxPixels = kMaxPicturePixels, int eighths = 8,
                        bool keepInks = false);

// The picture size in the file's frame header, as the library reads it.
DecodeResult jpegSize(const uint8_t* data, std::size_t size, int& width, int& height);
// The smallest scale the library's DCT scaling offers, in eighths (1 to 7; 8 for the full size),
// at which a picture of `width` x `height` still covers `atLeast` on both sides.
int jpegScale(int width, int height, Size atLeast);
// A side of `side` pixels decoded at `eighths`/8.
int jpegScaledSide(int side, int eighths);

} // namespace vistrel
