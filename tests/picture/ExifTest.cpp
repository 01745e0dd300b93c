#include "CachedPicture.h"
#include "ExifReader.h"
#include "JpegMetadata.h"
#include "PixelCompare.h"
#include "PngDecoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

using namespace vistrel;
using namespace vistrel::test;

namespace {

std::string jpegFile(const std::string& name) {
    return testFile("jpeg/" + name);
}
std::string photoFile(const std::string& name) {
    return testFile("photo/" + name);
}

ExifFacts factsOfFile(const std::string& path) {
    const std::vector<uint8_t> bytes = readBytes(path);
    PictureMetadata metadata;
    readJpegMetadata(bytes.data(), bytes.size(), metadata);
    return {metadata.orientation, metadata.cameraText, metadata.dateTaken};
}

// A little-endian TIFF block built entry by entry: the header, IFD0 at offset 8 with `entries`
// (tag, type, count, value), the next directory's offset, then `tail` bytes.
struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
};
std::vector<uint8_t> tiff(std::initializer_list<Entry> entries, uint32_t next = 0,
                          std::size_t tail = 0) {
    std::vector<uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put16 = [&](uint16_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    auto put32 = [&](uint32_t v) {
        put16(uint16_t(v));
        put16(uint16_t(v >> 16));
    };
    put16(uint16_t(entries.size()));
    for (const Entry& e : entries) {
        put16(e.tag);
        put16(e.type);
        put32(e.count);
        put32(e.value);
    }
    put32(next);
    b.resize(b.size() + tail, 0);
    return b;
}

ExifFacts read(const std::vector<uint8_t>& block) {
    ExifFacts facts;
    readExif(block.data(), block.size(), facts);
    return facts;
}

} // namespace

TEST(ExifReader, ReadsOrientationAndCameraFromFilesOfBothByteOrders) {
    struct Case {
        const char* file;
        int orientation;
        const char* camera;
    };
    const Case cases[] = {
        {"exif-le-1.jpg", 1, "Canon EOS 5D"}, // the model repeats the make: model only
        {"exif-le-3.jpg", 3, "Canon EOS 5D"},
        {"exif-le-6.jpg", 6, "Canon EOS 5D"},
        {"exif-le-8.jpg", 8, "Canon EOS 5D"},
        {"exif-be-6.jpg", 6, "NIKON CORPORATION NIKON D70"},
        {"exif-be-8-make.jpg", 8, "Leica "},
        {"exif-be-1-model.jpg", 1, "DMC-FZ50"},
        {"exif-le-6-bare.jpg", 6, ""},
        {"exif-late.jpg", 6, "Canon EOS 5D"}, // far into the file, behind a long comment
        {"tall.jpg", 1, ""},                  // no EXIF block at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ExifFacts facts = factsOfFile(jpegFile(c.file));
        EXPECT_EQ(facts.orientation, c.orientation);
        EXPECT_EQ(facts.cameraText, c.camera);
    }
}

// The walk reads IFD0 only: what a byte search would find elsewhere (a thumbnail's directory, a
// maker note) is not taken, and no offset or count leads it out of the block.
TEST(ExifReader, TakesOnlyIfd0AndNeverLeavesTheBlock) {
    // Make inline ("Sony" fits the value field), Model at an offset, orientation 7.
    auto block = tiff({{0x010F, 2, 4, 0x796E6F53}, {0x0110, 2, 6, 50}, {0x0112, 3, 1, 7}}, 0, 16);
    std::memcpy(&block[50], "A7 IV", 6);
    ExifFacts facts = read(block);
    EXPECT_EQ(facts.orientation, 7);
    EXPECT_EQ(facts.cameraText, "Sony A7 IV");

    // IFD1 (a thumbnail's) says 6 and names a camera; IFD0 says nothing: nothing is taken.
    auto withThumbnail = tiff({{0x011A, 5, 1, 0}}, 26, 0);
    const auto ifd1 = tiff({{0x0112, 3, 1, 6}, {0x010F, 2, 4, 0x4E4F4B49}});
    withThumbnail.insert(withThumbnail.end(), ifd1.begin() + 8, ifd1.end());
    facts = read(withThumbnail);
    EXPECT_EQ(facts.orientation, 1);
    EXPECT_EQ(facts.cameraText, "");

    // A model whose bytes run past the block is left out; the rest still counts.
    block = tiff({{0x0110, 2, 40, 50}, {0x0112, 3, 1, 3}}, 0, 16);
    facts = read(block);
    EXPECT_EQ(facts.orientation, 3);
    EXPECT_EQ(facts.cameraText, "");
    // Values outside 1..8, and an orientation of another type, are no orientation.
    EXPECT_EQ(read(tiff({{0x0112, 3, 1, 9}})).orientation, 1);
    EXPECT_EQ(read(tiff({{0x0112, 4, 1, 6}})).orientation, 1);
    // "Exif" and two zero bytes before the header, as in a JPEG's APP1 segment.
    auto app1 = tiff({{0x0112, 3, 1, 8}});
    app1.insert(app1.begin(), {'E', 'x', 'i', 'f', 0, 0});
    EXPECT_EQ(read(app1).orientation, 8);
}

TEST(ExifReader, RefusesHostileBlocksQuickly) {
    const auto started = std::chrono::steady_clock::now();
    ExifFacts facts;
    // IFD0 pointing at the header itself, at its own count's last byte, past the block.
    for (const uint32_t offset : {0u, 4u, 7u, 25u, 0xFFFFFFF0u}) {
        auto block = tiff({{0x0112, 3, 1, 6}});
        std::memcpy(&block[4], &offset, 4);
        EXPECT_FALSE(readExif(block.data(), block.size(), facts)) << offset;
        EXPECT_EQ(facts.orientation, 1);
    }
    // An entry count past the block.
    auto counted = tiff({{0x0112, 3, 1, 6}});
    counted[8] = 0xFF, counted[9] = 0xFF;
    EXPECT_FALSE(readExif(counted.data(), counted.size(), facts));
    // A directory whose next pointer is itself, and one whose text points back at the header:
    // read once, over.
    auto selfLoop = tiff({{0x0112, 3, 1, 6}, {0x010F, 2, 8, 0}}, 8);
    EXPECT_TRUE(readExif(selfLoop.data(), selfLoop.size(), facts));
    EXPECT_EQ(facts.orientation, 6);
    // A directory of more entries than are read: the orientation beyond them is not reached.
    std::vector<uint8_t> many = {'M', 'M', 0, 42, 0, 0, 0, 8};
    const std::size_t count = kMostExifEntries + 10;
    many.push_back(uint8_t(count >> 8));
    many.push_back(uint8_t(count));
    for (std::size_t i = 0; i < count; ++i) {
        const bool last = i == count - 1;
        const uint8_t entry[12] = {1, uint8_t(last ? 0x12 : 0x00), 0, 3, 0, 0, 0, 1, 0, 6};
        many.insert(many.end(), entry, entry + 12);
    }
    many.resize(many.size() + 4, 0);
    EXPECT_TRUE(readExif(many.data(), many.size(), facts));
    EXPECT_EQ(facts.orientation, 1);
    // A header that is no TIFF header, and blocks cut anywhere.
    const std::vector<uint8_t> notTiff = {'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0};
    EXPECT_FALSE(readExif(notTiff.data(), notTiff.size(), facts));
    const auto whole = tiff({{0x0112, 3, 1, 6}, {0x0110, 2, 6, 38}}, 0, 8);
    for (std::size_t size = 0; size < whole.size(); ++size)
        readExif(whole.data(), size, facts);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
}

// Every orientation on quadrants of four colours, set by exiftool: the JPEG shown as
// ImageMagick's -auto-orient shows it, the PNG's eXIf as Pillow's exif_transpose does; the
// camera text comes along.
TEST(ExifLoad, EveryOrientationStandsAsOtherToolsShowIt) {
    for (int n = 1; n <= 8; ++n) {
        SCOPED_TRACE(n);
        for (const std::string kind : {".jpg", ".eXIf.png"}) {
            SCOPED_TRACE(kind);
            const std::string file = photoFile("orient-" + std::to_string(n) + kind);
            CachedPicture record;
            ASSERT_TRUE(record.load(file.c_str(), {}));
            Picture reference;
            const std::string ref = kind == ".jpg" ? ".png" : ".ref.png";
            ASSERT_TRUE(
                decodePng(photoFile("orient-" + std::to_string(n) + ref).c_str(), reference));
            ASSERT_EQ(record.picture->width(), reference.width());
            ASSERT_EQ(record.picture->height(), reference.height());
            EXPECT_LE(compare(argbPixels(*record.picture), argbPixels(reference)).largest, 2);
            if (kind == ".jpg") {
                EXPECT_STREQ(record.cameraText, "Apple iPhone 15");
            }
        }
    }
}

TEST(ExifLoad, UserTurnsComposeWithTheOrientationAndTextIsKeptOnlyWhenThere) {
    const Reference source = readPnm(jpegFile("tall.ppm"));
    CachedPicture record;
    // Orientation 6 without make or model: still turned a quarter clockwise.
    ASSERT_TRUE(record.load(jpegFile("exif-le-6-bare.jpg").c_str(), {}));
    EXPECT_EQ(record.picture->width(), 96);
    EXPECT_EQ(record.width, 64); // as decoded, before the turn
    EXPECT_STREQ(record.cameraText, "");
    // A user's quarter turn back counter-clockwise gives the stored picture again.
    record.rotate(-90, {});
    EXPECT_LE(compare(argbPixels(*record.picture), source.pixels).largest, 0);

    // Loading another file into the record keeps no camera text of the file before.
    ASSERT_TRUE(record.load(jpegFile("exif-be-6.jpg").c_str(), {}));
    EXPECT_STREQ(record.cameraText, "NIKON CORPORATION NIKON D70");
    ASSERT_TRUE(record.load(jpegFile("tall.jpg").c_str(), {}));
    EXPECT_STREQ(record.cameraText, "");

    // 126 ASCII bytes and a two-byte letter: the cut at 127 bytes drops the whole letter.
    ASSERT_TRUE(record.load(jpegFile("exif-long-model.jpg").c_str(), {}));
    EXPECT_EQ(std::strlen(record.cameraText), 126u);
    EXPECT_EQ(record.cameraText[125], 'x');
}

// The window thread and the prefetch worker load at the same time: each gets its own text, the
// library is loaded once for both.
TEST(ExifThreads, TwoThreadsLoadAtOnce) {
    auto work = [](const char* file, int width, const char* text, bool* ok) {
        for (int i = 0; i < 20 && *ok; ++i) {
            CachedPicture record;
            *ok = record.load(jpegFile(file).c_str(), {}) && record.picture->width() == width &&
                  std::strcmp(record.cameraText, text) == 0;
        }
    };
    bool firstOk = true, secondOk = true;
    std::thread first(work, "exif-le-6.jpg", 96, "Canon EOS 5D", &firstOk);
    std::thread second(work, "exif-be-8-make.jpg", 96, "Leica ", &secondOk);
    first.join();
    second.join();
    EXPECT_TRUE(firstOk);
    EXPECT_TRUE(secondOk);
}
