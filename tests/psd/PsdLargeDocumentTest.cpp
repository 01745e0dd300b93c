// The large document format (PSB, version 2): 8-byte lengths of the layer section, the layer info,
// the channels and the "Lr16" block, 4-byte PackBits row counts, and sides up to 300,000. Files
// from our generator and ag-psd come as PSD and PSB twins of one document.
#include "PictureFormat.h"
#include "PsdDecoder.h"
#include "PsdTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace psdtest;

namespace {

bool same(const void* a, const void* b, uint64_t bytes) {
    return (a == nullptr) == (b == nullptr) && (!a || std::memcmp(a, b, bytes) == 0);
}

// Everything the two readings hold but the channels' lengths, which the formats store apart.
void expectSameDocument(const PsdContext& psd, const PsdContext& psb, const std::string& name) {
    EXPECT_EQ(psd.version, 1) << name;
    EXPECT_EQ(psb.version, 2) << name;
    ASSERT_EQ(values({psb.width, psb.height, psb.layer_count}),
              values({psd.width, psd.height, psd.layer_count}))
        << name;
    EXPECT_TRUE(same(psd.merged, psb.merged, uint64_t(psd.width) * psd.height * 4)) << name;
    for (int i = 0; i < psd.layer_count; ++i) {
        const PsdLayerRecord &a = psd.layers[i], &b = psb.layers[i];
        const std::string where = name + " layer " + std::to_string(i);
        EXPECT_STREQ(a.name, b.name) << where;
        EXPECT_EQ(
            values({a.top, a.left, a.bottom, a.right, a.channel_count, a.blend_mode, a.mask_left,
                    a.mask_width, a.real_mask_width, a.info_count, a.failed_block_count}),
            values({b.top, b.left, b.bottom, b.right, b.channel_count, b.blend_mode, b.mask_left,
                    b.mask_width, b.real_mask_width, b.info_count, b.failed_block_count}))
            << where;
        EXPECT_TRUE(same(a.pixels, b.pixels, a.pixels_size)) << where;
        EXPECT_TRUE(same(a.mask_pixels, b.mask_pixels, a.mask_pixels_size)) << where;
        EXPECT_TRUE(same(a.real_mask_pixels, b.real_mask_pixels, a.real_mask_pixels_size)) << where;
    }
}

Bytes psbFile(uint32_t width, uint32_t height, uint32_t depth, const Bytes& layers,
              const Bytes& image) {
    Builder f;
    f.header(3, depth, 3, width, height, 2).u32(0).u32(0);
    f.u32(0).u32(uint32_t(layers.size())).raw(layers);
    return f.u16(0).raw(image).b;
}

} // namespace

TEST(PsdLargeDocument, GeneratedTwinsReadAsTheSameDocument) {
    // Eight layers of every compression and mask kind; and 16-bit layers in an "Lr16" block. The
    // PSB twins' merged pictures are PackBits with 4-byte row counts.
    for (const char* name : {"gen_lay_rgb8", "gen_lay_lr16"}) {
        auto psd = loadFile(std::string(name) + ".psd");
        auto psb = loadFile(std::string(name) + ".psb");
        ASSERT_EQ(psd.status, PSD_OK) << name;
        ASSERT_EQ(psb.status, PSD_OK) << name << ": " << psd_status_text(psb.status);
        expectSameDocument(*psd.psd, *psb.psd, name);
    }
}

TEST(PsdLargeDocument, AgPsdTwinsReadAsTheSameDocumentAndTheViewerShowsThem) {
    for (const char* name : {"ag_layers", "ag_lay_groups"}) {
        auto psd = loadFile(std::string(name) + ".psd");
        auto psb = loadFile(std::string(name) + ".psb");
        ASSERT_EQ(psd.status, PSD_OK) << name;
        ASSERT_EQ(psb.status, PSD_OK) << name << ": " << psd_status_text(psb.status);
        expectSameDocument(*psd.psd, *psb.psd, name);
    }
    vistrel::Picture flat, large;
    ASSERT_TRUE(vistrel::decodePsd(dataPath("ag_flat.psd").c_str(), flat));
    ASSERT_TRUE(vistrel::decodePsd(dataPath("ag_flat.psb").c_str(), large));
    ASSERT_EQ(values({large.width(), large.height(), large.bitsPerPixel()}),
              values({flat.width(), flat.height(), flat.bitsPerPixel()}));
    EXPECT_EQ(std::memcmp(large.pixels(), flat.pixels(), flat.imageSize()), 0);

    // The format table lists, sniffs and reads it.
    const vistrel::PictureFormat* row = vistrel::formatOfPath("/pictures/poster.PSB");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->id, vistrel::FormatId::Psb);
    EXPECT_EQ(vistrel::formatOfBytes(reinterpret_cast<const uint8_t*>("8BPS\0\2"), 6), row);
    EXPECT_NE(vistrel::listingPatterns().find("*.psb"), std::string::npos);
}

TEST(PsdLargeDocument, SidesUpTo300000UnderTheSizeRule) {
    // A side of 300,000 is a PSB's limit (30,000 a PSD's); a truncated raw image below the size
    // rule's floor decodes as zeros.
    EXPECT_EQ(load(psbFile(300000, 1, 8, {}, {})).status, PSD_OK);
    EXPECT_EQ(load(psbFile(300001, 1, 8, {}, {})).status, PSD_ERR_SIZE);
    EXPECT_EQ(load(psbFile(1, 300000, 8, {}, {})).status, PSD_OK);
    // 16384 x 16384 with no data is far more picture than its data can fill.
    EXPECT_EQ(load(psbFile(16384, 16384, 8, {}, {})).status, PSD_ERR_SHORT);

    // A 16-bit layer 300,000 wide with only its red channel: the missing channels read a row of
    // zero samples that long.
    Builder info;
    info.u16(1).u32(0).u32(0).u32(1).u32(300000).u16(1).u16(0).u32(0).u32(2 + 600000);
    info.text("8BIMnorm").u8(255).u8(0).u8(0).u8(0).u32(4 + 4 + 4).u32(0).u32(0).u32(0);
    info.u16(0);
    for (uint32_t x = 0; x < 300000; ++x)
        info.u16(x % 2 ? 0xFF00 : 0);
    Builder section;
    section.u32(0).u32(uint32_t(info.b.size())).raw(info.b).u32(0);
    auto [status, psd] = load(psbFile(300000, 1, 16, section.b, {}));
    ASSERT_EQ(status, PSD_OK) << psd_status_text(status);
    ASSERT_EQ(psd->layers[0].width, 300000);
    EXPECT_EQ(psd->layers[0].pixels[299999], 0xFFFF0000u);
    EXPECT_EQ(psd->layers[0].pixels[299998], 0xFF000000u);
}
