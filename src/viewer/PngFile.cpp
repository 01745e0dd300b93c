#include "PngFile.h"

#include "Files.h"
#include "Picture.h"

#include <png.h>

#include <vector>

namespace vistrel {

namespace {

struct Writer {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Writer() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

void errorCallback(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void warningCallback(png_structp, png_const_charp) {}

// libpng's output goes to the file; a failed write ends the encode through the error callback.
void writeCallback(png_structp png, png_bytep data, png_size_t size) {
    if (!static_cast<OutputFile*>(png_get_io_ptr(png))->write(data, size))
        png_error(png, "write failed");
}
void flushCallback(png_structp) {}

// Writes the rows; false when libpng gave up (a write error). Only plain locals live across the
// jump back.
bool writeRows(Writer& writer, OutputFile& file, Picture& picture, const uint8_t* bits,
               std::vector<uint32_t>& expanded) {
    png_structp png = writer.png;
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &file, writeCallback, flushCallback);
    // The quickest compression: the desktop reads the file once, and the user waits for it.
    png_set_compression_level(png, 1);
    const int w = picture.width(), h = picture.height(), depth = picture.bitsPerPixel();
    const bool alpha = depth == 32 && hasRealTransparency(picture);
    png_set_IHDR(png, writer.info, png_uint_32(w), png_uint_32(h), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, writer.info);
    // The picture's pixels are blue, green, red (and a fourth byte); lower depths are expanded
    // into words of the same order first.
    png_set_bgr(png);
    if (depth != 24 && !alpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
    const uint32_t rowSize = picture.rowSize();
    for (int y = 0; y < h; ++y) {
        const uint8_t* line = bits + std::size_t(y) * rowSize;
        if (depth != 24 && depth != 32) {
            expandBitmapRow(*picture.info(), picture.colorTable(), bits, rowSize, y, 0, w,
                            expanded.data());
            line = reinterpret_cast<const uint8_t*>(expanded.data());
        }
        png_write_row(png, const_cast<png_bytep>(line));
    }
    png_write_end(png, writer.info);
    return true;
}

} // namespace

bool SaveAsPng(Picture& picture, const char* path) {
    if (!path || !*path || picture.empty() || !picture.info() || picture.width() <= 0 ||
        picture.height() <= 0 || picture.info()->compression != 0)
        return false;
    if (uint64_t(picture.rowSize()) * uint64_t(picture.height()) > picture.capacity()) return false;
    Writer writer;
    writer.png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, errorCallback, warningCallback);
    if (!writer.png || !(writer.info = png_create_info_struct(writer.png))) return false;

    OutputFile file;
    if (!file.create(path)) return false;
    std::vector<uint32_t> expanded(std::size_t(picture.width()));
    bool ok = writeRows(writer, file, picture, picture.pixels(), expanded);
    if (!file.close()) ok = false;
    // Only a file of our own making is removed on failure, never a device or a pipe.
    if (!ok && file.regular()) removeFile(path);
    return ok;
}

} // namespace vistrel
