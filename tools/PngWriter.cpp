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

// How a row of the source becomes a row of the file: words to RGB or RGBA, or bytes as they are.
enum class Layout { Rgb, Rgba, Gray };

// Plain data only in this frame: libpng's error path jumps back here.
bool writeRows(OutputFile* file, int width, int height, const void* pixels, Layout layout,
               uint8_t* row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_set_write_fn(png, file, writeCallback, flushCallback);
    // Speed before size: these files are for tests and for looking at, not for keeping.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    const int type = layout == Layout::Gray   ? PNG_COLOR_TYPE_GRAY
                     : layout == Layout::Rgba ? PNG_COLOR_TYPE_RGBA
                                              : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const std::size_t start = std::size_t(y) * std::size_t(width);
        if (layout == Layout::Gray) {
            png_write_row(png, static_cast<const uint8_t*>(pixels) + start);
            continue;
        }
        const uint32_t* words = static_cast<const uint32_t*>(pixels) + start;
        uint8_t* out = row;
        for (int x = 0; x < width; ++x) {
            const uint32_t argb = words[x];
            *out++ = uint8_t(argb >> 16);
            *out++ = uint8_t(argb >> 8);
            *out++ = uint8_t(argb);
            if (layout == Layout::Rgba) *out++ = uint8_t(argb >> 24);
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool writeFile(const char* path, int width, int height, const void* pixels, Layout layout) {
    if (width <= 0 || height <= 0 || !pixels) return false;
    OutputFile file;
    if (!file.create(path)) return false;
    std::vector<uint8_t> row(std::size_t(width) * 4);
    const bool written = writeRows(&file, width, height, pixels, layout, row.data());
    return file.close() && written;
}

} // namespace

bool writePng(const char* path, int width, int height, const uint32_t* pixels, bool withAlpha) {
    return writeFile(path, width, height, pixels, withAlpha ? Layout::Rgba : Layout::Rgb);
}

bool writeGrayPng(const char* path, int width, int height, const uint8_t* samples) {
    return writeFile(path, width, height, samples, Layout::Gray);
}

} // namespace vistrel
