// Whether the system has free 2 MB runs of memory now, from the text of Linux's
// /proc/buddyinfo: one line per memory zone, "Node 0, zone   Normal  c0 c1 ... c10", where cK
// counts the free runs of 2^K pages.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace vistrel {

// Free runs of (2^hugeOrder) pages, a run of a higher order counting as the runs it holds, over
// the zones user memory comes from (all but the small "DMA" zone below 16 MB); nothing when the
// text holds no zone's line.
std::optional<std::size_t> freeHugePageRuns(std::string_view buddyinfo, int hugeOrder);

} // namespace vistrel
