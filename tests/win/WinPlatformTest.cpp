// The platform on Win32: the settings in the registry, OLE's picture decoder on what the picture
// tests' files do not hold (a metafile), and the clipboard's packed bitmaps both ways.
#include "WinPlatform.h"
#include "WinDesktop.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <windows.h>

#include <cstring>
#include <vector>

using namespace vistrel;

namespace {

constexpr const wchar_t* kKey = L"Software\\Quorbane\\Vistrel";

class Settings : public ::testing::Test {
protected:
    void TearDown() override {
        for (const wchar_t* name : {L"TestDword", L"TestText", L"TestQword"})
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, name);
    }
    WinPlatform platform_;
};

TEST_F(Settings, AreDwordsUnderTheProgramsKeyAndOnlyDwordsReadAsValues) {
    EXPECT_EQ(platform_.writeSetting("TestDword", -1), 0);
    DWORD type = 0, stored = 0, size = sizeof stored;
    ASSERT_EQ(
        RegGetValueW(HKEY_CURRENT_USER, kKey, L"TestDword", RRF_RT_ANY, &type, &stored, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(stored, 0xFFFFFFFFu);
    EXPECT_EQ(platform_.readSetting("TestDword"), std::optional<int32_t>(-1));

    // Text that happens to be four bytes long ("1" and its terminator), or eight-byte data, is
    // no 32-bit value.
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"TestText", REG_SZ, L"1", 4);
    const uint64_t wide = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"TestQword", REG_QWORD, &wide, sizeof wide);
    EXPECT_EQ(platform_.readSetting("TestText"), std::nullopt);
    EXPECT_EQ(platform_.readSetting("TestQword"), std::nullopt);
    EXPECT_EQ(platform_.readSetting("TestMissing"), std::nullopt);
}

// Records what the system decoder hands over.
struct Recorded final : SystemImageSink {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    DecodeResult begin(int w, int h) override {
        width = w, height = h;
        pixels.assign(std::size_t(w) * std::size_t(h), 0x12345678);
        return kOk;
    }
    void row(int y, const uint32_t* argb) override {
        std::memcpy(pixels.data() + std::size_t(y) * std::size_t(width), argb,
                    std::size_t(width) * 4);
    }
    uint32_t at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + x]; }
};

// A placeable metafile of 40 x 20 at 96 units per inch: a red rectangle without an outline over
// the left half, nothing on the right.
std::vector<uint8_t> redLeftHalf() {
    std::vector<uint16_t> words = {0xCDD7, 0x9AC6, 0, 0, 0, 40, 20, 96, 0, 0, 0};
    uint16_t checksum = 0;
    for (int i = 0; i < 10; ++i)
        checksum ^= words[std::size_t(i)];
    words[10] = checksum;
    const std::vector<std::vector<uint16_t>> records = {
        {0x020B, 0, 0},                 // SetWindowOrg
        {0x020C, 20, 40},               // SetWindowExt (y, x)
        {0x02FC, 0, 0x00FF, 0x0000, 0}, // CreateBrushIndirect: solid, red
        {0x012D, 0},                    // SelectObject
        {0x02FA, 5, 0, 0, 0, 0},        // CreatePenIndirect: no pen
        {0x012D, 1},                    // SelectObject
        {0x041B, 21, 21, 0, 0},         // Rectangle (bottom, right, top, left)
        {0x0000},                       // end
    };
    std::vector<uint16_t> body;
    uint32_t largest = 0;
    for (const auto& record : records) {
        const uint32_t size = uint32_t(record.size()) + 2;
        largest = std::max(largest, size);
        body.push_back(uint16_t(size));
        body.push_back(0);
        body.insert(body.end(), record.begin(), record.end());
    }
    const uint32_t total = 9 + uint32_t(body.size());
    const std::vector<uint16_t> header = {1,
                                          9,
                                          0x0300,
                                          uint16_t(total),
                                          uint16_t(total >> 16),
                                          2,
                                          uint16_t(largest),
                                          uint16_t(largest >> 16),
                                          0};
    words.insert(words.end(), header.begin(), header.end());
    words.insert(words.end(), body.begin(), body.end());
    std::vector<uint8_t> bytes(words.size() * 2);
    std::memcpy(bytes.data(), words.data(), bytes.size());
    return bytes;
}

TEST(SystemDecoder, AMetafileComesOutAtItsFrameWithWhatNoRecordDrewTransparent) {
    const std::vector<uint8_t> file = redLeftHalf();
    WinPlatform platform;
    Recorded picture;
    ASSERT_TRUE(platform.decodeSystemPicture(file.data(), file.size(), picture));
    EXPECT_EQ(picture.width, 40);
    EXPECT_EQ(picture.height, 20);
    EXPECT_EQ(picture.at(5, 10), 0xFFFF0000u);
    EXPECT_EQ(picture.at(35, 10) >> 24, 0u);
    // Bytes no format of the system decoder's starts with are not handed to OLE.
    const uint8_t png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0};
    EXPECT_EQ(platform.decodeSystemPicture(png, sizeof png, picture).refusal(),
              Refusal::UnknownFormat);
}

// A packed bitmap as CF_DIB holds it: a 40-byte header and 24-bit rows, bottom row first, each
// padded to four bytes.
std::vector<uint8_t> packedDib(int width, int height, const std::vector<uint32_t>& rgbTopFirst) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    const std::size_t stride = (std::size_t(width) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bytes(sizeof header + stride * std::size_t(height));
    std::memcpy(bytes.data(), &header, sizeof header);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bytes.data() + sizeof header + std::size_t(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const uint32_t rgb = rgbTopFirst[std::size_t(y * width + x)];
            row[x * 3] = uint8_t(rgb), row[x * 3 + 1] = uint8_t(rgb >> 8);
            row[x * 3 + 2] = uint8_t(rgb >> 16);
        }
    }
    return bytes;
}

TEST(ClipboardBitmap, APackedBitmapComesOutTopRowFirstAndOpaqueAndACutOneIsRefused) {
    const std::vector<uint8_t> dib =
        packedDib(3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x102030, 0x405060, 0x708090});
    ClipboardBitmap picture;
    ASSERT_TRUE(BitmapFromPackedDib(dib.data(), dib.size(), picture));
    ASSERT_EQ(picture.width, 3);
    ASSERT_EQ(picture.height, 2);
    uint32_t pixels[6];
    std::memcpy(pixels, picture.bits.data(), sizeof pixels);
    EXPECT_EQ(pixels[0], 0xFFFF0000u);
    EXPECT_EQ(pixels[2], 0xFF0000FFu);
    EXPECT_EQ(pixels[5], 0xFF708090u);

    // One byte short of the last row, a header claiming more than it holds, and a size beyond
    // the size rule are all refused before any pixel is read.
    ClipboardBitmap refused;
    EXPECT_FALSE(BitmapFromPackedDib(dib.data(), dib.size() - 1, refused));
    EXPECT_FALSE(BitmapFromPackedDib(dib.data(), sizeof(BITMAPINFOHEADER) - 1, refused));
    std::vector<uint8_t> huge = dib;
    const int32_t side = 1 << 16;
    std::memcpy(huge.data() + 4, &side, 4);
    std::memcpy(huge.data() + 8, &side, 4);
    EXPECT_FALSE(BitmapFromPackedDib(huge.data(), huge.size(), refused));
}

// What Ctrl+C puts on the clipboard reads back as the same picture, top row first, and Explorer
// finds the file beside it.
TEST(ClipboardBitmap, ACopiedPictureAndItsFileReadBack) {
    ClipboardBitmap copied;
    copied.width = 2;
    copied.height = 2;
    copied.bits = LargeBuffer(16);
    ASSERT_TRUE(copied.bits);
    const uint32_t pixels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF102030u};
    std::memcpy(copied.bits.data(), pixels, sizeof pixels);
    WinDesktop desktop;
    ASSERT_TRUE(desktop.copyToClipboard(copied, "C:/pictures/\xc3\xa9t\xc3\xa9.png"));

    ClipboardBitmap pasted;
    ASSERT_TRUE(desktop.clipboardImage(pasted));
    ASSERT_EQ(pasted.width, 2);
    ASSERT_EQ(pasted.height, 2);
    EXPECT_EQ(std::memcmp(pasted.bits.data(), pixels, sizeof pixels), 0);

    ASSERT_TRUE(OpenClipboard(nullptr));
    const auto drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    wchar_t name[MAX_PATH] = {};
    const UINT files = drop ? DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) : 0;
    if (drop) DragQueryFileW(drop, 0, name, MAX_PATH);
    CloseClipboard();
    EXPECT_EQ(files, 1u);
    EXPECT_STREQ(name, L"C:\\pictures\\\u00e9t\u00e9.png");
}

} // namespace
