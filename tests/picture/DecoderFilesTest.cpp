// Every generated file decodes to the pixels an independent decoder reads from it.
#include "CachedPicture.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

// Largest difference of any channel, and where it was.
std::string compare(const std::vector<uint32_t>& ours, const std::vector<uint8_t>& reference,
                    int width, int tolerance, bool alpha) {
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const uint8_t expected[4] = {reference[4 * i], reference[4 * i + 1], reference[4 * i + 2],
                                     reference[4 * i + 3]};
        const uint8_t got[4] = {uint8_t(ours[i] >> 16), uint8_t(ours[i] >> 8), uint8_t(ours[i]),
                                uint8_t(ours[i] >> 24)};
        for (int c = 0; c < (alpha ? 4 : 3); ++c)
            if (std::abs(expected[c] - got[c]) > tolerance) {
                std::ostringstream where;
                where << "pixel (" << i % std::size_t(width) << ", " << i / std::size_t(width)
                      << ") channel " << c << ": " << int(got[c]) << " instead of "
                      << int(expected[c]);
                return where.str();
            }
    }
    return "";
}

} // namespace

TEST(DecoderFiles, EveryFileMatchesAnIndependentDecode) {
    const auto rows = manifest();
    ASSERT_GT(rows.size(), 40u) << "fixtures missing in " << VISTREL_TESTDATA;
    for (const Expectation& e : rows) {
        SCOPED_TRACE(e.name);
        CachedPicture record;
        const bool loaded = record.load(testFile(e.name).c_str());
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
        const auto reference = readBytes(testFile(e.reference));
        ASSERT_EQ(reference.size(), std::size_t(e.width) * std::size_t(e.height) * 4);
        EXPECT_EQ(compare(topDown(picture), reference, e.width, e.tolerance, e.alpha), "");
    }
}
