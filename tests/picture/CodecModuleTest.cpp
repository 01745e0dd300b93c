// The modern formats' libraries are mapped only once a file of theirs is read: a start with a JPEG
// or a PNG never pays for them.
#include "CachedPicture.h"
#include "DecoderLibraries.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace vistrel;
using namespace vistrel::test;

#if VISTREL_MODERN_FORMATS && defined(__linux__)
namespace {

// Whether a file whose name holds `part` is mapped into this process.
bool mapped(const char* part) {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find(part) != std::string::npos) return true;
    return false;
}

} // namespace

TEST(CodecModule, IsLoadedByTheFirstFileOfItsFormatsOnly) {
    // ctest runs each test in a process of its own; a whole run may have loaded it already.
    if (mapped("vistrel-codecs.so")) GTEST_SKIP() << "an earlier test of this process loaded it";
    const char* libraries[] = {"libheif", "libavif", "libdav1d", "libjxl", "libwebp"};
    for (const char* name : {"jpeg/colour.jpg", "rgba16.png"}) {
        CachedPicture record;
        ASSERT_TRUE(record.load(testFile(name).c_str(), ScreenCopyPolicy{})) << name;
    }
    for (const char* library : libraries)
        EXPECT_FALSE(mapped(library)) << library << " is mapped before a file needs it";
    EXPECT_FALSE(mapped("vistrel-codecs.so"));

    CachedPicture record;
    ASSERT_TRUE(record.load(testFile("modern/lossy-alpha.webp").c_str(), ScreenCopyPolicy{}));
    EXPECT_TRUE(mapped("vistrel-codecs.so"));
    EXPECT_TRUE(mapped("libwebp"));
}

// The viewer opens the first picture's library before it loads its toolkit (the loader opens one
// library at a time): the one that picture's decode will want, and no other.
TEST(CodecModule, IsOpenedAheadOnlyForAFileOfItsFormats) {
    if (mapped("vistrel-codecs.so") || mapped("libturbojpeg"))
        GTEST_SKIP() << "an earlier test of this process loaded them";
    openDecoderLibrariesFor(testFile("rgba16.png").c_str());
    openDecoderLibrariesFor(testFile("no such file.jpg").c_str());
    openDecoderLibrariesFor(testFile("").c_str()); // a folder
    EXPECT_FALSE(mapped("libturbojpeg"));
    EXPECT_FALSE(mapped("vistrel-codecs.so"));

    openDecoderLibrariesFor(testFile("jpeg/colour.jpg").c_str());
    EXPECT_TRUE(mapped("libturbojpeg"));
    EXPECT_FALSE(mapped("vistrel-codecs.so"));
    openDecoderLibrariesFor(testFile("modern/lossy-alpha.webp").c_str());
    EXPECT_TRUE(mapped("vistrel-codecs.so"));
}
#endif
