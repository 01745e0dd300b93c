// The buffered big-endian input stream every section reader reads through. Small reads come from
// a 4096-byte buffer; reads and skips of more than 4096 bytes bypass it.
#include "psd_internal.h"

#include "Files.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

bool ensure_buffer(PsdStream& s) {
    if (!s.buffer) s.buffer = static_cast<uint8_t*>(std::malloc(kPsdReadBufferSize));
    return s.buffer != nullptr;
}

// Reads on from the stream's offset, past the buffer.
uint64_t read_on(PsdStream& s, uint8_t* out, uint64_t count) {
    const uint64_t got = psd_read_at(&s, s.offset, out, count);
    s.offset += got;
    return got;
}

uint32_t refill(PsdStream& s) {
    s.fill = uint32_t(read_on(s, s.buffer, kPsdReadBufferSize));
    s.position = 0;
    return s.fill;
}

} // namespace

uint64_t psd_read_at(const PsdStream* s, uint64_t offset, uint8_t* destination, uint64_t count) {
    const uint64_t size = s->file_size > 0 ? uint64_t(s->file_size) : 0;
    if (offset >= size) return 0;
    count = std::min(count, size - offset);
    if (s->memory) {
        std::memcpy(destination, s->memory + offset, count);
        return count;
    }
    return s->file ? s->file->readAt(offset, destination, std::size_t(count)) : 0;
}

uint64_t psd_read(PsdContext* ctx, void* destination, uint64_t count) {
    if (!ctx || !destination) return 0;
    PsdStream& s = ctx->stream;
    if (!ensure_buffer(s)) return 0;
    auto* out = static_cast<uint8_t*>(destination);
    const uint64_t asked = count;
    uint64_t total = 0;

    const uint32_t avail = s.fill - s.position;
    if (avail >= 1 && avail <= count) {
        std::memcpy(out, s.buffer + s.position, avail);
        out += avail;
        count -= avail;
        total += avail;
        s.position = s.fill;
    }
    if (count <= kPsdReadBufferSize) {
        if (s.position == s.fill) {
            if (count > 0) {
                const uint32_t take = uint32_t(std::min<uint64_t>(count, refill(s)));
                std::memcpy(out, s.buffer, take);
                s.position = take;
                total += take;
            }
        } else {
            std::memcpy(out, s.buffer + s.position, count);
            s.position += uint32_t(count);
            total += count;
        }
    } else {
        total += read_on(s, out, count);
    }
    if (total < asked) s.short_read = 1;
    s.consumed += total;
    return total;
}

int64_t psd_skip(PsdContext* ctx, int64_t count) {
    if (!ctx || count < 1) return 0;
    PsdStream& s = ctx->stream;
    if (!ensure_buffer(s)) return 0;
    uint64_t n = uint64_t(count);
    uint64_t total = 0;

    const uint32_t avail = s.fill - s.position;
    if (avail >= 1 && avail <= n) {
        n -= avail;
        total += avail;
        s.position = s.fill;
    }
    if (n > kPsdReadBufferSize) {
        // Counted in full whether or not the file is that long: readers past the end then get
        // zeros, and psd_bytes_left reports nothing left.
        s.offset += n;
        total += n;
    } else if (n > 0) {
        if (s.position == s.fill) {
            const uint32_t take = uint32_t(std::min<uint64_t>(n, refill(s)));
            s.position = take;
            total += take;
            if (take < n) s.short_read = 1;
        } else {
            s.position += uint32_t(n);
            total += n;
        }
    }
    s.consumed += total;
    return int64_t(total);
}

void psd_seek(PsdContext* ctx, uint64_t offset) {
    PsdStream& s = ctx->stream;
    if (offset == s.consumed) return;
    // While the buffer is not used up it holds the file's bytes from (consumed - position) on (a
    // read or skip past it happens only once it is): a target inside it moves only the position.
    const uint64_t buffer_start = s.consumed - s.position;
    if (s.position < s.fill && offset >= buffer_start && offset <= buffer_start + s.fill) {
        s.position = uint32_t(offset - buffer_start);
    } else {
        s.offset = offset;
        s.fill = s.position = 0;
    }
    s.consumed = offset;
}

uint64_t psd_bytes_left(const PsdContext* ctx) {
    if (!ctx || ctx->stream.file_size <= 0) return 0;
    const uint64_t size = uint64_t(ctx->stream.file_size);
    return ctx->stream.consumed < size ? size - ctx->stream.consumed : 0;
}

uint8_t psd_read_u8(PsdContext* ctx) {
    uint8_t b = 0;
    return psd_read(ctx, &b, 1) == 1 ? b : 0;
}

uint8_t psd_read_bool(PsdContext* ctx) {
    return psd_read_u8(ctx) != 0 ? 1 : 0;
}

uint16_t psd_read_u16(PsdContext* ctx) {
    uint8_t b[2];
    return psd_read(ctx, b, 2) == 2 ? psd_be16(b) : 0;
}

uint32_t psd_read_u32(PsdContext* ctx) {
    uint8_t b[4];
    return psd_read(ctx, b, 4) == 4 ? psd_be32(b) : 0;
}

float psd_read_f32(PsdContext* ctx) {
    uint8_t b[4];
    return psd_read(ctx, b, 4) == 4 ? psd_be_f32(b) : 0.0f;
}

double psd_read_f64(PsdContext* ctx) {
    uint8_t b[8];
    return psd_read(ctx, b, 8) == 8 ? psd_be_f64(b) : 0.0;
}
