// The frames of an animation as the window plays them: each taken when due, and the one it
// replaced given back. What is held must stay bounded for a long animation, and a short one must
// not be composed again on every loop.
#include "FramesAhead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace vistrel;

namespace {

// Frames of 16x16 pixels whose first byte is their index; counts what it composes.
class CountingFrames final : public Animation {
public:
    explicit CountingFrames(int count) {
        delays_.assign(std::size_t(count), 100);
        plays_ = 0;
    }
    DecodeResult compose(Picture& frame) override {
        if (!frame.create(16, 16, 24, true)) return Refusal::OutOfMemory;
        frame.pixels()[0] = uint8_t(position_);
        ++composed;
        position_ = (position_ + 1) % frameCount();
        return kOk;
    }
    void rewind() override { position_ = 0; }
    std::atomic<int> composed{0};
};

class Player {
public:
    Player(std::shared_ptr<Animation> animation, uint64_t keepBytes)
        : ahead(std::move(animation), ScreenCopyPolicy{}, keepBytes, [this] {
              std::lock_guard lock(mutex);
              landed = true;
              wake.notify_all();
          }) {}

    // Takes frame `index` as the window does when it is due (waiting for it to land), and gives
    // back the one it replaces.
    void show(int index) {
        std::unique_ptr<ComposedFrame> frame;
        while (!(frame = ahead.take(index))) {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(wake.wait_for(lock, std::chrono::seconds(10), [&] { return landed; }))
                << "frame " << index << " never came";
            landed = false;
        }
        ASSERT_EQ(frame->picture->pixels()[0], uint8_t(index));
        if (shown) ahead.giveBack(std::move(shown));
        shown = std::move(frame);
    }

    std::mutex mutex;
    std::condition_variable wake;
    bool landed = false;
    std::unique_ptr<ComposedFrame> shown;
    FramesAhead ahead;
};

} // namespace

TEST(FramesAhead, ALongAnimationHoldsAShortRingOfFrames) {
    constexpr int kFrames = 2000;
    auto animation = std::make_shared<CountingFrames>(kFrames);
    Player player(animation, 1 << 20); // 2000 frames of 16x16 pass a megabyte
    for (int i = 1; i <= kFrames + 10; ++i) {
        player.show(i % kFrames);
        ASSERT_LE(player.ahead.framesHeld(), FramesAhead::kRingFrames) << "at frame " << i;
    }
    EXPECT_FALSE(player.ahead.keepsAll());
    // What the memory budget counts: the ring and the frame being composed.
    EXPECT_EQ(player.ahead.reservation()->load(),
              (FramesAhead::kRingFrames + 1) * player.shown->heldBytes());
}

TEST(FramesAhead, AShortAnimationIsComposedOnceAndPlaysFromWhatItKeeps) {
    constexpr int kFrames = 10;
    auto animation = std::make_shared<CountingFrames>(kFrames);
    Player player(animation, 1 << 20);
    for (int i = 1; i <= 3 * kFrames; ++i)
        player.show(i % kFrames);
    // Stepping back while paused finds the frame kept, too.
    player.show(kFrames - 1);
    player.show(kFrames - 2);
    EXPECT_TRUE(player.ahead.keepsAll());
    EXPECT_EQ(animation->composed, kFrames);
    EXPECT_EQ(player.ahead.framesHeld(), std::size_t(kFrames - 1)); // all but the one on show
    EXPECT_EQ(player.ahead.reservation()->load(), kFrames * player.shown->heldBytes());
}
