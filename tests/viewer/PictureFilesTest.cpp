// BMP and PNG files written by SaveAsBmp and SaveAsPng must open in other readers with the same
// pixels: each depth a picture can hold is written and read back by ImageMagick and by Pillow.
#include "ArgbPixels.h"
#include "BmpFile.h"
#include "Picture.h"
#include "PngFile.h"
#include "TestSupport.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace vistrel;
using namespace vistrel::test;

namespace {

std::string capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

uint32_t le32(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// A picture whose every pixel differs from its neighbours, with a colour table when it has one.
void fillPattern(Picture& picture, int width, int height, int depth) {
    ASSERT_TRUE(picture.create(width, height, depth, true));
    if (RgbQuad* colors = picture.colorTable())
        for (int i = 0; i < (1 << depth); ++i)
            colors[i] = {uint8_t(i * 37), uint8_t(255 - i * 11), uint8_t(i * 91), 0};
    for (uint32_t i = 0; i < picture.imageSize(); ++i)
        picture.pixels()[i] = uint8_t(i * 73 + 19);
}

// Largest difference of any channel between the picture and RGB bytes, top row first.
int largestDifference(Picture& picture, const std::string& rgb) {
    const auto pixels = argbPixels(picture);
    if (rgb.size() != pixels.size() * 3) return 1000;
    int largest = 0;
    for (std::size_t i = 0; i < rgb.size(); ++i)
        largest = std::max(largest, std::abs(int(uint8_t(pixels[i / 3] >> (16 - 8 * (i % 3)))) -
                                             int(uint8_t(rgb[i]))));
    return largest;
}

} // namespace

// The readers are Linux programs; the Windows build writes the files with the same code.
#ifdef _WIN32
#define SKIP_WITHOUT_READERS() GTEST_SKIP() << "ImageMagick and Pillow run on Linux"
#else
#define SKIP_WITHOUT_READERS()
#endif

TEST(PictureFiles, OtherReadersSeeTheSamePixels) {
    SKIP_WITHOUT_READERS();
    ScratchFolder dir;
    using Writer = bool (*)(Picture&, const char*);
    for (const auto& [save, extension] :
         {std::pair<Writer, const char*>{SaveAsBmp, ".bmp"}, {SaveAsPng, ".png"}})
        for (const int depth : {1, 2, 4, 8, 16, 24, 32}) {
            SCOPED_TRACE(std::string(extension) + " of depth " + std::to_string(depth));
            Picture picture;
            fillPattern(picture, 13, 7, depth); // an odd width exercises the row padding
            const std::string path = dir.path() + std::to_string(depth) + extension;
            ASSERT_TRUE(save(picture, path.c_str()));
            // 5-5-5 pixels are widened to 8 bits by each reader its own way.
            const int tolerance = depth == 16 ? 4 : 0;
            EXPECT_LE(
                largestDifference(picture, capture("/usr/bin/convert " + path + " -depth 8 rgb:-")),
                tolerance);
            EXPECT_LE(largestDifference(
                          picture, capture("/usr/bin/python3 -c \"import sys; from PIL import "
                                           "Image; sys.stdout.buffer.write(Image.open(sys.argv[1])"
                                           ".convert('RGB').tobytes())\" " +
                                           path)),
                      tolerance);
        }
}

TEST(PictureFiles, PngKeepsRealTransparencyAndDropsAPaddingByte) {
    SKIP_WITHOUT_READERS();
    ScratchFolder dir;
    Picture picture;
    fillPattern(picture, 13, 7, 32); // a fourth byte that varies: real transparency
    const std::string alpha = dir.path() + "alpha.png", padded = dir.path() + "padded.png";
    ASSERT_TRUE(SaveAsPng(picture, alpha.c_str()));
    const std::string rgba = capture("/usr/bin/convert " + alpha + " -depth 8 rgba:-");
    const auto pixels = argbPixels(picture);
    ASSERT_EQ(rgba.size(), pixels.size() * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        EXPECT_EQ(uint8_t(rgba[4 * i + 3]), pixels[i] >> 24) << i;
    // A fourth byte of 0 everywhere is no transparency: the file has no alpha channel at all.
    for (uint32_t y = 0; y < 7; ++y)
        for (uint32_t x = 0; x < 13; ++x)
            picture.pixels()[y * picture.rowSize() + 4 * x + 3] = 0;
    ASSERT_TRUE(SaveAsPng(picture, padded.c_str()));
    EXPECT_EQ(readBytes(padded).at(25), 2); // IHDR colour type: RGB
    EXPECT_EQ(readBytes(alpha).at(25), 6);  // RGB with alpha
}

TEST(PictureFiles, BmpHeaderDescribesTheFileWhateverTheDecodedHeaderSaid) {
    ScratchFolder dir;
    Picture picture;
    fillPattern(picture, 10, 4, 8);
    // A decoded file may carry a colour count beyond its table and a short image size.
    picture.info()->clrUsed = 1000;
    picture.info()->sizeImage = 8;
    ASSERT_TRUE(SaveAsBmp(picture, (dir.path() + "odd.bmp").c_str()));
    const auto bytes = readBytes(dir.path() + "odd.bmp");
    const uint32_t offset = 14 + 40 + 256 * 4;
    ASSERT_EQ(bytes.size(), offset + 12 * 4);
    EXPECT_EQ(le32(bytes, 2), bytes.size());
    EXPECT_EQ(le32(bytes, 10), offset);
    EXPECT_EQ(le32(bytes, 14 + 20), 12u * 4); // size of the image
    EXPECT_EQ(le32(bytes, 14 + 32), 0u);      // colours used: the whole table
}

TEST(PictureFiles, FailuresLeaveNoFile) {
    ScratchFolder dir;
    const std::string path = dir.path() + "none.bmp";
    Picture empty, picture;
    EXPECT_FALSE(SaveAsBmp(empty, path.c_str()));
    EXPECT_FALSE(SaveAsPng(empty, path.c_str()));
    fillPattern(picture, 4, 4, 24);
    EXPECT_FALSE(SaveAsBmp(picture, (dir.path() + "missing/x.bmp").c_str()));
    EXPECT_FALSE(SaveAsPng(picture, (dir.path() + "missing/x.png").c_str()));
    // A picture in a compressed layout is not written as if it were plain rows.
    picture.info()->compression = 3;
    EXPECT_FALSE(SaveAsBmp(picture, path.c_str()));
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
}
