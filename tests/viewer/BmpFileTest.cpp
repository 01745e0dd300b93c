// BMP files written by SaveAsBmp must open in other readers with the same pixels: each depth a
// picture can hold is written and read back by ImageMagick and by Pillow.
#include "BmpFile.h"
#include "Picture.h"
#include "TestSupport.h"
#include "TopDown.h"

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
        picture.lockBits()[i] = uint8_t(i * 73 + 19);
}

// Largest difference of any channel between the picture and RGB bytes, top row first.
int largestDifference(Picture& picture, const std::string& rgb) {
    const auto pixels = topDown(picture);
    if (rgb.size() != pixels.size() * 3) return 1000;
    int largest = 0;
    for (std::size_t i = 0; i < rgb.size(); ++i)
        largest = std::max(largest, std::abs(int(uint8_t(pixels[i / 3] >> (16 - 8 * (i % 3)))) -
                                             int(uint8_t(rgb[i]))));
    return largest;
}

} // namespace

TEST(BmpFile, OtherReadersSeeTheSamePixels) {
    ScratchFolder dir;
    for (const int depth : {1, 2, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        Picture picture;
        fillPattern(picture, 13, 7, depth); // an odd width exercises the row padding
        const std::string path = dir.path() + std::to_string(depth) + ".bmp";
        ASSERT_TRUE(SaveAsBmp(picture, path.c_str()));
        // 5-5-5 pixels are widened to 8 bits by each reader its own way.
        const int tolerance = depth == 16 ? 4 : 0;
        EXPECT_LE(
            largestDifference(picture, capture("/usr/bin/convert " + path + " -depth 8 rgb:-")),
            tolerance);
        EXPECT_LE(largestDifference(picture,
                                    capture("/usr/bin/python3 -c \"import sys; from PIL import "
                                            "Image; sys.stdout.buffer.write(Image.open(sys.argv[1])"
                                            ".convert('RGB').tobytes())\" " +
                                            path)),
                  tolerance);
    }
}

TEST(BmpFile, HeaderDescribesTheFileWhateverTheDecodedHeaderSaid) {
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

TEST(BmpFile, FailuresLeaveNoFile) {
    ScratchFolder dir;
    const std::string path = dir.path() + "none.bmp";
    Picture empty, picture;
    EXPECT_FALSE(SaveAsBmp(empty, path.c_str()));
    fillPattern(picture, 4, 4, 24);
    EXPECT_FALSE(SaveAsBmp(picture, (dir.path() + "missing/x.bmp").c_str()));
    // A picture in a compressed layout is not written as if it were plain rows.
    picture.info()->compression = 3;
    EXPECT_FALSE(SaveAsBmp(picture, path.c_str()));
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
}

TEST(BmpFile, TempNamesAreNewPrivateFilesInTheTemporaryFolder) {
    ScratchFolder dir;
    ::setenv("TMPDIR", dir.path().c_str(), 1);
    const std::string first = MakeTempBmpName(), second = MakeTempBmpName();
    ::setenv("TMPDIR", (dir.path() + "gone").c_str(), 1);
    EXPECT_EQ(MakeTempBmpName(), "");
    ::unsetenv("TMPDIR");
    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        EXPECT_EQ(name.rfind(dir.path() + "vtl", 0), 0u) << name;
        EXPECT_EQ(name.substr(name.size() - 4), ".bmp");
        struct stat info;
        ASSERT_EQ(::stat(name.c_str(), &info), 0); // reserved, so no one else takes the name
        EXPECT_EQ(info.st_mode & 077, 0u);
    }
}
