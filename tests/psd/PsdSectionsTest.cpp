// psd_open, the header, colour mode data and image resources, and damaged files.
#include "PsdDecoder.h"
#include "PsdTestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

using namespace psdtest;

namespace {

int openStatus(const Bytes& bytes) {
    return load(bytes).status;
}
const Bytes kPixel = {1, 2, 3}; // one RGB pixel

} // namespace

TEST(PsdOpen, RefusesMissingArgumentsAndFilesWithoutTouchingTheResult) {
    PsdContext* ctx = reinterpret_cast<PsdContext*>(0x1);
    EXPECT_EQ(psd_open(nullptr, "x.psd"), PSD_ERR_NO_RESULT);
    EXPECT_EQ(psd_open(&ctx, nullptr), PSD_ERR_OPEN);
    EXPECT_EQ(psd_open(&ctx, "/nonexistent/file.psd"), PSD_ERR_OPEN);
    EXPECT_EQ(ctx, reinterpret_cast<PsdContext*>(0x1));
    EXPECT_EQ(psd_free(nullptr), PSD_ERR_NO_RESULT);

    // Once the file is open a failure stores null.
    const Bytes empty;
    EXPECT_EQ(psd_open_memory(&ctx, empty.data(), 0), PSD_ERR_SHORT);
    EXPECT_EQ(ctx, nullptr);
}

#ifndef _WIN32 // Windows has its own in tests/win/RegularFilesTest.cpp
TEST(PsdOpen, OnlyRegularFilesAreReadAndNothingElseBlocks) {
    // A FIFO without a writer would block a plain open for good; /dev/zero would never end.
    vistrel::test::ScratchFolder folder;
    const std::string fifo = folder.path() + "pipe.psd";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = folder.path() + "zero.psd";
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    for (const std::string& path : {fifo, zero, folder.path()}) {
        PsdContext* ctx = nullptr;
        EXPECT_EQ(psd_open(&ctx, path.c_str()), PSD_ERR_NOT_FILE) << path;
        EXPECT_EQ(ctx, nullptr);
        vistrel::Picture picture;
        EXPECT_STREQ(vistrel::decodePsd(path.c_str(), picture).word(), "not-regular-file") << path;
    }
}
#endif

TEST(PsdHeader, ChecksSignatureVersionDepthModeAndSize) {
    EXPECT_EQ(openStatus(simpleFile(3, 8, 3, 1, 1, 0, kPixel)), PSD_OK);
    Bytes f = simpleFile(3, 8, 3, 1, 1, 0, kPixel);
    f[3] = 'T';
    EXPECT_EQ(openStatus(f), PSD_ERR_SIGNATURE);
    f = simpleFile(3, 8, 3, 1, 1, 0, kPixel);
    f[5] = 3; // 1 is PSD, 2 the large document format
    EXPECT_EQ(openStatus(f), PSD_ERR_VERSION);
    EXPECT_EQ(openStatus(simpleFile(3, 32, 3, 1, 1, 0, kPixel)), PSD_ERR_DEPTH);
    EXPECT_EQ(openStatus(simpleFile(5, 8, 3, 1, 1, 0, kPixel)), PSD_ERR_MODE);
    EXPECT_EQ(openStatus(simpleFile(10, 8, 3, 1, 1, 0, kPixel)), PSD_ERR_MODE);
    EXPECT_EQ(openStatus(Bytes(f.begin(), f.begin() + 25)), PSD_ERR_SHORT);
    // Sizes are refused before anything is allocated.
    EXPECT_EQ(openStatus(simpleFile(3, 8, 3, 30001, 1, 0, {})), PSD_ERR_SIZE);
    EXPECT_EQ(openStatus(simpleFile(3, 8, 3, 0, 1, 0, {})), PSD_ERR_SIZE);
    EXPECT_EQ(openStatus(simpleFile(3, 8, 3, 20000, 20000, 0, {})), PSD_ERR_SIZE);
    EXPECT_EQ(openStatus(simpleFile(3, 8, 0, 1, 1, 0, {})), PSD_ERR_SIZE);
    EXPECT_EQ(openStatus(simpleFile(3, 8, 57, 1, 1, 0, {})), PSD_ERR_SIZE);
}

TEST(PsdColorModeData, PaletteOf772BytesGives257EntriesAndTheStreamGoesOn) {
    Builder f;
    f.header(2, 8, 1, 2, 1).u32(772);
    for (int plane = 0; plane < 3; ++plane)
        for (int i = 0; i < 257; ++i)
            f.u8(uint8_t(i + plane * 10));
    f.u8(0xEE); // the 772nd byte, outside every entry
    // A resource right after it is read only if the stream continues exactly there.
    f.u32(14).text("8BIM").u16(1046).u16(0).u32(2).u16(2);
    f.u32(0).u16(0).u8(1).u8(0);
    auto [status, psd] = load(f.b);
    ASSERT_EQ(status, PSD_OK);
    EXPECT_EQ(psd->palette_count, 257);
    EXPECT_EQ(psd->palette[256], 0xFF000A14u);
    EXPECT_EQ(psd->resources.indexed_color_count, 2);
    EXPECT_EQ(pixel(*psd, 0, 0), 0xFF010B15u);
    EXPECT_EQ(pixel(*psd, 1, 0), 0xFF000A14u);

    auto empty = load(simpleFile(3, 8, 3, 1, 1, 0, kPixel));
    EXPECT_EQ(empty.psd->palette_count, 0);
}

TEST(PsdResources, NamePaddingOddSizesVersionGatesAndPathsFromTheGenerator) {
    auto [status, psd] = loadFile("gen_resources.psd");
    ASSERT_EQ(status, PSD_OK) << psd_status_text(status);
    const PsdResources& r = psd->resources;
    // Names of 0, 1, 2, 3 and 8 characters and a 5-byte block: every later block still found.
    ASSERT_TRUE(r.resolution.present);
    EXPECT_FLOAT_EQ(r.resolution.horizontal, 72.0f);
    EXPECT_FLOAT_EQ(r.resolution.vertical, 300.0f);
    EXPECT_EQ(r.resolution.height_unit, 2);
    EXPECT_TRUE(r.caption_present);
    EXPECT_STREQ(r.caption, "Caption!");
    EXPECT_FALSE(r.grid.present); // version 2 is not read
    EXPECT_EQ(r.global_angle, 120);
    EXPECT_EQ(r.global_altitude, -15);
    ASSERT_TRUE(r.color_samplers.present);
    ASSERT_EQ(r.color_samplers.count, 1u);
    EXPECT_EQ(r.color_samplers.samplers[0].horizontal, 20u);
    EXPECT_EQ(r.color_samplers.samplers[0].color_space, 7);
    ASSERT_EQ(r.path_count, 1);
    const PsdPath& path = r.paths[0];
    EXPECT_EQ(path.resource_id, 2000);
    ASSERT_EQ(path.subpath_count, 1);
    EXPECT_TRUE(path.subpaths[0].closed);
    ASSERT_EQ(path.subpaths[0].knot_count, 2);
    EXPECT_FLOAT_EQ(path.subpaths[0].knots[0].preceding_y, -1.0f); // signed 8.24
    EXPECT_FLOAT_EQ(path.subpaths[0].knots[1].anchor_x, 4.0f);
    EXPECT_TRUE(path.subpaths[0].knots[1].linked);
    // Pixels still come out right after all of that.
    EXPECT_EQ(pixel(*psd, 5, 7),
              psd_pack_argb(255, pattern(0, 5, 7), pattern(1, 5, 7), pattern(2, 5, 7)));

    // Without a resource section the global angle and altitude stay 0; with one they default to 30.
    auto plain = loadFile("gen_rgb8_raw.psd");
    EXPECT_EQ(plain.psd->resources.global_angle, 0);
    auto named = loadFile("gen_rgb_named_alpha.psd");
    EXPECT_EQ(named.psd->resources.global_angle, 30);
}

TEST(PsdResources, NamedAlphaChannelIsNotTransparency) {
    auto [status, psd] = loadFile("gen_rgb_named_alpha.psd");
    ASSERT_EQ(status, PSD_OK);
    EXPECT_EQ(psd->color_channel_count, 3);
    ASSERT_EQ(psd->alpha_channel_count, 1);
    const PsdAlphaChannel& alpha = psd->alpha_channels[0];
    EXPECT_STREQ(alpha.name, "Selection");
    ASSERT_EQ(alpha.unicode_name_length, 9u);
    EXPECT_EQ(std::memcmp(alpha.unicode_name, "\0S\0e\0l", 6), 0);
    EXPECT_EQ(alpha.identifier, 77u);
    for (int y = 0; y < kGenHeight; y += 5)
        for (int x = 0; x < kGenWidth; x += 3) {
            EXPECT_EQ(alpha.pixels[y * kGenWidth + x], pattern(3, x, y));
            EXPECT_EQ(pixel(*psd, x, y) >> 24, 0xFFu);
        }
}

TEST(PsdResources, DamagedBlocksFailCleanly) {
    Builder wrong;
    wrong.header(3, 8, 3, 1, 1).u32(0).u32(12).text("8BIX").u16(1005).u16(0).u32(0);
    wrong.u32(0).u16(0).raw(kPixel);
    EXPECT_EQ(openStatus(wrong.b), PSD_ERR_RESOURCE_SIGNATURE);

    Builder longBlock; // a block claiming more bytes than the file holds
    longBlock.header(3, 8, 3, 1, 1).u32(0).u32(12).text("8BIM").u16(1060).u16(0).u32(1u << 30);
    longBlock.u32(0).u16(0).raw(kPixel);
    EXPECT_EQ(openStatus(longBlock.b), PSD_ERR_SHORT);

    Builder palette; // colour mode data longer than the file
    palette.header(2, 8, 1, 1, 1).u32(0x7FFFFFFF).u8(0);
    EXPECT_EQ(openStatus(palette.b), PSD_ERR_SHORT);

    Builder layers; // a layer section longer than the file
    layers.header(3, 8, 3, 1, 1).u32(0).u32(0).u32(1000).u32(0);
    EXPECT_EQ(openStatus(layers.b), PSD_ERR_SHORT);
}

// Every prefix of a few files: each gives a status and releases everything (the sanitizer run
// checks the releases); a truncated image section is no error, anything earlier is.
TEST(PsdTruncation, EveryPrefixFailsCleanlyOrDecodes) {
    for (const char* name :
         {"gen_resources.psd", "gen_rgb8_rle.psd", "gen_rgb16_zippred.psd",
          "gen_rgb_named_alpha.psd", "ag_layers.psd", "im_rgba8_rle.psd", "gen_lay_rgb8.psd",
          "gen_lay_lr16.psd", "gen_patterns.psd", "ag_lay_groups.psd"}) {
        const Bytes whole = readBytes(dataPath(name));
        ASSERT_FALSE(whole.empty()) << name;
        for (std::size_t n = 0; n < whole.size(); ++n) {
            auto [status, psd] = load(Bytes(whole.begin(), whole.begin() + long(n)));
            EXPECT_TRUE(status <= 0) << name << " at " << n;
            EXPECT_EQ(status == PSD_OK, psd != nullptr) << name << " at " << n;
            if (n < 26) {
                EXPECT_EQ(status, PSD_ERR_SHORT);
            }
        }
    }
}
