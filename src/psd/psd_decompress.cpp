// Decompression of channel data, shared by the merged image, layer channels and patterns:
// PackBits with its row byte counts, ZIP, and ZIP with prediction.
#include "psd_internal.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

// PackBits rows appended to `planes` as far as the data reaches; the bytes written from the
// start. A last fixed-size move may leave up to 127 bytes of its own after them.
uint64_t rle_prefix(const uint8_t* input, uint64_t input_size, uint32_t rows, uint8_t* planes,
                    uint64_t planes_size, int count_size) {
    // The data starts with one big-endian byte count per row (channel by channel, row by row),
    // 16 bits wide (PSB: 32); the packed rows follow. Decoded bytes are appended to the planes one
    // after another.
    const uint64_t counts_size = std::min<uint64_t>(uint64_t(rows) * count_size, input_size);
    const uint8_t* in = input + counts_size;
    const uint8_t* const in_end = input + input_size;
    uint8_t* out = planes;
    uint8_t* const out_end = planes + planes_size;
    constexpr uint64_t kRun = 128; // the longest run a header can describe

    for (uint32_t row = 0; row < rows && in < in_end && out < out_end; ++row) {
        const uint64_t at = uint64_t(row) * count_size;
        uint64_t count = 0;
        if (at + count_size <= counts_size)
            count = count_size == 4 ? psd_be32(input + at) : psd_be16(input + at);
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
    return uint64_t(out - planes);
}

} // namespace

int psd_decode_rle(const uint8_t* input, uint64_t input_size, uint32_t rows, uint8_t* planes,
                   uint64_t planes_size, int count_size) {
    const uint64_t produced = rle_prefix(input, input_size, rows, planes, planes_size, count_size);
    // Bytes the input never reached are zero, including those a last fixed-size move touched.
    std::memset(planes + produced, 0, planes_size - produced);
    return PSD_OK;
}

int psd_inflate(const uint8_t* input, uint64_t input_size, uint8_t* output, uint64_t output_size,
                uint64_t* produced) {
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
    if (produced) *produced = output_size - out_left - z.avail_out;
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
                previous = uint16_t(previous + psd_be16(row + i));
                row[i] = uint8_t(previous >> 8);
                row[i + 1] = uint8_t(previous);
            }
        } else {
            for (uint64_t i = 1; i < n; ++i)
                row[i] = uint8_t(row[i] + row[i - 1]);
        }
    }
}

int psd_decode_plane_rows(uint16_t method, const uint8_t* data, uint64_t size, uint8_t* plane,
                          uint32_t rows, uint64_t row_bytes, int depth, uint32_t* rows_reached,
                          int count_size) {
    const uint64_t plane_size = uint64_t(rows) * row_bytes;
    uint64_t produced = 0;
    switch (method) {
    case 0:
        // A raw plane shorter than its size is zero after its data, never read past it.
        produced = std::min(size, plane_size);
        if (produced > 0) std::memcpy(plane, data, produced);
        break;
    case 1:
        produced = rle_prefix(data, size, rows, plane, plane_size, count_size);
        break;
    case 2:
    case 3:
        if (int status = psd_inflate(data, size, plane, plane_size, &produced)) return status;
        break;
    default:
        return PSD_ERR_COMPRESSION;
    }
    const uint64_t reached = row_bytes ? (produced + row_bytes - 1) / row_bytes : 0;
    // The last row reached ends in zeros where the data stopped short of it.
    std::memset(plane + produced, 0, reached * row_bytes - produced);
    if (method == 3) psd_undo_prediction(plane, reached * row_bytes, row_bytes, depth);
    *rows_reached = uint32_t(reached);
    return PSD_OK;
}

int psd_decode_plane(uint16_t method, const uint8_t* data, uint64_t size, uint8_t* plane,
                     uint32_t rows, uint64_t row_bytes, int depth, int count_size) {
    uint32_t reached = 0;
    if (int status = psd_decode_plane_rows(method, data, size, plane, rows, row_bytes, depth,
                                           &reached, count_size))
        return status;
    // Rows the data never reached are zero (and so they stay when prediction is undone).
    const uint64_t done = uint64_t(reached) * row_bytes;
    std::memset(plane + done, 0, uint64_t(rows) * row_bytes - done);
    return PSD_OK;
}
