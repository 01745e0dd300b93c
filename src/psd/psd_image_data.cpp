// The image data section that ends the file: the merged picture as one plane per channel, raw,
// PackBits, ZIP or ZIP with prediction, turned into the merged 32-bit pixels.
//
// Most of the cost of a large picture is memory that is new to the process (the kernel clears
// every page first), so the common cases touch as little of it as they can: raw and PackBits rows
// are read straight from the file a channel at a time through small buffers and interleaved into
// pixels row by row, and the layer of a flat file borrows the merged pixels instead of copying
// them. Planes
// of the whole picture are made only where that cannot be done: ZIP data, extra planes for the
// alpha channel records, a truncated raw image, and PackBits rows that do not decode to exactly
// one row from exactly their byte count (the planes then take the decoded bytes one after another,
// as the format's readers have always done).
#include "psd_internal.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// The rest of the file from the first byte after the compression method: read from the file
// where there is one, else from the stream into memory.
struct Source {
    const PsdStream* file = nullptr;
    uint64_t file_offset = 0;
    const uint8_t* memory = nullptr;
    uint64_t size = 0;

    uint64_t read(uint64_t at, uint8_t* target, uint64_t n) const {
        if (at >= size) return 0;
        n = std::min(n, size - at);
        if (memory) {
            std::memcpy(target, memory + at, n);
            return n;
        }
        return psd_read_at(file, file_offset + at, target, n);
    }
};

// Reads one channel's rows in order through a small buffer.
struct Cursor {
    static constexpr uint32_t kCapacity = 256 * 1024; // at least two of the longest rows
    static constexpr uint32_t kSlack = 128;           // fixed-size run copies may read past a row
    const Source* source = nullptr;
    uint64_t next = 0; // source offset of the byte after the buffer's contents
    uint64_t end = 0;
    uint8_t* buffer = nullptr;
    uint32_t position = 0, length = 0;

    // Returns `n` contiguous bytes, or null when the channel's data ends first.
    const uint8_t* take(uint32_t n) {
        if (length - position < n) {
            std::memmove(buffer, buffer + position, length - position);
            length -= position;
            position = 0;
            const uint64_t want = std::min<uint64_t>(kCapacity - length, end - next);
            const uint64_t got = source->read(next, buffer + length, want);
            next += got;
            length += uint32_t(got);
            if (length < n) return nullptr;
        }
        const uint8_t* p = buffer + position;
        position += n;
        return p;
    }
};

uint64_t row_bytes(const PsdContext* ctx) {
    return psd_row_bytes(ctx->width, ctx->depth);
}

// Decodes one PackBits row of `count` bytes into `out`; the number of bytes it made, or -1 when
// the row does not take exactly `count` bytes for at most `size` output bytes. `in` and `out` may
// be read and written up to 128 bytes past their ends.
int64_t decode_row(const uint8_t* in, uint32_t count, uint8_t* out, uint64_t size) {
    uint32_t used = 0;
    uint64_t made = 0;
    while (used < count) {
        const uint8_t header = in[used++];
        if (header < 128) {
            const uint32_t n = uint32_t(header) + 1;
            if (used + n > count || made + n > size) return -1;
            std::memcpy(out + made, in + used, 128);
            used += n;
            made += n;
        } else if (header > 128) {
            const uint32_t n = 257 - uint32_t(header);
            if (used + 1 > count || made + n > size) return -1;
            std::memset(out + made, in[used++], 128);
            made += n;
        }
    }
    return int64_t(made);
}

struct RowWriter {
    PsdContext* ctx;
    PsdRowConverter converter;

    void write(uint32_t y, const uint8_t* const rows[]) {
        psd_convert_row(&converter, rows, ctx->merged + uint64_t(y) * ctx->width);
    }
};

// Raw or PackBits rows straight from the source into pixels. False when the planes are needed.
bool convert_from_source(PsdContext* ctx, const Source& source, uint16_t method, RowWriter& w) {
    const int planes = w.converter.planes;
    if (planes > ctx->channel_count || planes > 5) return false;
    // Extra planes go to the alpha channel records, which only the planes can fill.
    if (ctx->channel_count > planes || ctx->color_channel_count < ctx->channel_count) return false;
    const uint64_t rb = row_bytes(ctx);
    const uint32_t height = ctx->height;

    uint64_t start[6] = {};
    uint8_t* counts = nullptr;
    // Each row's byte count: 16 bits, PSB 32 (a count past what a cursor holds falls back to the
    // planes).
    const int count_size = psd_rle_count_size(ctx);
    auto row_count = [&](int c, uint32_t y) -> uint32_t {
        const uint8_t* p = counts + (uint64_t(c) * height + y) * uint64_t(count_size);
        return count_size == 4 ? psd_be32(p) : psd_be16(p);
    };
    if (method == 0) {
        if (source.size < rb * height * uint64_t(planes)) return false; // truncated
        for (int c = 0; c <= planes; ++c)
            start[c] = rb * height * uint64_t(c);
    } else {
        const uint64_t count_bytes = uint64_t(height) * ctx->channel_count * count_size;
        counts = static_cast<uint8_t*>(std::malloc(size_t(count_bytes)));
        if (!counts || source.read(0, counts, count_bytes) != count_bytes) {
            std::free(counts);
            return false;
        }
        start[0] = count_bytes;
        for (int c = 0; c < planes; ++c) {
            uint64_t sum = 0;
            for (uint32_t y = 0; y < height; ++y)
                sum += row_count(c, y);
            start[c + 1] = start[c] + sum;
        }
    }

    Cursor cursors[5];
    uint8_t* rows[5] = {};
    const uint64_t row_room = rb + Cursor::kSlack;
    uint8_t* memory = static_cast<uint8_t*>(
        std::malloc(size_t(planes) * (Cursor::kCapacity + Cursor::kSlack + row_room)));
    bool ok = memory != nullptr;
    for (int c = 0; ok && c < planes; ++c) {
        uint8_t* base = memory + uint64_t(c) * (Cursor::kCapacity + Cursor::kSlack + row_room);
        cursors[c] = {&source, start[c], std::min(start[c + 1], source.size), base, 0, 0};
        rows[c] = base + Cursor::kCapacity + Cursor::kSlack;
    }
    for (uint32_t y = 0; ok && y < height; ++y) {
        const uint8_t* row_pointers[5] = {};
        for (int c = 0; ok && c < planes; ++c) {
            if (method == 0) {
                row_pointers[c] = cursors[c].take(uint32_t(rb));
                ok = row_pointers[c] != nullptr;
                continue;
            }
            const uint32_t count = row_count(c, y);
            const uint8_t* packed = cursors[c].take(count);
            ok = packed && decode_row(packed, count, rows[c], rb) == int64_t(rb);
            row_pointers[c] = rows[c];
        }
        if (ok) w.write(y, row_pointers);
    }
    std::free(memory);
    std::free(counts);
    return ok;
}

// Extra planes (past the colour channels) belong, in order, to the alpha channel records.
int copy_extra_planes(PsdContext* ctx) {
    const uint64_t pixels = uint64_t(ctx->width) * ctx->height;
    const int first = std::max<int>(ctx->color_channel_count, 0);
    for (int i = first; i < ctx->channel_count; ++i) {
        const int index = i - ctx->color_channel_count;
        if (index >= ctx->alpha_channel_count) break;
        PsdAlphaChannel& alpha = ctx->alpha_channels[index];
        if (!alpha.pixels) {
            void* block = nullptr;
            if (int status = psd_alloc_held(ctx, pixels, &block)) return status;
            alpha.pixels = static_cast<uint8_t*>(block);
        }
        const uint8_t* plane = ctx->planes + uint64_t(i) * ctx->plane_size;
        if (ctx->depth == 8) {
            std::memcpy(alpha.pixels, plane, pixels);
        } else if (ctx->depth == 16) {
            for (uint64_t p = 0; p < pixels; ++p)
                alpha.pixels[p] = plane[2 * p];
        } else {
            // One bit per pixel, rows padded to whole bytes: a set bit is a selected pixel.
            const uint64_t rb = row_bytes(ctx);
            for (uint32_t y = 0; y < ctx->height; ++y) {
                const uint8_t* row = plane + y * rb;
                uint8_t* out = alpha.pixels + uint64_t(y) * ctx->width;
                for (uint32_t x = 0; x < ctx->width; ++x)
                    out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
            }
        }
    }
    return PSD_OK;
}

// The general way: every plane of the whole picture decoded into the plane scratch buffer.
int convert_through_planes(PsdContext* ctx, const Source& source, uint16_t method, RowWriter& w) {
    const uint64_t plane_size = row_bytes(ctx) * ctx->height;
    const uint64_t total = plane_size * ctx->channel_count;
    ctx->plane_size = plane_size;
    psd_free_held(ctx, ctx->planes, ctx->planes_size); // nothing is left from the layers
    ctx->planes = nullptr;
    ctx->planes_size = 0;
    void* block = nullptr;
    if (int status = psd_alloc_held(ctx, total, &block)) return status;
    ctx->planes = static_cast<uint8_t*>(block);
    ctx->planes_size = total;

    int status = PSD_OK;
    if (method == 0) {
        // A truncated raw image is no error: the planes it does not reach stay zero.
        source.read(0, ctx->planes, total);
    } else {
        // Compressed data is decoded from memory in one piece.
        const uint8_t* input = source.memory;
        uint8_t* copy = nullptr;
        if (!input && source.size > 0) {
            void* block = nullptr;
            if (int status = psd_alloc_held(ctx, source.size, &block)) return status;
            copy = static_cast<uint8_t*>(block);
            source.read(0, copy, source.size);
            input = copy;
        }
        if (method == 1) {
            psd_decode_rle(input, source.size, uint32_t(ctx->channel_count) * ctx->height,
                           ctx->planes, total, psd_rle_count_size(ctx));
        } else {
            status = psd_inflate(input, source.size, ctx->planes, total);
            if (status == PSD_OK && method == 3)
                psd_undo_prediction(ctx->planes, total, row_bytes(ctx), ctx->depth);
        }
        psd_free_held(ctx, copy, source.size);
    }
    if (status != PSD_OK) return status;

    const uint64_t rb = row_bytes(ctx);
    const int planes = std::min<int>(w.converter.planes, ctx->channel_count);
    for (uint32_t y = 0; y < ctx->height; ++y) {
        const uint8_t* rows[5] = {};
        for (int c = 0; c < planes && c < 5; ++c)
            rows[c] = ctx->planes + uint64_t(c) * plane_size + uint64_t(y) * rb;
        w.write(y, rows);
    }
    status = copy_extra_planes(ctx);
    psd_free_held(ctx, ctx->planes, ctx->planes_size);
    ctx->planes = nullptr;
    ctx->planes_size = 0;
    return status;
}

} // namespace

int psd_read_image_data(PsdContext* ctx) {
    const uint16_t method = psd_read_u16(ctx);
    if (method > 3) return PSD_ERR_COMPRESSION;
    // Refused before anything is allocated; the header has already bounded every size.
    if (!psd_has_conversion(ctx)) return PSD_ERR_NO_CONVERSION;
    const uint64_t rest_size = psd_bytes_left(ctx);
    const uint64_t planes_size = row_bytes(ctx) * ctx->height * ctx->channel_count;
    // Held: the merged pixels at 4 bytes each, and the planes on their way there.
    const uint64_t held = uint64_t(ctx->width) * ctx->height * 4 + planes_size;
    if (psd_bomb(held, planes_size, psd_best_output(method, rest_size))) return PSD_ERR_SHORT;

    // The rest of the file, read from the file itself where the stream has one.
    Source source;
    uint8_t* rest = nullptr;
    PsdStream& stream = ctx->stream;
    if (stream.file) {
        source.file = &stream;
        source.file_offset = stream.consumed;
        source.size = rest_size;
        psd_skip(ctx, int64_t(rest_size));
    } else if (rest_size > 0) {
        void* block = nullptr;
        if (int status = psd_alloc_held(ctx, rest_size, &block)) return status;
        rest = static_cast<uint8_t*>(block);
        source.memory = rest;
        source.size = psd_read(ctx, rest, rest_size);
    }

    RowWriter writer{ctx, {}};
    psd_row_converter_init(&writer.converter, ctx);
    void* merged = nullptr;
    int status = psd_alloc_held(ctx, psd_merged_block_size(ctx), &merged);
    ctx->merged = static_cast<uint32_t*>(merged);
    if (status == PSD_OK && (method > 1 || !convert_from_source(ctx, source, method, writer)))
        status = convert_through_planes(ctx, source, method, writer);
    psd_free_held(ctx, rest, rest_size);
    if (status != PSD_OK) return status;
    const bool flat = ctx->layer_count == 0 && ctx->skipped_layer_count == 0;
    return flat ? psd_make_flat_layer(ctx) : PSD_OK;
}
