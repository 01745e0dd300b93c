// The merged image section on small synthetic files: decompression, conversions, the alpha plane
// and the layer made for a flat file.
#include "LargeBuffer.h"
#include "PsdTestSupport.h"

#include <gtest/gtest.h>

using namespace psdtest;

namespace {

// One 8-bit pixel per plane, raw.
Loaded onePixel(uint32_t mode, const Bytes& samples) {
    return load(simpleFile(mode, 8, uint32_t(samples.size()), 1, 1, 0, samples));
}

} // namespace

TEST(PsdRle, Header128IsSkippedAnd255RepeatsTwice) {
    // One grey row of 5 pixels: [128] no-op, [255 0x40] twice 0x40, [2 a b c] three literals.
    Builder data;
    data.u16(7).u8(128).u8(255).u8(0x40).u8(2).u8(0x10).u8(0x20).u8(0x30);
    auto [status, psd] = load(simpleFile(1, 8, 1, 5, 1, 1, data.b));
    ASSERT_EQ(status, PSD_OK);
    const uint32_t expected[] = {0x40, 0x40, 0x10, 0x20, 0x30};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(pixel(*psd, x, 0), 0xFF000000u | expected[x] * 0x010101u);
}

TEST(PsdRle, RowsLongerThanTheirRunsAndTruncatedDataStayInsideThePlanes) {
    // 200 pixels in two runs of 128 and 72 (fill then literal), and a second row cut short.
    Builder data;
    data.u16(2 + 73).u16(50);
    data.u8(257 - 128).u8(9).u8(71);
    for (int i = 0; i < 72; ++i)
        data.u8(uint8_t(i));
    data.u8(127).u8(1).u8(2); // literal of 128 bytes with only 2 present
    auto [status, psd] = load(simpleFile(1, 8, 1, 200, 2, 1, data.b));
    ASSERT_EQ(status, PSD_OK);
    EXPECT_EQ(pixel(*psd, 127, 0), 0xFF090909u);
    EXPECT_EQ(pixel(*psd, 199, 0), 0xFF474747u);
    EXPECT_EQ(pixel(*psd, 1, 1), 0xFF020202u);
    EXPECT_EQ(pixel(*psd, 2, 1), 0xFF000000u); // never reached: zero
    EXPECT_EQ(pixel(*psd, 199, 1), 0xFF000000u);
}

TEST(PsdImageData, CompressionMethodsAndTheirFailures) {
    EXPECT_EQ(load(simpleFile(3, 8, 3, 1, 1, 4, {1, 2, 3})).status, PSD_ERR_COMPRESSION);
    EXPECT_EQ(load(simpleFile(3, 8, 3, 1, 1, 2, {1, 2, 3, 4})).status, PSD_ERR_ZIP);
    EXPECT_EQ(load(simpleFile(3, 8, 3, 1, 1, 2, {})).status, PSD_ERR_ZIP);
    Bytes truncated = zipped(Bytes(3000, 7));
    truncated.resize(truncated.size() / 2);
    EXPECT_EQ(load(simpleFile(3, 8, 3, 40, 25, 2, truncated)).status, PSD_ERR_ZIP);

    // ZIP with prediction, 16 bits: each sample adds the previous one of its row, wrapping.
    Builder deltas;
    deltas.u16(0xFF00).u16(0x0200).u16(0x1000); // red row: 0xFF00, 0x0100, 0x1100
    deltas.u16(0x0100).u16(0).u16(0).u16(0x8000).u16(0).u16(0);
    auto [status, psd] = load(simpleFile(3, 16, 3, 3, 1, 3, zipped(deltas.b)));
    ASSERT_EQ(status, PSD_OK);
    EXPECT_EQ(pixel(*psd, 0, 0), 0xFFFF0180u);
    EXPECT_EQ(pixel(*psd, 1, 0), 0xFF010180u);
    EXPECT_EQ(pixel(*psd, 2, 0), 0xFF110180u);

    // A truncated raw image decodes, with zeros where the file ends.
    auto raw = load(simpleFile(3, 8, 3, 2, 1, 0, {9, 9, 8}));
    ASSERT_EQ(raw.status, PSD_OK);
    EXPECT_EQ(pixel(*raw.psd, 0, 0), 0xFF090800u);
    EXPECT_EQ(pixel(*raw.psd, 1, 0), 0xFF090000u);
}

TEST(PsdConvert, TransparencyIsThePlaneAfterTheColourPlanes) {
    EXPECT_EQ(pixel(*onePixel(3, {10, 20, 30, 40}).psd, 0, 0), 0x280A141Eu);
    EXPECT_EQ(pixel(*onePixel(1, {10, 40}).psd, 0, 0), 0x280A0A0Au);
    EXPECT_EQ(pixel(*onePixel(8, {10, 40}).psd, 0, 0), 0x280A0A0Au);
    EXPECT_EQ(pixel(*onePixel(4, {255, 255, 255, 255, 40}).psd, 0, 0), 0x28FFFFFFu);
    EXPECT_EQ(pixel(*onePixel(9, {255, 128, 128, 40}).psd, 0, 0), 0x28FDFDFDu);
    // One more than the mode needs only: a fifth RGB plane is an unnamed extra, not alpha.
    EXPECT_EQ(pixel(*onePixel(3, {10, 20, 30, 40, 50}).psd, 0, 0), 0xFF0A141Eu);
}

TEST(PsdConvert, CmykLabAndMultichannelValues) {
    EXPECT_EQ(pixel(*onePixel(4, {255, 255, 255, 255}).psd, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(*onePixel(4, {0, 0, 0, 0}).psd, 0, 0), 0xFF000000u);
    EXPECT_EQ(pixel(*onePixel(9, {255, 128, 128}).psd, 0, 0), 0xFFFDFDFDu);
    EXPECT_EQ(pixel(*onePixel(9, {0, 128, 128}).psd, 0, 0), 0xFF000000u);
    // Multichannel: three inks, or four with black; missing planes hold no ink.
    EXPECT_EQ(pixel(*onePixel(7, {0, 255, 255}).psd, 0, 0), 0xFF01FFFFu);
    EXPECT_EQ(pixel(*onePixel(7, {255, 255, 255, 0}).psd, 0, 0), 0xFF000000u);
    EXPECT_EQ(pixel(*onePixel(7, {255}).psd, 0, 0), 0xFFFFFFFFu);
}

TEST(PsdConvert, PairsWithoutAConversionAreRefused) {
    EXPECT_EQ(load(simpleFile(3, 1, 3, 8, 1, 0, {0, 0, 0})).status, PSD_ERR_NO_CONVERSION);
    EXPECT_EQ(load(simpleFile(2, 16, 1, 1, 1, 0, {0, 0})).status, PSD_ERR_NO_CONVERSION);
    EXPECT_EQ(load(simpleFile(0, 8, 1, 1, 1, 0, {0})).status, PSD_ERR_NO_CONVERSION);
    EXPECT_EQ(load(simpleFile(3, 8, 2, 1, 1, 0, {0, 0})).status, PSD_ERR_NO_CONVERSION);
    EXPECT_EQ(load(simpleFile(4, 8, 3, 1, 1, 0, {0, 0, 0})).status, PSD_ERR_NO_CONVERSION);
    // Multichannel at 16 bits takes the high bytes like the other modes.
    EXPECT_EQ(pixel(*load(simpleFile(7, 16, 3, 1, 1, 0, {0, 9, 255, 9, 255, 9})).psd, 0, 0),
              0xFF01FFFFu);
}

TEST(PsdFlatLayer, FlatFileGetsOneLayerOfItsMergedPicture) {
    auto [status, psd] = load(simpleFile(3, 8, 4, 2, 1, 0, {1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_EQ(status, PSD_OK);
    ASSERT_EQ(psd->layer_count, 1);
    const PsdLayerRecord& layer = psd->layers[0];
    EXPECT_EQ(layer.right, 2);
    EXPECT_EQ(layer.bottom, 1);
    EXPECT_EQ(layer.opacity, 255);
    EXPECT_EQ(layer.visible, 1);
    EXPECT_EQ(layer.mask_disabled, 1);
    EXPECT_EQ(layer.section_blend_mode, PSD_BLEND_PASS_THROUGH);
    ASSERT_EQ(layer.channel_count, 4);
    const int16_t ids[] = {0, 1, 2, -1}; // in plane order: colours, then transparency
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(layer.channels[i].id, ids[i]);
    ASSERT_EQ(layer.channel_range_count, 4);
    EXPECT_EQ(layer.channel_ranges[3][3], 65535);
    EXPECT_EQ(layer.composite_gray_ranges[1], 65535);
    // The layer's pixels are the merged ones, lent until a caller asks for its own copy.
    EXPECT_EQ(layer.pixels, psd->merged);
    ASSERT_EQ(psd_own_layer_pixels(psd.get(), &psd->layers[0]), PSD_OK);
    EXPECT_NE(layer.pixels, psd->merged);
    EXPECT_EQ(layer.pixels[1], 0x08020406u);

    auto gray = onePixel(1, {7});
    ASSERT_EQ(gray.psd->layer_count, 1);
    EXPECT_EQ(gray.psd->layers[0].channels[0].id, 0);
    // Taken over by a caller, the merged pixels leave the record, its account and the layer that
    // borrowed them, and end in the spare zero bytes a picture's block has.
    PsdContext& taken = *gray.psd;
    const uint64_t held = taken.memory_held, bytes = psd_merged_block_size(&taken);
    uint32_t* merged = psd_take_merged(&taken);
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(merged[0], 0xFF070707u);
    EXPECT_EQ(merged[1], 0u);
    EXPECT_EQ(taken.merged, nullptr);
    EXPECT_EQ(taken.layers[0].pixels, nullptr);
    EXPECT_EQ(taken.memory_held, held - bytes);
    EXPECT_EQ(psd_take_merged(&taken), nullptr);
    vistrel::freeLarge(merged, bytes);
}
