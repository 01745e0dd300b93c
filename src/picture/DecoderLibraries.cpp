#include "DecoderLibraries.h"

#include "Files.h"
#include "JpegDecoder.h"
#include "PictureFormat.h"
#if VISTREL_MODERN_FORMATS
#include "CodecModule.h"
#endif

#include <cstdint>

namespace vistrel {

void openDecoderLibrariesFor(const char* path) {
    InputFile file;
    if (!file.open(path)) return;
    uint8_t head[32] = {};
    const std::size_t size = file.readAt(0, head, sizeof head);
    const PictureFormat* format = formatOfBytes(head, size);
    if (!format) return;
    switch (format->id) {
    case FormatId::Jpeg:
        jpegLibrary();
        break;
#if VISTREL_MODERN_FORMATS
    case FormatId::Webp:
    case FormatId::Heif:
    case FormatId::Avif:
    case FormatId::Jxl:
        codecModule();
        break;
#endif
    default:
        break;
    }
}

} // namespace vistrel
