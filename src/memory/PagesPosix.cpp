#include "Pages.h"

#include "LargeBuffer.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>

#include <cstdint>

namespace vistrel {

void* mapPages(std::size_t bytes) {
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
    madvise(block, bytes, MADV_HUGEPAGE); // advice only; the block is usable without it
    return block;
}

void unmapPages(void* block, std::size_t bytes) {
    munmap(block, bytes);
}

void runAtIdlePriority() {
    sched_param idle{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
}

} // namespace vistrel
