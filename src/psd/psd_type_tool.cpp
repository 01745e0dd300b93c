// "tySh": the type tool data of files written before Photoshop 6 (later files keep text in
// "TySh" descriptors, which the layer reader passes over).
#include "psd_layer_entry.h"

#include <cstdlib>

namespace {

// Pascal string into a 256-byte field: a length byte of at most 255 always leaves a terminator.
void read_pascal(PsdContext* ctx, char (&field)[256]) {
    const uint8_t n = psd_read_u8(ctx);
    const uint64_t got = psd_read(ctx, field, n);
    field[got] = '\0';
}

// Smallest encodings of a face (with empty names and no axes), a style and a line.
constexpr uint32_t kMinFace = 15;
constexpr uint32_t kMinStyle = 27;
constexpr uint32_t kLineSize = 12;

template <class T> int allocate(T*& array, int16_t count) {
    if (count == 0) return PSD_OK;
    array = static_cast<T*>(std::calloc(size_t(count), sizeof(T)));
    return array ? PSD_OK : PSD_ERR_MEMORY;
}

int read_face(PsdBlock& block, PsdTypeFace& face) {
    PsdContext* ctx = block.ctx;
    face.mark = psd_read_u16(ctx);
    face.font_type = psd_read_u32(ctx);
    read_pascal(ctx, face.font_name);
    read_pascal(ctx, face.family_name);
    read_pascal(ctx, face.style_name);
    face.script = psd_read_u16(ctx);
    const uint32_t axes = psd_read_u32(ctx);
    if (uint64_t(axes) * 4 > block.left()) return PSD_ERR_SHORT;
    if (axes > 0) {
        face.design_vector = static_cast<uint32_t*>(std::calloc(axes, 4));
        if (!face.design_vector) return PSD_ERR_MEMORY;
        face.axis_count = axes;
    }
    for (uint32_t i = 0; i < axes; ++i)
        face.design_vector[i] = psd_read_u32(ctx);
    return PSD_OK;
}

void read_style(PsdContext* ctx, PsdTypeStyle& style) {
    style.mark = psd_read_u16(ctx);
    style.face_mark = psd_read_u16(ctx);
    style.size = psd_read_u32(ctx);
    style.tracking = psd_read_u32(ctx);
    style.kerning = psd_read_u32(ctx);
    style.leading = psd_read_u32(ctx);
    style.base_shift = psd_read_u32(ctx);
    style.auto_kern = psd_read_bool(ctx);
    psd_skip(ctx, 1);
    style.rotate = psd_read_bool(ctx);
}

} // namespace

int psd_parse_type_tool(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length) {
    PsdTypeTool* r = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_TYPE_TOOL, 0, r)) return psd_entry_not_added(s);
    PsdBlock block = psd_block(ctx, length);
    psd_read_u16(ctx); // version
    for (double& value : r->transform)
        value = psd_read_f64(ctx);
    psd_read_u16(ctx); // font information version

    const int16_t faces = int16_t(psd_read_u16(ctx));
    if (int s = psd_check_count(block, faces, kMinFace)) return s;
    if (int s = allocate(r->faces, faces)) return s;
    r->face_count = faces; // set once allocated: the release walks this many faces
    for (int i = 0; i < faces; ++i)
        if (int s = read_face(block, r->faces[i])) return s;

    const int16_t styles = int16_t(psd_read_u16(ctx));
    if (int s = psd_check_count(block, styles, kMinStyle)) return s;
    if (int s = allocate(r->styles, styles)) return s;
    r->style_count = styles;
    for (int i = 0; i < styles; ++i)
        read_style(ctx, r->styles[i]);

    r->text_type = psd_read_u16(ctx);
    r->scaling_factor = psd_read_u32(ctx);
    r->char_count = psd_read_u32(ctx);
    r->horizontal_placement = psd_read_u32(ctx);
    r->vertical_placement = psd_read_u32(ctx);
    r->selection_start = psd_read_u32(ctx);
    r->selection_end = psd_read_u32(ctx);

    const int16_t lines = int16_t(psd_read_u16(ctx));
    if (int s = psd_check_count(block, lines, kLineSize)) return s;
    if (int s = allocate(r->lines, lines)) return s;
    r->line_count = lines;
    for (int i = 0; i < lines; ++i) {
        PsdTypeLine& line = r->lines[i];
        line.char_count = psd_read_u32(ctx);
        line.orientation = psd_read_u16(ctx);
        line.alignment = psd_read_u16(ctx);
        line.actual_char = psd_read_u16(ctx);
        line.style = psd_read_u16(ctx);
    }
    r->color = psd_read_color(ctx);
    r->anti_alias = psd_read_bool(ctx);
    return PSD_OK;
}
