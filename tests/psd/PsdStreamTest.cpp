// The buffered stream primitives and the colour and blend-mode readers, over a file's bytes held
// in memory (whole files are read from disk by the files tests).
#include "PsdTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace psdtest;

namespace {

// A bare record whose stream reads a copy of `bytes`.
struct StreamFixture {
    Bytes held;
    PsdContext* ctx;
    explicit StreamFixture(const Bytes& bytes) : held(bytes) {
        ctx = static_cast<PsdContext*>(std::calloc(1, sizeof(PsdContext)));
        ctx->stream.memory = held.data();
        ctx->stream.file_size = int64_t(held.size());
    }
    ~StreamFixture() { psd_free(ctx); }
};

Bytes counting(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = uint8_t(i * 7 + i / 256);
    return b;
}

} // namespace

TEST(PsdStream, ReadsAcrossTheBufferEdgeAndPastItInOnePiece) {
    const Bytes data = counting(20000);
    StreamFixture s(data);
    Bytes got(20000);
    ASSERT_EQ(psd_read(s.ctx, got.data(), 10), 10u);
    ASSERT_EQ(psd_read(s.ctx, got.data() + 10, 4090), 4090u);   // 4086 buffered, 4 after a refill
    ASSERT_EQ(psd_read(s.ctx, got.data() + 4100, 9000), 9000u); // rest of buffer, then direct
    ASSERT_EQ(psd_skip(s.ctx, 100), 100);
    ASSERT_EQ(psd_read(s.ctx, got.data() + 13200, 6800), 6800u);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 13100, data.begin()));
    EXPECT_TRUE(std::equal(got.begin() + 13200, got.end(), data.begin() + 13200));
    EXPECT_EQ(s.ctx->stream.consumed, 20000u);
    EXPECT_EQ(psd_read(s.ctx, got.data(), 1), 0u);
    EXPECT_EQ(psd_read(s.ctx, nullptr, 1), 0u);
}

TEST(PsdStream, BigEndianValuesAndAtTheEndZeroConsumingWhatIsLeft) {
    StreamFixture s({0x40, 0x49, 0x0F, 0xDB, 0xC0, 0x00, 0,    0,    0,    0,
                     0,    0,    0x02, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC});
    EXPECT_FLOAT_EQ(psd_read_f32(s.ctx), 3.14159274f);
    EXPECT_EQ(psd_read_f64(s.ctx), -2.0);
    EXPECT_EQ(psd_read_bool(s.ctx), 1);
    EXPECT_EQ(psd_read_bool(s.ctx), 0);
    EXPECT_EQ(psd_read_u32(s.ctx), 0x12345678u);
    EXPECT_EQ(psd_read_u32(s.ctx), 0u); // two bytes before the end
    EXPECT_EQ(s.ctx->stream.consumed, 20u);
    EXPECT_EQ(psd_read_u16(s.ctx), 0u);
    EXPECT_EQ(psd_read_u8(s.ctx), 0u);
    EXPECT_EQ(psd_read_f64(s.ctx), 0.0);
    EXPECT_TRUE(s.ctx->stream.short_read);
}

TEST(PsdStream, SkipPastTheEndCountsInFullAndLeavesNothing) {
    StreamFixture s(counting(200));
    ASSERT_EQ(psd_skip(s.ctx, 100), 100);
    EXPECT_EQ(psd_skip(s.ctx, 5000), 5000); // only 100 bytes remain
    EXPECT_EQ(psd_skip(s.ctx, -3), 0);
    EXPECT_EQ(psd_bytes_left(s.ctx), 0u);
    EXPECT_EQ(psd_read_u32(s.ctx), 0u);
}

TEST(PsdColor, BlendKeysMapByTableAndUnknownKeysAreNormal) {
    Builder b;
    b.text("mul ").text("pass").text("smud").text("xxxx").text("norm");
    StreamFixture s(b.b);
    EXPECT_EQ(psd_read_blend_mode(s.ctx), PSD_BLEND_MULTIPLY);
    EXPECT_EQ(psd_read_blend_mode(s.ctx), PSD_BLEND_PASS_THROUGH);
    EXPECT_EQ(psd_read_blend_mode(s.ctx), 18);
    EXPECT_EQ(psd_read_blend_mode(s.ctx), PSD_BLEND_NORMAL);
    EXPECT_EQ(psd_read_blend_mode(s.ctx), PSD_BLEND_NORMAL);
}

TEST(PsdColor, ColourStructuresKeepHighBytesAndConvertBySpace) {
    Builder b;
    b.u16(0).u16(0xFF11).u16(0x8022).u16(0x0133).u16(0); // RGB: high bytes
    b.u16(8).u16(0x1000).u16(0).u16(0).u16(0);           // unknown space
    b.u16(2).u16(0).u16(0).u16(0).u16(0);                // CMYK, no ink: white
    b.u16(2).u16(100 << 8).u16(0).u16(0).u16(0);         // full cyan: no red
    b.u16(2).u16(0).u16(0).u16(0).u16(100 << 8);         // full black
    b.u16(1).u16(0).u16(0).u16(50 << 8).u16(0);          // HSB without saturation: grey
    b.u16(7).u16(0).u16(0).u16(0).u16(0);                // Lab black
    StreamFixture s(b.b);
    EXPECT_EQ(psd_read_color(s.ctx), 0xFFFF8001u);
    EXPECT_EQ(psd_read_color(s.ctx), 0x00FFFFFFu);
    EXPECT_EQ(psd_read_color(s.ctx), 0xFFFFFFFFu);
    EXPECT_EQ(psd_read_color(s.ctx), 0xFF00FFFFu);
    EXPECT_EQ(psd_read_color(s.ctx), 0xFF000000u);
    EXPECT_EQ(psd_read_color(s.ctx), 0xFF7F7F7Fu);
    EXPECT_EQ(psd_read_color(s.ctx), 0xFF000000u);

    uint32_t out = 0;
    EXPECT_EQ(psd_color_to_rgb(&out, 3, 1, 2, 3, 4), PSD_ERR_COLOR_SPACE);
    EXPECT_EQ(out, 0x00FFFFFFu);
    EXPECT_EQ(psd_color_to_rgb(&out, 1, 0, 100, 50, 0), PSD_OK); // pure red by the HSL rule
    EXPECT_EQ(out, 0xFFFF0000u);
}

TEST(PsdColor, LabAndCmykRulesGiveTheDocumentedValues) {
    EXPECT_EQ(psd_lab_to_argb(255 * 100 >> 8, 0, 0, 255), 0xFFFDFDFDu);
    EXPECT_EQ(psd_lab_to_argb(0, 0, 0, 255), 0xFF000000u);
    EXPECT_EQ(psd_cmyk_to_argb(0, 0, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(psd_cmyk_to_argb(255, 255, 255, 255), 0xFF000000u);
    EXPECT_EQ(psd_cmyk_to_argb(255, 0, 0, 0), 0xFF01FFFFu); // the integer rule's rounding
}
