// The system's pages behind the large blocks: fresh, zeroed memory straight from the system, and
// the cleaner thread's priority. POSIX: PagesPosix.cpp; Windows: win/PagesWin.cpp.
#pragma once

#include <cstddef>

namespace vistrel {

// `bytes` (a multiple of kHugePageSize) of fresh pages, which read as zero, starting on a
// kHugePageSize boundary and advised for huge pages where the system has them; null when they
// cannot be had.
void* mapPages(std::size_t bytes);
// Gives a block of mapPages back; `bytes` as it was mapped.
void unmapPages(void* block, std::size_t bytes);
// Faults `bytes` of a block of mapPages in as a write would, without touching what it holds;
// false when the system cannot (then nothing was done).
bool populatePages(void* block, std::size_t bytes);

// The calling thread runs from now on only when no other thread wants the processor.
void runAtIdlePriority();

} // namespace vistrel
