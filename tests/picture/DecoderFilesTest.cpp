// Every generated file decodes to the pixels an independent decoder reads from it.
#include "CachedPicture.h"
#include "PictureFormat.h"
#include "PictureSize.h"
#include "PixelCompare.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

using namespace vistrel;
using namespace vistrel::test;

namespace {

struct Expectation {
    std::string name, expect, reference;
    int bpp = 0, width = 0, height = 0, tolerance = 0, alpha = 0;
};

void PrintTo(const Expectation& e, std::ostream* out) {
    *out << e.name;
}

std::vector<Expectation> manifest() {
    std::vector<Expectation> rows;
    std::ifstream in(testFile("manifest.txt"));
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Expectation e;
        if (fields >> e.name >> e.expect >> e.bpp >> e.width >> e.height >> e.tolerance >>
            e.alpha >> e.reference)
            rows.push_back(e);
    }
    return rows;
}

} // namespace

// One case per generated file, named after it, so that a failure names its file.
class DecoderFile : public testing::TestWithParam<Expectation> {};

TEST_P(DecoderFile, MatchesAnIndependentDecode) {
    const Expectation& e = GetParam();
    CachedPicture record;
    const DecodeResult loaded = record.load(testFile(e.name).c_str(), {});
    if (e.expect != "ok") {
        EXPECT_EQ(loaded.word(), e.expect);
        return;
    }
    ASSERT_TRUE(loaded) << loaded.word();
    Picture& picture = *record.picture;
    EXPECT_EQ(picture.bitsPerPixel(), e.bpp);
    ASSERT_EQ(picture.width(), e.width);
    ASSERT_EQ(picture.height(), e.height);
    EXPECT_EQ(record.width, e.width);
    EXPECT_EQ(record.path, testFile(e.name));
    const Difference d =
        compare(argbPixels(picture), fromRgba(readBytes(testFile(e.reference))), e.alpha);
    EXPECT_LE(d.largest, e.tolerance)
        << "at pixel (" << d.at % e.width << ", " << d.at / e.width << ")";
}

// The files are made when the tests are built (tests/picture/CMakeLists.txt); an empty manifest
// would leave the suite without cases, which GoogleTest reports as a failure of its own.
INSTANTIATE_TEST_SUITE_P(Generated, DecoderFile, testing::ValuesIn(manifest()),
                         [](const testing::TestParamInfo<Expectation>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(DecoderFiles, TheManifestListsEveryFormatsFiles) {
    EXPECT_GT(manifest().size(), 40u) << "fixtures missing in " << VISTREL_TESTDATA;
}

// The prefetcher's budget reads a picture's size from its header alone: the size the decoders
// give, for every format (an icon's the image the system decoder picks; a file holding another
// format's bytes, the header of what they are).
TEST(PictureHeader, MatchesTheDecodedSize) {
    std::vector<const char*> names = {
        "jpeg/colour.jpg", "jpeg/photo-turned.jpg", "rgba16.png",    "palette4.png",
        "bits24.bmp",      "topdown24.bmp",         "tga24-top.tga", "transparent.gif",
        "sizes.ico",       "png-entries.ico",       "sizes.cur",     "gif-inside.bmp"};
#if VISTREL_MODERN_FORMATS
    names.insert(names.end(),
                 {"modern/lossy-alpha.webp", "modern/animated.webp", "modern/photo.heic",
                  "modern/turned.avif", "modern/grid.avif", "modern/lossless-alpha.jxl"});
#endif
    for (const char* name : names) {
        SCOPED_TRACE(name);
        PictureHeader header;
        ASSERT_TRUE(readPictureHeader(testFile(name).c_str(), header));
        CachedPicture record;
        ASSERT_TRUE(record.load(testFile(name).c_str(), ScreenCopyPolicy{}));
        EXPECT_EQ(header.width, record.width);
        EXPECT_EQ(header.height, record.height);
    }
    // 2400 x 1800 on 960 x 540: its screen copy is 720 x 540; decoded reduced, only that is held.
    ScreenCopyPolicy policy{{960, 540}, true, {}};
    const std::string photo = testFile("jpeg/photo.jpg");
    EXPECT_EQ(estimateHeldBytes(photo.c_str(), policy), 7200u * 1800 + 720 * 540 * 4);
    policy.screenCopyOnly = true;
    EXPECT_EQ(estimateHeldBytes(photo.c_str(), policy), 720u * 540 * 4);
}
