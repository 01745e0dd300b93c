// Every format's header reader on arbitrary bytes (the one parse the decoders and the memory budget
// share: the icon directory's choice and the JPEG segment walk among them), and every signature.
#include "PictureFormat.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const vistrel::PictureFormat& format : vistrel::pictureFormats()) {
        vistrel::MemorySource source(data, size);
        vistrel::PictureHeader header;
        // A header that reads gives a picture of some size.
        if (format.readHeader(source, header) && (header.width <= 0 || header.height <= 0))
            std::abort();
        if (format.sniff) format.sniff(data, size);
    }
    return 0;
}
