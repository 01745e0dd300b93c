// Files written by independent writers (ImageMagick, ag-psd) and by our own generator, compared
// with an independent decode or with the pattern they were written from; and the hand-over of
// PSD files to the viewer's Picture.
#include "ArgbPixels.h"
#include "PsdDecoder.h"
#include "PsdTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace psdtest;

namespace {

// Largest difference of any channel between the merged pixels and RGBA bytes.
int maxDifference(const PsdContext& psd, const Bytes& rgba, bool withAlpha) {
    const std::size_t n = std::size_t(psd.width) * psd.height;
    if (rgba.size() != n * 4) return 1000;
    int worst = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t p = psd.merged[i];
        const int ours[4] = {int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF), int(p >> 24)};
        for (int c = 0; c < (withAlpha ? 4 : 3); ++c)
            worst = std::max(worst, std::abs(ours[c] - int(rgba[i * 4 + c])));
    }
    return worst;
}

uint32_t patternPixel(int x, int y) {
    return psd_pack_argb(255, pattern(0, x, y), pattern(1, x, y), pattern(2, x, y));
}

void expectPattern(const char* name) {
    auto [status, psd] = loadFile(name);
    ASSERT_EQ(status, PSD_OK) << name << ": " << psd_status_text(status);
    int wrong = 0;
    for (int y = 0; y < kGenHeight; ++y)
        for (int x = 0; x < kGenWidth; ++x)
            wrong += pixel(*psd, x, y) != patternPixel(x, y);
    EXPECT_EQ(wrong, 0) << name;
}

} // namespace

TEST(PsdImageMagickFiles, MergedPixelsMatchImageMagicksDecode) {
    // 16-bit samples: we take the high byte, ImageMagick rounds; CMYK: its floating-point
    // conversion against our integer rule.
    const struct {
        const char* name;
        int tolerance;
    } files[] = {{"im_rgb8_rle", 0},  {"im_rgb8_raw", 0},   {"im_rgb16_rle", 1},
                 {"im_rgb16_raw", 1}, {"im_cmyk8_rle", 2},  {"im_cmyk16_raw", 2},
                 {"im_gray8_rle", 0}, {"im_layers8_rle", 0}};
    for (const auto& file : files) {
        auto [status, psd] = loadFile(std::string(file.name) + ".psd");
        ASSERT_EQ(status, PSD_OK) << file.name << ": " << psd_status_text(status);
        EXPECT_LE(
            maxDifference(*psd, readBytes(dataPath(std::string(file.name) + ".ref.rgba")), false),
            file.tolerance)
            << file.name;
    }
    // ImageMagick writes even one picture as a layer: a file with layers makes no layer of its own.
    EXPECT_EQ(loadFile("im_layers8_rle.psd").psd->layer_count, 2);
    EXPECT_EQ(loadFile("im_rgb8_rle.psd").psd->layer_count, 1);
    EXPECT_EQ(loadFile("gen_rgb8_rle.psd").psd->layer_count, 1);
}

TEST(PsdIndependentReaders, TransparencyPlaneReadsAsAgPsdReadsIt) {
    // ag-psd takes translucent colours as matted with white and changes them; the transparency
    // plane itself, and the colours of opaque pixels, must agree exactly.
    for (const char* name : {"im_rgba8_rle", "gen_rgba8"}) {
        auto [status, psd] = loadFile(std::string(name) + ".psd");
        ASSERT_EQ(status, PSD_OK) << name;
        const Bytes theirs = readBytes(dataPath(std::string(name) + ".ag.rgba"));
        ASSERT_EQ(theirs.size(), std::size_t(psd->width) * psd->height * 4) << name;
        int opaque = 0;
        for (std::size_t i = 0; i < theirs.size() / 4; ++i) {
            const uint32_t p = psd->merged[i];
            ASSERT_EQ(p >> 24, theirs[i * 4 + 3]) << name << " pixel " << i;
            if (theirs[i * 4 + 3] != 255) continue;
            ++opaque;
            ASSERT_EQ(p & 0x00FFFFFF,
                      psd_pack_argb(0, theirs[i * 4], theirs[i * 4 + 1], theirs[i * 4 + 2]))
                << name << " pixel " << i;
        }
        EXPECT_GT(opaque, 0) << name;
    }
    // ImageMagick stores the colours it was given, unmatted.
    auto [status, psd] = loadFile("im_rgba8_rle.psd");
    EXPECT_EQ(maxDifference(*psd, readBytes(dataPath("im_rgba8_rle.source.rgba")), true), 0);
}

TEST(PsdIndependentReaders, AgPsdFilesGiveTheirComposite) {
    for (const char* name : {"ag_flat", "ag_layers"}) {
        auto [status, psd] = loadFile(std::string(name) + ".psd");
        ASSERT_EQ(status, PSD_OK) << name;
        EXPECT_EQ(
            maxDifference(*psd, readBytes(dataPath(std::string(name) + ".expected.rgba")), true), 0)
            << name;
    }
    // ag-psd stores a translucent composite's colours matted with white, as Photoshop does; the
    // merged pixels keep the stored colours, so only the transparency plane is compared.
    auto [status, psd] = loadFile("ag_alpha.psd");
    ASSERT_EQ(status, PSD_OK);
    const Bytes expected = readBytes(dataPath("ag_alpha.expected.rgba"));
    ASSERT_EQ(expected.size(), std::size_t(psd->width) * psd->height * 4);
    for (std::size_t i = 0; i < expected.size() / 4; ++i)
        ASSERT_EQ(psd->merged[i] >> 24, expected[i * 4 + 3]) << i;
}

TEST(PsdGeneratedFiles, EveryCompressionAndDepthGivesTheSamePixels) {
    for (const char* name : {"gen_rgb8_raw.psd", "gen_rgb8_rle.psd", "gen_rgb8_zip.psd",
                             "gen_rgb8_zippred.psd", "gen_rgb16_raw.psd", "gen_rgb16_rle.psd",
                             "gen_rgb16_zip.psd", "gen_rgb16_zippred.psd", "gen_resources.psd"})
        expectPattern(name);

    // The same samples at 8 and 16 bits (the 16-bit low bytes are noise) give the same pixels.
    for (auto [eight, sixteen] : {std::pair{"gen_lab8.psd", "gen_lab16.psd"},
                                  std::pair{"gen_cmyk8.psd", "gen_cmyk16.psd"}}) {
        auto a = loadFile(eight), b = loadFile(sixteen);
        ASSERT_EQ(a.status, PSD_OK);
        ASSERT_EQ(b.status, PSD_OK);
        EXPECT_TRUE(
            std::equal(a.psd->merged, a.psd->merged + kGenWidth * kGenHeight, b.psd->merged))
            << sixteen;
    }
    auto gray = loadFile("gen_gray16.psd");
    EXPECT_EQ(pixel(*gray.psd, 36, 22), 0xFF000000u | pattern(0, 36, 22) * 0x010101u);
    auto cmyk = loadFile("gen_cmyk8.psd");
    EXPECT_EQ(pixel(*cmyk.psd, 9, 2),
              psd_cmyk_to_argb(255 - pattern(0, 9, 2), 255 - pattern(1, 9, 2),
                               255 - pattern(2, 9, 2), 255 - pattern(3, 9, 2)));
}

TEST(PsdGeneratedFiles, IndexedColoursFollowResources1046And1047) {
    auto limited = loadFile("gen_indexed.psd");
    auto plain = loadFile("gen_indexed_plain.psd");
    ASSERT_EQ(limited.status, PSD_OK);
    ASSERT_EQ(plain.status, PSD_OK);
    for (int y = 0; y < kGenHeight; ++y)
        for (int x = 0; x < kGenWidth; ++x) {
            const int i = pattern(0, x, y);
            const uint32_t colour = psd_pack_argb(255, i, 255 - i, (i * 3) & 0xFF);
            EXPECT_EQ(pixel(*plain.psd, x, y), colour);
            EXPECT_EQ(pixel(*limited.psd, x, y), i < 200 && i != 5 ? colour : 0x00FFFFFFu);
        }
}

TEST(PsdGeneratedFiles, BitmapBitsAreBlackWhenSet) {
    auto [status, psd] = loadFile("gen_bitmap.psd");
    ASSERT_EQ(status, PSD_OK);
    for (int y = 0; y < kGenHeight; ++y)
        for (int x = 0; x < kGenWidth; ++x) {
            const int byte = ((x / 8) * 3 + y) & 0xFF;
            const bool set = (byte >> (7 - x % 8)) & 1;
            EXPECT_EQ(pixel(*psd, x, y), set ? 0xFF000000u : 0xFFFFFFFFu);
        }
}

TEST(PsdPicture, ThreeChannelsGive24BitsFourGive32OthersFail) {
    vistrel::Picture picture;
    // Taken over as they are (four channels) or packed to 24 bits in place (three, in rows of 37
    // pixels, padded): the same pixels either way.
    for (const auto& [name, depth] :
         {std::pair{"gen_rgb8_rle.psd", 24}, std::pair{"gen_rgba8.psd", 32},
          std::pair{"gen_cmyk8.psd", 32}}) {
        auto [status, psd] = loadFile(name);
        ASSERT_EQ(status, PSD_OK);
        ASSERT_TRUE(vistrel::decodePsd(dataPath(name).c_str(), picture)) << name;
        EXPECT_EQ(picture.bitsPerPixel(), depth) << name;
        EXPECT_EQ(vistrel::test::argbPixels(picture),
                  std::vector<uint32_t>(psd->merged, psd->merged + kGenWidth * kGenHeight))
            << name;
    }
    for (const auto& [name, reason] :
         {std::pair{"gen_gray16.psd", "unsupported"},
          std::pair{"gen_cmyk8_alpha.psd", "unsupported"},
          std::pair{"im_rgb8_rle.ref.rgba", "malformed"}, std::pair{"missing.psd", "cannot-open"}})
        EXPECT_STREQ(vistrel::decodePsd(dataPath(name).c_str(), picture).word(), reason) << name;
}
