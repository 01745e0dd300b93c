// libFuzzer harness for the PSD reader at the viewer's real limits (pictures of up to 2^28
// pixels; the decompression-bomb rule keeps each run small): the whole load from memory, layer
// and pattern pixels included, and the layer compositor over what it read; then the viewer's own
// path, decodePsd over a file read through its descriptor (which composites the layers of a file
// whose merged picture is not real). The whole load has a budget of 256 MB, what the rule lets a
// file of a few hundred kilobytes fill: a run that grows past it in memory the rule does not
// count is a finding (scripts/fuzz runs this harness with -rss_limit_mb=768).
#include "LargeBuffer.h"
#include "PsdDecoder.h"
#include "psd_composite.h"
#include "psd_internal.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PsdContext* psd = nullptr;
    PsdOptions whole{};
    whole.memory_budget = uint64_t(256) << 20;
    if (psd_open_memory(&psd, data, size, &whole) == 0) {
        uint32_t* composite = nullptr;
        if (psd_composite(psd, &composite) == 0)
            vistrel::freeLarge(composite, size_t(psd_merged_block_size(psd)));
        psd_free(psd);
    }

    // A file in memory that psd_open reads as a regular file on disk.
    static const int fd = memfd_create("psd_fuzzer", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd >= 0 && ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == ssize_t(size)) {
        vistrel::Picture picture;
        vistrel::decodePsd(path.c_str(), picture);
    }
    return 0;
}
