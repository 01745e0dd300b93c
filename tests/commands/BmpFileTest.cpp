// BMP files written by SaveAsBmp must open in other readers with the same pixels: each depth a
// picture can hold is written and read back by ImageMagick and by Pillow.
#include "BmpFile.h"
#include "Picture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace vistrel;

namespace {

std::string capture(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t le32(const std::string& bytes, std::size_t at) {
    return uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8 | uint8_t(bytes[at + 2]) << 16 |
           uint32_t(uint8_t(bytes[at + 3])) << 24;
}

// A picture whose every pixel differs from its neighbours, with a colour table when it has one.
void fillPattern(Picture& picture, int width, int height, int depth) {
    ASSERT_TRUE(picture.create(width, height, depth, true));
    if (RgbQuad* colors = picture.colorTable()) {
        for (int i = 0; i < (1 << depth); ++i)
            colors[i] = {uint8_t(i * 37), uint8_t(255 - i * 11), uint8_t(i * 91), 0};
    }
    uint8_t* bits = picture.lockBits();
    for (uint32_t i = 0; i < picture.imageSize(); ++i)
        bits[i] = uint8_t(i * 73 + 19);
    picture.unlockBits();
}

// The picture's pixels as RGB bytes, top row first.
std::string expectedRgb(Picture& picture) {
    std::string out;
    const int w = picture.width(), h = picture.height();
    std::vector<uint32_t> row(w);
    for (int y = h - 1; y >= 0; --y) {
        expandDibRow(*picture.info(), picture.colorTable(), picture.lockBits(), picture.rowSize(),
                     y, 0, w, row.data());
        picture.unlockBits();
        for (const uint32_t argb : row) {
            out += char(argb >> 16);
            out += char(argb >> 8);
            out += char(argb);
        }
    }
    return out;
}

int largestDifference(const std::string& a, const std::string& b) {
    int largest = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        largest = std::max(largest, std::abs(int(uint8_t(a[i])) - int(uint8_t(b[i]))));
    return largest;
}

class BmpFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/bmpfile-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string dir_;
};

} // namespace

TEST_F(BmpFileTest, OtherReadersSeeTheSamePixels) {
    for (const int depth : {1, 2, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        Picture picture;
        fillPattern(picture, 13, 7, depth); // an odd width exercises the row padding
        const std::string path = dir_ + "/p" + std::to_string(depth) + ".bmp";
        ASSERT_TRUE(SaveAsBmp(picture, path.c_str()));
        const std::string expected = expectedRgb(picture);
        // 5-5-5 pixels are widened to 8 bits by each reader its own way.
        const int tolerance = depth == 16 ? 4 : 0;

        const std::string magick = capture("/usr/bin/convert '" + path + "' -depth 8 rgb:-");
        ASSERT_EQ(magick.size(), expected.size());
        EXPECT_LE(largestDifference(magick, expected), tolerance);

        const std::string pillow =
            capture("/usr/bin/python3 -c \"import sys; from PIL import Image; "
                    "im = Image.open(sys.argv[1]); assert im.size == (13, 7); "
                    "sys.stdout.buffer.write(im.convert('RGB').tobytes())\" '" +
                    path + "'");
        ASSERT_EQ(pillow.size(), expected.size());
        EXPECT_LE(largestDifference(pillow, expected), tolerance);
    }
}

TEST_F(BmpFileTest, HeaderDescribesTheFileWhateverTheDecodedHeaderSaid) {
    Picture picture;
    fillPattern(picture, 10, 4, 8);
    // A decoded file may carry a colour count beyond its table and a short image size.
    picture.info()->clrUsed = 1000;
    picture.info()->sizeImage = 8;
    const std::string path = dir_ + "/odd.bmp";
    ASSERT_TRUE(SaveAsBmp(picture, path.c_str()));
    const std::string bytes = readFile(path);
    const uint32_t offset = 14 + 40 + 256 * 4;
    ASSERT_EQ(bytes.size(), offset + 12 * 4);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(le32(bytes, 2), bytes.size());
    EXPECT_EQ(le32(bytes, 10), offset);
    EXPECT_EQ(le32(bytes, 14 + 20), 12u * 4); // size of the image
    EXPECT_EQ(le32(bytes, 14 + 32), 0u);      // colours used: the whole table
}

TEST_F(BmpFileTest, FailuresLeaveNoFile) {
    Picture empty;
    const std::string path = dir_ + "/none.bmp";
    EXPECT_FALSE(SaveAsBmp(empty, path.c_str()));
    EXPECT_NE(::access(path.c_str(), F_OK), 0);

    Picture picture;
    fillPattern(picture, 4, 4, 24);
    EXPECT_FALSE(SaveAsBmp(picture, (dir_ + "/missing/x.bmp").c_str()));
    // A picture in a compressed layout is not written as if it were plain rows.
    picture.info()->compression = 3;
    EXPECT_FALSE(SaveAsBmp(picture, path.c_str()));
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
}

TEST_F(BmpFileTest, TempNamesAreNewPrivateFilesInTheTemporaryFolder) {
    ::setenv("TMPDIR", (dir_ + "/").c_str(), 1);
    const std::string first = MakeTempBmpName(), second = MakeTempBmpName();
    ::setenv("TMPDIR", (dir_ + "/gone").c_str(), 1);
    EXPECT_EQ(MakeTempBmpName(), "");
    ::unsetenv("TMPDIR");
    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        EXPECT_EQ(name.rfind(dir_ + "/vtl", 0), 0u) << name;
        EXPECT_EQ(name.substr(name.size() - 4), ".bmp");
        struct stat info;
        ASSERT_EQ(::stat(name.c_str(), &info), 0); // reserved, so no one else takes the name
        EXPECT_EQ(info.st_mode & 077, 0u);
    }
}
