// The layer compositor. Layers are stored bottom first; a group is an end divider before its
// members and its own record after them, and a run of layers with the clipping flag is clipped to
// the layer below it (the base). The layers become a tree (the document's top-level list, groups
// with their members), and the tree is drawn bottom first into canvases of premultiplied floats:
//
// - a pass-through group draws its members straight onto what lies below; its opacity and mask
//   mix the result with what lay there before;
// - any other group draws its members onto a transparent canvas of its own, which is then drawn
//   with the group's blend mode, opacity and mask;
// - a clipping group draws its base onto a transparent canvas and the clipped layers over it with
//   their own modes; the result keeps their colour at the base's alpha (the group's shape), and
//   is drawn with the base's blend mode, opacity, fill opacity and mask, which the clipped layers
//   take on.
//
// Every step works row by row, so the document is drawn one band of rows at a time, the whole tree
// for each band: the canvases then cover a band only and stay in the processor's cache while all
// the layers are drawn onto them, where whole-document float canvases would go through memory
// once per layer. Canvases and the result are held against the decode's memory budget; a canvas
// is made only for a group or clipping group that needs one, covers only what its members cover,
// and its block is kept for the next band.
#include "psd_composite.h"

#include "psd_blend_rows.h"
#include "psd_effects.h"
#include "psd_internal.h"
#include "psd_layer_bands.h"
#include "psd_layer_info.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Nesting deeper than this is drawn as if its dividers were not there (writers allow about ten
// levels; a damaged file must not make a canvas per level).
constexpr size_t kMaxNesting = 32;

struct Node {
    int32_t layer = -1; // index into the layers; -1 for the document itself
    bool group = false;
    std::vector<int32_t> children; // node indices, bottom first
};

std::vector<Node> build_tree(const PsdContext* ctx) {
    std::vector<Node> nodes(1);
    nodes[0].group = true;
    std::vector<int32_t> open{0};
    for (int32_t i = 0; ctx->layers && i < ctx->layer_count; ++i) {
        const int32_t kind = ctx->layers[i].kind;
        if (kind == 1) { // a group's end divider: its members follow
            if (open.size() > kMaxNesting) continue;
            nodes.push_back(Node{-1, true, {}});
            open.push_back(int32_t(nodes.size() - 1));
        } else if (kind == 2 && open.size() > 1) { // the group's own record closes it
            const int32_t group = open.back();
            open.pop_back();
            nodes[size_t(group)].layer = i;
            nodes[size_t(open.back())].children.push_back(group);
        } else { // a layer, or a group record without a divider (a group with no members)
            nodes.push_back(Node{i, kind == 2, {}});
            nodes[size_t(open.back())].children.push_back(int32_t(nodes.size() - 1));
        }
    }
    // Groups never closed: their members belong to the group around them.
    while (open.size() > 1) {
        const int32_t group = open.back();
        open.pop_back();
        std::vector<int32_t>& into = nodes[size_t(open.back())].children;
        const std::vector<int32_t>& members = nodes[size_t(group)].children;
        into.insert(into.end(), members.begin(), members.end());
    }
    return nodes;
}

bool is_adjustment(const PsdLayerRecord& layer) {
    return layer.has_adjustment || (layer.kind >= PSD_KIND_LEVELS && layer.kind <= 17);
}

const PsdSolidColorFill* solid_color(const PsdLayerRecord& layer) {
    for (int i = 0; i < layer.info_count && i < kPsdMaxLayerInfo; ++i)
        if (layer.info_types[i] == PSD_ENTRY_SOLID_COLOR && layer.info_data[i])
            return static_cast<const PsdSolidColorFill*>(layer.info_data[i]);
    return nullptr;
}

bool has_effects(const PsdLayerRecord& layer) {
    for (int i = 0; i < layer.info_count && i < kPsdMaxLayerInfo; ++i) {
        if (layer.info_types[i] == PSD_ENTRY_EFFECTS_OLD) return true;
        if (layer.info_types[i] == PSD_ENTRY_EFFECTS) {
            const auto* effects = static_cast<const PsdEffects*>(layer.info_data[i]);
            if (!effects || effects->master_switch) return true;
        }
    }
    return false;
}

// Blending ranges that hide part of the layer: anything but the full range (or an empty block).
bool has_blend_if(const PsdLayerRecord& layer) {
    auto partial = [](uint16_t src_low, uint16_t src_high, uint16_t dst_low, uint16_t dst_high) {
        const bool empty = !src_low && !src_high && !dst_low && !dst_high;
        const bool full = !src_low && src_high == 0xFFFF && !dst_low && dst_high == 0xFFFF;
        return !empty && !full;
    };
    const uint16_t* g = layer.composite_gray_ranges;
    if (partial(g[0], g[1], g[2], g[3])) return true;
    for (int32_t i = 0; i < layer.channel_range_count; ++i)
        if (layer.channel_ranges[0] && layer.channel_ranges[1] && layer.channel_ranges[2] &&
            layer.channel_ranges[3] &&
            partial(layer.channel_ranges[0][i], layer.channel_ranges[1][i],
                    layer.channel_ranges[2][i], layer.channel_ranges[3][i]))
            return true;
    return false;
}

uint32_t unrendered_of(const PsdLayerRecord& layer) {
    uint32_t flags = layer.unrendered;
    if (has_effects(layer)) flags |= PSD_UNRENDERED_EFFECTS;
    if (is_adjustment(layer)) flags |= PSD_UNRENDERED_ADJUSTMENTS;
    if (layer.kind == PSD_KIND_GRADIENT_FILL || layer.kind == PSD_KIND_PATTERN_FILL)
        flags |= PSD_UNRENDERED_FILLS;
    if (has_blend_if(layer)) flags |= PSD_UNRENDERED_BLEND_IF;
    if (layer.knockout) flags |= PSD_UNRENDERED_KNOCKOUT;
    return flags;
}

// Pixels decoded whole, or left in the file to be decoded band by band.
bool has_pixels(const PsdLayerRecord& layer) {
    return layer.pixels || layer.bands;
}

bool mask_active(const PsdLayerRecord& layer) {
    return !layer.mask_disabled;
}

// A rectangle of the document, [x0, x1) x [y0, y1).
struct Rect {
    uint32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
    uint64_t pixels() const { return empty() ? 0 : uint64_t(x1 - x0) * (y1 - y0); }
    Rect unite(const Rect& o) const {
        if (empty()) return o;
        if (o.empty()) return *this;
        return {std::min(x0, o.x0), std::min(y0, o.y0), std::max(x1, o.x1), std::max(y1, o.y1)};
    }
    Rect meet(const Rect& o) const {
        Rect r{std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
        return r.empty() ? Rect{} : r;
    }
};

// About this many bytes of document canvas per band: a few rows of a wide document, well within
// a core's second-level cache together with the canvases of a group or two.
constexpr uint64_t kBandBytes = 256 * 1024;

// A block held against the budget.
struct Block {
    void* data = nullptr;
    uint64_t bytes = 0;
};

// Premultiplied red, green, blue and alpha floats over a rectangle of the document: a group's
// canvas covers only what its members cover, so memory follows the layers' own sizes. Each row
// holds four planes of the rectangle's width, red, green, blue and alpha, so that the blend loops
// read and write every channel with plain vector loads and stores.
struct Canvas {
    float* pixels = nullptr;
    Block block;
    Rect rect;
    // Floats from one channel's plane to the next.
    size_t stride() const { return rect.x1 - rect.x0; }
    // The red of document column x of document row y (both inside the rectangle); its green,
    // blue and alpha lie one, two and three strides on.
    float* at(uint32_t x, uint32_t y) const {
        return pixels + uint64_t(y - rect.y0) * stride() * 4 + (x - rect.x0);
    }
};

// Rounds half up, as lround does for the non-negative values here, without its library call per
// channel (a 4000x3000 result rounds 48 million of them). The value, 0.5 to 255.5, goes through
// a signed integer, which the processor converts four at a time.
uint32_t to_byte(float value) {
    return uint32_t(int32_t(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f));
}

// One sample as a unit value, the same float as unit_[v]: computed, where a table lookup per
// sample would keep the row loops off vectors.
inline float unit(uint32_t p, int shift) {
    return float(int32_t((p >> shift) & 0xFF)) / 255.0f;
}

// A layer's 0xAARRGGBB pixels as source colour and alpha planes (`stride` floats apart): the
// alpha times `scale` and, when there is one, the mask row's value.
void source_row(const uint32_t* pixels, uint32_t count, float scale, const float* mask, float* s,
                size_t stride) {
    float *red = s, *green = s + stride, *blue = s + 2 * stride, *alpha = s + 3 * stride;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        red[i] = unit(p, 16), green[i] = unit(p, 8), blue[i] = unit(p, 0);
    }
    if (mask) {
        for (uint32_t i = 0; i < count; ++i)
            alpha[i] = unit(pixels[i], 24) * scale * mask[i];
    } else {
        for (uint32_t i = 0; i < count; ++i)
            alpha[i] = unit(pixels[i], 24) * scale;
    }
}

// One canvas row (planes `stride` floats apart, `stride` pixels) as 0xAARRGGBB words. Every
// pixel is computed and the word picked, without a branch that would keep the loop off vectors;
// a pixel that rounds to no alpha is zero.
void unpremultiply_row(const float* p, size_t stride, uint32_t* out) {
    for (size_t x = 0; x < stride; ++x) {
        const float a = p[3 * stride + x];
        const uint32_t alpha = to_byte(a);
        const float reciprocal = 1.0f / a;
        const float inverse = a > 0.0f ? reciprocal : 0.0f;
        const uint32_t word = alpha << 24 | to_byte(p[x] * inverse) << 16 |
                              to_byte(p[stride + x] * inverse) << 8 |
                              to_byte(p[2 * stride + x] * inverse);
        out[x] = alpha ? word : 0;
    }
}

class Compositor {
public:
    explicit Compositor(PsdContext* ctx)
        : ctx_(ctx), width_(ctx->width), height_(ctx->height), nodes_(build_tree(ctx)) {
        for (int i = 0; i < 256; ++i)
            unit_[i] = float(i) / 255.0f;
    }

    ~Compositor() {
        for (const Block& block : spare_)
            psd_free_held(ctx_, block.data, block.bytes);
    }

    // Draws the document band by band into `out` (zero-filled, width x height words).
    int run(uint32_t* out) {
        source_.assign(size_t(width_) * 4, 0.0f);
        mask_.assign(size_t(width_), 1.0f);
        const uint64_t row_bytes = uint64_t(width_) * 4 * sizeof(float);
        const uint32_t band = uint32_t(std::clamp<uint64_t>(kBandBytes / row_bytes, 1, height_));
        for (uint32_t y0 = 0; y0 < height_ && status_ == PSD_OK; y0 += band) {
            Canvas document;
            const Rect rect{0, y0, width_, std::min(height_, y0 + band)};
            if (!make_or_fail(document, rect, nullptr)) break;
            draw_list(nodes_[0].children, document);
            if (status_ == PSD_OK) unpremultiply(document, out + uint64_t(y0) * width_);
            release(document);
        }
        return status_;
    }

private:
    const PsdLayerRecord& layer(const Node& node) const { return ctx_->layers[node.layer]; }
    bool shown(const Node& node) const { return node.layer < 0 || layer(node).visible; }
    bool clipped(int32_t index) const {
        const Node& node = nodes_[size_t(index)];
        return node.layer >= 0 && layer(node).clipping;
    }

    // The part of the document a layer's pixels (or a solid colour fill) cover.
    Rect layer_rect(const PsdLayerRecord& record) const {
        const Rect document{0, 0, width_, height_};
        if (is_adjustment(record)) return {};
        if (record.kind == PSD_KIND_SOLID_COLOR && !has_pixels(record) && solid_color(record))
            return document;
        if (!has_pixels(record) || record.width <= 0 || record.height <= 0) return {};
        auto clamp = [](int64_t v, uint32_t high) {
            return uint32_t(std::clamp<int64_t>(v, 0, high));
        };
        return Rect{clamp(record.left, width_), clamp(record.top, height_),
                    clamp(record.right, width_), clamp(record.bottom, height_)}
            .meet(document);
    }
    // What a node can draw on: its pixels, or its visible members' (a clipping group draws only
    // within its base).
    Rect bounds(const Node& node) const {
        if (!shown(node)) return {};
        if (!node.group) return layer_rect(layer(node));
        Rect r;
        for (size_t i = 0; i < node.children.size();) {
            r = r.unite(bounds(nodes_[size_t(node.children[i])]));
            for (++i; i < node.children.size() && clipped(node.children[i]);)
                ++i;
        }
        return r;
    }

    // A block of at least `bytes`: the smallest kept one that fits, or a new one.
    bool take(uint64_t bytes, Block& block) {
        if (status_ != PSD_OK) return false;
        auto best = spare_.end();
        for (auto it = spare_.begin(); it != spare_.end(); ++it)
            if (it->bytes >= bytes && (best == spare_.end() || it->bytes < best->bytes)) best = it;
        if (best != spare_.end()) {
            block = *best;
            spare_.erase(best);
            return true;
        }
        block.bytes = bytes;
        status_ = psd_alloc_held(ctx_, bytes, &block.data);
        return status_ == PSD_OK;
    }
    void give_back(Block& block) {
        if (block.data) spare_.push_back(block);
        block = Block{};
    }

    // A transparent canvas over `rect`, or a copy of that part of `from`.
    bool make_or_fail(Canvas& canvas, const Rect& rect, const Canvas* from) {
        const uint64_t bytes = rect.pixels() * 4 * sizeof(float);
        if (!take(bytes, canvas.block)) return false;
        canvas.pixels = static_cast<float*>(canvas.block.data);
        canvas.rect = rect;
        if (!bytes) return true;
        if (!from) {
            std::memset(canvas.pixels, 0, bytes);
            return true;
        }
        for (uint32_t y = rect.y0; y < rect.y1; ++y)
            for (int c = 0; c < 4; ++c)
                std::memcpy(canvas.at(rect.x0, y) + c * canvas.stride(),
                            from->at(rect.x0, y) + c * from->stride(),
                            canvas.stride() * sizeof(float));
        return true;
    }
    void release(Canvas& canvas) {
        give_back(canvas.block);
        canvas = Canvas{};
    }

    // The canvas's pixels as 0xAARRGGBB words into `out` (its rows, document wide).
    void unpremultiply(const Canvas& canvas, uint32_t* out) const {
        for (uint32_t y = canvas.rect.y0; y < canvas.rect.y1; ++y, out += canvas.stride())
            unpremultiply_row(canvas.at(canvas.rect.x0, y), canvas.stride(), out);
    }

    // The mask's value (0 to 1) for columns x0..x1 of document row y into mask_.
    void mask_row(const PsdLayerRecord& layer, uint32_t y, uint32_t x0, uint32_t x1) {
        const float outside = unit_[layer.mask_default_color];
        const int64_t my = int64_t(y) - layer.mask_top;
        const bool row_inside = layer.mask_pixels && my >= 0 && my < layer.mask_height;
        for (uint32_t x = x0; x < x1; ++x) {
            const int64_t mx = int64_t(x) - layer.mask_left;
            mask_[x] = row_inside && mx >= 0 && mx < layer.mask_width
                           ? unit_[layer.mask_pixels[uint64_t(my) * uint64_t(layer.mask_width) +
                                                     uint64_t(mx)]]
                           : outside;
        }
    }

    void draw_list(const std::vector<int32_t>& items, Canvas& target) {
        for (size_t i = 0; i < items.size() && status_ == PSD_OK;) {
            size_t end = i + 1;
            while (end < items.size() && clipped(items[end]))
                ++end;
            const Node& base = nodes_[size_t(items[i])];
            if (shown(base)) {
                if (end > i + 1)
                    draw_clipping_group(base, items, i + 1, end, target);
                else
                    draw_node(base, target);
            }
            i = end;
        }
    }

    void draw_node(const Node& node, Canvas& target) {
        const PsdLayerRecord& record = layer(node);
        const float opacity = unit_[record.opacity];
        if (!node.group) {
            draw_layer(record, target, record.blend_mode, opacity * unit_[record.fill_opacity]);
            return;
        }
        const bool masked = mask_active(record);
        const Rect rect = bounds(node).meet(target.rect);
        if (rect.empty()) return;
        Canvas group;
        if (record.blend_mode == PSD_BLEND_PASS_THROUGH) {
            if (record.opacity == 255 && !masked) {
                draw_list(node.children, target);
                return;
            }
            // Outside its members the group leaves what lies below as it was.
            if (!make_or_fail(group, rect, &target)) return;
            draw_list(node.children, group);
            mix(group, target, opacity, masked ? &record : nullptr);
        } else {
            if (!make_or_fail(group, rect, nullptr)) return;
            draw_list(node.children, group);
            draw_canvas(group, target, record.blend_mode, opacity, masked ? &record : nullptr);
        }
        release(group);
    }

    void draw_clipping_group(const Node& base, const std::vector<int32_t>& items, size_t first,
                             size_t end, Canvas& target) {
        const PsdLayerRecord& record = layer(base);
        const Rect rect = bounds(base).meet(target.rect);
        if (rect.empty()) return;
        Canvas group;
        if (!make_or_fail(group, rect, nullptr)) return;
        // A group as a base draws its members on the clipping group's canvas; its opacity is
        // the clipping group's.
        if (base.group)
            draw_list(base.children, group);
        else
            draw_layer(record, group, PSD_BLEND_NORMAL, 1.0f, false);
        // The base's alpha is the group's shape: the clipped layers are drawn over the base, and
        // the result keeps their colour at the base's alpha.
        Block shape;
        const uint64_t pixels = rect.pixels();
        if (!take(pixels * sizeof(float), shape)) {
            release(group);
            return;
        }
        auto* alpha = static_cast<float*>(shape.data);
        const size_t stride = group.stride();
        for (uint32_t y = rect.y0; y < rect.y1; ++y)
            std::memcpy(alpha + uint64_t(y - rect.y0) * stride, group.at(rect.x0, y) + 3 * stride,
                        stride * sizeof(float));
        // Clipped layers and groups draw as they would anywhere (a pass-through group's members
        // straight onto the base).
        for (size_t k = first; k < end && status_ == PSD_OK; ++k) {
            const Node& node = nodes_[size_t(items[k])];
            if (shown(node)) draw_node(node, group);
        }
        for (uint32_t y = rect.y0; y < rect.y1; ++y) {
            float* p = group.at(rect.x0, y);
            const float* shaped = alpha + uint64_t(y - rect.y0) * stride;
            for (size_t x = 0; x < stride; ++x) {
                float& a = p[3 * stride + x];
                const float scale = a > 0.0f ? shaped[x] / a : 0.0f;
                p[x] *= scale, p[stride + x] *= scale, p[2 * stride + x] *= scale;
                a = shaped[x];
            }
        }
        give_back(shape);
        // The clipped layers take the base's blend mode, opacity, fill opacity and mask.
        if (status_ == PSD_OK)
            draw_canvas(group, target, record.blend_mode,
                        unit_[record.opacity] * (base.group ? 1.0f : unit_[record.fill_opacity]),
                        mask_active(record) ? &record : nullptr);
        release(group);
    }

    // One layer's pixels (or a solid colour fill's colour) with its mask (unless `with_mask` is
    // false), `scale` times its alpha, in `mode`.
    void draw_layer(const PsdLayerRecord& record, Canvas& target, PsdBlendMode mode, float scale,
                    bool with_mask = true) {
        if (scale <= 0.0f) return;
        const Rect rect = layer_rect(record).meet(target.rect);
        if (rect.empty()) return;
        const PsdSolidColorFill* fill = has_pixels(record) ? nullptr : solid_color(record);
        // A layer left in the file: this band's rows of it, decoded a few at a time (a layer may
        // be far wider than the document whose width sizes the band).
        const uint32_t chunk = uint32_t(std::clamp<uint64_t>(
            kBandBytes / (uint64_t(std::max(record.width, 1)) * 4), 1, rect.y1 - rect.y0));
        uint32_t decoded = rect.y0, decoded_end = rect.y0; // the rows band_pixels_ holds
        const bool masked = with_mask && mask_active(record);
        const float red = fill ? unit_[(fill->color >> 16) & 0xFF] : 0.0f;
        const float green = fill ? unit_[(fill->color >> 8) & 0xFF] : 0.0f;
        const float blue = fill ? unit_[fill->color & 0xFF] : 0.0f;
        for (uint32_t y = rect.y0; y < rect.y1; ++y) {
            if (masked) mask_row(record, y, rect.x0, rect.x1);
            float* s = source_.data();
            if (fill) {
                const uint32_t count = rect.x1 - rect.x0;
                std::fill_n(s, count, red);
                std::fill_n(s + width_, count, green);
                std::fill_n(s + 2 * size_t(width_), count, blue);
                for (uint32_t i = 0; i < count; ++i)
                    s[3 * size_t(width_) + i] = scale * (masked ? mask_[rect.x0 + i] : 1.0f);
            } else {
                if (record.bands && y == decoded_end) {
                    const uint32_t count = std::min(chunk, rect.y1 - y);
                    const uint64_t words = uint64_t(count) * uint64_t(record.width);
                    if (band_pixels_.size() < words) band_pixels_.resize(words);
                    status_ = psd_read_layer_band(ctx_, &record, uint32_t(int64_t(y) - record.top),
                                                  count, &band_scratch_, band_pixels_.data());
                    if (status_ != PSD_OK) return;
                    decoded = y, decoded_end = y + count;
                }
                const uint32_t* row =
                    record.bands
                        ? band_pixels_.data() + uint64_t(y - decoded) * uint64_t(record.width)
                        : record.pixels +
                              uint64_t(int64_t(y) - record.top) * uint64_t(record.width);
                const uint32_t* pixels = row + uint64_t(int64_t(rect.x0) - record.left);
                source_row(pixels, rect.x1 - rect.x0, scale, masked ? &mask_[rect.x0] : nullptr, s,
                           width_);
            }
            psd_blend_row(mode, target.at(rect.x0, y), target.stride(), source_.data(), width_,
                          rect.x1 - rect.x0, rect.x0, y);
        }
    }

    // A group's canvas drawn onto `target`, `scale` times its alpha, through the group's mask.
    void draw_canvas(const Canvas& group, Canvas& target, PsdBlendMode mode, float scale,
                     const PsdLayerRecord* mask) {
        if (mode == PSD_BLEND_PASS_THROUGH) mode = PSD_BLEND_NORMAL;
        const Rect rect = group.rect.meet(target.rect);
        for (uint32_t y = rect.y0; y < rect.y1; ++y) {
            // Pixels the group leaves empty change nothing.
            uint32_t x0 = rect.x0, x1 = rect.x1;
            const size_t stride = group.stride();
            while (x0 < x1 && group.at(x0, y)[3 * stride] <= 0.0f)
                ++x0;
            while (x1 > x0 && group.at(x1 - 1, y)[3 * stride] <= 0.0f)
                --x1;
            if (x0 >= x1) continue;
            if (mask) mask_row(*mask, y, x0, x1);
            float *red = source_.data(), *green = red + width_, *blue = green + width_,
                  *alpha = blue + width_;
            const float* p = group.at(x0, y);
            for (uint32_t i = 0; i < x1 - x0; ++i) {
                const float a = p[3 * stride + i];
                const float inverse = a > 0.0f ? 1.0f / a : 0.0f;
                red[i] = std::min(1.0f, p[i] * inverse);
                green[i] = std::min(1.0f, p[stride + i] * inverse);
                blue[i] = std::min(1.0f, p[2 * stride + i] * inverse);
                alpha[i] = a * scale * (mask ? mask_[x0 + i] : 1.0f);
            }
            psd_blend_row(mode, target.at(x0, y), target.stride(), source_.data(), width_, x1 - x0,
                          x0, y);
        }
    }

    // A pass-through group's result mixed with what lay below it before: `scale` (times the
    // mask) of the way from `target` to `group`.
    void mix(const Canvas& group, Canvas& target, float scale, const PsdLayerRecord* mask) {
        const Rect& rect = group.rect;
        for (uint32_t y = rect.y0; y < rect.y1; ++y) {
            if (mask) mask_row(*mask, y, rect.x0, rect.x1);
            const float* g = group.at(rect.x0, y);
            float* t = target.at(rect.x0, y);
            const size_t from = group.stride(), to = target.stride();
            for (uint32_t i = 0; i < rect.x1 - rect.x0; ++i) {
                const float weight = scale * (mask ? mask_[rect.x0 + i] : 1.0f);
                for (int c = 0; c < 4; ++c)
                    t[c * to + i] += (g[c * from + i] - t[c * to + i]) * weight;
            }
        }
    }

    PsdContext* ctx_;
    uint32_t width_, height_;
    std::vector<Node> nodes_;
    std::vector<float> source_;         // one row of source colour and alpha, as four planes
    std::vector<float> mask_;           // one row of mask values
    std::vector<Block> spare_;          // blocks of canvases drawn, kept for the next
    std::vector<uint32_t> band_pixels_; // a band of rows of a layer left in the file
    PsdBandScratch band_scratch_;
    float unit_[256];
    int status_ = PSD_OK;
};

} // namespace

const char* psd_unrendered_name(uint32_t flag) {
    switch (flag) {
    case PSD_UNRENDERED_EFFECTS:
        return "effects";
    case PSD_UNRENDERED_VECTOR_MASKS:
        return "vectorMasks";
    case PSD_UNRENDERED_SMART_OBJECTS:
        return "smartObjects";
    case PSD_UNRENDERED_ADJUSTMENTS:
        return "adjustments";
    case PSD_UNRENDERED_FILLS:
        return "fills";
    case PSD_UNRENDERED_BLEND_IF:
        return "blendIf";
    case PSD_UNRENDERED_KNOCKOUT:
        return "knockout";
    default:
        return nullptr;
    }
}

uint32_t psd_composite_unrendered(const PsdContext* ctx) {
    uint32_t flags = 0;
    for (int32_t i = 0; ctx->layers && i < ctx->layer_count; ++i) {
        const PsdLayerRecord& layer = ctx->layers[i];
        bool shown = layer.kind != 1 && layer.visible;
        for (const PsdLayerRecord* group = layer.parent; shown && group; group = group->parent)
            shown = group->visible;
        if (shown) flags |= unrendered_of(layer);
    }
    return flags;
}

bool psd_merged_is_real(const PsdContext* ctx) {
    const PsdResources& r = ctx->resources;
    if (r.version.present && !r.version.has_real_merged_data) return false;
    if (!ctx->merged) return false;
    const uint64_t count = uint64_t(ctx->width) * ctx->height;
    const uint32_t first = ctx->merged[0];
    if (first != 0 && first != 0xFF000000u && first != 0xFFFFFFFFu) return true;
    for (uint64_t i = 1; i < count; ++i)
        if (ctx->merged[i] != first) return true;
    // Blank: it stands for the document only when no visible layer holds pixels.
    for (int32_t i = 0; ctx->layers && i < ctx->layer_count; ++i) {
        const PsdLayerRecord& layer = ctx->layers[i];
        if (layer.visible && !layer.pixels_lent && layer.width > 0 && layer.height > 0)
            return false;
    }
    return true;
}

int psd_composite(PsdContext* ctx, uint32_t** out) {
    *out = nullptr;
    void* block = nullptr;
    if (int status = psd_alloc_held(ctx, psd_merged_block_size(ctx), &block)) return status;
    auto* pixels = static_cast<uint32_t*>(block);
    if (int status = Compositor(ctx).run(pixels)) {
        psd_free_held(ctx, block, psd_merged_block_size(ctx));
        return status;
    }
    // The caller owns the result from here on.
    ctx->memory_held -= std::min(ctx->memory_held, psd_merged_block_size(ctx));
    *out = pixels;
    return PSD_OK;
}
