#include "PngWriter.h"

#include "Files.h"

#include <png.h>

#include <csetjmp>

namespace vistrel {

namespace {

void writeCallback(png_structp png, png_bytep data, png_size_t size) {
    if (!static_cast<OutputFile*>(png_get_io_ptr(png))->write(data, size))
        png_error(png, "write failed");
}
void flushCallback(png_structp) {}

// Plain data only in this frame: libpng's error path jumps back here.
bool writeRows(OutputFile* file, int width, int height, const uint32_t* pixels, bool withAlpha,
               uint8_t* row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_set_write_fn(png, file, writeCallback, flushCallback);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        uint8_t* out = row;
        for (int x = 0; x < width; ++x) {
            const uint32_t argb = pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            *out++ = uint8_t(argb >> 16);
            *out++ = uint8_t(argb >> 8);
            *out++ = uint8_t(argb);
            if (withAlpha) *out++ = uint8_t(argb >> 24);
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool writePng(const char* path, int width, int height, const std::vector<uint32_t>& pixels,
              bool withAlpha) {
    if (width <= 0 || height <= 0 || pixels.size() < std::size_t(width) * std::size_t(height))
        return false;
    OutputFile file;
    if (!file.create(path)) return false;
    std::vector<uint8_t> row(std::size_t(width) * 4);
    const bool written = writeRows(&file, width, height, pixels.data(), withAlpha, row.data());
    return file.close() && written;
}

} // namespace vistrel
