// The image data section that ends the file: the merged picture as one plane per channel, raw,
// PackBits, ZIP or ZIP with prediction, turned into the merged 32-bit pixels.
#include "psd_internal.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

uint64_t plane_bytes(const PsdContext* ctx) {
    const uint64_t w = ctx->width, h = ctx->height;
    if (ctx->depth == 1) return (w + 7) / 8 * h;
    return w * h * (ctx->depth == 16 ? 2 : 1);
}

// Extra planes (past the colour channels) belong, in order, to the alpha channel records.
int copy_extra_planes(PsdContext* ctx) {
    const uint64_t pixels = uint64_t(ctx->width) * ctx->height;
    const int first = std::max<int>(ctx->color_channel_count, 0);
    for (int i = first; i < ctx->channel_count; ++i) {
        const int index = i - ctx->color_channel_count;
        if (index >= ctx->alpha_channel_count) break;
        PsdAlphaChannel& alpha = ctx->alpha_channels[index];
        if (!alpha.pixels) alpha.pixels = static_cast<uint8_t*>(psd_alloc_large(pixels));
        if (!alpha.pixels) return PSD_ERR_MEMORY;
        const uint8_t* plane = ctx->planes + uint64_t(i) * ctx->plane_size;
        if (ctx->depth == 8) {
            std::memcpy(alpha.pixels, plane, pixels);
        } else if (ctx->depth == 16) {
            for (uint64_t p = 0; p < pixels; ++p)
                alpha.pixels[p] = plane[2 * p];
        } else {
            // One bit per pixel, rows padded to whole bytes: a set bit is a selected pixel.
            const uint64_t row_bytes = (uint64_t(ctx->width) + 7) / 8;
            for (uint32_t y = 0; y < ctx->height; ++y) {
                const uint8_t* row = plane + y * row_bytes;
                uint8_t* out = alpha.pixels + uint64_t(y) * ctx->width;
                for (uint32_t x = 0; x < ctx->width; ++x)
                    out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
            }
        }
    }
    return PSD_OK;
}

int decompress(PsdContext* ctx, uint16_t method) {
    if (method == 0) {
        // A truncated raw image is no error: the planes it does not reach stay zero.
        psd_read(ctx, ctx->planes, ctx->planes_size);
        return PSD_OK;
    }
    // Compressed data is read in one piece, the whole rest of the file, and decoded in memory.
    const uint64_t rest_size = psd_bytes_left(ctx);
    uint8_t* rest = nullptr;
    if (rest_size > 0) {
        rest = static_cast<uint8_t*>(psd_alloc_large(rest_size));
        if (!rest) return PSD_ERR_MEMORY;
    }
    const uint64_t got = rest ? psd_read(ctx, rest, rest_size) : 0;
    int status = PSD_OK;
    if (method == 1) {
        psd_decode_rle(rest, got, uint32_t(ctx->channel_count) * ctx->height, ctx->planes,
                       ctx->planes_size);
    } else {
        status = psd_inflate(rest, got, ctx->planes, ctx->planes_size);
        if (status == PSD_OK && method == 3) {
            const uint64_t row_bytes = ctx->depth == 1 ? (uint64_t(ctx->width) + 7) / 8
                                                       : uint64_t(ctx->width) * (ctx->depth / 8);
            psd_undo_prediction(ctx->planes, ctx->planes_size, row_bytes, ctx->depth);
        }
    }
    psd_free_large(rest, rest_size);
    return status;
}

} // namespace

int psd_decode_rle(const uint8_t* input, uint64_t input_size, uint32_t rows, uint8_t* planes,
                   uint64_t planes_size) {
    // The data starts with one big-endian u16 byte count per row (channel by channel, row by
    // row); the packed rows follow. Decoded bytes are appended to the planes one after another.
    const uint64_t counts_size = std::min<uint64_t>(uint64_t(rows) * 2, input_size);
    const uint8_t* in = input + counts_size;
    const uint8_t* const in_end = input + input_size;
    uint8_t* out = planes;
    uint8_t* const out_end = planes + planes_size;
    constexpr uint64_t kRun = 128; // the longest run a header can describe

    for (uint32_t row = 0; row < rows && in < in_end && out < out_end; ++row) {
        const uint64_t at = uint64_t(row) * 2;
        const uint32_t count = at + 1 < counts_size ? (input[at] << 8) | input[at + 1] : 0;
        const uint8_t* const row_end = in + std::min<uint64_t>(count, uint64_t(in_end - in));
        while (in < row_end && out < out_end) {
            const uint8_t header = *in++;
            if (header < 128) {
                const uint64_t n = uint64_t(header) + 1;
                const uint64_t have = std::min<uint64_t>(n, uint64_t(in_end - in));
                const uint64_t room = uint64_t(out_end - out);
                // Whole runs are copied with a fixed-size move where both sides have room for
                // the longest run; the bytes past the run are overwritten by the next ones.
                if (have == n && uint64_t(in_end - in) >= kRun && room >= kRun) {
                    std::memcpy(out, in, kRun);
                    out += n;
                } else {
                    const uint64_t take = std::min(have, room);
                    std::memcpy(out, in, take);
                    out += take;
                }
                in += have;
            } else if (header > 128) {
                if (in >= in_end) break;
                const uint64_t n = 257 - uint64_t(header);
                const uint8_t value = *in++;
                const uint64_t room = uint64_t(out_end - out);
                if (room >= kRun) {
                    std::memset(out, value, kRun);
                    out += n;
                } else {
                    const uint64_t take = std::min(n, room);
                    std::memset(out, value, take);
                    out += take;
                }
            }
            // 128 is no operation.
        }
    }
    // Bytes the input never reached stay zero, including those a last fixed-size move touched.
    std::memset(out, 0, std::min<uint64_t>(kRun, uint64_t(out_end - out)));
    return PSD_OK;
}

int psd_inflate(const uint8_t* input, uint64_t input_size, uint8_t* output, uint64_t output_size) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return PSD_ERR_ZIP;
    // zlib counts in 32 bits: feed both sides in slices.
    constexpr uint64_t kSlice = uint64_t(1) << 30;
    uint64_t in_left = input_size, out_left = output_size;
    z.next_in = const_cast<Bytef*>(input);
    z.next_out = output;
    int status = PSD_ERR_ZIP;
    for (;;) {
        if (z.avail_in == 0 && in_left > 0) {
            z.avail_in = uInt(std::min(in_left, kSlice));
            in_left -= z.avail_in;
        }
        if (z.avail_out == 0 && out_left > 0) {
            z.avail_out = uInt(std::min(out_left, kSlice));
            out_left -= z.avail_out;
        }
        const int result = inflate(&z, Z_PARTIAL_FLUSH);
        if (result == Z_STREAM_END) {
            status = PSD_OK;
            break;
        }
        if (result != Z_OK) break;
        if (z.avail_out == 0 && out_left == 0) {
            status = PSD_OK; // the planes are full
            break;
        }
    }
    inflateEnd(&z);
    return status;
}

void psd_undo_prediction(uint8_t* data, uint64_t size, uint64_t row_bytes, int depth) {
    if (row_bytes == 0) return;
    for (uint64_t start = 0; start < size; start += row_bytes) {
        uint8_t* row = data + start;
        const uint64_t n = std::min(row_bytes, size - start);
        if (depth == 16) {
            // Big-endian 16-bit samples, each the difference to the one before it.
            uint16_t previous = 0;
            for (uint64_t i = 0; i + 1 < n; i += 2) {
                previous = uint16_t(previous + ((row[i] << 8) | row[i + 1]));
                row[i] = uint8_t(previous >> 8);
                row[i + 1] = uint8_t(previous);
            }
        } else {
            for (uint64_t i = 1; i < n; ++i)
                row[i] = uint8_t(row[i] + row[i - 1]);
        }
    }
}

int psd_read_image_data(PsdContext* ctx) {
    const uint64_t plane_size = plane_bytes(ctx);
    const uint64_t total = plane_size * ctx->channel_count;
    const uint16_t method = psd_read_u16(ctx);
    if (method > 3) return PSD_ERR_COMPRESSION;
    // Refused before anything is allocated; the header has already bounded every size.
    if (!psd_has_conversion(ctx)) return PSD_ERR_NO_CONVERSION;

    ctx->plane_size = uint32_t(plane_size);
    ctx->planes = static_cast<uint8_t*>(psd_alloc_large(total));
    if (!ctx->planes) return PSD_ERR_MEMORY;
    ctx->planes_size = total;
    if (int status = decompress(ctx, method)) return status;

    const uint64_t merged_size = uint64_t(ctx->width) * ctx->height * 4;
    ctx->merged = static_cast<uint32_t*>(psd_alloc_large(merged_size));
    if (!ctx->merged) return PSD_ERR_MEMORY;
    psd_convert_planes(ctx);
    if (int status = copy_extra_planes(ctx)) return status;

    psd_free_large(ctx->planes, ctx->planes_size);
    ctx->planes = nullptr;
    ctx->planes_size = 0;
    if (ctx->layer_count > 0 || ctx->skipped_layer_count > 0) return PSD_OK;
    return psd_make_flat_layer(ctx);
}
