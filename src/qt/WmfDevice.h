// The drawing surface the metafile player draws on: the device context's state (mapping,
// selected objects, colours, modes, clipping, the saved states), its drawing operations on a
// QPainter over the picture, and the work budget that bounds how long one picture may take.
#pragma once

#include "WmfObjects.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegion>

#include <memory>
#include <vector>

namespace vistrel {

struct WmfState {
    // Logical to device mapping: anisotropic unless the metafile asks for isotropic.
    bool isotropic = false;
    QPointF windowOrigin, windowExtent{1, 1}, viewportOrigin, viewportExtent{1, 1};
    // Selected objects: the stock black pen, white brush and a default font at first.
    WmfPen pen;
    WmfBrush brush{WmfBrush::Solid, 0xFFFFFF, 0, {}, false};
    WmfFont font;
    std::shared_ptr<WmfPalette> palette;
    WmfColor textColor = 0;
    WmfColor backgroundColor = 0xFFFFFF;
    bool opaqueBackground = true;
    bool windingFill = false;
    int rop2 = 13; // copy the pen
    bool smoothStretch = false;
    uint16_t textAlign = 0;
    int charExtra = 0;
    QPoint position; // logical
    bool clipped = false;
    QRegion clip; // device pixels, when clipped
};

// What one picture may cost, in rough nanoseconds of drawing on this class of machine, and the
// cost of each kind of work, as bench_wmf measures them. A small file that repeats a
// full-picture fill or a huge text a million times runs out of budget after a few seconds and
// shows what was drawn by then. Every cost is charged before the work is done, from what the
// record asks for, so that no record, however drawn, takes much longer than the budget left.
constexpr double kBudget = 1.5e9;
constexpr double kCallCost = 1500;     // any drawing call
constexpr double kPixelCost = 3.5;     // a pixel of a filled shape's bounding box
constexpr double kLineCost = 850;      // a pixel of outline length
constexpr double kImagePixel = 3;      // a pixel converted or drawn from a bitmap
constexpr double kGlyphCost = 1500;    // a glyph from Qt's cache
constexpr double kLargeGlyphCost = 60; // a pixel of the em square of a glyph drawn as a path
constexpr double kNewFontCost = 1e6;   // finding and opening a font
// Filled outlines and wide lines (WmfScanFill): a point of the outline, each crossing of an edge
// with a sampled row and its share of the row's sort (by the log of the edges), a pixel of the
// filled box, and the making of a wide line's outline by its path's elements and its dashes.
constexpr double kEdgeCost = 60;
constexpr double kCrossingCost = 6;
constexpr double kSortCost = 4;
constexpr double kFillPixelCost = 2.5;
constexpr double kStrokeElementCost = 400;
constexpr double kDashCost = 600;

// The budget of the pictures played from now on, in the units above (tests and fuzzing lower it
// to see that no record outruns it); 0 restores kBudget.
void setWmfBudget(double budget);

// Raster operations as a function of two operands, source (or pen) S and destination D: bit
// (2 * S + D) of the 4-bit code holds the result, as the platform's mix modes number them.
constexpr int kRopKeepDestination = 0xA;
constexpr int kRopCopySource = 0xC;

class WmfDevice {
public:
    // Draws onto `canvas` (RGB32, already filled), whose pixels stand for the frame given in
    // logical units.
    WmfDevice(QImage& canvas, QRect frame, uint64_t maxBitmapPixels);
    ~WmfDevice();
    WmfDevice(const WmfDevice&) = delete;
    WmfDevice& operator=(const WmfDevice&) = delete;

    WmfState& state() { return state_; }
    void save();
    // Back to a saved state: -n the n-th most recent, n > 0 the n-th saved from the start.
    void restore(int which);
    // The mapping changed or the clip region was replaced: both are applied afresh when drawn.
    void clipChanged() { clipDirty_ = true; }

    // Work still allowed; false once the budget is spent, which ends the picture.
    bool spend(double cost);
    bool exhausted() const { return budget_ <= 0; }
    uint64_t maxBitmapPixels() const { return maxBitmapPixels_; }

    // Logical to device.
    QPointF map(double x, double y) const;
    double scaleX() const;
    double scaleY() const;
    QRectF mapRect(int left, int top, int right, int bottom) const;
    uint32_t rgb(WmfColor color) const;

    // Clipping, in logical units.
    void intersectClip(int left, int top, int right, int bottom);
    void excludeClip(int left, int top, int right, int bottom);
    void selectClip(const WmfRegion* region);

    // Shapes: the path is filled with the brush (unless `fill` is false) and outlined with the
    // pen, both in device pixels; `outline` is its length.
    void drawPath(const QPainterPath& path, bool fill, double outline);
    void drawPolyline(const QPolygonF& points);
    void drawPolygons(const std::vector<QPolygonF>& polygons);
    void setPixel(QPointF at, WmfColor color);
    void fillRegion(const WmfRegion& region, const WmfBrush& brush, int function);

    // Fills a device rectangle with the brush (or with nothing but the operation) under a
    // ternary raster operation; used by pattern blits.
    void patternBlit(QRectF target, uint32_t rop);
    // Draws `image` into the device rectangle (negative sizes mirror) under a ternary raster
    // operation.
    void imageBlit(const QImage& image, QRectF target, uint32_t rop);

    // Text at a logical point. `dx`, when not null, holds one advance per byte (16-bit,
    // little-endian, logical units); `rect` is the clipping or opaque rectangle of `options`.
    void text(QPoint at, const uint8_t* bytes, std::size_t length, const uint8_t* dx,
              uint16_t options, const WmfRect* rect);

    // The brush as Qt fills with it, its pattern converted from the bitmap.
    QBrush qtBrush(const WmfBrush& brush);

private:
    bool prepare(int function, bool antialias);
    void fillGaps(bool patterned);
    // Fills closed polygons (device pixels) with `brush` under the raster operation, by the
    // winding or the even-odd rule, smoothed where colours are copied; charged first.
    void fillPolygons(const QList<QPolygonF>& polygons, bool winding, const QBrush& brush,
                      bool hatched);
    void drawCoverage(const QImage& coverage, int rows, QPoint at, const QBrush& brush,
                      bool hatched);
    void fillCoveredSpans(const QImage& coverage, int rows, QPoint at, const QBrush& brush,
                          bool hatched);
    // The outline of a wide pen along `path`, filled; charged first.
    void strokeWide(const QPainterPath& path, const QPen& pen, double length);
    const QFont& fontFor(const WmfFont& font, double scale);
    double pixelCost(const QRectF& bounds) const;
    QPen qtPen() const;

    QImage& canvas_;
    QPainter painter_;
    WmfState state_;
    std::vector<WmfState> saved_;
    bool clipDirty_ = true;
    double budget_;
    uint64_t maxBitmapPixels_;
    // The font last made for text, and what it was made from.
    bool textAvailable_ = false;
    QFont font_;
    WmfFont fontMadeFrom_;
    double fontScale_ = 0;
};

// A picture for the part `source` (top-down pixel coordinates, clipped to the bitmap) of a
// record's bitmap, colours looked up in `palette` when the table holds palette indices.
QImage wmfImage(const WmfBitmap& bitmap, const WmfPalette* palette, QRect source);

} // namespace vistrel
