// Descriptors: the keyed, typed item lists in which newer blocks of the file (fill layers, the
// "lfx2" effects, gradients, patterns, contours) keep their settings. The reader builds no tree of
// them: each parser walks its own items, reads the keys it knows in place and hands every other
// value to psd_skip_descriptor_value, which skips it by its 4-character type code.
//
// Every walk runs inside one block of the file (a PsdBlock). A count read there is bounded by the
// bytes the block still holds divided by the smallest item it can count, and every loop ends once
// the block is used up, so no count can make a walk outlast its block; nesting deeper than
// kPsdMaxDescriptorDepth ends the enclosing value.
#pragma once

#include "psd_bytes.h"
#include "psd_internal.h"

#include <cstdint>

inline constexpr int kPsdMaxDescriptorDepth = 64;

// Named keys, enumeration values and class names longer than this are skipped unread.
inline constexpr uint32_t kPsdMaxKeyName = 255;

// One block of the stream: the context and the stream position (bytes consumed) where the block
// ends. Reads go through the stream primitives; the block only bounds counts and loops.
struct PsdBlock {
    PsdContext* ctx;
    uint64_t end;

    // Bytes between the stream's position and the block's end, or the file's end if sooner.
    uint64_t left() const;
    // `count` as read, or as many items of at least `item_size` bytes as the block still holds.
    uint32_t bound(uint32_t count, uint32_t item_size) const;
    uint64_t position() const { return ctx->stream.consumed; }
};

// The block of `length` bytes that starts at the stream's position.
PsdBlock psd_block(PsdContext* ctx, uint64_t length);

// Saturating conversions of the file's doubles: NaN gives 0, values beyond the target's range
// clamp to it, all others are truncated toward zero.
int64_t psd_saturate(double value, int64_t low, int64_t high);
inline int32_t psd_double_to_i32(double value) {
    return int32_t(psd_saturate(value, INT32_MIN, INT32_MAX));
}
inline int16_t psd_double_to_i16(double value) {
    return int16_t(psd_saturate(value, INT16_MIN, INT16_MAX));
}
inline uint8_t psd_double_to_u8(double value) {
    return uint8_t(psd_saturate(value, 0, 255));
}
// "UntF" opacities are percentages; the byte is percent x 2.55, rounded half up. Computed as
// percent x 255 / 100, which is exact for whole percentages: 2.55 has no exact double, and
// 50 x 2.55 + 0.5 falls just short of 128.
inline uint8_t psd_opacity_byte(double percent) {
    return psd_double_to_u8(percent * 255.0 / 100.0 + 0.5);
}

// An ID (class, key, type or enumeration value): a u32 length, then that many bytes of name, or
// for length 0 a 4-character key. Gives the key, or 0 for a name; `name` (kPsdMaxKeyName + 1
// bytes, may be null) receives the name, or "" when the name was too long and was skipped.
uint32_t psd_read_id(PsdBlock& block, char* name);

// Skippers (they only advance the stream). Each returns false when the value was nested too
// deeply to be walked: the caller then ends the value it is walking.
void psd_skip_unicode(PsdBlock& block);
void psd_skip_id(PsdBlock& block);
bool psd_skip_descriptor(PsdBlock& block, int depth);
bool psd_skip_list(PsdBlock& block, int depth);
bool psd_skip_reference(PsdBlock& block, int depth);
// One value of the 4-character type code `type`; codes the walker does not know consume nothing.
// `depth` is the nesting depth of the descriptor or list that holds the value.
bool psd_skip_descriptor_value(PsdBlock& block, uint32_t type, int depth);
