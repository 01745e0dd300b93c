// Helpers for the PSD reader's tests: a field-by-field file builder, loading from memory or from
// the generated test files, and the sample pattern the Python generator writes.
#pragma once

#include "TestSupport.h"
#include "psd_internal.h"

#include <memory>
#include <zlib.h>

namespace psdtest {

using Bytes = std::vector<uint8_t>;

inline std::string dataPath(const std::string& name) {
    return std::string(VISTREL_TESTDATA) + "/" + name;
}

using vistrel::test::readBytes;

struct Free {
    void operator()(PsdContext* ctx) const { psd_free(ctx); }
};
using Psd = std::unique_ptr<PsdContext, Free>;

struct Loaded {
    int status;
    Psd psd;
};

inline Loaded load(const Bytes& bytes) {
    PsdContext* ctx = nullptr;
    const int status = psd_open_memory(&ctx, bytes.data(), bytes.size());
    return {status, Psd(ctx)};
}

inline Loaded loadFile(const std::string& name) {
    PsdContext* ctx = nullptr;
    const int status = psd_open(&ctx, dataPath(name).c_str());
    return {status, Psd(ctx)};
}

// Builds a file section by section; every integer big-endian.
struct Builder {
    Bytes b;
    Builder& u8(uint32_t v) { return b.push_back(uint8_t(v)), *this; }
    Builder& u16(uint32_t v) { return u8(v >> 8).u8(v); }
    Builder& u32(uint32_t v) { return u16(v >> 16).u16(v); }
    Builder& raw(const Bytes& data) { return b.insert(b.end(), data.begin(), data.end()), *this; }
    Builder& text(const char* s) {
        while (*s)
            u8(uint8_t(*s++));
        return *this;
    }
    // Version 2 is the large document format (PSB).
    Builder& header(uint32_t mode, uint32_t depth, uint32_t channels, uint32_t width,
                    uint32_t height, uint32_t version = 1) {
        text("8BPS").u16(version).u16(0).u16(0).u16(0).u16(channels);
        return u32(height).u32(width).u16(depth).u16(mode);
    }
    // Empty colour mode data, resources and layer sections (PSB: the last length is 8 bytes).
    Builder& emptySections(uint32_t version = 1) {
        u32(0).u32(0).u32(0);
        return version == 2 ? u32(0) : *this;
    }
};

// A whole file: header, empty sections, then the image data section as given.
inline Bytes simpleFile(uint32_t mode, uint32_t depth, uint32_t channels, uint32_t width,
                        uint32_t height, uint16_t method, const Bytes& data) {
    Builder f;
    f.header(mode, depth, channels, width, height).emptySections().u16(method).raw(data);
    return f.b;
}

// The sample of plane c at (x, y) in the generated files (fixtures/make_generated.py).
inline uint8_t pattern(int c, int x, int y) {
    return uint8_t((x * 7 + y * 13 + c * 85 + (x * y) % 11) & 0xFF);
}
inline constexpr int kGenWidth = 37, kGenHeight = 23;

inline uint32_t pixel(const PsdContext& psd, uint32_t x, uint32_t y) {
    return psd.merged[std::size_t(y) * psd.width + x];
}

// Fields compared as one list, so that a mismatch shows them all.
inline std::vector<int64_t> values(std::initializer_list<int64_t> list) {
    return list;
}

// The bytes deflated in a zlib stream, as a ZIP-compressed channel stores them.
inline Bytes zipped(const Bytes& data) {
    uLongf size = compressBound(uLong(data.size()));
    Bytes out(size);
    compress(out.data(), &size, data.data(), uLong(data.size()));
    out.resize(size);
    return out;
}

} // namespace psdtest
