// What the PSD reader's own files share and the public header does not show: the section readers
// of the load state machine, the large-buffer helpers and the colour rules.
#pragma once

#include "DecodeLimits.h"
#include "psd.h"
#include "psd_bytes.h"

#include <cstddef>

// Opens a PSD file held in memory (the bytes are not copied and must outlive the call): the same
// load as psd_open, for tests and fuzzing.
int psd_open_memory(PsdContext** out, const void* data, size_t size, PsdOptions* options = nullptr);

// Copies up to `count` bytes of the file from `offset` (not through the stream's buffer, and
// without moving it); returns how many there were.
uint64_t psd_read_at(const PsdStream* stream, uint64_t offset, uint8_t* destination,
                     uint64_t count);

// Moves the stream to an absolute offset, forward or back: blocks end where their lengths say,
// whatever their readers consumed.
void psd_seek(PsdContext* ctx, uint64_t offset);

// The large document format (PSB, version 2) differs from PSD in a few sizes only.
inline bool psd_is_large(const PsdContext* ctx) {
    return ctx->version == 2;
}
inline uint32_t psd_max_side(const PsdContext* ctx) {
    return psd_is_large(ctx) ? kPsbMaxSide : kPsdMaxSide;
}
// A length that PSB stores in 8 bytes (the layer and mask section, the layer info, channel data):
// 4 bytes in PSD.
uint64_t psd_read_length(PsdContext* ctx);
// The length of an additional-information block with `key`: 8 bytes in PSB for the keys whose
// blocks can pass 4 GiB, else 4.
uint64_t psd_read_block_length(PsdContext* ctx, uint32_t key);
// Bytes of each row byte count of PackBits data: 2, PSB 4.
inline int psd_rle_count_size(const PsdContext* ctx) {
    return psd_is_large(ctx) ? 4 : 2;
}

// Section readers, one per state of the load. Each returns 0 or a status code; -3 is mapped to
// the section's own code by the state machine.
int psd_read_header(PsdContext* ctx);
int psd_read_color_mode_data(PsdContext* ctx);
int psd_read_image_resources(PsdContext* ctx);
int psd_read_layer_and_mask_info(PsdContext* ctx);
int psd_read_image_data(PsdContext* ctx);

// Decompression, shared by the merged image, layer channels and patterns. Output bytes the input
// does not reach are zero.
// `count_size` is the bytes of each row byte count (2, or 4 in PSB).
int psd_decode_rle(const uint8_t* input, uint64_t input_size, uint32_t rows, uint8_t* planes,
                   uint64_t planes_size, int count_size = 2);
// `produced` (may be null) receives the bytes written.
int psd_inflate(const uint8_t* input, uint64_t input_size, uint8_t* output, uint64_t output_size,
                uint64_t* produced = nullptr);
void psd_undo_prediction(uint8_t* data, uint64_t size, uint64_t row_bytes, int depth);
// One channel's data (what follows its compression method) into one plane of `rows` rows of
// `row_bytes` bytes: 0, -20 (method above 3) or -101 (ZIP).
int psd_decode_plane(uint16_t method, const uint8_t* data, uint64_t size, uint8_t* plane,
                     uint32_t rows, uint64_t row_bytes, int depth, int count_size = 2);
// The same, written only as far as the data reaches, so that its cost follows the data rather
// than the plane's size: `rows_reached` receives the rows it wrote (the last completed with
// zeros); the plane's later rows are left as they were.
int psd_decode_plane_rows(uint16_t method, const uint8_t* data, uint64_t size, uint8_t* plane,
                          uint32_t rows, uint64_t row_bytes, int depth, uint32_t* rows_reached,
                          int count_size = 2);
// Bytes of one row and of one plane of `width` x `height` samples at `depth` bits.
inline uint64_t psd_row_bytes(uint64_t width, int depth) {
    return depth == 1 ? (width + 7) / 8 : width * uint64_t(depth / 8);
}
inline uint64_t psd_plane_bytes(uint64_t width, uint64_t height, int depth) {
    return psd_row_bytes(width, depth) * height;
}
// Colour planes a colour mode needs (multichannel: 1, it converts from up to four).
int psd_color_planes(uint32_t mode);
// Planes -> merged pixels for the context's colour mode and depth, one image row at a time.
struct PsdRowConverter {
    uint32_t mode;
    uint32_t width;
    int depth;
    int planes; // rows the conversion reads: colour planes, then the transparency plane
    bool alpha;
    bool black;          // multichannel with a fourth (black) ink
    bool inks;           // CMYK kept as stored (PsdOptions::cmyk_inks_with_profile)
    uint32_t table[256]; // indexed colours
};
void psd_row_converter_init(PsdRowConverter* converter, const PsdContext* ctx);
// rows[i] is the image row of plane i (null where a multichannel file has no such plane).
void psd_convert_row(const PsdRowConverter* converter, const uint8_t* const rows[], uint32_t* out);
// Whether the plane after the colour planes is the merged picture's alpha: the colour channels
// number one more than the colour mode needs.
bool psd_merged_has_alpha(const PsdContext* ctx);
// Whether psd_convert_planes has a conversion for the context's mode, depth and channels.
bool psd_has_conversion(const PsdContext* ctx);
// Makes the one layer of a file without layers, its pixels lent from the merged buffer.
int psd_make_flat_layer(PsdContext* ctx);
// Releases everything a layer record owns; `ctx` (may be null) gets the held bytes back.
void psd_free_layer_record(PsdContext* ctx, PsdLayerRecord* layer);

// Large buffers (planes, merged pixels, the rest of the file) come from the program's huge-page
// helper; small ones from the heap. Both zero-filled. Release with the same size.
void* psd_alloc_large(uint64_t bytes);
void psd_free_large(void* block, uint64_t bytes);
// The same, held against the decode's memory budget: 0, PSD_ERR_BUDGET before allocating past
// it, or PSD_ERR_MEMORY.
int psd_alloc_held(PsdContext* ctx, uint64_t bytes, void** block);
void psd_free_held(PsdContext* ctx, void* block, uint64_t bytes);
// Bytes held outside the large buffers (records that grow with the file's counts) against the
// same budget: 0 or PSD_ERR_BUDGET. Released with psd_release.
int psd_hold(PsdContext* ctx, uint64_t bytes);
void psd_release(PsdContext* ctx, uint64_t bytes);
// Grows a scratch buffer to hold `need` bytes: to the larger of twice its capacity, the need and
// `floor`; its old contents are not kept. 0, PSD_ERR_BUDGET or PSD_ERR_MEMORY (capacity 0).
int psd_grow_scratch(PsdContext* ctx, uint8_t** buffer, uint64_t* capacity, uint64_t need,
                     uint64_t floor);

// The decompression-bomb rule, the program's one size rule (DecodeLimits.h) on plane bytes: a
// picture may not need more bytes than twice what the data present in the file can produce at
// its method's best ratio (raw 1:1, PackBits 64:1, ZIP 1032:1), unless what it is held in stays
// under the floor of 64 MB. Files cut short still decode as long as they hold about half their
// data.
// The most bytes `data_bytes` of channel data compressed by `method` (0 to 3) can produce.
uint64_t psd_best_output(uint16_t method, uint64_t data_bytes);
// Whether pixels held in `held` bytes whose planes need `wanted` bytes, from data that can
// produce at most `best_output` bytes, are a bomb. The floor is measured on the held bytes: a
// 1-bit plane is held at 32 bits a pixel.
inline bool psd_bomb(uint64_t held, uint64_t wanted, uint64_t best_output) {
    return !vistrel::bytesFitTheirData(held, wanted, best_output);
}

// Colour rules shared by colour structures and the merged image.
// Ink amounts 0 (none) to 255 (full).
inline uint32_t psd_cmyk_to_argb(uint32_t c, uint32_t m, uint32_t y, uint32_t k) {
    const uint32_t paper = 255 - k;
    const uint32_t r = (65535 - paper * c - 256 * k) >> 8;
    const uint32_t g = (65535 - paper * m - 256 * k) >> 8;
    const uint32_t b = (65535 - paper * y - 256 * k) >> 8;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}
// L 0 to 100, a and b around 0; D65 white, sRGB primaries and curve; alpha as given.
uint32_t psd_lab_to_argb(double L, double a, double b, uint32_t alpha);

// A bounded big-endian cursor over one block already in memory: reads past its end give zeros
// and move nothing, so a damaged block can never pull its reader into the next one.
struct PsdCursor {
    const uint8_t* data;
    uint64_t size;
    uint64_t pos;

    uint64_t left() const { return pos < size ? size - pos : 0; }
    void skip(uint64_t n) { pos = n < left() ? pos + n : size; }
    uint8_t u8() { return left() >= 1 ? data[pos++] : (pos = size, 0); }
    uint16_t u16() {
        if (left() < 2) return pos = size, 0;
        pos += 2;
        return psd_be16(data + pos - 2);
    }
    uint32_t u32() {
        if (left() < 4) return pos = size, 0;
        pos += 4;
        return psd_be32(data + pos - 4);
    }
    float f32() {
        if (left() < 4) return pos = size, 0.0f;
        pos += 4;
        return psd_be_f32(data + pos - 4);
    }
    double f64() {
        if (left() < 8) return pos = size, 0.0;
        pos += 8;
        return psd_be_f64(data + pos - 8);
    }
};

// Colour structure (space and four components) from a cursor; the rules of psd_read_color.
uint32_t psd_cursor_color(PsdCursor& cursor);
// The colour of a colour structure's space and four components as the file holds them.
uint32_t psd_color_structure_to_argb(int space, const uint16_t components[4]);

// Path resources (ids 2000 to 2998): always 0; a path that cannot be allocated is dropped.
int psd_read_path_resource(PsdContext* ctx, uint16_t id, PsdCursor& block);
void psd_free_paths(PsdResources* resources);
