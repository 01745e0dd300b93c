// The decoders of WebP, HEIF, AVIF and JPEG XL, with libwebp, libheif, libavif and libjxl, live in
// a module of their own (vistrel-codecs.so, lib/vistrel/ beside the program's bin/) that is loaded
// the first time a file of those formats is read: a program that shows JPEG and PNG files never
// maps those libraries (linked, they and their own libraries cost every start about 4 MB resident
// and their relocations). The module's decoders use the program's own code (pictures, large
// buffers, the EXIF reader), which the program exports to it; the module exports nothing but its
// table of entries.
#pragma once

#include "ByteSource.h"
#include "PictureFormat.h"
#include "PictureMetadata.h"
#include "ReducedDecode.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

struct CodecEntries {
    DecodeResult (*readWebpHeader)(ByteSource&, PictureHeader&);
    DecodeResult (*decodeWebp)(const uint8_t*, std::size_t, Picture&, PictureMetadata&,
                               ReducedDecode*);
    DecodeResult (*decodeWebpFile)(const char*, Picture&, PictureMetadata&);
    DecodeResult (*readHeifHeader)(ByteSource&, PictureHeader&);
    DecodeResult (*decodeHeif)(const uint8_t*, std::size_t, Picture&, PictureMetadata&,
                               ReducedDecode*);
    DecodeResult (*decodeHeifFile)(const char*, Picture&, PictureMetadata&);
    DecodeResult (*decodeAvifFile)(const char*, Picture&, PictureMetadata&);
    DecodeResult (*readJxlHeader)(ByteSource&, PictureHeader&);
    DecodeResult (*decodeJxlFile)(const char*, Picture&, PictureMetadata&);
};

// The module's one exported function. It hands out its entries only to a program of its own
// build: the same version, and the same layout of the types the entries pass.
extern "C" {
using CodecEntriesOf = const CodecEntries* (*)(const char* version, std::size_t layout);
}
inline constexpr const char* kCodecEntriesSymbol = "vistrel_codec_entries";
inline constexpr const char* kCodecModuleName = "vistrel-codecs.so";
inline constexpr std::size_t kCodecLayout = sizeof(CodecEntries) * 1000003 +
                                            sizeof(PictureMetadata) * 1009 + sizeof(Picture) * 31 +
                                            sizeof(ReducedDecode);

// The module's entries, loaded on the first call from any thread; null when the module is not
// there or not of this build. Never unloaded: pictures and animations it made point into its code
// until the process ends.
const CodecEntries* codecModule();

// A format table row's header reader and decoder through the module: without it the file is
// refused as one whose decoder is missing.
template <DecodeResult (*CodecEntries::*entry)(ByteSource&, PictureHeader&)>
DecodeResult moduleHeader(ByteSource& source, PictureHeader& header) {
    const CodecEntries* codecs = codecModule();
    return codecs ? (codecs->*entry)(source, header) : Refusal::NoDecoder;
}
template <DecodeResult (*CodecEntries::*entry)(const char*, Picture&, PictureMetadata&)>
DecodeResult moduleDecode(const char* path, Picture& picture, PictureMetadata& metadata) {
    const CodecEntries* codecs = codecModule();
    return codecs ? (codecs->*entry)(path, picture, metadata) : Refusal::NoDecoder;
}

} // namespace vistrel
