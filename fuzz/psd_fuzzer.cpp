// libFuzzer harness for the PSD reader at the viewer's real limits (pictures of up to 2^28
// pixels; the decompression-bomb rule keeps each run small): the whole load from memory, layer
// and pattern pixels included, and the layer compositor over what it read, which must match the
// compositor drawing the layers band by band from the file (defer_layer_pixels); then the viewer's
// own path, decodePsd over a file read through its descriptor (which composites the layers of a
// file whose merged picture is not real). The whole load has a budget of 256 MB, what the rule lets
// a file of a few hundred kilobytes fill: a run that grows past it in memory the rule does not
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

namespace {

// The composite of a loaded document, or null.
uint32_t* composite(PsdContext* psd) {
    uint32_t* pixels = nullptr;
    return psd_composite(psd, &pixels) == 0 ? pixels : nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A file in memory that psd_open reads as a regular file on disk.
    static const int fd = memfd_create("psd_fuzzer", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const bool file =
        fd >= 0 && ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == ssize_t(size);

    PsdContext* psd = nullptr;
    PsdOptions whole{};
    whole.memory_budget = uint64_t(256) << 20;
    if (psd_open_memory(&psd, data, size, &whole) == 0) {
        uint32_t* pixels = composite(psd);
        // The layers drawn band by band from the file must give the same composite.
        PsdContext* banded = nullptr;
        PsdOptions from_file = whole;
        from_file.defer_layer_pixels = 1;
        if (pixels && file && psd_open_with(&banded, path.c_str(), &from_file) == 0) {
            if (uint32_t* other = composite(banded)) {
                const uint64_t count = uint64_t(psd->width) * psd->height;
                for (uint64_t i = 0; i < count; ++i)
                    if (pixels[i] != other[i]) __builtin_trap();
                vistrel::freeLarge(other, size_t(psd_merged_block_size(banded)));
            }
        }
        psd_free(banded);
        if (pixels) vistrel::freeLarge(pixels, size_t(psd_merged_block_size(psd)));
        psd_free(psd);
    }

    if (file) {
        vistrel::Picture picture;
        vistrel::decodePsd(path.c_str(), picture);
    }
    return 0;
}
