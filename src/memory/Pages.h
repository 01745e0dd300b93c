// The system's pages behind the large blocks: fresh, zeroed memory straight from the system, and
// the cleaner thread's priority. POSIX: PagesPosix.cpp; Windows: win/PagesWin.cpp.
#pragma once

#include <cstddef>

namespace vistrel {

// `bytes` (a multiple of kHugePageSize) of fresh pages, which read as zero, starting on a
// kHugePageSize boundary; null when they cannot be had. Of them, the first `used` bytes are what
// the caller writes: they are advised for huge pages where the system has them, but for a last
// huge page `used` fills less than half of (a huge page holds its 2 MB once touched, small pages
// only what is written).
void* mapPages(std::size_t bytes, std::size_t used);
// Gives a block of mapPages back; `bytes` as it was mapped.
void unmapPages(void* block, std::size_t bytes);
// Faults `bytes` of a block of mapPages in as a write would, without touching what it holds;
// false when the system cannot (then nothing was done).
bool populatePages(void* block, std::size_t bytes);

// The calling thread runs from now on only when no other thread wants the processor.
void runAtIdlePriority();

} // namespace vistrel
