// The properties reader over arbitrary bytes: JPEG segments, PNG chunks, compressed and chunked
// colour profiles and EXIF directories whose lengths and offsets point anywhere.
#include "FileProperties.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const vistrel::FileProperties read = vistrel::propertiesOfBytes(data, size);
    // Texts are read from inside the bytes given (a profile inflates to at most 4 MB).
    if (read.dateTaken.size() > 4 * size + 64 || read.profile.size() > (std::size_t(16) << 20))
        std::abort();
    return 0;
}
