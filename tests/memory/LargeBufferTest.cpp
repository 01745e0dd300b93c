#include "LargeBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

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
    setReusePoolLimit(0); // nothing is kept
    void* block = allocateLarge(bytes);
    freeLarge(block, bytes);
    EXPECT_EQ(reusePoolBytes(), 0u);
    setReusePoolLimit(std::size_t(256) << 20);
}
