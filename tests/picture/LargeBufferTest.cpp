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
