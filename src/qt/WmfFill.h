// The metafile player's own filler for outlines: polygons in device pixels filled by the
// even-odd or the winding rule into coverage rows, band by band. Qt's rasterizers slow down far
// faster than an outline's size when many of its edges cross each row (a 50-point zig-zag over
// a 4000-pixel picture took 20 s); this one costs, at most, the rows its edges span (each a
// sort of the edges crossing it) and the pixels of the box it fills, which the player charges to
// its work budget before it fills anything.
#pragma once

#include <QImage>
#include <QList>
#include <QPolygonF>
#include <QRect>

#include <cstdint>
#include <vector>

namespace vistrel {

class WmfScanFill {
public:
    // Sub-rows sampled per pixel row when edges are smoothed; without smoothing a pixel is in
    // when its centre is.
    static constexpr int kSubRows = 4;

    // The edges of `polygons` (each closed) within `bounds`: what lies above or below counts for
    // nothing, what lies left or right is pressed onto its edge.
    WmfScanFill(const QList<QPolygonF>& polygons, QRect bounds);

    // The pixels the fill may cover: the edges' box within the bounds (empty: nothing to fill).
    QRect area() const { return area_; }
    // Crossings of an edge with a sampled row that a fill computes, smoothed or not.
    uint64_t crossings(bool smooth) const { return smooth ? rows_ * kSubRows : rows_; }
    std::size_t edges() const { return edges_.size(); }

    // The coverage (0 to 255) of the area's next `rows` pixel rows, from its top down, into
    // `coverage` (Format_Alpha8, the area's width, at least `rows` high).
    void fill(bool winding, bool smooth, int rows, QImage& coverage);

private:
    struct Edge {
        double x0, y0, y1; // y0 < y1: the edge covers sampled rows in [y0, y1)
        double slope;      // dx / dy
        int direction;     // +1 downwards as drawn, -1 upwards
    };
    struct Crossing {
        double x;
        int direction;
    };
    void sampleRow(double y, bool winding, double weight);

    std::vector<Edge> edges_; // by y0
    QRect area_;
    uint64_t rows_ = 0; // pixel rows each edge spans within the area, summed
    // The fill's place: the next pixel row, the next edge to join, the edges crossing the row.
    int row_ = 0;
    std::size_t next_ = 0;
    std::vector<std::size_t> active_;
    std::vector<Crossing> crossings_;
    // One pixel row's coverage: each pixel's own part and, for the runs between, a difference
    // array (+ at a run's start, - after its end), in sixteenths of a sub-row's weight.
    std::vector<float> cover_, runs_;
    std::vector<std::size_t> touched_; // the pixels of the row whose entries are not zero
};

} // namespace vistrel
