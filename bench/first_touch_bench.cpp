// What the first write into a large fresh block costs, with and without the advice for huge pages
// (transparent huge pages, `madvise(MADV_HUGEPAGE)`), for the picture sizes the viewer decodes
// into: a 1920x1080, a 4000x3000 and a 6000x4000 picture of 4-byte pixels. Each round maps a block
// 2 MB aligned, always advised, never advised, and as the viewer maps it (`mapPages`, which
// advises only while free huge pages can be had), writes it front to back as a decode writes its
// rows, and unmaps it; the three kinds take turns within each round. Prints the median, the 90th
// percentile and the worst of ROUNDS rounds per size and kind.
//
// With --fragment MB it first fills MB of memory with small pages and gives every second one
// back, so that the system has few free 2 MB runs left: a huge page then costs a compaction or
// falls back to small pages, as on a desktop that has been up for days. The measured blocks are
// then kept until the end, so that each round needs memory the earlier ones did not free.
//   first-touch-bench [--rounds N] [--fragment MB]
#include "Pages.h"

#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kHuge = std::size_t(2) << 20;
constexpr std::size_t kSmall = 4096;

void* mapAligned(std::size_t bytes, bool advise) {
    const std::size_t mapped = bytes + kHuge;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHuge - 1) & ~(kHuge - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const std::size_t tail = mapped - (aligned - start) - bytes;
    if (tail) munmap(reinterpret_cast<void*>(aligned + bytes), tail);
    void* block = reinterpret_cast<void*>(aligned);
    madvise(block, bytes, advise ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
    return block;
}

bool keepBlocks = false;

enum Kind { kAdvised, kPlain, kViewer, kKinds };

double touchMilliseconds(std::size_t bytes, Kind kind) {
    const auto begin = std::chrono::steady_clock::now();
    auto* block = static_cast<unsigned char*>(
        kind == kViewer ? vistrel::mapPages(bytes, bytes) : mapAligned(bytes, kind == kAdvised));
    if (!block) {
        std::fprintf(stderr, "first-touch-bench: mmap of %zu bytes failed\n", bytes);
        std::exit(1);
    }
    // Row by row, as a decode fills a picture: 16 KB rows.
    for (std::size_t at = 0; at < bytes; at += 16384)
        std::memset(block + at, int(at >> 14) & 0xFF, std::min<std::size_t>(16384, bytes - at));
    const auto end = std::chrono::steady_clock::now();
    if (!keepBlocks) munmap(block, bytes);
    return std::chrono::duration<double, std::milli>(end - begin).count();
}

// Holds every second small page of `megabytes`, so that free memory is cut into 4 KB holes.
void fragment(std::size_t megabytes) {
    const std::size_t bytes = megabytes << 20;
    auto* filled = static_cast<unsigned char*>(
        mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (filled == MAP_FAILED) {
        std::fprintf(stderr, "first-touch-bench: cannot map %zu MB to fragment\n", megabytes);
        std::exit(1);
    }
    madvise(filled, bytes, MADV_NOHUGEPAGE);
    for (std::size_t at = 0; at < bytes; at += kSmall)
        filled[at] = 1;
    // Given back without cutting the mapping in pieces (the number of mappings is limited).
    for (std::size_t at = 0; at < bytes; at += 2 * kSmall)
        madvise(filled + at, kSmall, MADV_DONTNEED);
}

struct Figures {
    double median, p90, worst;
};

Figures summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    return {times[n / 2], times[std::min(n - 1, n * 9 / 10)], times.back()};
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 21;
    std::size_t fragmentMegabytes = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (option == "--fragment" && i + 1 < argc)
            fragmentMegabytes = std::strtoull(argv[++i], nullptr, 10);
        else {
            std::fprintf(stderr, "usage: first-touch-bench [--rounds N] [--fragment MB]\n");
            return 2;
        }
    }
    if (fragmentMegabytes) {
        fragment(fragmentMegabytes);
        keepBlocks = true;
    }

    struct Size {
        const char* name;
        std::size_t bytes;
    };
    const Size sizes[] = {{"1920x1080", std::size_t(1920) * 1080 * 4},
                          {"4000x3000", std::size_t(4000) * 3000 * 4},
                          {"6000x4000", std::size_t(6000) * 4000 * 4}};
    std::printf("first write of a fresh block, ms (median / p90 / worst of %d)%s\n", rounds,
                fragmentMegabytes ? ", memory fragmented" : "");
    const char* names[kKinds] = {"huge pages advised", "small pages", "as the viewer maps"};
    std::printf("%-10s", "picture");
    for (const char* name : names)
        std::printf(" %24s", name);
    std::printf("\n");
    for (const Size& size : sizes) {
        const std::size_t rounded = (size.bytes + kHuge - 1) & ~(kHuge - 1);
        std::vector<double> times[kKinds];
        for (int r = 0; r < rounds; ++r)
            // Each kind goes first in turn, so that none always meets another's leftovers.
            for (int k = 0; k < kKinds; ++k) {
                const Kind kind = Kind((r + k) % kKinds);
                times[kind].push_back(touchMilliseconds(rounded, kind));
            }
        std::printf("%-10s", size.name);
        for (const auto& kindTimes : times) {
            const Figures f = summarise(kindTimes);
            std::printf(" %7.2f / %6.2f / %6.2f", f.median, f.p90, f.worst);
        }
        std::printf("\n");
    }
    return 0;
}
