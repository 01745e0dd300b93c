// Which decoder a file reaches, what happens when it fails, and what a damaged file does.
#include "BmpDecoder.h"
#include "CachedPicture.h"
#include "DebugLog.h"
#include "PngDecoder.h"
#include "SystemDecoder.h"
#include "TestFiles.h"
#include "TgaDecoder.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace vistrel;
using namespace vistrel::test;

namespace {

// Copies of the fixtures under other names.
class LoadTest : public testing::Test {
protected:
    std::string copyAs(const std::string& fixture, const std::string& name) {
        std::filesystem::copy_file(testFile(fixture), folder_.path() + name);
        return folder_.path() + name;
    }
    // "none" when it loads, else the word of its refusal.
    std::string loads(const std::string& path) {
        CachedPicture record;
        return record.load(path.c_str(), {}).word();
    }

    ScratchFolder folder_;
};

} // namespace

TEST(ExtensionOf, TakesTheTextAfterTheLastDotOfTheName) {
    EXPECT_STREQ(extensionOf("/a/b.c/photo.JPG"), "JPG");
    EXPECT_STREQ(extensionOf("/a/archive.tar.gz"), "gz");
    EXPECT_STREQ(extensionOf("/a/name."), "");
    EXPECT_EQ(extensionOf("/a.d/name"), nullptr); // the dot belongs to the folder
    EXPECT_EQ(extensionOf("photo.jpg"), nullptr); // no folder at all
}

TEST_F(LoadTest, ExtensionsMatchWhateverTheirCase) {
    EXPECT_EQ(loads(copyAs("rgb8.png", "UPPER.PNG")), "none");
    EXPECT_EQ(loads(copyAs("bits24.bmp", "Mixed.BmP")), "none");
    EXPECT_EQ(loads(copyAs("tga24.tga", "x.TGA")), "none");
    EXPECT_EQ(loads(copyAs("rgb8.png", "no-extension")), "unknown-format");
    EXPECT_EQ(loads(copyAs("rgb8.png", "unknown.xyz")), "unknown-format");
    // A folder named like a picture.
    EXPECT_EQ(loads(folder_.folder("folder.png")), "not-regular-file");
}

TEST_F(LoadTest, SystemDecoderTakesWhatTheOwnDecoderRefusesForItsFormats) {
    // A .jpg that holds a bitmap: whatever decodes JPEG refuses it, the system decoder reads it.
    EXPECT_EQ(loads(copyAs("bits24.bmp", "really-a-bitmap.jpg")), "none");
    EXPECT_EQ(loads(copyAs("transparent.gif", "really-a-gif.ico")), "none");
    // PNG and PSD files the own decoders refuse are not offered to it.
    EXPECT_EQ(loads(copyAs("transparent.gif", "really-a-gif.png")), "malformed");
    EXPECT_EQ(loads(copyAs("transparent.gif", "really-a-gif.psd")), "malformed");
    // The system decoder reads no TGA and no PNG, whatever the name says.
    EXPECT_EQ(loads(copyAs("rgb8.png", "really-a-png.tga")), "unknown-format");
    EXPECT_EQ(loads(copyAs("rgb8.png", "really-a-png.gif")), "unknown-format");
}

TEST_F(LoadTest, AFailedLoadKeepsWhatTheRecordHeld) {
    CachedPicture record;
    const std::string good = copyAs("rgb8.png", "good.png");
    ASSERT_TRUE(record.load(good.c_str(), {}));
    const std::string bad = copyAs("interlaced.png", "bad.png");
    std::string log;
    setDebugLogSink([&](const std::string& line) { log += line; });
    EXPECT_EQ(record.load(bad.c_str(), {}).refusal(), Refusal::Unsupported);
    setDebugLogSink({});
    EXPECT_NE(log.find("bad.png not loaded: a variant of the format that is not read"),
              std::string::npos)
        << log;
    EXPECT_EQ(record.path, good);
    EXPECT_EQ(record.width, 61);
    EXPECT_EQ(record.height, 43);
}

TEST(DamagedFiles, TruncatedBitmapsAndTargasKeepZeroRowsWhereTheFileEnds) {
    for (const char* name : {"bits24.bmp", "tga24.tga", "tga24-rle.tga"}) {
        SCOPED_TRACE(name);
        auto bytes = readBytes(testFile(name));
        Picture whole, cut;
        MemorySource all(bytes.data(), bytes.size());
        const bool bmp = name[0] == 'b';
        ASSERT_TRUE(bmp ? decodeBmp(all, whole) : decodeTga(all, whole));
        // The first half of the file holds the bottom rows: the top rows stay zero.
        MemorySource half(bytes.data(), bytes.size() / 2);
        ASSERT_TRUE(bmp ? decodeBmp(half, cut) : decodeTga(half, cut));
        const auto full = argbPixels(whole), partial = argbPixels(cut);
        EXPECT_EQ(partial.back(), full.back());
        EXPECT_EQ(partial.front() & 0xFFFFFF, 0u);
    }
}

TEST(DamagedFiles, EveryPrefixOfEveryKindFailsOrDecodesWithoutHarm) {
    for (const char* name : {"bits8.bmp", "bits16.bmp", "tga16-rle-top.tga", "tga32-rle.tga",
                             "palette4.png", "rgba8.png", "transparent.gif", "sizes.ico"}) {
        SCOPED_TRACE(name);
        const auto bytes = readBytes(testFile(name));
        const std::string kind = std::filesystem::path(name).extension().string();
        // Step through the short prefixes one byte at a time, the longer ones in coarser steps.
        for (std::size_t n = 0; n < bytes.size(); n += n < 256 ? 1 : 97) {
            Picture picture;
            MemorySource prefix(bytes.data(), n);
            DecodeResult decoded;
            if (kind == ".bmp") decoded = decodeBmp(prefix, picture);
            if (kind == ".tga") decoded = decodeTga(prefix, picture);
            if (kind == ".png") decoded = decodePng(bytes.data(), n, picture);
            if (kind == ".gif" || kind == ".ico")
                decoded = decodeWithSystem(bytes.data(), n, picture);
            if (kind == ".png") {
                EXPECT_STREQ(decoded.word(), "truncated") << n; // libpng reports the missing end
            }
            if (decoded) {
                EXPECT_GT(picture.width(), 0);
            }
        }
    }
}

TEST(ScreenCopyOnly, APictureLargerThanTheScreenIsHeldAsItsCopyUntilItsFullDecodeIsTaken) {
    ScreenCopyPolicy copyOnly{{30, 20}, true, {}}, whole = copyOnly;
    copyOnly.screenCopyOnly = true;
    for (const char* fixture : {"rgb8.png", "bits24.bmp", "tga24.tga"}) {
        SCOPED_TRACE(fixture);
        const std::string path = testFile(fixture);
        CachedPicture record, full;
        ASSERT_TRUE(record.load(path.c_str(), copyOnly));
        ASSERT_TRUE(full.load(path.c_str(), whole));
        EXPECT_TRUE(record.reduced());
        EXPECT_TRUE(!record.picture || record.picture->empty());
        const Size size = full.size();
        EXPECT_EQ(record.size(), size);
        EXPECT_EQ(record.bitsPerPixel(), full.bitsPerPixel()); // the caption of a BMP shows it
        EXPECT_EQ(argbPixels(*record.fitted), argbPixels(*full.fitted));

        // The full decode gives the picture back; turned, it is no longer the file's picture and
        // stays; turned back, it may go again.
        record.takeFullDecode(full);
        ASSERT_FALSE(record.reduced());
        record.rotate(90, whole);
        EXPECT_EQ(record.dropFullPicture(), nullptr);
        record.rotate(-90, whole);
        EXPECT_NE(record.dropFullPicture(), nullptr);
        EXPECT_TRUE(record.reduced());
        EXPECT_EQ(record.size(), size);
    }
    // A PNG decoded ahead of time is read reduced: the same record, whose copy is a little
    // softer than the full decode's (its block means are resampled again).
    ScreenCopyPolicy ahead = copyOnly;
    ahead.reducePng = true;
    CachedPicture neighbour, full;
    ASSERT_TRUE(neighbour.load(testFile("rgb8.png").c_str(), ahead));
    ASSERT_TRUE(full.load(testFile("rgb8.png").c_str(), whole));
    EXPECT_TRUE(neighbour.reduced());
    EXPECT_EQ(neighbour.size(), full.size());
    EXPECT_EQ(neighbour.bitsPerPixel(), 24);
    const std::vector<uint32_t> ours = argbPixels(*neighbour.fitted);
    const std::vector<uint32_t> theirs = argbPixels(*full.fitted);
    ASSERT_EQ(ours.size(), theirs.size());
    // (On this small picture's sharp edges the softer copy differs by up to 106 levels; a colour
    // or a row out of place would differ on average by many times the 8 it differs by.)
    double difference = 0;
    for (std::size_t i = 0; i < ours.size(); ++i)
        for (int shift : {0, 8, 16})
            difference += std::abs(int(ours[i] >> shift & 0xFF) - int(theirs[i] >> shift & 0xFF));
    EXPECT_LT(difference / double(3 * ours.size()), 10.0);

    // A picture the screen holds gets no copy and stays whole.
    CachedPicture small;
    ASSERT_TRUE(small.load(testFile("rgb8.png").c_str(), {{640, 480}, true, {}, true}));
    EXPECT_FALSE(small.reduced());
    EXPECT_EQ(small.dropFullPicture(), nullptr);
}

#if VISTREL_MODERN_FORMATS // WebP and HEIF are read where the build has their libraries
// Large WebP and HEIF files get their first frame from the library's reduced decode: the same
// copy as the full decode's (WebP's scaled decode, within the scalers' differences), or a stand-in
// enlarged from the thumbnail, marked coarse so that the full decode follows.
TEST(ScreenCopyOnly, LargeWebpAndHeifFilesComeFromTheLibrarysReducedDecode) {
    ScreenCopyPolicy copyOnly{{300, 200}, true, {}}, whole = copyOnly;
    copyOnly.screenCopyOnly = true;
    struct Case {
        const char* file;
        Size shown;
        bool coarse;
        double meanDifference;
    };
    // (The copies differ on average by 4 levels (libwebp's scaler beside ours) and 20 (a 64 x 48
    // thumbnail enlarged four times, on sharp edges); upside down they would differ by 70.)
    for (const Case c : {Case{"modern/large.webp", {600, 800}, false, 6.0},
                         Case{"modern/thumbnail.heic", {640, 480}, true, 30.0}}) {
        SCOPED_TRACE(c.file);
        const std::string path = testFile(c.file);
        CachedPicture record, full;
        ASSERT_TRUE(record.load(path.c_str(), copyOnly));
        ASSERT_TRUE(full.load(path.c_str(), whole));
        EXPECT_TRUE(record.reduced());
        EXPECT_EQ(record.coarse(), c.coarse);
        EXPECT_EQ(record.size(), c.shown);
        EXPECT_EQ(full.size(), c.shown);
        ASSERT_TRUE(record.fitted && full.fitted);
        const std::vector<uint32_t> ours = argbPixels(*record.fitted);
        const std::vector<uint32_t> theirs = argbPixels(*full.fitted);
        ASSERT_EQ(ours.size(), theirs.size());
        double difference = 0;
        for (std::size_t i = 0; i < ours.size(); ++i)
            for (int shift : {0, 8, 16})
                difference +=
                    std::abs(int(ours[i] >> shift & 0xFF) - int(theirs[i] >> shift & 0xFF));
        EXPECT_LT(difference / double(3 * ours.size()), c.meanDifference);
        // Sized first for a guessed screen smaller than the real one, as at start-up: decoded
        // again for the real one.
        ScreenCopyPolicy guess = copyOnly;
        guess.screen = {100, 60};
        CachedPicture guessed;
        ASSERT_TRUE(guessed.loadAwaitingPolicy(path.c_str(), {[&] { return copyOnly; }, guess}));
        EXPECT_EQ(guessed.coarse(), c.coarse);
        ASSERT_TRUE(guessed.fitted);
        EXPECT_EQ(argbPixels(*guessed.fitted), ours);
        // The full decode takes the stand-in's place.
        record.takeFullDecode(full);
        EXPECT_FALSE(record.coarse());
    }
    // A neighbour decoded ahead is decoded whole rather than shown coarse.
    ScreenCopyPolicy ahead = copyOnly;
    ahead.reducePng = true;
    CachedPicture neighbour;
    ASSERT_TRUE(neighbour.load(testFile("modern/thumbnail.heic").c_str(), ahead));
    EXPECT_TRUE(neighbour.reduced());
    EXPECT_FALSE(neighbour.coarse());
}
#endif
