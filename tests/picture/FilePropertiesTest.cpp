// The properties the information view shows, read from files Pillow and exiftool wrote (exiftool
// reads the same values from them), and from damaged bytes.
#include "FileProperties.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace vistrel::test {
namespace {

std::string Properties(const char* name) {
    return testFile(std::string("properties/") + name);
}

TEST(FileProperties, ProfileAndDateFromJpegSegmentsAndPngChunks) {
    FileProperties photo = readFileProperties(Properties("photo.jpg").c_str());
    EXPECT_TRUE(photo.sizeKnown);
    EXPECT_EQ(photo.bytes, std::filesystem::file_size(Properties("photo.jpg")));
    EXPECT_EQ(photo.format, "JPEG");
    EXPECT_EQ(photo.profile, "sRGB built-in"); // version 4: 'mluc'
    EXPECT_EQ(photo.dateTaken, "2021-06-01 14:03:22");
    // A profile in several chunks, and one of whose chunks is missing.
    EXPECT_EQ(readFileProperties(Properties("large-icc.jpg").c_str()).profile, "sRGB built-in");
    EXPECT_EQ(readFileProperties(Properties("missing-chunk.jpg").c_str()).profile, "");
    FileProperties png = readFileProperties(Properties("v2.png").c_str());
    EXPECT_EQ(png.format, "PNG");
    EXPECT_EQ(png.profile, "Test RGB v2"); // version 2: 'desc', compressed in iCCP
    EXPECT_EQ(readFileProperties(Properties("dated.png").c_str()).dateTaken,
              "2020-02-29 23:59:59"); // IFD0's DateTime, from eXIf
    EXPECT_EQ(readFileProperties(Properties("no-clock.jpg").c_str()).dateTaken, "");
    EXPECT_FALSE(readFileProperties(Properties("missing.jpg").c_str()).sizeKnown);
}

TEST(FileProperties, DamagedBytesGiveNothingRatherThanReadingPastThem) {
    std::vector<uint8_t> jpeg;
    {
        std::FILE* f = std::fopen(Properties("photo.jpg").c_str(), "rb");
        ASSERT_TRUE(f);
        jpeg.resize(1 << 16);
        jpeg.resize(std::fread(jpeg.data(), 1, jpeg.size(), f));
        std::fclose(f);
    }
    // Every prefix of the file: a segment cut short is not read.
    for (std::size_t size = 0; size < jpeg.size(); ++size) {
        const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(size));
        const FileProperties p = propertiesOfBytes(cut.data(), cut.size());
        EXPECT_TRUE(p.profile.empty() || p.profile == "sRGB built-in") << size;
    }
    // Every byte of the profile's tag table and the EXIF directory set to 0xFF in turn.
    for (std::size_t at = 2; at < jpeg.size(); ++at) {
        std::vector<uint8_t> bad = jpeg;
        bad[at] = 0xFF;
        propertiesOfBytes(bad.data(), bad.size());
    }
}

} // namespace
} // namespace vistrel::test
