// Deferred layer channels: noted at load, decoded a band of rows at a time by the compositor.
#include "psd_layer_bands.h"

#include "Files.h"
#include "psd_layer_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Bytes read from the file at once for one plane: a few bands of a wide layer, so a band costs
// no system call of its own.
constexpr uint64_t kReadAhead = 64 * 1024;
// The longest PackBits run: a literal run may read this far past its row's count, and a run is
// moved with a fixed-size copy of this many bytes where both sides have room.
constexpr uint64_t kRun = 128;

// A block of `bytes` held against the budget in place of `*block` (of `*capacity` bytes), its
// first `keep` bytes kept.
int regrow(PsdContext* ctx, uint8_t** block, uint64_t* capacity, uint64_t bytes, uint64_t keep) {
    void* grown = nullptr;
    if (int status = psd_alloc_held(ctx, bytes, &grown)) return status;
    if (keep) std::memcpy(grown, *block, keep);
    psd_free_held(ctx, *block, *capacity);
    *block = static_cast<uint8_t*>(grown);
    *capacity = bytes;
    return PSD_OK;
}

void drop(PsdContext* ctx, uint8_t** block, uint64_t* capacity) {
    psd_free_held(ctx, *block, *capacity);
    *block = nullptr;
    *capacity = 0;
}

// The read-ahead and pending bytes, given back once the plane's last band is drawn.
void drop_buffers(PsdContext* ctx, PsdBandPlane& plane) {
    drop(ctx, &plane.ahead, &plane.ahead_capacity);
    plane.ahead_at = plane.ahead_fill = 0;
    drop(ctx, &plane.pending, &plane.pending_capacity);
    // A later composite starts from the first row.
    plane.pending_from = plane.pending_fill = 0;
    plane.next_row = 0;
    plane.in = plane.counts_size;
}

// Data bytes from..from+size of the plane, read ahead from the file; null with *status set when
// they cannot be had (PSD_ERR_SHORT: the file no longer holds them).
const uint8_t* fetch(PsdContext* ctx, PsdBandPlane& plane, uint64_t from, uint64_t size,
                     int* status) {
    if (from >= plane.ahead_at && from - plane.ahead_at <= plane.ahead_fill &&
        size <= plane.ahead_fill - (from - plane.ahead_at))
        return plane.ahead + (from - plane.ahead_at);
    const uint64_t want = std::max(size, std::min(kReadAhead, plane.size - from));
    if (want > plane.ahead_capacity) {
        plane.ahead_fill = 0;
        if ((*status = regrow(ctx, &plane.ahead, &plane.ahead_capacity, want, 0))) return nullptr;
    }
    plane.ahead_at = from;
    plane.ahead_fill = ctx->stream.file->readAt(plane.data + from, plane.ahead, size_t(want));
    if (plane.ahead_fill >= size) return plane.ahead;
    *status = PSD_ERR_SHORT;
    return nullptr;
}

// Room in the pending bytes for `bytes` more (and a fixed-size run past them).
int make_room(PsdContext* ctx, PsdBandPlane& plane, uint64_t bytes) {
    const uint64_t need = plane.pending_fill + bytes + kRun;
    if (need <= plane.pending_capacity) return PSD_OK;
    return regrow(ctx, &plane.pending, &plane.pending_capacity,
                  std::max(need, plane.pending_capacity * 2), plane.pending_fill);
}

// The plane's next PackBits row appended to its pending bytes, as the whole-plane decoder reads
// it: its count bytes from where the row before ended (a literal run may go past them), the data
// as a whole the only limit, and nothing past the plane's `plane_size` bytes.
int decode_row(PsdContext* ctx, PsdBandPlane& plane, int count_size, uint64_t plane_size) {
    const uint64_t at = uint64_t(plane.next_row++) * count_size;
    uint64_t count = 0;
    if (at + count_size <= plane.counts_size)
        count = count_size == 4 ? psd_be32(plane.counts + at) : psd_be16(plane.counts + at);
    const uint64_t window = std::min(plane.size - plane.in, count + kRun);
    int status = PSD_OK;
    const uint8_t* const start = fetch(ctx, plane, plane.in, window, &status);
    if (!start) return status;
    const uint8_t* in = start;
    const uint8_t* const in_end = start + window; // the data's end, or past what the row reads
    const uint64_t reads = std::min(count, window);
    const uint8_t* const row_end = in + reads;
    // Each run but a last literal one takes two of the row's bytes or more, and makes 128 bytes
    // at most; nothing goes past the plane.
    const uint64_t room = plane_size - (plane.pending_from + plane.pending_fill);
    const uint64_t most = std::min(room, (reads / 2 + 1) * kRun);
    if ((status = make_room(ctx, plane, most))) return status;
    uint8_t* out = plane.pending + plane.pending_fill;
    uint8_t* const out_end = out + most;
    while (in < row_end && out < out_end) {
        const uint8_t header = *in++;
        if (header < 128) {
            const uint64_t n = uint64_t(header) + 1;
            const uint64_t have = std::min<uint64_t>(n, uint64_t(in_end - in));
            const uint64_t take = std::min<uint64_t>(have, uint64_t(out_end - out));
            if (have == n && uint64_t(in_end - in) >= kRun)
                std::memcpy(out, in, kRun); // make_room left a run's room past out_end
            else
                std::memcpy(out, in, take);
            out += take;
            in += have;
        } else if (header > 128) {
            if (in >= in_end) break;
            const uint64_t take =
                std::min<uint64_t>(257 - uint64_t(header), uint64_t(out_end - out));
            std::memset(out, *in++, take);
            out += take;
        }
        // 128 is no operation.
    }
    plane.in += uint64_t(in - start);
    plane.pending_fill = uint64_t(out - plane.pending);
    return PSD_OK;
}

// Plane bytes lo..hi of a PackBits plane at *band: in its pending bytes where they hold them all,
// else copied into `into`, zero where the data never reaches.
int packed_band(PsdContext* ctx, PsdBandPlane& plane, uint32_t rows, int count_size,
                uint64_t plane_size, uint64_t lo, uint64_t hi, uint8_t* into,
                const uint8_t** band) {
    if (!plane.counts && rows) {
        // The row counts, as far as the data holds them.
        const uint64_t bytes = std::min(uint64_t(rows) * count_size, plane.size);
        uint64_t capacity = 0;
        if (int status = regrow(ctx, &plane.counts, &capacity, bytes, 0)) return status;
        plane.counts_size = bytes;
        if (ctx->stream.file->readAt(plane.data, plane.counts, size_t(bytes)) != bytes)
            return PSD_ERR_SHORT;
        plane.in = bytes;
    }
    if (lo < plane.pending_from) { // rows drawn before: from the start
        plane.next_row = 0;
        plane.in = plane.counts_size;
        plane.pending_from = plane.pending_fill = 0;
    }
    // What lies before lo was drawn or skipped; a row that ran past the last band left the rest.
    const uint64_t kept =
        std::min(std::max(lo, plane.pending_from), plane.pending_from + plane.pending_fill);
    const uint64_t dropped = kept - plane.pending_from;
    if (dropped) std::memmove(plane.pending, plane.pending + dropped, plane.pending_fill - dropped);
    plane.pending_fill -= dropped;
    plane.pending_from = kept;
    while (plane.pending_from + plane.pending_fill < hi && plane.next_row < rows &&
           plane.in < plane.size && plane.pending_from + plane.pending_fill < plane_size)
        if (int status = decode_row(ctx, plane, count_size, plane_size)) return status;
    const uint64_t end = plane.pending_from + plane.pending_fill;
    if (plane.pending_from == lo && end >= hi) {
        *band = plane.pending;
        return PSD_OK;
    }
    const uint64_t from = std::max(lo, plane.pending_from);
    const uint64_t to = std::min(hi, end);
    uint64_t copied = 0;
    if (from < to) {
        std::memset(into, 0, from - lo);
        std::memcpy(into + (from - lo), plane.pending + (from - plane.pending_from), to - from);
        copied = to - lo;
    }
    std::memset(into + copied, 0, (hi - lo) - copied);
    *band = into;
    return PSD_OK;
}

void release(PsdContext* ctx, PsdLayerBands& bands) {
    for (PsdBandPlane& plane : bands.plane) {
        drop_buffers(ctx, plane);
        drop(ctx, &plane.counts, &plane.counts_size);
    }
}

} // namespace

int psd_defer_layer_bands(PsdContext* ctx, PsdLayerRecord* layer, uint64_t offset,
                          int channels[5]) {
    for (int p = 0; p < 5; ++p)
        channels[p] = -1;
    if (!ctx->stream.file || layer->width <= 0 || layer->height <= 0) return PSD_OK;
    PsdLayerBands bands{};
    int used[5];
    bands.planes = psd_layer_converter(ctx, layer, uint32_t(layer->width), &bands.converter, used);
    bands.rows = uint32_t(layer->height);
    bands.row_bytes = psd_row_bytes(uint32_t(layer->width), ctx->depth);
    for (int p = 0; p < bands.planes; ++p) {
        if (used[p] < 0 || layer->channels[used[p]].length <= 2) continue; // a zero plane
        uint64_t begin = 0; // the channel's place in the layer's data
        for (int i = 0; i < used[p]; ++i)
            begin += layer->channels[i].length;
        uint8_t method[2];
        if (ctx->stream.file->readAt(offset + begin, method, 2) != 2) return PSD_OK;
        PsdBandPlane& plane = bands.plane[p];
        plane.present = true;
        plane.method = psd_be16(method);
        plane.data = offset + begin + 2;
        plane.size = layer->channels[used[p]].length - 2;
        if (plane.method > 1) return PSD_OK; // ZIP: decoded whole
    }
    auto* kept = static_cast<PsdLayerBands*>(std::malloc(sizeof(PsdLayerBands)));
    if (!kept) return PSD_ERR_MEMORY;
    *kept = bands;
    layer->bands = kept;
    for (int p = 0; p < bands.planes; ++p)
        channels[p] = used[p];
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
    const uint64_t plane_size = uint64_t(bands.rows) * bands.row_bytes;
    const uint64_t lo = uint64_t(first) * bands.row_bytes, hi = lo + band_bytes;
    const uint8_t* band[5] = {};
    for (int p = 0; p < bands.planes; ++p) {
        PsdBandPlane& plane = bands.plane[p];
        if (!plane.present) continue;
        uint8_t* into = scratch->planes + uint64_t(p) * band_bytes;
        band[p] = into;
        int status = PSD_OK;
        if (plane.method == 1) {
            status = packed_band(ctx, plane, bands.rows, psd_rle_count_size(ctx), plane_size, lo,
                                 hi, into, &band[p]);
        } else {
            // Raw rows lie where their number puts them; past the data they are zero.
            const uint64_t have = plane.size > lo ? std::min(hi, plane.size) - lo : 0;
            const uint8_t* rows = have ? fetch(ctx, plane, lo, have, &status) : nullptr;
            if (rows) std::memcpy(into, rows, have);
            std::memset(into + have, 0, band_bytes - have);
        }
        if (status) return status;
    }
    for (uint32_t y = 0; y < count; ++y) {
        const uint8_t* rows[5] = {};
        for (int p = 0; p < bands.planes; ++p)
            rows[p] = band[p] ? band[p] + uint64_t(y) * bands.row_bytes : psd_zero_row;
        psd_convert_row(&bands.converter, rows, out + uint64_t(y) * bands.converter.width);
    }
    if (first + count == bands.rows) // the layer's last band: its buffers go back
        for (PsdBandPlane& plane : bands.plane)
            drop_buffers(ctx, plane);
    return PSD_OK;
}
