// What no file may do: make the reader allocate past its memory budget or far past what its data
// can fill, read or write outside a buffer, or lose the merged picture over a bad layer section;
// and the audit's repairs of the core.
#include "LargeBuffer.h"
#include "PsdDecoder.h"
#include "PsdTestSupport.h"

#include <gtest/gtest.h>

using namespace psdtest;

namespace {

// What a loaded record holds against its budget once the load is over: the pixel buffers, the
// layer and pattern records and the patterns' names.
uint64_t heldAfterLoad(const PsdContext& psd) {
    uint64_t bytes = psd_merged_block_size(&psd) + psd.layer_count * sizeof(PsdLayerRecord) +
                     psd.pattern_capacity * sizeof(PsdPattern);
    for (int i = 0; i < psd.layer_count; ++i)
        if (!psd.layers[i].pixels_lent)
            bytes += psd.layers[i].pixels_size + psd.layers[i].mask_pixels_size +
                     psd.layers[i].real_mask_pixels_size;
    for (int i = 0; i < psd.alpha_channel_count; ++i)
        if (psd.alpha_channels[i].pixels) bytes += uint64_t(psd.width) * psd.height;
    for (int i = 0; i < psd.pattern_count; ++i)
        bytes += psd.patterns[i].pixels_size + psd.patterns[i].name_length * 2 + 2;
    return bytes;
}

} // namespace

TEST(PsdRepairs, ResourceCountsAreBoundedAfterTheyAreRead) {
    // Version info whose reader name claims 8 units with 13 bytes left: 6 units are kept, and the
    // stored length never exceeds the copy.
    Builder block;
    block.u32(1).u8(1).u32(0).u32(8);
    for (int i = 0; i < 13; ++i)
        block.u8(0x41);
    Builder f;
    f.header(3, 8, 3, 1, 1).u32(0).u32(12 + uint32_t(block.b.size()));
    f.text("8BIM").u16(1057).u16(0).u32(uint32_t(block.b.size())).raw(block.b);
    f.u32(0).u16(0).raw({1, 2, 3});
    auto [status, psd] = load(f.b);
    ASSERT_EQ(status, PSD_OK);
    EXPECT_EQ(psd->resources.version.reader_length, 6u);
    EXPECT_EQ(psd->resources.version.reader[11], 0x41);

    // A resource section longer than the file is a short block like any other.
    Builder longer;
    longer.header(3, 8, 3, 1, 1).u32(0).u32(100).text("8BIM").u16(1005).u16(0).u32(0);
    EXPECT_EQ(load(longer.b).status, PSD_ERR_SHORT);
}

TEST(PsdRepairs, ExtraPlanesFillTheAlphaRecordsInEveryCompression) {
    // Four RGB channels, three named as alpha channels by 1053: only the fourth can be one (the
    // colour channels stay three), and the raw and PackBits paths fill its record as ZIP does.
    for (uint16_t method : {0, 1, 2}) {
        const Bytes planes = {10, 20, 30, 40};
        Bytes data = planes;
        if (method == 1) data = {0, 2, 0, 2, 0, 2, 0, 2, 0, 10, 0, 20, 0, 30, 0, 40};
        if (method == 2) data = zipped(planes);
        Builder f;
        f.header(3, 8, 4, 1, 1).u32(0).u32(24).text("8BIM").u16(1053).u16(0).u32(12);
        f.u32(5).u32(6).u32(7).u32(0).u16(method).raw(data);
        auto [status, psd] = load(f.b);
        ASSERT_EQ(status, PSD_OK) << method;
        EXPECT_EQ(psd->color_channel_count, 3) << method;
        ASSERT_EQ(psd->alpha_channel_count, 1) << method;
        ASSERT_NE(psd->alpha_channels[0].pixels, nullptr) << method;
        EXPECT_EQ(psd->alpha_channels[0].pixels[0], 40) << method;
        EXPECT_EQ(pixel(*psd, 0, 0), 0xFF0A141Eu) << method;
    }
}

TEST(PsdRepairs, NoScratchOutlivesTheLoad) {
    // Layers, "Lr16" layers (a second layer info), patterns, masks, alpha records, flat files.
    for (const char* name : {"gen_lay_rgb8.psd", "gen_lay_lr16.psd", "gen_patterns.psd",
                             "gen_rgb_named_alpha.psd", "gen_rgb8_zip.psd", "im_lay_rgb8.psd"}) {
        auto [status, psd] = loadFile(name);
        ASSERT_EQ(status, PSD_OK) << name;
        EXPECT_EQ(psd->planes, nullptr) << name;
        EXPECT_EQ(psd->layer_scratch, nullptr) << name;
        EXPECT_EQ(psd->memory_held, heldAfterLoad(*psd)) << name;
    }
}

TEST(PsdLimits, MemoryBudgetRefusesBeforeAllocating) {
    const Bytes file = simpleFile(3, 8, 3, 64, 64, 0, Bytes(64 * 64 * 3, 9));
    PsdOptions options{};
    const uint64_t merged = 64 * 64 * 4 + vistrel::kPixelSpareBytes;
    options.memory_budget = merged; // the merged pixels alone
    PsdContext* ctx = nullptr;
    EXPECT_EQ(psd_open_memory(&ctx, file.data(), file.size(), &options), PSD_ERR_BUDGET);
    EXPECT_EQ(ctx, nullptr);
    // and the image data, which a load from memory reads from a copy
    options.memory_budget = merged + 64 * 64 * 3 + 2;
    ASSERT_EQ(psd_open_memory(&ctx, file.data(), file.size(), &options), PSD_OK);
    psd_free(ctx);
    EXPECT_GE(psd_default_memory_budget(), uint64_t(64) << 20);
    EXPECT_LE(psd_default_memory_budget(), uint64_t(4) << 30);
}

TEST(PsdLimits, HostileFilesAreRefusedAtOnce) {
    // Made by fixtures/make_hostile.py: a few bytes that claim gigabytes of merged image or layer,
    // with or without alpha channel resources, and damaged layer sections.
    const std::pair<const char*, int> files[] = {
        {"bomb_rgb_raw_16000", PSD_ERR_SHORT},
        {"bomb_rgb_rle_30000", PSD_ERR_SHORT},
        {"bomb_56_raw", PSD_ERR_SHORT},
        {"bomb_56_rle", PSD_ERR_SHORT},
        {"bomb_56_1006", PSD_ERR_SHORT},
        {"bomb_56_1045", PSD_ERR_SHORT},
        {"bomb_56_1053", PSD_ERR_SHORT},
        {"bomb_2048_1053", PSD_ERR_SHORT},
        {"bomb_rgba_1053", PSD_ERR_SHORT},
        {"bomb_bitmap_16000", PSD_ERR_SHORT},
        {"bad_layer_bomb", PSD_ERR_SHORT},
        {"bad_layer_side", PSD_ERR_SIZE},
        {"bad_layer_long_channel", PSD_ERR_SHORT},
        {"bad_layer_method", PSD_ERR_COMPRESSION},
        {"bad_layer_signature", PSD_ERR_LAYER_SIGNATURE},
        {"bad_layer_count", PSD_ERR_SHORT},
    };
    for (const auto& [name, expected] : files) {
        const std::string file = std::string(name) + ".psd";
        EXPECT_EQ(loadFile(file).status, expected) << name;
        // The viewer refuses every merged-image bomb (most from the header: 56 channels).
        vistrel::Picture picture;
        if (file.starts_with("bomb")) {
            EXPECT_FALSE(vistrel::decodePsd(dataPath(file).c_str(), picture)) << name;
        }
    }

    // Sides computed in 64 bits: this rectangle is empty, not 2^32 - 2 wide.
    auto odd = loadFile("odd_layer_rect.psd");
    ASSERT_EQ(odd.status, PSD_OK);
    EXPECT_EQ(odd.psd->layers[0].width, 0);
    EXPECT_EQ(odd.psd->layers[0].pixels, nullptr);
}

TEST(PsdLimits, PatternsCostOnlyWhatTheirDataCanFill) {
    // Made by fixtures/make_hostile.py: 16 x 16 pictures whose patterns hold no data, or zeros
    // squeezed 1000:1, as 4096 to 16384 pixels a side in several image modes. Held at 4 bytes a
    // pixel they pass the size rule's floor of the whole file: a full load refuses each one past
    // the floor and reads the document on. The viewer reads their records but none of their
    // pixels.
    for (const char* name :
         {"cost_gray_empty", "cost_gray_zip", "cost_bitmap_zip", "cost_bitmap_empty",
          "cost_rgb_empty", "cost_multichannel_empty", "cost_indexed_empty", "cost_lab16_empty",
          "cost_rect_only", "cost_many_patterns"}) {
        const std::string path = dataPath(std::string(name) + ".psd");
        auto full = loadFile(std::string(name) + ".psd");
        ASSERT_EQ(full.status, PSD_OK) << name;
        EXPECT_GT(full.psd->failed_pattern_count, 0) << name;
        EXPECT_EQ(full.psd->failed_patterns[0].status, PSD_ERR_SHORT) << name;
        EXPECT_LT(full.psd->memory_held, vistrel::decodeFloor() + (uint64_t(2) << 20)) << name;
        PsdOptions viewer{};
        viewer.skip_layer_pixels = 1;
        PsdContext* ctx = nullptr;
        ASSERT_EQ(psd_open_with(&ctx, path.c_str(), &viewer), PSD_OK) << name;
        Psd psd(ctx);
        EXPECT_GT(psd->pattern_count, 0) << name;
        EXPECT_EQ(psd->patterns[0].pixels, nullptr) << name;
        EXPECT_LT(psd->memory_held, uint64_t(2) << 20) << name;
        vistrel::Picture picture;
        EXPECT_TRUE(vistrel::decodePsd(path.c_str(), picture)) << name;
    }

    // The pattern records count against the budget: 4000 of them in 200 KB.
    PsdOptions small{};
    small.skip_layer_pixels = 1;
    small.memory_budget = 1 << 20;
    PsdContext* ctx = nullptr;
    EXPECT_EQ(psd_open_with(&ctx, dataPath("cost_many_patterns.psd").c_str(), &small),
              PSD_ERR_BUDGET);

    // A damaged pattern ends where its length says: the good one after two damaged ones is read.
    auto [status, psd] = loadFile("bad_patterns.psd");
    ASSERT_EQ(status, PSD_OK);
    ASSERT_EQ(psd->pattern_count, 1);
    EXPECT_EQ(psd->failed_pattern_count, 2);
    EXPECT_EQ(psd->patterns[0].pixels[5], 0xFF050505u);
}

TEST(PsdLimits, ARefusedPatternIsNotedAndTheOthersAreRead) {
    // "Patt" holding a 2 x 1 grayscale pattern, one of version 2, and another good one.
    auto pattern = [](uint32_t version, uint8_t gray) {
        Builder p;
        p.u32(version).u32(1).u16(1).u16(2).u32(0).u8(0);    // mode, point, no name, no id
        p.u32(3).u32(0).u32(0).u32(0).u32(1).u32(2).u32(24); // array list: rect 1 x 2
        p.u32(1).u32(23 + 2).u32(8).u32(0).u32(0).u32(1).u32(2).u16(8).u8(0).u8(gray).u8(gray + 1);
        p.u16(0); // to a multiple of 4
        Builder sized;
        sized.u32(uint32_t(p.b.size())).raw(p.b);
        return sized.b;
    };
    Builder block;
    block.raw(pattern(1, 10)).raw(pattern(2, 20)).raw(pattern(1, 30));
    Builder f;
    f.header(1, 8, 1, 1, 1).u32(0).u32(0).u32(8 + 12 + uint32_t(block.b.size()));
    f.u32(0).u32(0).text("8BIMPatt").u32(uint32_t(block.b.size())).raw(block.b);
    f.u16(0).u8(9);
    auto [status, psd] = load(f.b);
    ASSERT_EQ(status, PSD_OK);
    ASSERT_EQ(psd->pattern_count, 2);
    EXPECT_EQ(psd->patterns[0].pixels[1], 0xFF0B0B0Bu);
    EXPECT_EQ(psd->patterns[1].pixels[0], 0xFF1E1E1Eu);
    ASSERT_EQ(psd->failed_pattern_count, 1);
    const PsdFailedPattern& failed = psd->failed_patterns[0];
    EXPECT_EQ(values({failed.key, failed.status, failed.index}),
              values({psd_key("Patt"), PSD_ERR_PATTERN_VERSION, 1}));
    EXPECT_EQ(pixel(*psd, 0, 0), 0xFF090909u);
}

TEST(PsdLimits, ARealFileCutShortDecodesWhileItHoldsMostOfItsData) {
    // 75 MB of raw planes: past the 64 MB floor, so the data present decides.
    const uint32_t side = 5000;
    Bytes big = simpleFile(3, 8, 3, side, side, 0, {});
    const std::size_t header = big.size(), planes = std::size_t(side) * side * 3;
    big.resize(header + planes * 6 / 10, 7);
    auto cut = load(big);
    ASSERT_EQ(cut.status, PSD_OK);
    EXPECT_EQ(pixel(*cut.psd, side - 1, side - 1), 0xFF070000u); // green and blue: zero
    cut.psd.reset();
    big.resize(header + planes * 4 / 10);
    EXPECT_EQ(load(big).status, PSD_ERR_SHORT);
}

TEST(PsdLimits, TheViewerShowsTheMergedPictureWhateverTheLayers) {
    // A layer section that fails, and a layer that would be a bomb if its pixels were decoded:
    // the viewer needs neither to show the merged pixel 1, 2, 3.
    for (const char* name : {"bad_layer_signature.psd", "bad_layer_bomb.psd"}) {
        vistrel::Picture picture;
        ASSERT_TRUE(vistrel::decodePsd(dataPath(name).c_str(), picture)) << name;
        EXPECT_EQ(picture.width(), 1);
        EXPECT_EQ(picture.pixels()[2], 1) << name; // bytes blue, green, red
    }
}
