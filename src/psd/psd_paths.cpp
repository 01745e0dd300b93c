// Path resources (ids 2000 to 2998): a run of 26-byte records, each starting with a selector.
#include "psd_internal.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr uint64_t kRecordSize = 26;

// Path coordinates are signed 8.24 fixed point (points may lie outside the canvas).
float fixed_8_24(uint32_t v) {
    return float(double(int32_t(v)) / 16777216.0);
}

template <typename T> bool grow(T*& array, int32_t& capacity, int32_t count) {
    if (count < capacity) return true;
    const int32_t wanted = capacity ? capacity * 2 : 4;
    auto* grown = static_cast<T*>(std::realloc(array, size_t(wanted) * sizeof(T)));
    if (!grown) return false;
    std::memset(grown + capacity, 0, size_t(wanted - capacity) * sizeof(T));
    array = grown;
    capacity = wanted;
    return true;
}

void free_path(PsdPath& path) {
    for (int32_t i = 0; path.subpaths && i < path.subpath_count; ++i)
        std::free(path.subpaths[i].knots);
    std::free(path.subpaths);
    path.subpaths = nullptr;
    path.subpath_count = path.subpath_capacity = 0;
}

// Fills `path` from the block; false when memory runs out.
bool read_records(PsdCursor& c, PsdPath& path) {
    const uint64_t records = c.size / kRecordSize;
    PsdSubpath* current = nullptr;
    // Every knot needs a record of its own: the knots of all subpaths together never number more
    // than the block's records, whatever the subpath records claim.
    uint64_t knot_budget = records;
    for (uint64_t i = 0; i < records; ++i) {
        c.pos = i * kRecordSize;
        const uint16_t selector = c.u16();
        switch (selector) {
        case 0:
        case 3: {
            if (!grow(path.subpaths, path.subpath_capacity, path.subpath_count)) return false;
            current = &path.subpaths[path.subpath_count++];
            current->closed = selector == 0;
            int64_t knots = int16_t(c.u16());
            if (knots < 0) knots = 0;
            if (uint64_t(knots) > knot_budget) knots = int64_t(knot_budget);
            knot_budget -= uint64_t(knots);
            current->knot_count = int32_t(knots);
            if (knots > 0) {
                current->knots = static_cast<PsdKnot*>(std::calloc(size_t(knots), sizeof(PsdKnot)));
                if (!current->knots) return false;
            }
            break;
        }
        case 1:
        case 2:
        case 4:
        case 5: {
            if (!current || current->knots_read >= current->knot_count) break;
            PsdKnot& knot = current->knots[current->knots_read++];
            knot.linked = selector == 1 || selector == 4;
            knot.preceding_y = fixed_8_24(c.u32());
            knot.preceding_x = fixed_8_24(c.u32());
            knot.anchor_y = fixed_8_24(c.u32());
            knot.anchor_x = fixed_8_24(c.u32());
            knot.leaving_y = fixed_8_24(c.u32());
            knot.leaving_x = fixed_8_24(c.u32());
            break;
        }
        case 7:
            path.clipboard_top = fixed_8_24(c.u32());
            path.clipboard_left = fixed_8_24(c.u32());
            path.clipboard_bottom = fixed_8_24(c.u32());
            path.clipboard_right = fixed_8_24(c.u32());
            path.clipboard_resolution = fixed_8_24(c.u32());
            break;
        case 8:
            path.initial_fill_rule = uint8_t(c.u16());
            break;
        default:
            break; // 6 path fill rule, and unknown records
        }
    }
    return true;
}

} // namespace

int psd_read_path_resource(PsdContext* ctx, uint16_t id, PsdCursor& block) {
    PsdResources& r = ctx->resources;
    if (!grow(r.paths, r.path_capacity, r.path_count)) return PSD_OK;
    PsdPath& path = r.paths[r.path_count];
    std::memset(&path, 0, sizeof path);
    path.resource_id = id;
    if (!read_records(block, path)) {
        free_path(path); // dropped; the resources go on
        return PSD_OK;
    }
    ++r.path_count;
    return PSD_OK;
}

void psd_free_paths(PsdResources* resources) {
    for (int32_t i = 0; resources->paths && i < resources->path_count; ++i)
        free_path(resources->paths[i]);
    std::free(resources->paths);
    resources->paths = nullptr;
    resources->path_count = resources->path_capacity = 0;
}
