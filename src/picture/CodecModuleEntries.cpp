// The codec module's one exported function (CodecModule.h); everything else in the module is
// hidden, so its decoders never bind to a symbol of the program's of the same name.
#include "AvifDecoder.h"
#include "CodecModule.h"
#include "HeifDecoder.h"
#include "JxlDecoder.h"
#include "WebpDecoder.h"

#include <cstring>

namespace vistrel {
namespace {

using DecodeBytes = DecodeResult (*)(const uint8_t*, std::size_t, Picture&, PictureMetadata&,
                                     ReducedDecode*);
using DecodeFile = DecodeResult (*)(const char*, Picture&, PictureMetadata&);

const CodecEntries kEntries{
    readWebpHeader,
    static_cast<DecodeBytes>(decodeWebp),
    static_cast<DecodeFile>(decodeWebp),
    readHeifHeader,
    static_cast<DecodeBytes>(decodeHeif),
    static_cast<DecodeFile>(decodeHeif),
    static_cast<DecodeFile>(decodeAvif),
    readJxlHeader,
    static_cast<DecodeFile>(decodeJxl),
};

} // namespace
} // namespace vistrel

extern "C" __attribute__((visibility("default"))) const vistrel::CodecEntries*
vistrel_codec_entries(const char* version, std::size_t layout) {
    return std::strcmp(version, VISTREL_VERSION) == 0 && layout == vistrel::kCodecLayout
               ? &vistrel::kEntries
               : nullptr;
}
