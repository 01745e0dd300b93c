#include "WmfObjects.h"

namespace vistrel {

bool readWmfPen(const WmfRecord& r, WmfPen& pen) {
    // Style, width as a point (only x counts), colour.
    if (!r.has(5)) return false;
    pen.style = r.u16(0);
    pen.width = r.s16(1);
    pen.color = r.u32(3);
    return true;
}

bool readWmfBrush(const WmfRecord& r, WmfBrush& brush) {
    // Style, colour, hatch. The pattern styles need a bitmap, which only the pattern brush
    // records carry; here they draw nothing.
    if (!r.has(4)) return false;
    brush.style = r.u16(0);
    brush.color = r.u32(1);
    brush.hatch = r.u16(3);
    if (brush.style != WmfBrush::Solid && brush.style != WmfBrush::Hatched)
        brush.style = WmfBrush::Null;
    return true;
}

bool readWmfPatternBrush(const WmfRecord& r, uint64_t maxPixels, WmfBrush& brush) {
    // Style, colour use (0 colours, 1 palette indices; a plain pattern always has colours),
    // then the bitmap.
    if (!r.has(2)) return false;
    brush.style = WmfBrush::DibPattern;
    brush.paletteIndices = r.u16(0) != WmfBrush::Pattern && r.u16(1) == 1;
    return readWmfBitmap(r.bytesFrom(2), r.byteCountFrom(2), brush.paletteIndices, maxPixels,
                         brush.pattern);
}

bool readWmfFont(const WmfRecord& r, WmfFont& font) {
    // Height, width, escapement, orientation, weight, then the bytes italic, underline,
    // strike-out, character set, three precision and quality bytes, pitch and family, and the
    // face name of up to 32 bytes, ended by a 0 unless it fills them.
    if (!r.has(9)) return false;
    font.height = r.s16(0);
    font.width = r.s16(1);
    font.escapement = r.s16(2);
    font.weight = r.s16(4);
    const uint8_t* bytes = r.bytesFrom(5);
    font.italic = bytes[0] != 0;
    font.underline = bytes[1] != 0;
    font.strikeOut = bytes[2] != 0;
    font.charset = bytes[3];
    const uint8_t* name = r.bytesFrom(9);
    const std::size_t available = r.byteCountFrom(9) < 32 ? r.byteCountFrom(9) : 32;
    std::size_t length = 0;
    while (length < available && name[length] != 0)
        ++length;
    font.face.assign(reinterpret_cast<const char*>(name), length);
    return true;
}

namespace {

// Entries of a palette record from word 2 on: red, green, blue, flags, as the system's palette
// entries are laid out.
bool readEntries(const WmfRecord& r, std::size_t count, std::vector<WmfColor>& out) {
    if (r.byteCountFrom(2) / 4 < count) return false;
    const uint8_t* p = r.bytesFrom(2);
    out.resize(count);
    for (std::size_t i = 0; i < count; ++i, p += 4)
        out[i] = WmfColor(p[0]) | WmfColor(p[1]) << 8 | WmfColor(p[2]) << 16;
    return true;
}

} // namespace

bool readWmfPalette(const WmfRecord& r, WmfPalette& palette) {
    // Version (0x0300), number of entries, the entries.
    return r.has(2) && readEntries(r, r.u16(1), palette.entries);
}

bool setWmfPaletteEntries(const WmfRecord& r, WmfPalette& palette) {
    std::vector<WmfColor> entries;
    if (!r.has(2) || !readEntries(r, r.u16(1), entries)) return false;
    const std::size_t start = r.u16(0);
    for (std::size_t i = 0; i < entries.size() && start + i < palette.entries.size(); ++i)
        palette.entries[start + i] = entries[i];
    return true;
}

bool readWmfRegion(const WmfRecord& r, WmfRegion& region) {
    // Next in chain, object type, object count, region size, scan count, largest scan, the
    // bounding rectangle, then the scans: a count of x values, top, bottom, the (left, right)
    // pairs, and the count again.
    constexpr std::size_t kScansAt = 11;
    if (!r.has(kScansAt)) return false;
    const std::size_t scans = r.u16(5);
    std::size_t at = kScansAt;
    for (std::size_t s = 0; s < scans; ++s) {
        if (!r.has(at + 3)) return false;
        const std::size_t values = r.u16(at);
        const int top = r.s16(at + 1), bottom = r.s16(at + 2);
        if (values % 2 != 0 || !r.has(at + 4 + values)) return false;
        for (std::size_t i = 0; i < values; i += 2)
            region.rects.push_back({r.s16(at + 3 + i), top, r.s16(at + 4 + i), bottom});
        at += 4 + values;
    }
    if (scans == 0) // an empty scan list: the bounding rectangle stands for the region
        region.rects.push_back({r.s16(7), r.s16(8), r.s16(9), r.s16(10)});
    return true;
}

void WmfObjectTable::add(WmfObject object) {
    if (used_ == slots_.size()) return;
    // Every slot below the hint is taken, so the search never walks the table twice over.
    while (slots_[firstFree_])
        ++firstFree_;
    slots_[firstFree_] = std::make_unique<WmfObject>(std::move(object));
    ++used_;
}

const WmfObject* WmfObjectTable::at(std::size_t index) const {
    return index < slots_.size() ? slots_[index].get() : nullptr;
}

void WmfObjectTable::remove(std::size_t index) {
    if (index >= slots_.size() || !slots_[index]) return;
    slots_[index].reset();
    --used_;
    if (index < firstFree_) firstFree_ = index;
}

WmfColor wmfPaletteColor(const WmfPalette* palette, std::size_t index) {
    // The 20 reserved colours of the system's default palette.
    static const WmfColor kDefault[20] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000,
                                          0x800080, 0x808000, 0xC0C0C0, 0xC0DCC0, 0xF0CAA6,
                                          0xF0FBFF, 0xA4A0A0, 0x808080, 0x0000FF, 0x00FF00,
                                          0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    if (palette) return index < palette->entries.size() ? palette->entries[index] : 0;
    return index < 20 ? kDefault[index] : 0;
}

uint32_t wmfRgb(WmfColor color, const WmfPalette* palette) {
    if ((color >> 24) == 1) color = wmfPaletteColor(palette, color & 0xFFFF);
    return (color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF);
}

} // namespace vistrel
