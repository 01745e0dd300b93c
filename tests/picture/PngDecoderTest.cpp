// The fast PNG path against libpng, its reference: the same bytes for every file both decode, the
// same refusals for every file they do not.
#include "PngDecoder.h"
#include "PngFastPath.h"
#include "Resampler.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

using namespace vistrel;
using namespace vistrel::test;

namespace {

// Size, depth, colour table and every byte of the rows (not the padding, which neither writes).
void expectSamePicture(Picture& ours, Picture& theirs) {
    ASSERT_EQ(ours.width(), theirs.width());
    ASSERT_EQ(ours.height(), theirs.height());
    ASSERT_EQ(ours.bitsPerPixel(), theirs.bitsPerPixel());
    EXPECT_EQ(std::memcmp(ours.info() + 1, theirs.info() + 1, ours.headerSize() - 40), 0)
        << "colour table";
    const std::size_t rowBytes = (std::size_t(ours.width()) * ours.bitsPerPixel() + 7) / 8;
    for (int y = 0; y < ours.height(); ++y)
        ASSERT_EQ(std::memcmp(ours.pixels() + std::size_t(y) * ours.rowSize(),
                              theirs.pixels() + std::size_t(y) * theirs.rowSize(), rowBytes),
                  0)
            << "row " << y;
}

// Decoded by decodePng and by libpng alone: both refuse for the same reason, or both give the
// same picture.
void expectSameOutcome(const std::vector<uint8_t>& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    Picture ours, theirs;
    const DecodeResult decoded = decodePng(bytes.data(), bytes.size(), ours);
    ASSERT_STREQ(decoded.word(), decodePngWithLibpng(bytes.data(), bytes.size(), theirs).word());
    if (decoded) expectSamePicture(ours, theirs);
}

std::vector<std::string> pngFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(testFile(folder).c_str()))
        if (entry.path().extension() == ".png") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// Every colour type at every depth, from our writer (every filter type at the top, in the middle
// and at the bottom) and from ImageMagick and Pillow (the decoder fixtures): the fast path takes
// the well-formed files and gives libpng's bytes. The header read tells the depth they give,
// tRNS weighed (a transparent colour or translucent palette entries make 32 bits).
TEST(PngFastPath, GivesLibpngsBytesForEveryColourTypeAndDepth) {
    int taken = 0;
    for (const std::string& folder : {std::string("png/"), std::string()}) {
        for (const std::string& name : pngFiles(folder)) {
            SCOPED_TRACE(folder + name);
            const std::vector<uint8_t> bytes = readBytes(testFile(folder + name));
            Picture fast, reference;
            const std::optional<DecodeResult> result =
                decodePngFast(bytes.data(), bytes.size(), fast);
            const DecodeResult decoded = decodePngWithLibpng(bytes.data(), bytes.size(), reference);
            MemorySource source(bytes.data(), bytes.size());
            PictureHeader header;
            if (decoded && readPngHeader(source, header)) {
                EXPECT_EQ(header.bitsPerPixel, reference.bitsPerPixel()) << "header depth";
            }
            if (name.rfind("gen-", 0) == 0) {
                EXPECT_TRUE(result && *result);
            }
            if (result && *result) {
                ++taken;
                ASSERT_TRUE(decoded);
                expectSamePicture(fast, reference);
            } else if (result) {
                EXPECT_STREQ(result->word(), decoded.word()); // refused by the same guard
            }
        }
    }
    EXPECT_GE(taken, 30);
}

// Damaged files: a wrong checksum, a stream too long or too short, a file without its end, an
// unknown filter, and every file cut short or with a byte changed: decodePng ends as libpng does.
TEST(PngFastPath, DamagedFilesEndAsTheyDoThroughLibpng) {
    for (const std::string& name : pngFiles("png/")) {
        const std::vector<uint8_t> bytes = readBytes(testFile("png/" + name));
        expectSameOutcome(bytes, name);
        for (const std::size_t cut : {bytes.size() / 3, bytes.size() - 20, bytes.size() - 1})
            expectSameOutcome({bytes.begin(), bytes.begin() + long(cut)},
                              name + " cut at " + std::to_string(cut));
        for (std::size_t at = 8; at < bytes.size(); at += 97) {
            std::vector<uint8_t> changed = bytes;
            changed[at] ^= 0x5A;
            expectSameOutcome(changed, name + " changed at " + std::to_string(at));
        }
    }
}

// The reduced read of the colour files (odd sizes among them, so the last blocks are cut short
// by the edge) against libpng's full picture: each pixel is its block's mean, rounded, also the
// alpha a transparent colour or translucent palette entries give. Other palette files and grey
// files are left to the full decode; damaged files end without harm.
TEST(PngReduced, EveryPixelIsTheMeanOfTheBlockItStandsFor) {
    int compared = 0;
    for (const std::string& folder : {std::string("png/"), std::string()}) {
        for (const std::string& name : pngFiles(folder)) {
            const std::vector<uint8_t> bytes = readBytes(testFile(folder + name));
            Picture full;
            if (!decodePngWithLibpng(bytes.data(), bytes.size(), full)) continue;
            for (const int n : {2, 3}) {
                SCOPED_TRACE(folder + name + " at 1/" + std::to_string(n));
                Picture reduced;
                MemorySource source(bytes.data(), bytes.size());
                std::vector<uint8_t> chunks;
                const uint64_t imageData = readPngChunksBesideImage(source, chunks);
                const DecodeResult decoded = decodePngReduced(source, imageData, n, reduced);
                // Below 24 bits, or grey (colour type 0) also with a transparent level at 32.
                if (full.bitsPerPixel() < 24 || bytes[25] == 0) {
                    EXPECT_EQ(decoded.refusal(), Refusal::Unsupported);
                    continue;
                }
                ASSERT_TRUE(decoded);
                ASSERT_EQ(reduced.bitsPerPixel(), full.bitsPerPixel());
                ASSERT_EQ(reduced.width(), (full.width() + n - 1) / n);
                ASSERT_EQ(reduced.height(), (full.height() + n - 1) / n);
                const int channels = full.bitsPerPixel() / 8;
                for (int by = 0; by < reduced.height(); ++by) {
                    for (int bx = 0; bx < reduced.width(); ++bx) {
                        for (int c = 0; c < channels; ++c) {
                            unsigned sum = 0, count = 0;
                            for (int y = by * n; y < std::min(full.height(), (by + 1) * n); ++y)
                                for (int x = bx * n; x < std::min(full.width(), (bx + 1) * n);
                                     ++x, ++count)
                                    sum += full.pixels()[std::size_t(y) * full.rowSize() +
                                                         std::size_t(x) * channels + c];
                            ASSERT_EQ(reduced.pixels()[std::size_t(by) * reduced.rowSize() +
                                                       std::size_t(bx) * channels + c],
                                      (sum + count / 2) / count)
                                << "block " << bx << "," << by << " channel " << c;
                        }
                    }
                }
                // Streamed into a screen copy, reduced or enlarged again: the bytes the resampler
                // makes of the reduced picture, though only a few of its rows were ever held.
                for (const Size copy : {Size{std::max(1, reduced.width() * 2 / 3),
                                             std::max(1, reduced.height() * 3 / 4)},
                                        Size{reduced.width() + 3, reduced.height() * 2 + 1}}) {
                    Picture streamed, expected;
                    MemorySource again(bytes.data(), bytes.size());
                    ASSERT_TRUE(decodePngReduced(again, imageData, n, streamed, copy));
                    ASSERT_EQ(streamed.bitsPerPixel(), 32);
                    ASSERT_EQ(streamed.width(), copy.width);
                    ASSERT_EQ(streamed.height(), copy.height);
                    expected.create(copy.width, copy.height, 32, false);
                    ASSERT_TRUE(resizePicture(expected.pixels(), expected.info(), reduced.pixels(),
                                              reduced.info(), ResizeFilter::Triangle));
                    for (int y = 0; y < copy.height; ++y)
                        ASSERT_EQ(
                            std::memcmp(streamed.pixels() + std::size_t(y) * streamed.rowSize(),
                                        expected.pixels() + std::size_t(y) * expected.rowSize(),
                                        std::size_t(copy.width) * 4),
                            0)
                            << "copy " << copy.width << "x" << copy.height << " row " << y;
                }
                ++compared;
            }
            for (const std::size_t cut : {bytes.size() / 3, bytes.size() - 1}) {
                Picture reduced;
                MemorySource source(bytes.data(), cut);
                EXPECT_FALSE(decodePngReduced(source, bytes.size(), 2, reduced))
                    << name << " cut at " << cut;
            }
        }
    }
    EXPECT_GE(compared, 10);
}
