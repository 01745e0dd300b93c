// What ImageMagick cannot show (tests/tools/gif_frames_test.py compares the composed frames with
// it): the animation's own state across a loop and a rewind, and a still's lack of one.
#include "GifDecoder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vistrel;

namespace {

// A 2x1 screen with a black-and-white colour table; each frame one white pixel at `left`, with
// its graphic control's packed byte (disposal in bits 2-4).
std::shared_ptr<const std::vector<uint8_t>> gif(const std::vector<std::pair<int, int>>& frames) {
    std::vector<uint8_t> b = {'G',  'I', 'F', '8', '9', 'a', 2,   0,   1,  0,
                              0x80, 0,   0,   0,   0,   0,   255, 255, 255};
    for (const auto& [left, packed] : frames) {
        b.insert(b.end(), {0x21, 0xF9, 4, uint8_t(packed), 0, 0, 0, 0});
        // Clear, 1, end in 3-bit codes.
        b.insert(b.end(), {0x2C, uint8_t(left), 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0});
    }
    b.push_back(0x3B);
    return std::make_shared<const std::vector<uint8_t>>(std::move(b));
}

// The alpha bytes of a 32-bit 2x1 frame, or the blue bytes of a 24-bit one.
std::pair<int, int> pixels(Picture& picture) {
    const int step = picture.bitsPerPixel() / 8;
    const uint8_t* p = picture.pixels() + (step == 4 ? 3 : 0);
    return {p[0], p[step]};
}

} // namespace

TEST(GifDecoder, ALoopAndARewindStartFromAnEmptyScreen) {
    // The first frame cleared to nothing after its time, the second kept.
    const auto bytes = gif({{0, 2 << 2}, {1, 1 << 2}});
    Picture picture;
    std::shared_ptr<Animation> animation;
    ASSERT_TRUE(decodeGif(bytes, picture, &animation));
    ASSERT_TRUE(animation);
    EXPECT_EQ(animation->frameCount(), 2);
    EXPECT_EQ(animation->delays(), (std::vector<int>{100, 100})); // 0 ms plays at 100
    EXPECT_EQ(animation->plays(), 1);
    EXPECT_EQ(pixels(picture), std::make_pair(255, 0));
    ASSERT_TRUE(animation->composeNext(picture));
    EXPECT_EQ(pixels(picture), std::make_pair(0, 255));
    // Round again: the second frame's pixel does not stay under the first.
    ASSERT_TRUE(animation->composeNext(picture));
    EXPECT_EQ(animation->position(), 1);
    EXPECT_EQ(pixels(picture), std::make_pair(255, 0));
    ASSERT_TRUE(animation->composeNext(picture));
    animation->rewind();
    ASSERT_TRUE(animation->composeNext(picture));
    EXPECT_EQ(pixels(picture), std::make_pair(255, 0));
}

TEST(GifDecoder, AStillHandsOverNoAnimation) {
    const auto bytes = gif({{0, 0}});
    Picture picture;
    std::shared_ptr<Animation> animation;
    ASSERT_TRUE(decodeGif(bytes, picture, &animation));
    EXPECT_FALSE(animation);
    // A frame narrower than the screen leaves a pixel uncovered: transparent.
    EXPECT_EQ(picture.bitsPerPixel(), 32);
    EXPECT_EQ(pixels(picture), std::make_pair(255, 0));
}
