// Times one load of a PSD file in this process: the reader alone (psd_open and psd_free) and the
// viewer's whole hand-over (decodePsd into a Picture). Prints "reader_ms=X picture_ms=Y".
#include "PsdDecoder.h"
#include "psd.h"

#include <chrono>
#include <cstdio>

namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: psd_bench FILE.psd\n");
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
