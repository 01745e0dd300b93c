#include "CachedPicture.h"
#include "ExifScan.h"
#include "PixelCompare.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

using namespace vistrel;
using namespace vistrel::test;

namespace {

std::string jpegFile(const std::string& name) {
    return testFile("jpeg/" + name);
}

// A window holding "Exif\0\0" at `at`, then a little-endian TIFF header, then the bytes given.
std::vector<uint8_t> window(std::size_t at, std::initializer_list<uint8_t> after,
                            std::size_t size = 512) {
    std::vector<uint8_t> w(size, 0x55);
    const uint8_t head[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0};
    std::memcpy(&w[at], head, sizeof head);
    std::copy(after.begin(), after.end(), w.begin() + long(at + sizeof head));
    return w;
}

const char* scan(const std::vector<uint8_t>& bytes, int& angle) {
    angle = 0;
    return scanExifWindow(bytes.data(), bytes.size(), angle);
}

} // namespace

TEST(ExifScan, ReadsOrientationAndCameraFromFilesOfBothByteOrders) {
    struct Case {
        const char* file;
        int angle;
        const char* camera; // null: none
    };
    const Case cases[] = {
        {"exif-le-1.jpg", 0, "Canon EOS 5D"}, // the model repeats the make: model only
        {"exif-le-3.jpg", 0, "Canon EOS 5D"}, // a half turn is not applied
        {"exif-le-6.jpg", 90, "Canon EOS 5D"},
        {"exif-le-8.jpg", -90, "Canon EOS 5D"},
        {"exif-be-6.jpg", 90, "NIKON CORPORATION NIKON D70"},
        {"exif-be-8-make.jpg", -90, "Leica "},
        {"exif-be-1-model.jpg", 0, "DMC-FZ50"},
        {"exif-le-6-bare.jpg", 90, nullptr},
        {"exif-late.jpg", 0, nullptr}, // the block starts past the first 4096 bytes
        {"tall.jpg", 0, nullptr},      // no EXIF block at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        int angle = 0;
        const char* text = scanExif(jpegFile(c.file).c_str(), angle);
        EXPECT_EQ(angle, c.angle);
        if (c.camera)
            EXPECT_STREQ(text, c.camera);
        else
            EXPECT_EQ(text, nullptr);
    }
    int angle = 7;
    EXPECT_EQ(scanExif(jpegFile("missing.jpg").c_str(), angle), nullptr);
    EXPECT_EQ(angle, 7);
}

// Windows built byte by byte: the search rules and what an offset may point at.
TEST(ExifScan, SearchesPatternsInsideTheWindowOnly) {
    int angle = 0;
    // Make entry: tag, type 2, count, offset 0x40 from T (the "II").
    auto w = window(20, {8, 0, 0, 0, 0x0F, 0x01, 2, 0, 6, 0, 0, 0, 0x40, 0, 0, 0});
    std::memcpy(&w[26 + 0x40], "Pentax", 7);
    EXPECT_STREQ(scan(w, angle), "Pentax ");

    // The same offset when the window ends right before the text: no text, nothing read past.
    auto cut = w;
    cut.resize(26 + 0x40);
    EXPECT_EQ(scan(cut, angle), nullptr);
    w[42] = 0x00, w[43] = 0x07; // offset 0x700: a value, but past the window
    EXPECT_EQ(scan(w, angle), nullptr);

    // Orientation 6 found, but a thumbnail (FF D8) before it ends the search area.
    auto o = window(0, {8, 0, 0, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0});
    EXPECT_EQ(scan(o, angle), nullptr);
    EXPECT_EQ(angle, 90);
    o[12] = 0xFF, o[13] = 0xD8;
    scan(o, angle);
    EXPECT_EQ(angle, 0);

    // Values 0 and 2048 and more are no values; an unknown byte-order mark searches nothing.
    o = window(0, {8, 0, 0, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 0, 8, 0, 0});
    scan(o, angle);
    EXPECT_EQ(angle, 0);
    o = window(0, {8, 0, 0, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0});
    o[6] = 'X';
    scan(o, angle);
    EXPECT_EQ(angle, 0);

    // A marker in the window's last bytes: the header and value fields lie past the data.
    auto edge = window(0, {}, 600);
    const uint8_t marker[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 0x12, 0x01};
    std::memcpy(&edge[590], marker, sizeof marker);
    edge[0] = 'Z'; // spoil the first marker
    EXPECT_EQ(scan(edge, angle), nullptr);
}

TEST(ExifScan, EveryTagFoundShortensTheAreaForTheNextByTwoBytes) {
    int angle = 0;
    // Orientation 6 whose tag lies in the last two bytes before a thumbnail (FF D8 at 30), its
    // value field after it: found on its own, but not once a Make tag was found before it.
    auto w = window(0, {8, 0, 0, 0}, 48);
    w[28] = 0x12, w[29] = 0x01, w[30] = 0xFF, w[31] = 0xD8, w[36] = 6, w[37] = 0;
    scan(w, angle);
    EXPECT_EQ(angle, 90);
    w[14] = 0x0F, w[15] = 0x01;
    scan(w, angle);
    EXPECT_EQ(angle, 0);
}

TEST(ExifLoad, TurnsWheneverTheOrientationSaysSoAndKeepsTextOnlyWhenThere) {
    const Reference source = readPnm(jpegFile("tall.ppm"));
    CachedPicture record;
    // Orientation 6 without make or model: still turned a quarter clockwise.
    ASSERT_TRUE(record.load(jpegFile("exif-le-6-bare.jpg").c_str(), {}));
    Picture& p = *record.picture;
    EXPECT_EQ(p.width(), 96);
    EXPECT_EQ(p.height(), 64);
    EXPECT_EQ(record.width, 64); // as decoded, before the turn
    EXPECT_EQ(record.height, 96);
    EXPECT_STREQ(record.cameraText, "");
    const auto turned = argbPixels(p);
    int wrong = 0; // the top row is the source's left column read upwards
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x)
            wrong += turned[y * 96 + x] != source.pixels[(95 - x) * 64 + y];
    EXPECT_EQ(wrong, 0);

    // Loading another file into the record keeps no camera text of the file before.
    ASSERT_TRUE(record.load(jpegFile("exif-be-6.jpg").c_str(), {}));
    EXPECT_STREQ(record.cameraText, "NIKON CORPORATION NIKON D70");
    ASSERT_TRUE(record.load(jpegFile("exif-le-3.jpg").c_str(), {}));
    EXPECT_EQ(record.picture->width(), 64); // half turns are left alone
    ASSERT_TRUE(record.load(jpegFile("tall.jpg").c_str(), {}));
    EXPECT_STREQ(record.cameraText, "");

    // 126 ASCII bytes and a two-byte letter: the cut at 127 bytes drops the whole letter.
    ASSERT_TRUE(record.load(jpegFile("exif-long-model.jpg").c_str(), {}));
    EXPECT_EQ(std::strlen(record.cameraText), 126u);
    EXPECT_EQ(record.cameraText[125], 'x');
}

// The window thread and the prefetch worker scan and decode at the same time: each scan's text
// is its own thread's, and the library is loaded once for both.
TEST(ExifThreads, TwoThreadsScanAndDecodeAtOnce) {
    auto work = [](const char* file, int expectedAngle, const char* expectedText, bool* ok) {
        for (int i = 0; i < 200 && *ok; ++i) {
            int angle = 0;
            const char* text = scanExif(jpegFile(file).c_str(), angle);
            *ok = angle == expectedAngle && text && std::strcmp(text, expectedText) == 0;
            if (i % 50 == 0) {
                CachedPicture record;
                *ok = *ok && record.load(jpegFile(file).c_str(), {}) &&
                      std::strcmp(record.cameraText, expectedText) == 0;
            }
        }
    };
    bool firstOk = true, secondOk = true;
    std::thread first(work, "exif-le-6.jpg", 90, "Canon EOS 5D", &firstOk);
    std::thread second(work, "exif-be-8-make.jpg", -90, "Leica ", &secondOk);
    first.join();
    second.join();
    EXPECT_TRUE(firstOk);
    EXPECT_TRUE(secondOk);
}
