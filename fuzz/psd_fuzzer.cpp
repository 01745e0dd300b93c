// libFuzzer harness for the PSD reader: the whole load, from memory, then the release.
#include "psd_internal.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Pictures of up to 2^28 pixels are valid and a few header bytes can ask for one; the reader
    // decodes them in full (a truncated image is no error). Keep the fuzzer on small pictures so
    // that its time goes into the parsers rather than into filling planes.
    if (size >= 22) {
        const uint64_t height =
            uint64_t(data[14]) << 24 | data[15] << 16 | data[16] << 8 | data[17];
        const uint64_t width = uint64_t(data[18]) << 24 | data[19] << 16 | data[20] << 8 | data[21];
        if (width * height > (uint64_t(1) << 22)) return 0;
    }
    PsdContext* psd = nullptr;
    if (psd_open_memory(&psd, data, size) == 0) psd_free(psd);
    return 0;
}
