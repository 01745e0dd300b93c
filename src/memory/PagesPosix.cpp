#include "Pages.h"

#include "FreeHugePages.h"
#include "LargeBuffer.h"

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace vistrel {

namespace {

// Whether the system has free huge pages for `bytes` now. Advised memory is filled with huge pages
// where they are free (the first write into a fresh 48 MB block: about 5 ms against 26 ms with
// small pages); where they are not, the kernel compacts memory on the faulting thread first, which
// costs as much as the small pages on average and more at worst (bench/first_touch_bench.cpp).
bool hugePagesFreeFor(std::size_t bytes) {
    // The 2 MB runs are the huge pages only with 4 KB pages (x86-64); elsewhere the advice is
    // given as ever.
    static const bool smallPagesOf4K = sysconf(_SC_PAGESIZE) == 4096;
    if (!smallPagesOf4K) return true;
    const int file = open("/proc/buddyinfo", O_RDONLY | O_CLOEXEC);
    if (file < 0) return true;
    char text[8192];
    std::size_t used = 0;
    for (ssize_t got;
         used < sizeof text && (got = read(file, text + used, sizeof text - used)) > 0;)
        used += std::size_t(got);
    close(file);
    const auto runs = freeHugePageRuns({text, used}, 9);
    return !runs || *runs >= bytes / kHugePageSize;
}

} // namespace

void* mapPages(std::size_t bytes, std::size_t used) {
    // Fresh anonymous pages read as zero, so the block needs no clearing pass. Map one huge page
    // more than needed and trim both ends so that the block starts on a 2 MB boundary.
    const std::size_t mapped = bytes + kHugePageSize;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePageSize - 1) & ~(kHugePageSize - 1);
    const std::size_t head = aligned - start;
    const std::size_t tail = mapped - head - bytes;
    if (head) munmap(raw, head);
    if (tail) munmap(reinterpret_cast<void*>(aligned + bytes), tail);
    auto* block = reinterpret_cast<void*>(aligned);
    // Advice only; the block is usable without it.
    const std::size_t advised = std::min(bytes, (used + kHugePageSize / 2) & ~(kHugePageSize - 1));
    if (advised && hugePagesFreeFor(advised)) madvise(block, advised, MADV_HUGEPAGE);
    return block;
}

void unmapPages(void* block, std::size_t bytes) {
    munmap(block, bytes);
}

bool populatePages(void* block, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    return madvise(block, bytes, MADV_POPULATE_WRITE) == 0;
#else
    (void)block;
    (void)bytes;
    return false;
#endif
}

void runAtIdlePriority() {
    sched_param idle{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
}

} // namespace vistrel
