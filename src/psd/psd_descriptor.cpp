// The descriptor skipper: steps over one value of any type the walker knows, recursing through
// descriptors, lists and references, inside the bounds of its block.
#include "psd_descriptor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The smallest encodings a count can count: a descriptor item is at least a key ID (4 + 1) and a
// type code; a list element or a reference element at least its 4-byte code.
constexpr uint32_t kMinItem = 8;
constexpr uint32_t kMinElement = 4;

} // namespace

uint64_t PsdBlock::left() const {
    const uint64_t file_end = ctx->stream.file_size > 0 ? uint64_t(ctx->stream.file_size) : 0;
    const uint64_t limit = std::min(end, file_end);
    return ctx->stream.consumed < limit ? limit - ctx->stream.consumed : 0;
}

uint32_t PsdBlock::bound(uint32_t count, uint32_t item_size) const {
    return uint32_t(std::min<uint64_t>(count, left() / std::max<uint32_t>(item_size, 1)));
}

PsdBlock psd_block(PsdContext* ctx, uint64_t length) {
    return {ctx, ctx->stream.consumed + length};
}

int64_t psd_saturate(double value, int64_t low, int64_t high) {
    if (std::isnan(value)) return 0;
    const double t = std::trunc(value);
    if (t <= double(low)) return low;
    if (t >= double(high)) return high;
    return int64_t(t);
}

uint32_t psd_read_id(PsdBlock& block, char* name) {
    const uint32_t length = psd_read_u32(block.ctx);
    if (name) name[0] = '\0';
    if (length == 0) return psd_read_u32(block.ctx);
    if (name && length <= kPsdMaxKeyName) {
        const uint64_t got = psd_read(block.ctx, name, length);
        name[got] = '\0';
    } else {
        psd_skip(block.ctx, length);
    }
    return 0;
}

void psd_skip_unicode(PsdBlock& block) {
    const uint32_t count = psd_read_u32(block.ctx);
    psd_skip(block.ctx, int64_t(count) * 2);
}

void psd_skip_id(PsdBlock& block) {
    psd_read_id(block, nullptr);
}

bool psd_skip_descriptor(PsdBlock& block, int depth) {
    if (depth > kPsdMaxDescriptorDepth) return false;
    psd_skip_unicode(block);
    psd_skip_id(block);
    const uint32_t count = block.bound(psd_read_u32(block.ctx), kMinItem);
    for (uint32_t i = 0; i < count && block.left() > 0; ++i) {
        psd_skip_id(block);
        const uint32_t type = psd_read_u32(block.ctx);
        if (!psd_skip_descriptor_value(block, type, depth)) break;
    }
    return true;
}

bool psd_skip_list(PsdBlock& block, int depth) {
    if (depth > kPsdMaxDescriptorDepth) return false;
    const uint32_t count = block.bound(psd_read_u32(block.ctx), kMinElement);
    for (uint32_t i = 0; i < count && block.left() > 0; ++i) {
        const uint32_t type = psd_read_u32(block.ctx);
        if (!psd_skip_descriptor_value(block, type, depth)) break;
    }
    return true;
}

bool psd_skip_reference(PsdBlock& block, int depth) {
    if (depth > kPsdMaxDescriptorDepth) return false;
    const uint32_t count = block.bound(psd_read_u32(block.ctx), kMinElement);
    for (uint32_t i = 0; i < count && block.left() > 0; ++i) {
        switch (psd_read_u32(block.ctx)) {
        case psd_key("Clss"):
            psd_skip_unicode(block);
            psd_skip_id(block);
            break;
        case psd_key("Enmr"):
            psd_skip_unicode(block);
            psd_skip_id(block);
            psd_skip_id(block);
            psd_skip_id(block);
            break;
        case psd_key("Idnt"):
        case psd_key("indx"):
            psd_read_u32(block.ctx);
            break;
        case psd_key("name"):
            psd_skip_unicode(block);
            break;
        case psd_key("prop"):
            psd_skip_unicode(block);
            psd_skip_id(block);
            psd_skip_id(block);
            break;
        case psd_key("rele"):
            psd_skip_unicode(block);
            psd_skip_id(block);
            psd_read_u32(block.ctx);
            break;
        default: // an unknown form has no data the walker knows of
            break;
        }
    }
    return true;
}

bool psd_skip_descriptor_value(PsdBlock& block, uint32_t type, int depth) {
    switch (type) {
    case psd_key("long"):
        psd_read_u32(block.ctx);
        return true;
    case psd_key("bool"):
        psd_read_u8(block.ctx);
        return true;
    case psd_key("doub"):
        psd_skip(block.ctx, 8);
        return true;
    case psd_key("UntF"):
        psd_read_u32(block.ctx);
        psd_skip(block.ctx, 8);
        return true;
    case psd_key("TEXT"):
        psd_skip_unicode(block);
        return true;
    case psd_key("enum"):
        psd_skip_id(block);
        psd_skip_id(block);
        return true;
    case psd_key("type"):
    case psd_key("GlbC"):
        psd_skip_unicode(block);
        psd_skip_id(block);
        return true;
    case psd_key("alis"):
    case psd_key("tdta"): // raw data, as book colours keep their key
        psd_skip(block.ctx, psd_read_u32(block.ctx));
        return true;
    case psd_key("comp"): // a 64-bit integer
        psd_skip(block.ctx, 8);
        return true;
    case psd_key("UnFl"): { // a unit and a list of doubles
        psd_read_u32(block.ctx);
        const uint32_t count = block.bound(psd_read_u32(block.ctx), 8);
        psd_skip(block.ctx, int64_t(count) * 8);
        return true;
    }
    case psd_key("Objc"):
    case psd_key("GlbO"):
        return psd_skip_descriptor(block, depth + 1);
    case psd_key("VlLs"):
        return psd_skip_list(block, depth + 1);
    case psd_key("obj "):
        return psd_skip_reference(block, depth + 1);
    default:
        // Types the walker does not know (object arrays among them) consume nothing; the walk
        // goes on out of step and the enclosing parser's checks catch it.
        return true;
    }
}
