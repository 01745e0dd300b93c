#include "Pages.h"

#include "LargeBuffer.h"

#include <windows.h>

#include <cstdint>

namespace vistrel {

void* mapPages(std::size_t bytes, std::size_t /*used*/) {
    // Committed pages read as zero. A region cannot be given back in part, so the aligned block
    // is found by reserving one huge page more, letting it go, and taking the aligned part of
    // that address range; another thread may take the range meanwhile, and then it is tried
    // again. (Large pages need a privilege users do not have: the block is of ordinary pages.)
    for (int attempt = 0; attempt < 8; ++attempt) {
        void* probe = VirtualAlloc(nullptr, bytes + kHugePageSize, MEM_RESERVE, PAGE_NOACCESS);
        if (!probe) return nullptr;
        VirtualFree(probe, 0, MEM_RELEASE);
        const auto start = reinterpret_cast<std::uintptr_t>(probe);
        auto* aligned = reinterpret_cast<void*>((start + kHugePageSize - 1) & ~(kHugePageSize - 1));
        if (void* block = VirtualAlloc(aligned, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE))
            return block;
    }
    return nullptr;
}

void unmapPages(void* block, std::size_t) {
    VirtualFree(block, 0, MEM_RELEASE);
}

bool populatePages(void*, std::size_t) {
    return false; // committed pages are faulted in by the first write alone
}

void runAtIdlePriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
}

} // namespace vistrel
