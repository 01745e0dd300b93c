// Placeable WMF files written by Inkscape, LibreOffice and our own writer, loaded as the viewer
// loads them and checked against Inkscape's rendering of the same drawing, against the colours
// their records must leave, or for a clean failure.
#include "CachedPicture.h"
#include "PixelCompare.h"
#include "SystemDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

using namespace vistrel;
using namespace vistrel::test;

namespace {

uint32_t parseRgb(const std::string& hex) {
    return 0xFF000000u | uint32_t(std::stoul(hex, nullptr, 16));
}

int channelDistance(uint32_t a, uint32_t b) {
    int largest = 0;
    for (int shift = 0; shift < 24; shift += 8)
        largest = std::max(largest, std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)));
    return largest;
}

struct Decoded {
    bool ok = false;
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

} // namespace

TEST(WmfFiles, EveryFileDecodesAsTheManifestSays) {
    std::ifstream in(testFile("manifest.txt"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    // The files first, then the checks on them.
    std::stable_partition(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("file ", 0) == 0; });
    std::map<std::string, Decoded> files;
    int checks = 0;
    for (const std::string& line : lines) {
        std::istringstream fields(line);
        std::string kind, name;
        fields >> kind >> name;
        SCOPED_TRACE(line);
        if (kind == "file") {
            std::string expect;
            int width = 0, height = 0;
            fields >> expect >> width >> height;
            CachedPicture record;
            Decoded& d = files[name];
            const DecodeResult loaded = record.load(testFile(name).c_str(), {});
            d.ok = loaded.ok();
            ASSERT_EQ(loaded.word(), expect == "ok" ? "none" : expect);
            if (!d.ok) continue;
            EXPECT_EQ(record.picture->bitsPerPixel(), 24);
            ASSERT_EQ(record.picture->width(), width);
            ASSERT_EQ(record.picture->height(), height);
            d.width = width, d.height = height;
            d.pixels = argbPixels(*record.picture);
            continue;
        }
        ASSERT_TRUE(files.count(name) && files[name].ok) << "no decoded " << name;
        const Decoded& d = files[name];
        ++checks;
        if (kind == "compare") {
            std::string reference;
            double meanLimit = 0, offLimit = 0;
            fields >> reference >> meanLimit >> offLimit;
            const std::vector<uint32_t> theirs = fromRgba(readBytes(testFile(reference)));
            ASSERT_EQ(theirs.size(), d.pixels.size());
            std::size_t off = 0;
            for (std::size_t i = 0; i < theirs.size(); ++i)
                off += channelDistance(d.pixels[i], theirs[i]) > 64;
            const Difference diff = compare(d.pixels, theirs);
            const double offShare = double(off) / double(theirs.size());
            EXPECT_LE(diff.mean, meanLimit) << "share off " << offShare;
            EXPECT_LE(offShare, offLimit) << "mean " << diff.mean;
            std::printf("%s: mean %.2f, off %.4f\n", name.c_str(), diff.mean, offShare);
        } else if (kind == "probe") {
            int x = 0, y = 0;
            std::string rgb;
            fields >> x >> y >> rgb;
            EXPECT_LE(channelDistance(d.at(x, y), parseRgb(rgb)), 8)
                << std::hex << "found " << d.at(x, y);
        } else if (kind == "somewhere") {
            int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            std::string rgb;
            fields >> x0 >> y0 >> x1 >> y1 >> rgb;
            bool found = false;
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x)
                    found = found || channelDistance(d.at(x, y), parseRgb(rgb)) <= 48;
            EXPECT_TRUE(found);
        }
    }
    EXPECT_GT(checks, 40) << "fixtures missing in " << VISTREL_TESTDATA;
}

// Cut anywhere, a file fails while its headers are incomplete and otherwise shows what its
// whole records draw; nothing reads past the cut (the sanitizer builds check that).
TEST(WmfFiles, EveryTruncationFailsOrDrawsCleanly) {
    const std::vector<uint8_t> bytes = readBytes(testFile("records.wmf"));
    ASSERT_GT(bytes.size(), 1000u);
    constexpr std::size_t kHeaders = 22 + 18;
    for (std::size_t size = 0; size <= bytes.size(); ++size) {
        Picture picture;
        // Too short for the key, the system decoder does not know the bytes.
        EXPECT_STREQ(decodeWithSystem(bytes.data(), size, picture).word(), size >= kHeaders ? "none"
                                                                           : size >= 4
                                                                               ? "truncated"
                                                                               : "unknown-format")
            << size;
    }
}
