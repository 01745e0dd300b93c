// The graphics objects a metafile creates (pens, brushes, fonts, palettes, regions) as the
// records describe them, and the object table they live in while the records play.
#pragma once

#include "WmfFile.h"

#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace vistrel {

// A colour as records store it: 0x00BBGGRR, or a palette index in the low word when the high
// byte is 1.
using WmfColor = uint32_t;

struct WmfPen {
    uint16_t style = 0; // line style in the low bits, end cap and join in the high ones
    int16_t width = 0;  // in logical units along x; 0 draws one pixel wide
    WmfColor color = 0;
};

struct WmfBrush {
    enum Style : uint16_t { Solid = 0, Null = 1, Hatched = 2, Pattern = 3, DibPattern = 5 };
    uint16_t style = Solid;
    WmfColor color = 0;
    uint16_t hatch = 0;
    // The pattern's bitmap (pointing into the file) for pattern brushes, and whether its colour
    // table holds palette indices.
    WmfBitmap pattern;
    bool paletteIndices = false;
};

struct WmfFont {
    int16_t height = 0; // < 0: character height, > 0: cell height, 0: a default size
    int16_t width = 0;
    int16_t escapement = 0; // baseline angle in tenths of a degree, counter-clockwise
    int16_t weight = 0;
    bool italic = false, underline = false, strikeOut = false;
    uint8_t charset = 0;
    std::string face;
};

struct WmfPalette {
    std::vector<WmfColor> entries; // 0x00BBGGRR
};

struct WmfRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct WmfRegion {
    std::vector<WmfRect> rects; // in logical units, as the record gives them
};

// An object that takes a slot but that the player does not draw with (an old device-dependent
// pattern brush, for instance): selecting it changes nothing.
struct WmfUnusedObject {};

using WmfObject = std::variant<WmfPen, WmfBrush, WmfFont, std::shared_ptr<WmfPalette>, WmfRegion,
                               WmfUnusedObject>;

// Parsers of the creating records. False when the record is too short for what it claims; the
// object then still takes its slot, as an unused one, so that later indices keep their meaning.
bool readWmfPen(const WmfRecord& record, WmfPen& pen);
bool readWmfBrush(const WmfRecord& record, WmfBrush& brush);
// A pattern brush made from a packed bitmap (style, colour use, bitmap).
bool readWmfPatternBrush(const WmfRecord& record, uint64_t maxPixels, WmfBrush& brush);
bool readWmfFont(const WmfRecord& record, WmfFont& font);
bool readWmfPalette(const WmfRecord& record, WmfPalette& palette);
bool readWmfRegion(const WmfRecord& record, WmfRegion& region);
// Replaces palette entries from the record's start index on (entries beyond the palette are
// dropped). False when the record is too short.
bool setWmfPaletteEntries(const WmfRecord& record, WmfPalette& palette);

// The table of objects, as large as the metafile header says. A new object takes the lowest
// free slot; with none free it is dropped, as the platform's player drops it.
class WmfObjectTable {
public:
    explicit WmfObjectTable(std::size_t slots) : slots_(slots) {}
    void add(WmfObject object);
    // Null for an index beyond the table or a free slot.
    const WmfObject* at(std::size_t index) const;
    void remove(std::size_t index);

private:
    std::vector<std::unique_ptr<WmfObject>> slots_;
    std::size_t used_ = 0;
    std::size_t firstFree_ = 0; // no free slot below it
};

// A palette colour (0x00BBGGRR) for an index: the selected palette's entry, else the system's
// 20-colour default palette, else black.
WmfColor wmfPaletteColor(const WmfPalette* palette, std::size_t index);

// The colour a WmfColor stands for, as 0x00RRGGBB.
uint32_t wmfRgb(WmfColor color, const WmfPalette* palette);

} // namespace vistrel
