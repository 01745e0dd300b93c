#include "LargeBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

namespace vistrel {

namespace {

std::size_t roundToHugePages(std::size_t bytes) {
    return (bytes + kHugePageSize - 1) & ~(kHugePageSize - 1);
}

} // namespace

void* allocateLarge(std::size_t bytes) noexcept {
    if (bytes == 0) return nullptr;
    if (bytes < kHugePageSize) return std::calloc(1, bytes);
    if (bytes > SIZE_MAX - 2 * kHugePageSize) return nullptr;

    // Fresh anonymous pages read as zero, so the block needs no clearing pass. Map one huge page
    // more than needed and trim both ends so that the block starts on a 2 MB boundary.
    const std::size_t rounded = roundToHugePages(bytes);
    const std::size_t mapped = rounded + kHugePageSize;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePageSize - 1) & ~(kHugePageSize - 1);
    const std::size_t head = aligned - start;
    const std::size_t tail = mapped - head - rounded;
    if (head) munmap(raw, head);
    if (tail) munmap(reinterpret_cast<void*>(aligned + rounded), tail);
    auto* block = reinterpret_cast<void*>(aligned);
    madvise(block, rounded, MADV_HUGEPAGE); // advice only; the block is usable without it
    return block;
}

void freeLarge(void* block, std::size_t bytes) noexcept {
    if (!block) return;
    if (bytes < kHugePageSize) {
        std::free(block);
        return;
    }
    munmap(block, roundToHugePages(bytes));
}

} // namespace vistrel
