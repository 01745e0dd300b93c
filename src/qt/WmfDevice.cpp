#include "WmfDevice.h"

#include "WmfFill.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainterPathStroker>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace vistrel {

namespace {

// Device coordinates stay within this, whatever the mapping; farther away nothing is seen, and
// the rasterizer's own arithmetic stays exact.
constexpr double kCoordinateLimit = double(1 << 24);

// Rows of an outline's coverage filled and drawn at a time.
constexpr int kBandRows = 64;

std::atomic<double> budgetOfNextPictures{0};

// A premultiplied pixel times a / 255, its four channels alike, two at a time in 16-bit lanes
// (x / 255 as (x + 128 + (x + 128) / 256) / 256, exact for products of two bytes).
uint32_t scaledPixel(uint32_t pixel, uint32_t a) {
    auto lanes = [a](uint32_t v) {
        v = v * a + 0x00800080u;
        return ((v + ((v >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    };
    return lanes(pixel & 0x00FF00FFu) | lanes((pixel >> 8) & 0x00FF00FFu) << 8;
}

double clampCoordinate(double v) {
    if (!(v > -kCoordinateLimit)) return -kCoordinateLimit; // NaN too
    return v < kCoordinateLimit ? v : kCoordinateLimit;
}

// The composition mode for a two-operand raster function (see kRopCopySource); false for
// the one that leaves the destination as it is.
bool compositionMode(int function, QPainter::CompositionMode& mode) {
    static const QPainter::CompositionMode modes[16] = {
        QPainter::RasterOp_ClearDestination,        QPainter::RasterOp_NotSourceAndNotDestination,
        QPainter::RasterOp_NotSourceAndDestination, QPainter::RasterOp_NotSource,
        QPainter::RasterOp_SourceAndNotDestination, QPainter::RasterOp_NotDestination,
        QPainter::RasterOp_SourceXorDestination,    QPainter::RasterOp_NotSourceOrNotDestination,
        QPainter::RasterOp_SourceAndDestination,    QPainter::RasterOp_NotSourceXorDestination,
        QPainter::CompositionMode_Destination,      QPainter::RasterOp_NotSourceOrDestination,
        QPainter::CompositionMode_SourceOver,       QPainter::RasterOp_SourceOrNotDestination,
        QPainter::RasterOp_SourceOrDestination,     QPainter::RasterOp_SetDestination,
    };
    if (function == kRopKeepDestination) return false;
    mode = modes[function & 0xF];
    return true;
}

// A ternary raster operation's truth table: bit (4 * P + 2 * S + D) of its index byte.
int ropIndex(uint32_t rop) {
    return int(rop >> 16 & 0xFF);
}
bool ropUsesSource(int index) {
    return (index >> 2 & 0x33) != (index & 0x33);
}
// The operation as a function of pattern and destination, for a source of zeros.
int patternFunction(int index) {
    return (index & 3) | (index >> 4 & 3) << 2;
}
// The operation as a function of source and destination, for a pattern of ones (a white brush):
// exact for the operations that do not look at the pattern, which are nearly all of those
// blits with a bitmap use.
int sourceFunction(int index) {
    return index >> 4 & 0xF;
}

} // namespace

void setWmfBudget(double budget) {
    budgetOfNextPictures = budget;
}

WmfDevice::WmfDevice(QImage& canvas, QRect frame, uint64_t maxBitmapPixels)
    : canvas_(canvas), painter_(&canvas),
      budget_(budgetOfNextPictures > 0 ? budgetOfNextPictures.load() : kBudget),
      maxBitmapPixels_(maxBitmapPixels) {
    state_.windowOrigin = QPointF(frame.left(), frame.top());
    state_.windowExtent = QPointF(frame.width(), frame.height());
    state_.viewportExtent = QPointF(canvas.width(), canvas.height());
    // Qt draws text only with a GUI application (its font database needs one); without it
    // (command-line tools, fuzzing) text records draw nothing.
    textAvailable_ = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

WmfDevice::~WmfDevice() = default;

void WmfDevice::save() {
    // The platform keeps no fixed limit; this one only stops a file from growing the stack
    // without bound (each state is small, and every save costs a record).
    if (saved_.size() < 4096) saved_.push_back(state_);
}

void WmfDevice::restore(int which) {
    const int64_t count = int64_t(saved_.size());
    const int64_t index = which < 0 ? count + which : int64_t(which) - 1;
    if (which == 0 || index < 0 || index >= count) return;
    state_ = saved_[std::size_t(index)];
    saved_.resize(std::size_t(index));
    clipDirty_ = true;
}

bool WmfDevice::spend(double cost) {
    budget_ -= cost;
    return budget_ > 0;
}

double WmfDevice::scaleX() const {
    const double sx = state_.viewportExtent.x() / state_.windowExtent.x();
    if (!state_.isotropic) return sx;
    const double sy = state_.viewportExtent.y() / state_.windowExtent.y();
    return std::copysign(std::min(std::fabs(sx), std::fabs(sy)), sx);
}

double WmfDevice::scaleY() const {
    const double sy = state_.viewportExtent.y() / state_.windowExtent.y();
    if (!state_.isotropic) return sy;
    const double sx = state_.viewportExtent.x() / state_.windowExtent.x();
    return std::copysign(std::min(std::fabs(sx), std::fabs(sy)), sy);
}

QPointF WmfDevice::map(double x, double y) const {
    return {clampCoordinate((x - state_.windowOrigin.x()) * scaleX() + state_.viewportOrigin.x()),
            clampCoordinate((y - state_.windowOrigin.y()) * scaleY() + state_.viewportOrigin.y())};
}

QRectF WmfDevice::mapRect(int left, int top, int right, int bottom) const {
    return QRectF(map(left, top), map(right, bottom)).normalized();
}

uint32_t WmfDevice::rgb(WmfColor color) const {
    return wmfRgb(color, state_.palette.get());
}

namespace {

// The device pixels a clipping rectangle covers: from its left and top edge up to, not
// including, its right and bottom edge.
QRect clipPixels(const QRectF& r) {
    return QRect(QPoint(int(std::lround(r.left())), int(std::lround(r.top()))),
                 QPoint(int(std::lround(r.right())) - 1, int(std::lround(r.bottom())) - 1));
}

} // namespace

void WmfDevice::intersectClip(int left, int top, int right, int bottom) {
    const QRect r = clipPixels(mapRect(left, top, right, bottom));
    state_.clip = state_.clipped ? state_.clip.intersected(r) : QRegion(r);
    state_.clipped = true;
    clipDirty_ = true;
    spend(kCallCost + state_.clip.rectCount() * 20.0);
}

void WmfDevice::excludeClip(int left, int top, int right, int bottom) {
    const QRegion base = state_.clipped ? state_.clip : QRegion(canvas_.rect());
    state_.clip = base.subtracted(clipPixels(mapRect(left, top, right, bottom)));
    state_.clipped = true;
    clipDirty_ = true;
    spend(kCallCost + state_.clip.rectCount() * 20.0);
}

void WmfDevice::selectClip(const WmfRegion* region) {
    state_.clipped = region != nullptr;
    state_.clip = QRegion();
    if (region) {
        for (const WmfRect& r : region->rects)
            state_.clip += clipPixels(mapRect(r.left, r.top, r.right, r.bottom));
        spend(kCallCost + region->rects.size() * 20.0 + state_.clip.rectCount() * 20.0);
    }
    clipDirty_ = true;
}

bool WmfDevice::prepare(int function, bool antialias) {
    if (clipDirty_) {
        if (state_.clipped)
            painter_.setClipRegion(state_.clip);
        else
            painter_.setClipping(false);
        clipDirty_ = false;
    }
    QPainter::CompositionMode mode;
    if (!compositionMode(function, mode)) return false;
    painter_.setCompositionMode(mode);
    // Edges are smoothed only where colours are copied; the logical operations work on whole
    // pixels, as the platform's do.
    painter_.setRenderHint(QPainter::Antialiasing, antialias && function == kRopCopySource);
    painter_.setBackgroundMode(Qt::TransparentMode);
    return true;
}

void WmfDevice::fillGaps(bool patterned) {
    // The background colour fills the gaps of hatches and dashes only; Qt's opaque mode would
    // slow every other line down.
    if (!patterned || !state_.opaqueBackground) return;
    painter_.setBackgroundMode(Qt::OpaqueMode);
    painter_.setBackground(QColor::fromRgb(rgb(state_.backgroundColor)));
}

double WmfDevice::pixelCost(const QRectF& bounds) const {
    const QRectF visible = bounds.intersected(QRectF(canvas_.rect()));
    return visible.isEmpty() ? 0 : visible.width() * visible.height() * kPixelCost;
}

QPen WmfDevice::qtPen() const {
    const WmfPen& pen = state_.pen;
    const int style = pen.style & 0xF;
    if (style == 5) return Qt::NoPen; // the null pen
    const double width = std::max(1.0, std::fabs(pen.width * scaleX()));
    QPen qt(QColor::fromRgb(rgb(pen.color)), width);
    // One-pixel pens go through Qt's fast path for thin lines.
    qt.setCosmetic(width <= 1.5);
    static const Qt::PenCapStyle caps[] = {Qt::RoundCap, Qt::SquareCap, Qt::FlatCap};
    static const Qt::PenJoinStyle joins[] = {Qt::RoundJoin, Qt::BevelJoin, Qt::MiterJoin};
    qt.setCapStyle(caps[std::min(2, pen.style >> 8 & 0xF)]);
    qt.setJoinStyle(joins[std::min(2, pen.style >> 12 & 0xF)]);
    if (style >= 1 && style <= 4) {
        // One-pixel pens keep the platform's dash lengths in pixels; wider ones scale them with
        // their width, as Qt's own patterns do.
        static const QList<qreal> pixels[] = {{18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
        if (width <= 1.5) {
            QList<qreal> dashes = pixels[style - 1];
            for (qreal& d : dashes)
                d /= width;
            qt.setDashPattern(dashes);
        } else {
            static const Qt::PenStyle styles[] = {Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                                  Qt::DashDotDotLine};
            qt.setStyle(styles[style - 1]);
        }
    }
    return qt;
}

QBrush WmfDevice::qtBrush(const WmfBrush& brush) {
    const QColor color = QColor::fromRgb(rgb(brush.color));
    switch (brush.style) {
    case WmfBrush::Solid:
        return QBrush(color);
    case WmfBrush::Hatched: {
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                 Qt::FDiagPattern, Qt::BDiagPattern,
                                                 Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(color, brush.hatch < 6 ? hatches[brush.hatch] : Qt::SolidPattern);
    }
    case WmfBrush::DibPattern: {
        const WmfBitmap& b = brush.pattern;
        spend(double(b.width) * b.height * kImagePixel);
        const QImage image = wmfImage(b, brush.paletteIndices ? state_.palette.get() : nullptr,
                                      QRect(0, 0, b.width, b.height));
        return image.isNull() ? QBrush(Qt::NoBrush) : QBrush(image);
    }
    default:
        return QBrush(Qt::NoBrush);
    }
}

namespace {

// Outline length in pixels, each edge counted at most as long as the picture's width and
// height together, since the rasterizer does not walk edges beyond the picture.
double outlineLength(const QPolygonF& points, bool closed, double longest) {
    double total = 0;
    for (qsizetype i = 1; i <= points.size(); ++i) {
        if (i == points.size() && !closed) break;
        const QPointF d = points[i % points.size()] - points[i - 1];
        total += std::min(longest, std::hypot(d.x(), d.y()));
    }
    return total;
}

} // namespace

void WmfDevice::fillPolygons(const QList<QPolygonF>& polygons, bool winding, const QBrush& brush,
                             bool hatched) {
    const int function = state_.rop2 - 1;
    const bool smooth = function == kRopCopySource;
    const QRect bounds =
        state_.clipped ? canvas_.rect().intersected(state_.clip.boundingRect()) : canvas_.rect();
    // Reading the edges is charged before they are read, the rest before it is done.
    std::size_t points = 0;
    for (const QPolygonF& polygon : polygons)
        points += std::size_t(polygon.size());
    if (!spend(double(points) * kEdgeCost)) return;
    WmfScanFill scan(polygons, bounds);
    const QRect area = scan.area();
    if (area.isEmpty()) return;
    const double crossing = kCrossingCost + kSortCost * std::log2(double(scan.edges()) + 1);
    const double cost = double(scan.crossings(smooth)) * crossing +
                        double(area.width()) * area.height() * kFillPixelCost;
    if (!spend(cost) || !prepare(function, false)) return;
    QImage coverage(area.width(), std::min(kBandRows, area.height()), QImage::Format_Alpha8);
    if (coverage.isNull()) return;
    for (int top = area.top(); top <= area.bottom(); top += kBandRows) {
        const int rows = std::min(kBandRows, area.bottom() + 1 - top);
        scan.fill(winding, smooth, rows, coverage);
        if (smooth)
            drawCoverage(coverage, rows, QPoint(area.left(), top), brush, hatched);
        else
            fillCoveredSpans(coverage, rows, QPoint(area.left(), top), brush, hatched);
    }
}

void WmfDevice::drawCoverage(const QImage& coverage, int rows, QPoint at, const QBrush& brush,
                             bool hatched) {
    // The brush over the band, its pattern placed as on the canvas, then each pixel weighed by
    // its coverage and drawn over the picture.
    QImage source(coverage.width(), rows, QImage::Format_ARGB32_Premultiplied);
    if (source.isNull()) return;
    const int width = source.width();
    if (brush.style() == Qt::SolidPattern) {
        // One colour: each coverage value's pixel from a table.
        uint32_t shades[256];
        const uint32_t colour = brush.color().rgba();
        for (uint32_t a = 0; a < 256; ++a)
            shades[a] = scaledPixel(colour, a);
        for (int y = 0; y < rows; ++y) {
            const uchar* c = coverage.constScanLine(y);
            auto* pixel = reinterpret_cast<uint32_t*>(source.scanLine(y));
            for (int x = 0; x < width; ++x)
                pixel[x] = shades[c[x]];
        }
        painter_.drawImage(at, source);
        return;
    }
    source.fill(Qt::transparent);
    QPainter painter(&source);
    painter.setBrushOrigin(-at);
    if (hatched && state_.opaqueBackground) {
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(QColor::fromRgb(rgb(state_.backgroundColor)));
    }
    painter.fillRect(source.rect(), brush);
    painter.end();
    for (int y = 0; y < rows; ++y) {
        const uchar* c = coverage.constScanLine(y);
        auto* pixel = reinterpret_cast<uint32_t*>(source.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (c[x] == 255) continue;
            pixel[x] = scaledPixel(pixel[x], c[x]);
        }
    }
    painter_.drawImage(at, source);
}

void WmfDevice::fillCoveredSpans(const QImage& coverage, int rows, QPoint at, const QBrush& brush,
                                 bool hatched) {
    // The logical operations work on whole pixels: the covered runs become the clip, and the
    // brush fills the band through it.
    QList<QRect> runs;
    const int width = coverage.width();
    for (int y = 0; y < rows; ++y) {
        const uchar* c = coverage.constScanLine(y);
        for (int x = 0; x < width;) {
            if (!c[x]) {
                ++x;
                continue;
            }
            const int from = x;
            while (x < width && c[x])
                ++x;
            runs.append(QRect(at.x() + from, at.y() + y, x - from, 1));
        }
    }
    if (runs.isEmpty()) return;
    QRegion covered;
    covered.setRects(runs.constData(), int(runs.size()));
    painter_.setClipRegion(state_.clipped ? state_.clip.intersected(covered) : covered);
    clipDirty_ = true;
    fillGaps(hatched);
    painter_.fillRect(QRect(at, QSize(coverage.width(), rows)), brush);
}

void WmfDevice::strokeWide(const QPainterPath& path, const QPen& pen, double length) {
    // Making the outline costs by the path's elements and the dashes along it.
    const QList<qreal> pattern = pen.style() == Qt::SolidLine ? QList<qreal>() : pen.dashPattern();
    double period = 0;
    for (const qreal d : pattern)
        period += d * pen.widthF();
    const double dashes = period > 0 ? length / period * double(pattern.size()) : 0;
    if (!spend(double(path.elementCount()) * kStrokeElementCost + dashes * kDashCost)) return;
    QPainterPathStroker stroker(pen);
    if (!pattern.isEmpty() && state_.opaqueBackground) {
        // The gaps between the dashes in the background colour, as the platform draws them.
        QPainterPathStroker whole(pen);
        whole.setDashPattern(Qt::SolidLine);
        fillPolygons(whole.createStroke(path).toSubpathPolygons(), true,
                     QColor::fromRgb(rgb(state_.backgroundColor)), false);
    }
    fillPolygons(stroker.createStroke(path).toSubpathPolygons(), true, pen.brush(), false);
}

void WmfDevice::drawPath(const QPainterPath& path, bool fill, double outline) {
    const QPen pen = qtPen();
    if (!spend(kCallCost + double(path.elementCount()) * 20)) return;
    QPainterPath shape = path;
    shape.setFillRule(state_.windingFill ? Qt::WindingFill : Qt::OddEvenFill);
    if (fill && state_.brush.style != WmfBrush::Null)
        fillPolygons(shape.toSubpathPolygons(), state_.windingFill, qtBrush(state_.brush),
                     state_.brush.style == WmfBrush::Hatched);
    if (pen.style() == Qt::NoPen) return;
    // An outline runs through the middle of the pixels its points name, as the platform's
    // one-pixel lines light exactly those pixels.
    const QPainterPath line = shape.translated(0.5, 0.5);
    if (!pen.isCosmetic()) return strokeWide(line, pen, outline);
    // Qt's thin lines cost by their length.
    if (!spend(outline * kLineCost) || !prepare(state_.rop2 - 1, true)) return;
    painter_.setBackgroundMode(Qt::TransparentMode);
    fillGaps(pen.style() != Qt::SolidLine);
    painter_.strokePath(line, pen);
}

void WmfDevice::drawPolyline(const QPolygonF& points) {
    if (points.size() < 2) return;
    const double longest = canvas_.width() + canvas_.height();
    const QPen pen = qtPen();
    if (pen.style() == Qt::NoPen) return;
    const double length = outlineLength(points, false, longest);
    if (!spend(kCallCost + double(points.size()) * 20)) return;
    if (!pen.isCosmetic()) {
        QPainterPath line;
        line.addPolygon(points.translated(0.5, 0.5));
        return strokeWide(line, pen, length);
    }
    if (!spend(length * kLineCost) || !prepare(state_.rop2 - 1, true)) return;
    fillGaps(pen.style() != Qt::SolidLine);
    painter_.setPen(pen);
    painter_.setBrush(Qt::NoBrush);
    painter_.drawPolyline(points.translated(0.5, 0.5));
}

void WmfDevice::drawPolygons(const std::vector<QPolygonF>& polygons) {
    QPainterPath path;
    double outline = 0;
    const double longest = canvas_.width() + canvas_.height();
    for (const QPolygonF& p : polygons) {
        if (p.isEmpty()) continue;
        path.addPolygon(p);
        path.closeSubpath();
        outline += outlineLength(p, true, longest);
    }
    drawPath(path, true, outline);
}

void WmfDevice::setPixel(QPointF at, WmfColor color) {
    if (!spend(kCallCost) || !prepare(kRopCopySource, false)) return;
    painter_.fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1),
                      QColor::fromRgb(rgb(color)));
}

void WmfDevice::fillRegion(const WmfRegion& region, const WmfBrush& brush, int function) {
    for (const WmfRect& r : region.rects) {
        const QRectF target = mapRect(r.left, r.top, r.right, r.bottom);
        if (!spend(kCallCost + pixelCost(target)) || !prepare(function, false)) return;
        painter_.fillRect(target, function == kRopCopySource ? qtBrush(brush) : QBrush(Qt::black));
    }
}

void WmfDevice::patternBlit(QRectF target, uint32_t rop) {
    target = target.normalized();
    if (!spend(kCallCost + pixelCost(target))) return;
    if (!prepare(patternFunction(ropIndex(rop)), false)) return;
    fillGaps(state_.brush.style == WmfBrush::Hatched);
    painter_.fillRect(target, qtBrush(state_.brush));
}

void WmfDevice::imageBlit(const QImage& image, QRectF target, uint32_t rop) {
    const int index = ropIndex(rop);
    if (!ropUsesSource(index)) return patternBlit(target, rop);
    if (image.isNull() || target.width() == 0 || target.height() == 0) return;
    const double cost = kCallCost + double(image.width()) * image.height() * kImagePixel +
                        pixelCost(target.normalized()) * kImagePixel;
    if (!spend(cost) || !prepare(sourceFunction(index), false)) return;
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, state_.smoothStretch);
    // Negative sizes mirror the picture, as stretched blits do.
    painter_.setTransform(QTransform(target.width() / image.width(), 0, 0,
                                     target.height() / image.height(), target.x(), target.y()));
    painter_.drawImage(QPointF(0, 0), image);
    painter_.resetTransform();
}

} // namespace vistrel
