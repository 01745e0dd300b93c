#include "JpegDecoder.h"
#include "CachedPicture.h"
#include "PixelCompare.h"

#include <gtest/gtest.h>

using namespace vistrel;
using namespace vistrel::test;

namespace {

std::string jpegFile(const char* name) {
    return testFile(std::string("jpeg/") + name);
}

} // namespace

TEST(JpegDecoder, MatchesDjpegForBaselineProgressiveAndGreyFiles) {
    ASSERT_NE(jpegLibrary(), nullptr) << "libturbojpeg.so.0 is a test requirement";
    for (const char* name : {"colour", "progressive", "grey"}) {
        SCOPED_TRACE(name);
        const Reference ref = readPnm(jpegFile(name) + (name[0] == 'g' ? ".pgm" : ".ppm"));
        ASSERT_EQ(ref.width, 37);
        Picture picture;
        ASSERT_TRUE(decodeJpeg((jpegFile(name) + ".jpg").c_str(), picture));
        EXPECT_EQ(picture.bitsPerPixel(), 24);
        EXPECT_EQ(picture.width(), 37);
        EXPECT_EQ(picture.height(), 23);
        EXPECT_EQ(picture.rowSize(), 112u); // 111 bytes of pixels, padded to 4
        EXPECT_EQ(compare(argbPixels(picture), ref.pixels).largest, 0);
        // The padding byte of every row is left as the fresh block had it.
        for (int y = 0; y < 23; ++y)
            EXPECT_EQ(bgrAt(picture, 0, y)[111], 0) << y;
    }
}

TEST(JpegDecoder, CmykAndYcckFilesComeOutAsColourNotInk) {
    const Reference ref = readPnm(jpegFile("cmyk.ppm"));
    Picture picture;
    ASSERT_TRUE(decodeJpeg(jpegFile("cmyk.jpg").c_str(), picture));
    ASSERT_EQ(picture.bitsPerPixel(), 24);
    const Difference d = compare(argbPixels(picture), ref.pixels);
    EXPECT_LE(d.largest, 2);
    EXPECT_LT(d.mean, 0.5);
}

TEST(JpegDecoder, CutPixelDataStillDecodesButACutHeaderFails) {
    const Reference full = readPnm(jpegFile("tall.ppm"));
    Picture picture;
    ASSERT_TRUE(decodeJpeg(jpegFile("truncated.jpg").c_str(), picture));
    ASSERT_EQ(picture.width(), 64);
    ASSERT_EQ(picture.height(), 96);
    // Rows come top first in the file: the first third is whole in the cut file.
    EXPECT_EQ(compare(argbPixels(picture), full.pixels, false, 32 * 64).largest, 0);

    Picture untouched;
    EXPECT_STREQ(decodeJpeg(jpegFile("header-cut.jpg").c_str(), untouched).word(), "truncated");
    EXPECT_TRUE(untouched.empty());
    EXPECT_STREQ(decodeJpeg(jpegFile("missing.jpg").c_str(), untouched).word(), "cannot-open");
    CachedPicture record; // the system decoder cannot read it either
    EXPECT_STREQ(record.load(jpegFile("header-cut.jpg").c_str(), {}).word(), "truncated");
}

TEST(JpegDecoder, RefusesTooManyPixelsBeforeAllocating) {
    Picture picture;
    ASSERT_TRUE(picture.create(10, 10, 24, true));
    const uint8_t* block = picture.pixels();
    // 20000 x 20000 > 2^28
    EXPECT_EQ(decodeJpeg(jpegFile("huge.jpg").c_str(), picture).refusal(), Refusal::TooLarge);
    EXPECT_EQ(picture.width(), 10);
    EXPECT_EQ(picture.pixels(), block);

    const std::vector<uint8_t> bytes = readBytes(jpegFile("colour.jpg"));
    EXPECT_EQ(decodeJpeg(bytes.data(), bytes.size(), picture, 37 * 23 - 1).refusal(),
              Refusal::TooLarge);
    EXPECT_TRUE(decodeJpeg(bytes.data(), bytes.size(), picture, 37 * 23));
}

TEST(JpegDecoder, WithoutTheLibraryJpegFilesTakeTheSystemDecoder) {
#if !defined(VISTREL_WITH_QT) && !defined(VISTREL_WITH_WIN)
    GTEST_SKIP() << "no system picture decoder in this build";
#endif
    disableJpegLibrary();
    EXPECT_EQ(jpegLibrary(), nullptr);
    Picture picture;
    EXPECT_EQ(decodeJpeg(jpegFile("colour.jpg").c_str(), picture).refusal(), Refusal::NoDecoder);
    CachedPicture record;
    const DecodeResult loaded = record.load(jpegFile("exif-le-8.jpg").c_str(), {});
    disableJpegLibrary(false);
    ASSERT_TRUE(loaded);
    // Still turned by its EXIF orientation and captioned: the scan does not care which decoder
    // made the 24-bit picture.
    EXPECT_EQ(record.picture->bitsPerPixel(), 24);
    EXPECT_EQ(record.picture->width(), 96);
    EXPECT_EQ(record.picture->height(), 64);
    EXPECT_STREQ(record.cameraText, "Canon EOS 5D");
    ASSERT_NE(jpegLibrary(), nullptr);
}

// A first frame from a reduced decode shows what the full decode's screen copy shows, at most 2
// levels apart on average, at every reduction, turned by EXIF the same way; only the copy is
// held, standing for the full picture.
TEST(ReducedJpeg, FirstFrameMatchesTheScreenCopyOfTheFullDecode) {
    for (const char* name : {"photo.jpg", "photo-turned.jpg"}) {
        for (const Size screen : {Size{960, 540}, Size{480, 270}, Size{200, 112}}) {
            SCOPED_TRACE(std::string(name) + " on " + std::to_string(screen.width));
            ScreenCopyPolicy policy{screen, true, {}};
            CachedPicture full, reduced;
            ASSERT_TRUE(full.load(jpegFile(name).c_str(), policy));
            policy.screenCopyOnly = true;
            ASSERT_TRUE(reduced.load(jpegFile(name).c_str(), policy));
            ASSERT_TRUE(reduced.reduced());
            EXPECT_TRUE(reduced.picture->empty());
            EXPECT_EQ(reduced.size(), full.size());
            EXPECT_EQ(reduced.width, 2400);
            EXPECT_STREQ(reduced.cameraText, full.cameraText);
            ASSERT_EQ(reduced.fitted->width(), full.fitted->width());
            ASSERT_EQ(reduced.fitted->height(), full.fitted->height());
            EXPECT_LE(compare(argbPixels(*reduced.fitted), argbPixels(*full.fitted)).mean, 2.0);

            // Its full decode takes its place.
            reduced.takeFullDecode(full);
            EXPECT_FALSE(reduced.reduced());
            EXPECT_EQ(reduced.picture->width(), reduced.size().width);
        }
    }
    EXPECT_EQ(jpegScale(2400, 1800, {720, 540}), 3);
    EXPECT_EQ(jpegScale(2401, 1801, {901, 676}), 3); // sides are rounded up
    EXPECT_EQ(jpegScale(2400, 1800, {2101, 900}), 8);
    EXPECT_EQ(jpegScale(2400, 1800, {300, 225}), 1);
    EXPECT_EQ(jpegScale(6000, 4000, {1620, 1080}), 3); // a 24 MP photograph on a 1080p screen
}
