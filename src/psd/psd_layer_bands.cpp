// Deferred layer channels: found at load, decoded a band of rows at a time by the compositor.
#include "psd_layer_bands.h"

#include "Files.h"
#include "psd_layer_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Bytes read from the file at once for one plane: a few bands of a wide layer, so a band costs
// no system call of its own.
constexpr uint64_t kReadAhead = 256 * 1024;

// Offsets of the rows of PackBits data (its row counts first) into `starts` (rows + 1 entries,
// from the first row's byte on), when every row unpacks to exactly `row_bytes` and ends exactly
// at its count. False for anything else: the whole-plane decoder lets such rows run on into the
// next, which a row found on its own would not.
bool whole_rows(const uint8_t* data, uint64_t size, uint32_t rows, uint64_t row_bytes,
                int count_size, uint64_t* starts) {
    const uint64_t counts = uint64_t(rows) * count_size;
    if (counts > size) return false;
    uint64_t at = counts;
    for (uint32_t row = 0; row < rows; ++row) {
        const uint8_t* c = data + uint64_t(row) * count_size;
        const uint64_t count = count_size == 4 ? psd_be32(c) : psd_be16(c);
        if (count > size - at) return false;
        starts[row] = at - counts;
        const uint64_t end = at + count;
        uint64_t produced = 0;
        while (at < end) {
            const uint8_t header = data[at++];
            if (header < 128) {
                produced += uint64_t(header) + 1;
                at += uint64_t(header) + 1;
            } else if (header > 128) {
                produced += 257 - uint64_t(header);
                ++at;
            }
            if (produced > row_bytes) return false;
        }
        if (at != end || produced != row_bytes) return false;
    }
    starts[rows] = at - counts;
    return true;
}

// PackBits runs of whole rows into `out`, which they fill exactly when the file is as the load
// found it; what they do not reach is zero. As in the whole-plane decoder, a run is moved with a
// fixed-size copy of the longest run where both sides have room for it (the bytes past the run
// are overwritten by the next ones).
void unpack(const uint8_t* in, uint64_t size, uint8_t* out, uint64_t out_size) {
    constexpr uint64_t kRun = 128;
    const uint8_t* const end = in + size;
    uint64_t at = 0;
    while (in < end && at < out_size) {
        const uint8_t header = *in++;
        if (header < 128) {
            const uint64_t n = uint64_t(header) + 1;
            if (uint64_t(end - in) >= kRun && out_size - at >= kRun) {
                std::memcpy(out + at, in, kRun);
                in += n, at += n;
                continue;
            }
            const uint64_t take = std::min<uint64_t>({n, uint64_t(end - in), out_size - at});
            std::memcpy(out + at, in, take);
            in += std::min<uint64_t>(n, uint64_t(end - in));
            at += take;
        } else if (header > 128 && in < end) {
            const uint64_t n = std::min<uint64_t>(257 - uint64_t(header), out_size - at);
            std::memset(out + at, *in++, n);
            at += n;
        }
    }
    std::memset(out + at, 0, out_size - at);
}

void drop_ahead(PsdContext* ctx, PsdBandPlane& plane) {
    psd_free_held(ctx, plane.ahead, plane.ahead_capacity);
    plane.ahead = nullptr;
    plane.ahead_at = plane.ahead_fill = plane.ahead_capacity = 0;
}

// `size` bytes of the plane's rows from offset `from` on, read ahead from the file; null when the
// file no longer holds them (or, with `*status` set, when memory runs out).
const uint8_t* fetch(PsdContext* ctx, PsdBandPlane& plane, uint64_t from, uint64_t size,
                     int* status) {
    if (from >= plane.ahead_at && from - plane.ahead_at <= plane.ahead_fill &&
        size <= plane.ahead_fill - (from - plane.ahead_at))
        return plane.ahead + (from - plane.ahead_at);
    if (from > plane.size || size > plane.size - from) return nullptr;
    const uint64_t want = std::max(size, std::min(kReadAhead, plane.size - from));
    if (want > plane.ahead_capacity) {
        drop_ahead(ctx, plane);
        *status = psd_alloc_held(ctx, want, reinterpret_cast<void**>(&plane.ahead));
        if (*status) return nullptr;
        plane.ahead_capacity = want;
    }
    plane.ahead_at = from;
    plane.ahead_fill = ctx->stream.file->readAt(plane.data + from, plane.ahead, size_t(want));
    return plane.ahead_fill >= size ? plane.ahead : nullptr;
}

// Everything the record owns, its held bytes given back.
void release(PsdContext* ctx, PsdLayerBands& bands) {
    for (PsdBandPlane& plane : bands.plane) {
        drop_ahead(ctx, plane);
        std::free(plane.row_start);
        plane.row_start = nullptr;
    }
    if (ctx) psd_release(ctx, bands.held);
    bands.held = 0;
}

} // namespace

int psd_defer_layer_bands(PsdContext* ctx, PsdLayerRecord* layer, const uint8_t* data,
                          uint64_t offset) {
    if (!ctx->stream.file || layer->width <= 0 || layer->height <= 0) return PSD_OK;
    const uint32_t width = uint32_t(layer->width), rows = uint32_t(layer->height);
    PsdLayerBands bands{};
    int channels[5];
    bands.planes = psd_layer_converter(ctx, layer, width, &bands.converter, channels);
    bands.rows = rows;
    bands.row_bytes = psd_row_bytes(width, ctx->depth);
    const uint64_t plane_size = psd_plane_bytes(width, rows, ctx->depth);
    const uint64_t index_bytes = (uint64_t(rows) + 1) * sizeof(uint64_t);
    const int count_size = psd_rle_count_size(ctx);

    for (int p = 0; p < bands.planes; ++p) {
        const int channel = channels[p];
        if (channel < 0 || layer->channels[channel].length <= 2) continue; // a zero plane
        // The channel's data within `data` (the lengths were checked against it).
        uint64_t begin = 0;
        for (int i = 0; i < channel; ++i)
            begin += layer->channels[i].length;
        const uint8_t* at = data + begin;
        const uint64_t size = layer->channels[channel].length - 2;
        PsdBandPlane& plane = bands.plane[p];
        plane.present = true;
        plane.method = psd_be16(at);
        plane.data = offset + begin + 2;
        plane.size = size;
        if (plane.method == 0 && size >= plane_size) continue;
        bool whole = false;
        if (plane.method == 1) {
            if (int status = psd_hold(ctx, index_bytes)) {
                release(ctx, bands);
                return status;
            }
            bands.held += index_bytes;
            plane.row_start = static_cast<uint64_t*>(std::malloc(index_bytes));
            whole = plane.row_start &&
                    whole_rows(at + 2, size, rows, bands.row_bytes, count_size, plane.row_start);
            plane.data += uint64_t(rows) * uint64_t(count_size);
            plane.size -= uint64_t(rows) * uint64_t(count_size);
        }
        if (!whole) { // decoded whole as before
            release(ctx, bands);
            return PSD_OK;
        }
    }
    auto* kept = static_cast<PsdLayerBands*>(std::malloc(sizeof(PsdLayerBands)));
    if (!kept) {
        release(ctx, bands);
        return PSD_ERR_MEMORY;
    }
    *kept = bands;
    layer->bands = kept;
    return PSD_OK;
}

void psd_free_layer_bands(PsdContext* ctx, PsdLayerRecord* layer) {
    if (!layer->bands) return;
    release(ctx, *layer->bands);
    std::free(layer->bands);
    layer->bands = nullptr;
}

PsdBandScratch::~PsdBandScratch() {
    std::free(planes);
}

int psd_read_layer_band(PsdContext* ctx, const PsdLayerRecord* layer, uint32_t first,
                        uint32_t count, PsdBandScratch* scratch, uint32_t* out) {
    PsdLayerBands& bands = *layer->bands;
    if (first >= bands.rows || count > bands.rows - first) return PSD_ERR_SHORT;
    const uint64_t band_bytes = uint64_t(count) * bands.row_bytes;
    const uint64_t need = band_bytes * uint64_t(bands.planes);
    if (need > scratch->capacity) {
        auto* grown = static_cast<uint8_t*>(std::realloc(scratch->planes, need));
        if (!grown) return PSD_ERR_MEMORY;
        scratch->planes = grown;
        scratch->capacity = need;
    }
    for (int p = 0; p < bands.planes; ++p) {
        PsdBandPlane& plane = bands.plane[p];
        if (!plane.present) continue;
        uint8_t* into = scratch->planes + uint64_t(p) * band_bytes;
        int status = PSD_OK;
        if (plane.method == 0) {
            const uint8_t* rows =
                fetch(ctx, plane, uint64_t(first) * bands.row_bytes, band_bytes, &status);
            if (!rows) return status ? status : PSD_ERR_SHORT;
            std::memcpy(into, rows, band_bytes);
        } else {
            const uint64_t from = plane.row_start[first];
            const uint64_t size = plane.row_start[first + count] - from;
            const uint8_t* packed = fetch(ctx, plane, from, size, &status);
            if (!packed) return status ? status : PSD_ERR_SHORT;
            unpack(packed, size, into, band_bytes);
        }
        if (first + count == bands.rows) drop_ahead(ctx, plane);
    }
    for (uint32_t y = 0; y < count; ++y) {
        const uint8_t* rows[5] = {};
        for (int p = 0; p < bands.planes; ++p)
            rows[p] = bands.plane[p].present ? scratch->planes + uint64_t(p) * band_bytes +
                                                   uint64_t(y) * bands.row_bytes
                                             : psd_zero_row;
        psd_convert_row(&bands.converter, rows, out + uint64_t(y) * bands.converter.width);
    }
    return PSD_OK;
}
