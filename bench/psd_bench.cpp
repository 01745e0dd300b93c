// Times one load of a PSD file in this process: the reader alone (psd_open and psd_free) and the
// viewer's whole hand-over (decodePsd into a Picture), printing "reader_ms=X picture_ms=Y"; or,
// with --composite, the reader with every layer's pixels and the layer compositor, printing
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
    int status = psd_open(&psd, path);
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

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && !std::strcmp(argv[1], "--composite")) return composite(argv[2]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: psd_bench [--composite] FILE.psd\n");
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
