// Every generated file decodes to the pixels an independent decoder reads from it.
#include "CachedPicture.h"
#include "PixelCompare.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace vistrel;
using namespace vistrel::test;

namespace {

struct Expectation {
    std::string name, expect, reference;
    int bpp = 0, width = 0, height = 0, tolerance = 0, alpha = 0;
};

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

TEST(DecoderFiles, EveryFileMatchesAnIndependentDecode) {
    const auto rows = manifest();
    ASSERT_GT(rows.size(), 40u) << "fixtures missing in " << VISTREL_TESTDATA;
    for (const Expectation& e : rows) {
        SCOPED_TRACE(e.name);
        CachedPicture record;
        const bool loaded = record.load(testFile(e.name).c_str(), {});
        if (e.expect == "fail") {
            EXPECT_FALSE(loaded);
            continue;
        }
        ASSERT_TRUE(loaded);
        Picture& picture = *record.picture;
        EXPECT_EQ(picture.bitsPerPixel(), e.bpp);
        ASSERT_EQ(picture.width(), e.width);
        ASSERT_EQ(picture.height(), e.height);
        EXPECT_EQ(record.width, e.width);
        EXPECT_EQ(record.path, testFile(e.name));
        const Difference d =
            compare(topDown(picture), fromRgba(readBytes(testFile(e.reference))), e.alpha);
        EXPECT_LE(d.largest, e.tolerance)
            << "at pixel (" << d.at % e.width << ", " << d.at / e.width << ")";
    }
}
