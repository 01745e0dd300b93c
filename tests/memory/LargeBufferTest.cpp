#include "LargeBuffer.h"
#include "Pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

using namespace vistrel;

TEST(LargeBuffer, LargeBlocksAreHugePageAlignedAndZero) {
    const std::size_t bytes = 72'000'016; // a 6000 x 4000 24-bit picture and its spare bytes
    LargeBuffer buffer(bytes);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % kHugePageSize, 0u);
    EXPECT_TRUE(std::all_of(buffer.data(), buffer.data() + bytes, [](uint8_t b) { return !b; }));
    buffer.data()[bytes - 1] = 1; // the whole size is writable
    LargeBuffer moved = std::move(buffer);
    EXPECT_FALSE(buffer);
    EXPECT_EQ(moved.size(), bytes);
}

// A freed block is kept for the next block of its size: handed out again cleared, whether the
// idle thread cleared it first or not, so that no old picture shows through a new one.
TEST(LargeBuffer, FreedBlocksAreReusedClearedOnlyForTheirOwnSize) {
    const std::size_t bytes = 6'000'016;
    setReusePoolLimit(0); // nothing kept from earlier tests
    setReusePoolLimit(std::size_t(256) << 20);
    for (const bool clearedFirst : {true, false}) {
        auto* first = static_cast<uint8_t*>(allocateLarge(bytes));
        ASSERT_NE(first, nullptr);
        std::fill(first, first + bytes, 0xAB);
        freeLarge(first, bytes);
        if (clearedFirst) waitForReusePoolCleared();
        const std::size_t hits = reusePoolHits();
        void* other = allocateLarge(bytes + kHugePageSize); // another size: a block of its own
        EXPECT_NE(other, first);
        freeLarge(other, bytes + kHugePageSize, AfterUse::Release);
        auto* second = static_cast<uint8_t*>(allocateLarge(bytes));
        if (clearedFirst) {
            EXPECT_EQ(second, first);
            EXPECT_EQ(reusePoolHits(), hits + 1);
        } else {
            // The idle thread may be clearing the block at this very moment: it is not handed out
            // then (nobody waits for an idle thread), and a fresh block comes instead.
            EXPECT_EQ(second == first, reusePoolHits() == hits + 1);
        }
        EXPECT_TRUE(std::all_of(second, second + bytes, [](uint8_t b) { return !b; }));
        freeLarge(second, bytes, AfterUse::Release);
    }
    setReusePoolLimit(0); // nothing is kept, not even a block the idle thread is clearing now
    void* block = allocateLarge(bytes);
    freeLarge(block, bytes);
    waitForReusePoolCleared();
    EXPECT_EQ(reusePoolBytes(), 0u);
    setReusePoolLimit(std::size_t(256) << 20);
}

// Fresh large blocks are faulted in ahead on a thread of their own while the decode writes them:
// what the decode wrote stays, and a block given back while it is being faulted in is given back
// safely (ASan and TSan run this too).
TEST(LargeBuffer, FaultingInAheadKeepsWhatTheDecodeWrote) {
    setReusePoolLimit(0); // fresh blocks every time
    const std::size_t bytes = std::size_t(48) << 20;
    for (int round = 0; round < 3; ++round) {
        auto* block = static_cast<uint8_t*>(allocateLarge(bytes));
        ASSERT_NE(block, nullptr);
        for (std::size_t at = 0; at < bytes; at += 4096)
            block[at] = uint8_t(at >> 12);
        bool intact = true;
        for (std::size_t at = 0; at < bytes; at += 4096)
            intact = intact && block[at] == uint8_t(at >> 12) && block[at + 1] == 0;
        EXPECT_TRUE(intact);
        freeLarge(block, bytes);
        // Given back at once, while its first chunk may be being faulted in.
        void* unused = allocateLarge(bytes);
        ASSERT_NE(unused, nullptr);
        freeLarge(unused, bytes, AfterUse::Release);
    }
    setReusePoolLimit(std::size_t(256) << 20);
}

#ifdef __linux__
namespace {

// Whether the mapping that holds `address` is advised for huge pages ("hg" in its VmFlags).
bool advisedForHugePages(const void* address) {
    std::ifstream smaps("/proc/self/smaps");
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        unsigned long long start = 0, end = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx ", &start, &end) == 2) { // a mapping's first line
            inside = at >= start && at < end;
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            return line.find(" hg") != std::string::npos;
        }
    }
    return false;
}

} // namespace

// A huge page holds its whole 2 MB once touched: a last one a picture fills less than half of is
// left to small pages (an 8.3 MB picture would otherwise hold 10 MB), one it fills more of is not.
TEST(Pages, ALastHugePageFilledLessThanHalfIsLeftToSmallPages) {
    const std::size_t bytes = 5 * kHugePageSize;
    auto* mostly = static_cast<char*>(mapPages(bytes, bytes - kHugePageSize / 4));
    auto* barely = static_cast<char*>(mapPages(bytes, bytes - kHugePageSize + kHugePageSize / 8));
    ASSERT_TRUE(mostly && barely);
    // Advised at all only while the system has free huge pages.
    const bool advising = advisedForHugePages(mostly);
    EXPECT_EQ(advisedForHugePages(mostly + bytes - 1), advising);
    if (advising) {
        EXPECT_TRUE(advisedForHugePages(barely));
    }
    EXPECT_FALSE(advisedForHugePages(barely + bytes - 1));
    unmapPages(mostly, bytes);
    unmapPages(barely, bytes);
}
#endif
