#include "Scaling.h"
#include "CachedPicture.h"
#include "PixelCompare.h"
#include "Platform.h"
#include "PngDecoder.h"
#include "Resampler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace vistrel;
using namespace vistrel::test;

namespace {

class ScreenCopy : public testing::Test {
protected:
    // A record holding a fresh picture of that size and depth (32 bits: every alpha `alpha`, the
    // bottom-left pixel's 0), its screen copy prepared for `policy`.
    std::unique_ptr<CachedPicture> prepared(int w, int h, int bits = 24, int alpha = -1) {
        auto record = std::make_unique<CachedPicture>();
        record->picture = std::make_unique<Picture>();
        Picture& p = *record->picture;
        EXPECT_TRUE(p.create(w, h, bits, true));
        const uint32_t bottomLeft = (p.imageSize() - p.rowSize()) + 3;
        for (uint32_t i = 3; alpha >= 0 && i < p.imageSize(); i += 4)
            p.pixels()[i] = uint8_t(i == bottomLeft ? 0 : alpha);
        record->prepareScreenCopy(policy);
        return record;
    }
    static std::string fittedSize(const CachedPicture& record) {
        if (!record.fitted) return "none";
        return std::to_string(record.fitted->width()) + "x" +
               std::to_string(record.fitted->height());
    }

    ScreenCopyPolicy policy{{1920, 1080}, true, {}};
};

void fill(Picture& p, uint32_t seed) {
    std::mt19937 random(seed);
    for (uint32_t i = 0; i < p.imageSize(); ++i)
        p.pixels()[i] = uint8_t(random());
}

// One of the three reductions by number: 0 averages, 1 the triangle filter, 3 Lanczos-3.
bool resample(int op, Picture& to, Picture& from) {
    return op == 0 ? averagePicture(to.info(), to.pixels(), from.info(), from.pixels())
                   : resizePicture(to.pixels(), to.info(), from.pixels(), from.info(),
                                   op == 1 ? ResizeFilter::Triangle : ResizeFilter::Lanczos3);
}
const int kOperations[] = {0, 1, 3};

// The straightforward reading of the alpha resampling rule, with the last row's row above
// clamped to the picture.
void referenceAlpha(Picture& f, Picture& p) {
    const int64_t w = p.width(), h = p.height(), fw = f.width(), fh = f.height();
    const int64_t xs = w * 1024 / fw, ys = h * 1024 / fh;
    auto a = [&](int64_t r, int64_t c) -> int64_t {
        if (c >= w) r += 1, c = 0; // the next memory row's first pixel
        return r >= h ? 0 : p.pixels()[r * p.rowSize() + c * 4 + 3];
    };
    auto lerp = [](int64_t from, int64_t to, int64_t f) {
        return from + (int64_t)std::floor((to - from) * f / 1024.0);
    };
    for (int64_t j = 0; j < fh - 1; ++j)
        for (int64_t i = 0; i < fw; ++i) {
            const int64_t r = j * ys / 1024, fy = j * ys % 1024, c = i * xs / 1024,
                          fx = i * xs % 1024, below = std::min(r + 1, h - 1);
            f.pixels()[j * f.rowSize() + i * 4 + 3] = uint8_t(
                lerp(lerp(a(r, c), a(r, c + 1), fx), lerp(a(below, c), a(below, c + 1), fx), fy));
        }
}

} // namespace

TEST_F(ScreenCopy, SizeAndWhetherOneIsMadeFollowScreenCapabilitiesAndDepth) {
    struct Case {
        bool everyLarger; // a copy for every picture larger than the screen
        int w, h, bits, alpha;
        const char* fitted;
    };
    const Case cases[] = {
        {false, 4000, 3000, 24, -1, "1440x1080"}, // 5.79 screens
        {false, 6000, 2000, 24, -1, "1920x640"},
        {false, 3000, 1000, 24, -1, "none"}, // 1.45 screens: left to the window's stretching
        {true, 3000, 1000, 24, -1, "1920x640"},
        {false, 2000, 1000, 24, -1, "none"},
        {true, 2000, 1000, 24, -1, "1920x960"},
        {true, 640, 480, 24, -1, "none"},
        {true, 4000, 3000, 8, -1, "none"},
        {false, 2592, 1584, 24, -1, "none"},      // exactly 1.98 screens
        {false, 2593, 1584, 24, -1, "1767x1080"}, // just above
        {true, 1920, 1080, 24, -1, "none"},       // exactly the screen
        {true, 1921, 100, 24, -1, "1920x99"},     // one pixel wider
        {true, 1920, 1081, 24, -1, "1918x1080"},  // one pixel taller
        {true, 100000, 10, 24, -1, "1920x1"},     // a sliver keeps one row
        // 32 bits: only real transparency needs a copy below the 1.98-screen rule.
        {false, 2000, 1000, 32, 0, "none"}, // alpha 0 everywhere counts as opaque
        {false, 2000, 1000, 32, 255, "1920x960"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) +
                     (c.everyLarger ? " every larger" : ""));
        policy.capabilities.screenCopyForEveryLargerPicture = c.everyLarger;
        auto record = prepared(c.w, c.h, c.bits, c.alpha);
        EXPECT_EQ(fittedSize(*record), c.fitted);
        if (c.alpha == 255) {
            EXPECT_EQ(record->fitted->bitsPerPixel(), 32);
            EXPECT_EQ(bgrAt(*record->fitted, 0, 0)[3], 255); // alpha resampled from the picture
        }
    }
}

TEST_F(ScreenCopy, StartUpAveragesLargeReductionsAndLaterCopiesAreFiltered) {
    policy = {{100, 100}, false, {}};
    // 16:1 in area at start-up: the averaged copy, 24 bits.
    EXPECT_EQ(prepared(400, 400)->fitted->bitsPerPixel(), 24);
    // 15:1 (399 x 399 into 100 x 100, integer ratio 15) is not more than 15: filtered, 32 bits.
    EXPECT_EQ(prepared(399, 399)->fitted->bitsPerPixel(), 32);
    policy.windowExists = true;
    EXPECT_EQ(prepared(400, 400)->fitted->bitsPerPixel(), 32);

    // A later preparation that needs no copy leaves the one there is.
    auto record = prepared(400, 400);
    const Picture* fitted = record->fitted.get();
    policy.screen = {1000, 1000};
    record->prepareScreenCopy(policy);
    EXPECT_EQ(record->fitted.get(), fitted);
    EXPECT_EQ(fittedSize(*record), "100x100");
}

TEST_F(ScreenCopy, RotateMakesTheCopyAnewOnlyWhenThereWasOne) {
    policy.capabilities.screenCopyForEveryLargerPicture = false;
    auto record = prepared(4000, 3000);
    record->rotate(90, policy);
    EXPECT_EQ(record->picture->width(), 3000);
    EXPECT_EQ(fittedSize(*record), "810x1080");

    auto none = prepared(2000, 1000);
    none->rotate(-90, policy);
    EXPECT_EQ(none->picture->height(), 2000);
    EXPECT_EQ(fittedSize(*none), "none");
}

TEST(Resampler, ReductionsMatchPillowAndAveragingCountsEveryPixel) {
    Picture source;
    ASSERT_TRUE(decodePng(testFile("scaling/source.png").c_str(), source));
    ASSERT_EQ(source.bitsPerPixel(), 24);
    for (const auto& [filter, name] :
         {std::pair{1, "pillow-bilinear.png"}, std::pair{3, "pillow-lanczos.png"}}) {
        SCOPED_TRACE(name);
        Picture ref, ours;
        ASSERT_TRUE(decodePng(testFile(std::string("scaling/") + name).c_str(), ref));
        ASSERT_TRUE(ours.create(ref.width(), ref.height(), 32, false));
        ASSERT_TRUE(resample(filter, ours, source));
        const Difference d = compare(argbPixels(ours), argbPixels(ref));
        EXPECT_LE(d.mean, 1.0);
        EXPECT_LE(d.largest, 8);
        EXPECT_EQ(bgrAt(ours, 40, 20)[3], 255);
    }

    // 2:1 averaging is the mean of each 2 x 2 block (within the one level that rounding between
    // the vertical and the horizontal pass may cost); a single bright pixel anywhere in a
    // 10 x 10 block shows in its output pixel (no source pixel is skipped).
    Picture big, small;
    ASSERT_TRUE(big.create(30, 30, 24, true));
    fill(big, 1);
    uint8_t* bits = big.pixels();
    ASSERT_TRUE(small.create(15, 15, 24, false));
    ASSERT_TRUE(resample(0, small, big));
    const uint32_t row = big.rowSize();
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 15; ++x)
            for (int c = 0; c < 3; ++c) {
                const uint8_t* s = bits + 2 * y * row + 6 * x + c;
                const int sum = s[0] + s[3] + s[row] + s[row + 3];
                ASSERT_NEAR(small.pixels()[y * small.rowSize() + 3 * x + c], sum / 4.0, 1.0);
            }
    std::memset(bits, 0, big.imageSize());
    bits[17 * row + 29 * 3 + 1] = 200; // row 17, last column, green
    ASSERT_TRUE(small.create(3, 3, 24, false));
    ASSERT_TRUE(resample(0, small, big));
    EXPECT_EQ(small.pixels()[1 * small.rowSize() + 2 * 3 + 1], 2); // 200 / 100
}

TEST(Resampler, FlatAreasStayFlatAndColourBytesSurviveEveryPath) {
    Picture grey24, grey32;
    ASSERT_TRUE(grey24.create(57, 31, 24, false));
    std::memset(grey24.pixels(), 77, grey24.imageSize());
    ASSERT_TRUE(grey32.create(57, 31, 32, false));
    ASSERT_TRUE(convertPicture(grey32.pixels(), grey32.info(), grey24.pixels(), grey24.info()));
    EXPECT_EQ(argbPixels(grey32)[56], 0xFF4D4D4Du);
    // Reductions and enlargements, both filters and the average, into 24 and 32 bits.
    for (const auto& [w, h] : {std::pair{13, 7}, std::pair{57, 31}, std::pair{200, 90}})
        for (Picture* from : {&grey24, &grey32})
            for (int bits : {24, 32})
                for (int op : kOperations) {
                    Picture to;
                    ASSERT_TRUE(to.create(w, h, bits, false));
                    ASSERT_TRUE(resample(op, to, *from));
                    const auto pixels = argbPixels(to);
                    ASSERT_EQ(std::count(pixels.begin(), pixels.end(), 0xFF4D4D4Du), w * h)
                        << w << "x" << h << " op " << op;
                }

    // The 24-bit picture reduced straight into 32 bits equals converting it first.
    Picture colour, wide, direct, viaWide;
    ASSERT_TRUE(colour.create(301, 203, 24, false));
    fill(colour, 2);
    ASSERT_TRUE(wide.create(301, 203, 32, false));
    ASSERT_TRUE(convertPicture(wide.pixels(), wide.info(), colour.pixels(), colour.info()));
    for (int filter : {1, 3}) {
        ASSERT_TRUE(direct.create(97, 61, 32, false));
        ASSERT_TRUE(viaWide.create(97, 61, 32, false));
        resample(filter, direct, colour);
        resample(filter, viaWide, wide);
        EXPECT_EQ(std::memcmp(direct.pixels(), viaWide.pixels(), direct.imageSize()), 0);
    }

    // Mismatched sizes and other depths are refused.
    Picture eight;
    ASSERT_TRUE(eight.create(57, 31, 8, false));
    EXPECT_FALSE(convertPicture(direct.pixels(), direct.info(), colour.pixels(), colour.info()));
    EXPECT_FALSE(resample(1, direct, eight));
}

TEST(ResampleAlpha, FollowsTheFixedPointRuleWhenReducingAndEnlarging) {
    for (const auto& [w, h, fw, fh] :
         {std::tuple{37, 23, 10, 7}, std::tuple{640, 480, 97, 61}, std::tuple{5, 4, 23, 17}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        Picture p, f, expected;
        ASSERT_TRUE(p.create(w, h, 32, false));
        fill(p, uint32_t(w));
        ASSERT_TRUE(f.create(fw, fh, 32, false));
        fill(f, 99);
        ASSERT_TRUE(expected.copyFrom(f));
        resampleAlpha(f, p);
        referenceAlpha(expected, p);
        EXPECT_EQ(std::memcmp(f.pixels(), expected.pixels(), f.imageSize()), 0);
    }
    Picture p24, f;
    ASSERT_TRUE(p24.create(8, 8, 24, false));
    ASSERT_TRUE(f.create(4, 4, 32, true));
    resampleAlpha(f, p24); // not 32 bits: nothing happens
    EXPECT_EQ(bgrAt(f, 0, 3)[3], 0);
}

TEST(Resampler, PlainSse2AndWidestCodeGiveTheSameBytes) {
    Picture source;
    ASSERT_TRUE(source.create(333, 97, 32, false));
    fill(source, 5);
    for (const auto& [w, h] : {std::pair{81, 54}, std::pair{700, 150}, std::pair{7, 3}})
        for (int op : kOperations) {
            std::vector<uint8_t> results[3];
            for (int level : {kResamplerPlain, kResamplerSse2, kResamplerBest}) {
                limitResamplerSimd(level);
                Picture to;
                ASSERT_TRUE(to.create(w, h, op == 0 ? 24 : 32, false));
                resample(op, to, source);
                results[level].assign(to.pixels(), to.pixels() + to.imageSize());
            }
            limitResamplerSimd(kResamplerBest);
            EXPECT_EQ(results[0], results[1]) << w << "x" << h << " op " << op;
            EXPECT_EQ(results[0], results[2]) << w << "x" << h << " op " << op;
        }
}
