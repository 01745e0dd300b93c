#include "FreeHugePages.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vistrel {
namespace {

// The advice for huge pages is given only while the system has free 2 MB runs (order 9 of 4 KB
// pages) for the block: counted from /proc/buddyinfo as Linux writes it.
TEST(FreeHugePages, CountsRunsOfOrderNineAndUpOutsideTheDmaZone) {
    const char* text = "Node 0, zone      DMA      0      0      0      0      0      0      0     "
                       " 0      1      1      3 \n"
                       "Node 0, zone    DMA32    125    119    103     88     63     47     22     "
                       "20      7      8    740 \n"
                       "Node 0, zone   Normal  19662  31717  39481  22087  12296   6211   3032   "
                       "1450    680    545   2318 \n";
    // DMA32: 8 + 2*740; Normal: 545 + 2*2318. The DMA zone's do not count.
    EXPECT_EQ(freeHugePageRuns(text, 9), std::size_t(8 + 1480 + 545 + 4636));
    // Fragmented memory: nothing of order 9 or 10 left.
    EXPECT_EQ(freeHugePageRuns("Node 0, zone   Normal  20710   7208   1135    309    219    222    "
                               " 74      0      0      0      0 \n",
                               9),
              std::size_t(0));
}

TEST(FreeHugePages, TextWithoutZonesGivesNothingAndHugeCountsSaturate) {
    // No zone's line: the caller cannot tell and keeps the advice.
    EXPECT_FALSE(freeHugePageRuns("", 9).has_value());
    EXPECT_FALSE(freeHugePageRuns("garbage\nmore garbage", 9).has_value());
    // Counts that would overflow the sum saturate instead of wrapping round to few runs.
    EXPECT_EQ(freeHugePageRuns("Node 0, zone Normal 0 0 0 0 0 0 0 0 0 0 9223372036854775808\n"
                               "Node 1, zone Normal 0 0 0 0 0 0 0 0 0 1 1\n",
                               9),
              SIZE_MAX);
    // A count too long for 64 bits ends the line's counts there.
    EXPECT_EQ(
        freeHugePageRuns("Node 0, zone Normal 0 0 0 0 0 0 0 0 0 3 99999999999999999999999\n", 9),
        std::size_t(3));
}

} // namespace
} // namespace vistrel
