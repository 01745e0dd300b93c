// The cross-built libraries in a Windows program: zlib, libdeflate and libpng linked in, and
// libjpeg-turbo's TurboJPEG DLL loaded at run time through the entry points the viewer uses.
#include <gtest/gtest.h>

#include <libdeflate.h>
#include <png.h>
#include <windows.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> sampleBytes() {
    std::vector<unsigned char> bytes;
    for (int i = 0; i < 5000; ++i)
        bytes.push_back(static_cast<unsigned char>((i * i / 7) % 251));
    return bytes;
}

TEST(WindowsLibraries, ZlibAndLibdeflateReadEachOthersStreams) {
    const std::vector<unsigned char> original = sampleBytes();

    std::vector<unsigned char> fromZlib(compressBound(static_cast<uLong>(original.size())));
    uLongf zlibSize = static_cast<uLongf>(fromZlib.size());
    ASSERT_EQ(compress2(fromZlib.data(), &zlibSize, original.data(),
                        static_cast<uLong>(original.size()), 9),
              Z_OK);
    std::vector<unsigned char> back(original.size());
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    ASSERT_NE(decompressor, nullptr);
    EXPECT_EQ(libdeflate_zlib_decompress(decompressor, fromZlib.data(), zlibSize, back.data(),
                                         back.size(), nullptr),
              LIBDEFLATE_SUCCESS);
    libdeflate_free_decompressor(decompressor);
    EXPECT_EQ(back, original);

    libdeflate_compressor* compressor = libdeflate_alloc_compressor(12);
    ASSERT_NE(compressor, nullptr);
    std::vector<unsigned char> fromLibdeflate(
        libdeflate_zlib_compress_bound(compressor, original.size()));
    const size_t libdeflateSize = libdeflate_zlib_compress(
        compressor, original.data(), original.size(), fromLibdeflate.data(), fromLibdeflate.size());
    libdeflate_free_compressor(compressor);
    ASSERT_GT(libdeflateSize, 0u);
    uLongf backSize = static_cast<uLongf>(back.size());
    std::fill(back.begin(), back.end(), 0);
    EXPECT_EQ(uncompress(back.data(), &backSize, fromLibdeflate.data(),
                         static_cast<uLong>(libdeflateSize)),
              Z_OK);
    EXPECT_EQ(back, original);
}

TEST(WindowsLibraries, PngRoundTripsThroughMemory) {
    constexpr int kWidth = 5, kHeight = 3;
    std::vector<unsigned char> pixels;
    for (int i = 0; i < kWidth * kHeight * 4; ++i)
        pixels.push_back(static_cast<unsigned char>(i * 17));

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    ASSERT_TRUE(png_image_write_get_memory_size(image, size, 0, pixels.data(), 0, nullptr));
    std::vector<unsigned char> file(size);
    ASSERT_TRUE(png_image_write_to_memory(&image, file.data(), &size, 0, pixels.data(), 0, nullptr))
        << image.message;

    png_image read{};
    read.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&read, file.data(), size)) << read.message;
    EXPECT_EQ(read.width, static_cast<png_uint_32>(kWidth));
    EXPECT_EQ(read.height, static_cast<png_uint_32>(kHeight));
    read.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> back(PNG_IMAGE_SIZE(read));
    ASSERT_TRUE(png_image_finish_read(&read, nullptr, back.data(), 0, nullptr)) << read.message;
    EXPECT_EQ(back, pixels);
}

// A 16x16 baseline JPEG written by ImageMagick (quality 95, no chroma subsampling): rows 0-7
// one red, rows 8-15 one blue. Linux's libjpeg-turbo 2.1.5 decodes them to exactly
// (224, 32, 17) and (16, 64, 192).
const unsigned char kTwoBandJpeg[] = {
    0xff, 0xd8, 0xff, 0xe0, 0x00, 0x10, 0x4a, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
    0x00, 0x01, 0x00, 0x00, 0xff, 0xdb, 0x00, 0x43, 0x00, 0x02, 0x01, 0x01, 0x01, 0x01, 0x01, 0x02,
    0x01, 0x01, 0x01, 0x02, 0x02, 0x02, 0x02, 0x02, 0x04, 0x03, 0x02, 0x02, 0x02, 0x02, 0x05, 0x04,
    0x04, 0x03, 0x04, 0x06, 0x05, 0x06, 0x06, 0x06, 0x05, 0x06, 0x06, 0x06, 0x07, 0x09, 0x08, 0x06,
    0x07, 0x09, 0x07, 0x06, 0x06, 0x08, 0x0b, 0x08, 0x09, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x06, 0x08,
    0x0b, 0x0c, 0x0b, 0x0a, 0x0c, 0x09, 0x0a, 0x0a, 0x0a, 0xff, 0xdb, 0x00, 0x43, 0x01, 0x02, 0x02,
    0x02, 0x02, 0x02, 0x02, 0x05, 0x03, 0x03, 0x05, 0x0a, 0x07, 0x06, 0x07, 0x0a, 0x0a, 0x0a, 0x0a,
    0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a,
    0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a,
    0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0xff, 0xc0,
    0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x10, 0x03, 0x01, 0x11, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11,
    0x01, 0xff, 0xc4, 0x00, 0x16, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0x08, 0xff, 0xc4, 0x00, 0x14, 0x10, 0x01, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff,
    0xc4, 0x00, 0x17, 0x01, 0x01, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0x08, 0x0a, 0xff, 0xc4, 0x00, 0x14, 0x11, 0x01, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0xda,
    0x00, 0x0c, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3f, 0x00, 0xcb, 0xec, 0xbe, 0xb0,
    0x80, 0x23, 0xeb, 0x80, 0xe7, 0xcc, 0x07, 0xff, 0xd9};

// The entry points and values of TurboJPEG's published C interface, as the viewer declares them.
using Handle = void*;
using InitDecompress = Handle (*)();
using DecompressHeader3 = int (*)(Handle, const unsigned char*, unsigned long, int*, int*, int*,
                                  int*);
using Decompress2 = int (*)(Handle, const unsigned char*, unsigned long, unsigned char*, int, int,
                            int, int, int);
using Destroy = int (*)(Handle);
constexpr int kPixelFormatBgr = 1;
constexpr int kFlagBottomUp = 2;

template <typename Function> Function entry(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

TEST(WindowsLibraries, TurboJpegDllFromBesideTheProgramDecodesBottomUpBgr) {
    HMODULE module = LoadLibraryW(L"turbojpeg.dll");
    ASSERT_NE(module, nullptr) << "LoadLibraryW failed with error " << GetLastError();
    const auto initDecompress = entry<InitDecompress>(module, "tjInitDecompress");
    const auto decompressHeader3 = entry<DecompressHeader3>(module, "tjDecompressHeader3");
    const auto decompress2 = entry<Decompress2>(module, "tjDecompress2");
    const auto destroy = entry<Destroy>(module, "tjDestroy");
    ASSERT_TRUE(initDecompress && decompressHeader3 && decompress2 && destroy);

    Handle decoder = initDecompress();
    ASSERT_NE(decoder, nullptr);
    int width = 0, height = 0, subsampling = -1, colorspace = -1;
    ASSERT_EQ(decompressHeader3(decoder, kTwoBandJpeg, sizeof kTwoBandJpeg, &width, &height,
                                &subsampling, &colorspace),
              0);
    ASSERT_EQ(width, 16);
    ASSERT_EQ(height, 16);
    std::vector<unsigned char> bgr(16 * 16 * 3);
    ASSERT_EQ(decompress2(decoder, kTwoBandJpeg, sizeof kTwoBandJpeg, bgr.data(), width, width * 3,
                          height, kPixelFormatBgr, kFlagBottomUp),
              0);
    destroy(decoder);
    FreeLibrary(module);

    // Bottom-up: the buffer's first eight rows are the picture's blue lower half.
    for (int row = 0; row < 16; ++row) {
        const std::vector<unsigned char> expected = row < 8
                                                        ? std::vector<unsigned char>{192, 64, 16}
                                                        : std::vector<unsigned char>{17, 32, 224};
        for (int x = 0; x < 16; ++x) {
            const unsigned char* pixel = &bgr[static_cast<size_t>((row * 16 + x) * 3)];
            ASSERT_EQ(std::vector<unsigned char>(pixel, pixel + 3), expected)
                << "row " << row << " column " << x;
        }
    }
}

} // namespace
