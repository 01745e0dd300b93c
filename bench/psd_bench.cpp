// Times one load of a PSD file in this process: the reader alone (psd_open and psd_free) and the
// viewer's whole hand-over (decodePsd into a Picture), printing "reader_ms=X picture_ms=Y"; or,
// with --composite, the reader and the layer compositor as the viewer runs them, printing
// "composite_ms=X".
#include "LargeBuffer.h"
#include "PsdDecoder.h"
#include "psd.h"
#include "psd_composite.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

int composite(const char* path) {
    const auto start = std::chrono::steady_clock::now();
    PsdContext* psd = nullptr;
    // As the viewer composites: the layers drawn band by band from the file.
    PsdOptions options{};
    options.skip_pattern_pixels = 1;
    options.defer_layer_pixels = 1;
    int status = psd_open_with(&psd, path, &options);
    uint32_t* pixels = nullptr;
    if (status == 0) status = psd_composite(psd, &pixels);
    if (pixels) vistrel::freeLarge(pixels, size_t(psd_merged_block_size(psd)));
    psd_free(psd);
    const double elapsed = millisecondsSince(start);
    if (status != 0) {
        std::fprintf(stderr, "psd_bench: %s: %s\n", path, psd_status_text(status));
        return 1;
    }
    std::printf("composite_ms=%.2f\n", elapsed);
    return 0;
}

// The composite with every layer decoded whole and drawn band by band from the file: both must
// give the same bytes. Prints "same=1", or "same=0" and the first pixel that differs.
int compare(const char* path) {
    uint32_t* results[2] = {};
    uint64_t pixels = 0, block = 0;
    int status = 0;
    for (int deferred = 0; deferred < 2 && status == 0; ++deferred) {
        PsdOptions options{};
        options.defer_layer_pixels = uint8_t(deferred);
        PsdContext* psd = nullptr;
        status = psd_open_with(&psd, path, &options);
        if (status == 0) status = psd_composite(psd, &results[deferred]);
        if (status == 0) {
            pixels = uint64_t(psd->width) * psd->height;
            block = psd_merged_block_size(psd);
        }
        psd_free(psd);
    }
    if (status == 0) {
        uint64_t i = 0;
        while (i < pixels && results[0][i] == results[1][i])
            ++i;
        if (i == pixels)
            std::printf("same=1\n");
        else
            std::printf("same=0 pixel=%llu whole=%08x bands=%08x\n", (unsigned long long)i,
                        results[0][i], results[1][i]);
    } else {
        std::fprintf(stderr, "psd_bench: %s: %s\n", path, psd_status_text(status));
    }
    for (uint32_t* result : results)
        if (result) vistrel::freeLarge(result, size_t(block));
    return status == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && !std::strcmp(argv[1], "--composite")) return composite(argv[2]);
    if (argc == 3 && !std::strcmp(argv[1], "--compare")) return compare(argv[2]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: psd_bench [--composite | --compare] FILE.psd\n");
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    PsdContext* psd = nullptr;
    const int status = psd_open(&psd, argv[1]);
    psd_free(psd);
    const double reader = millisecondsSince(start);
    if (status != 0) {
        std::fprintf(stderr, "psd_bench: %s: %s\n", argv[1], psd_status_text(status));
        return 1;
    }
    start = std::chrono::steady_clock::now();
    vistrel::Picture picture;
    const bool ok = vistrel::decodePsd(argv[1], picture).ok();
    const double whole = millisecondsSince(start);
    std::printf("reader_ms=%.2f picture_ms=%.2f ok=%d\n", reader, whole, ok ? 1 : 0);
    return 0;
}
