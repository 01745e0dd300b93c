// Fresh large blocks faulted in on a thread of their own, from the front, ahead of the decode
// that fills them. Filling a fresh 48 MB picture spends a third of its decode in the kernel's
// page faults and clearing of the new pages (more in a virtual machine whose host takes back
// freed memory); done beside the decode, on the processor the toolkit's start leaves idle, that
// time leaves the decode's path.
#pragma once

#include <cstddef>

namespace vistrel {

// Fresh blocks of this size and more are faulted in ahead.
inline constexpr std::size_t kPopulateAheadMinimum = std::size_t(8) << 20;

// Starts faulting in the first `bytes` of the fresh block `block` (from mapPages) from its front.
// The contents are not touched: whatever the decode has written stays.
void populateAhead(void* block, std::size_t bytes) noexcept;
// Stops faulting in `block` before it is given back or kept: waits at most for the one chunk
// being faulted in at this moment.
void stopPopulating(void* block) noexcept;

} // namespace vistrel
