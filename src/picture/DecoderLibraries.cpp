#include "DecoderLibraries.h"

#include "Files.h"
#include "JpegDecoder.h"
#if VISTREL_MODERN_FORMATS
#include "CodecModule.h"
#include "ModernSignatures.h"
#endif

#include <cstdint>

namespace vistrel {

void openDecoderLibrariesFor(const char* path) {
    InputFile file;
    if (!file.open(path)) return;
    uint8_t head[32] = {};
    const std::size_t size = file.readAt(0, head, sizeof head);
    if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) {
        jpegLibrary();
        return;
    }
#if VISTREL_MODERN_FORMATS
    if (isWebp(head, size) || isHeic(head, size) || isAvif(head, size) || isJxl(head, size))
        codecModule();
#endif
}

} // namespace vistrel
