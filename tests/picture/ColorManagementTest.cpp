#include "ColorManagement.h"
#include "CachedPicture.h"
#include "IccProfile.h"
#include "PixelCompare.h"
#include "PngDecoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

using namespace vistrel;
using namespace vistrel::test;

namespace {

std::string photoFile(const std::string& name) {
    return testFile("photo/" + name);
}

ColorTarget displayOf(const std::string& profile) {
    ColorTarget target;
    target.displayProfile =
        std::make_shared<const std::vector<uint8_t>>(readBytes(photoFile(profile)));
    return target;
}

// The largest difference of the loaded file from the reference PNG, or 1000 when either fails.
int differenceFromReference(const std::string& file, const std::string& reference,
                            const ColorTarget& target = {}) {
    ScreenCopyPolicy policy;
    policy.color = target;
    CachedPicture record;
    Picture expected;
    if (!record.load(photoFile(file).c_str(), policy) ||
        !decodePng(photoFile(reference).c_str(), expected))
        return 1000;
    return compare(argbPixels(*record.picture), argbPixels(expected)).largest;
}

} // namespace

// Charts assigned profiles made by lcms2 (Display P3, Adobe RGB-compatible, ProPhoto-like, grey)
// against ImageMagick's conversion of the same files to sRGB; JPEG and PNG carry the profile each
// their own way (APP2 chunks, iCCP).
TEST(ColorManagement, EmbeddedProfilesConvertAsImageMagickConvertsThem) {
    for (const std::string name : {"display-p3", "adobe-rgb", "prophoto", "gray"}) {
        for (const std::string kind : {".jpg", ".png"}) {
            const std::string file = "color-" + name + kind;
            SCOPED_TRACE(file);
            EXPECT_LE(differenceFromReference(file, file + ".srgb.png"), 1);
        }
    }
    // To a display that is not sRGB: Adobe RGB shown on a Display P3 screen.
    EXPECT_LE(differenceFromReference("color-adobe-rgb.png", "color-adobe-rgb.p3.png",
                                      displayOf("display-p3.icc")),
              1);
    // Gamma and chromaticities instead of a profile.
    EXPECT_LE(differenceFromReference("gamma-chrm.png", "gamma-chrm.srgb.png"), 1);
}

// CMYK files convert their inks through their own profile (Ghostscript's, a table-based one);
// a JPEG's decode may differ from ImageMagick's by a level before conversion.
TEST(ColorManagement, CmykFilesConvertThroughTheirProfile) {
    EXPECT_LE(differenceFromReference("cmyk.psd", "cmyk.psd.srgb.png"), 1);
    EXPECT_LE(differenceFromReference("cmyk.jpg", "cmyk.jpg.srgb.png"), 2);
    // With conversion off, the inks are shown plainly: far from the profile's colours.
    ColorTarget off;
    off.manage = false;
    EXPECT_GT(differenceFromReference("cmyk.jpg", "cmyk.jpg.srgb.png", off), 10);
}

TEST(ColorManagement, SrgbRedSavedInProPhotoIsShownAsSrgbRed) {
    CachedPicture record;
    ASSERT_TRUE(record.load(photoFile("prophoto-red.png").c_str(), {}));
    EXPECT_EQ(record.colorSpace, "ProPhoto-like RGB");
    ASSERT_TRUE(record.convertedTo.has_value());
    const uint32_t shown = argbPixels(*record.picture)[0];
    EXPECT_NEAR(int(shown >> 16 & 0xFF), 220, 1);
    EXPECT_NEAR(int(shown >> 8 & 0xFF), 40, 1);
    EXPECT_NEAR(int(shown & 0xFF), 40, 1);
    // Off, the file's own values are shown.
    ScreenCopyPolicy off;
    off.color.manage = false;
    ASSERT_TRUE(record.load(photoFile("prophoto-red.png").c_str(), off));
    EXPECT_FALSE(record.convertedTo.has_value());
    EXPECT_GT(std::abs(int(argbPixels(*record.picture)[0] >> 16 & 0xFF) - 220), 20);
}

// What costs nothing: no profile, an sRGB one (the display's profile aside), a damaged one.
TEST(ColorManagement, PicturesInSrgbOrWithoutUsableProfileAreLeftAsTheyAre) {
    Picture picture;
    ASSERT_TRUE(picture.create(5, 3, 32, true));
    for (uint32_t i = 0; i < picture.imageSize(); ++i)
        picture.pixels()[i] = uint8_t(i * 41 + 7);
    const std::vector<uint32_t> before = argbPixels(picture);
    PictureMetadata metadata;
    const ColorTarget p3 = displayOf("display-p3.icc");
    EXPECT_FALSE(convertToTarget(picture, metadata, p3));
    metadata.iccProfile = readBytes(photoFile("srgb.icc"));
    EXPECT_FALSE(convertToTarget(picture, metadata, p3));
    const std::vector<uint8_t> p3Bytes = readBytes(photoFile("display-p3.icc"));
    for (const std::size_t cut : {std::size_t(0), std::size_t(100), p3Bytes.size() - 1}) {
        PictureMetadata damaged;
        damaged.iccProfile.assign(p3Bytes.begin(), p3Bytes.begin() + long(cut));
        EXPECT_FALSE(convertToTarget(picture, damaged, {})) << cut;
        EXPECT_EQ(describeColorSpace(damaged), "");
    }
    EXPECT_EQ(argbPixels(picture), before);

    // A wide-gamut picture with alpha: colours change, alpha stays.
    metadata.iccProfile = readBytes(photoFile("prophoto.icc"));
    EXPECT_TRUE(convertToTarget(picture, metadata, {}));
    const std::vector<uint32_t> after = argbPixels(picture);
    for (std::size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i] >> 24, before[i] >> 24) << i;
    EXPECT_NE(after, before);
}

TEST(ColorManagement, ProfileChecksComeBeforeTheLibrary) {
    std::vector<uint8_t> profile = readBytes(photoFile("display-p3.icc"));
    ProfileHeader header;
    ASSERT_TRUE(checkProfile(profile.data(), profile.size(), header));
    EXPECT_EQ(header.space, ProfileSpace::Rgb);
    EXPECT_EQ(header.size, profile.size());
    auto spoiled = [&](std::size_t at, uint8_t value) {
        std::vector<uint8_t> copy = profile;
        copy[at] = value;
        return !checkProfile(copy.data(), copy.size(), header);
    };
    EXPECT_TRUE(spoiled(0, 0xFF));           // a size beyond the data
    EXPECT_TRUE(spoiled(36, 'b'));           // no "acsp"
    EXPECT_TRUE(spoiled(12, 'l'));           // a device link, not a picture's profile
    EXPECT_TRUE(spoiled(128, 0x7F));         // more tags than the table holds
    EXPECT_TRUE(spoiled(128 + 4 + 4, 0x7F)); // the first tag's data far outside
    EXPECT_FALSE(checkProfile(profile.data(), 131, header));
}

// Two workers convert at once through the shared transforms.
TEST(ColorThreads, TwoThreadsConvertAtOnce) {
    auto work = [](const char* file, bool* ok) {
        for (int i = 0; i < 20 && *ok; ++i)
            *ok = differenceFromReference(file, std::string(file) + ".srgb.png") <= 1;
    };
    bool firstOk = true, secondOk = true;
    std::thread first(work, "color-display-p3.png", &firstOk);
    std::thread second(work, "color-prophoto.jpg", &secondOk);
    first.join();
    second.join();
    EXPECT_TRUE(firstOk);
    EXPECT_TRUE(secondOk);
}
