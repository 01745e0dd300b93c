#include "WmfFill.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vistrel {

WmfScanFill::WmfScanFill(const QList<QPolygonF>& polygons, QRect bounds) {
    const double top = bounds.top(), bottom = double(bounds.top()) + bounds.height();
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (const QPolygonF& polygon : polygons) {
        for (qsizetype i = 0; i < polygon.size(); ++i) {
            const QPointF a = polygon[i], b = polygon[(i + 1) % polygon.size()];
            if (a.y() == b.y() || !(std::isfinite(a.x()) && std::isfinite(b.x()))) continue;
            const bool down = a.y() < b.y();
            const QPointF from = down ? a : b, to = down ? b : a;
            if (to.y() <= top || from.y() >= bottom) continue; // no sampled row meets it
            const double slope = (to.x() - from.x()) / (to.y() - from.y());
            if (edges_.empty()) {
                minX = maxX = from.x();
                minY = from.y(), maxY = to.y();
            }
            minX = std::min({minX, from.x(), to.x()});
            maxX = std::max({maxX, from.x(), to.x()});
            minY = std::min(minY, from.y());
            maxY = std::max(maxY, to.y());
            edges_.push_back({from.x(), from.y(), to.y(), slope, down ? 1 : -1});
        }
    }
    if (edges_.empty()) return;
    const QRect box(QPoint(int(std::max(std::floor(minX), double(bounds.left()))),
                           int(std::max(std::floor(minY), top))),
                    QPoint(int(std::min(std::ceil(maxX), double(bounds.right()))),
                           int(std::min(std::ceil(maxY), bottom - 1))));
    area_ = box.intersected(bounds);
    if (area_.isEmpty()) {
        edges_.clear();
        return;
    }
    const double areaTop = area_.top(), areaBottom = areaTop + area_.height();
    for (const Edge& e : edges_)
        rows_ += uint64_t(std::max(0.0, std::ceil(std::min(e.y1, areaBottom)) -
                                            std::floor(std::max(e.y0, areaTop))));
    std::sort(edges_.begin(), edges_.end(),
              [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });
    cover_.assign(std::size_t(area_.width()) + 1, 0.0f);
    runs_.assign(std::size_t(area_.width()) + 1, 0.0f);
}

namespace {

uchar byteOf(float coverage) {
    return coverage >= 1.0f ? 255 : coverage <= 0.0f ? 0 : uchar(coverage * 255.0f + 0.5f);
}

} // namespace

void WmfScanFill::sampleRow(double y, bool winding, double weight) {
    while (next_ < edges_.size() && edges_[next_].y0 <= y) {
        if (edges_[next_].y1 > y) active_.push_back(next_);
        ++next_;
    }
    crossings_.clear();
    const double left = area_.left(), width = area_.width();
    std::size_t kept = 0;
    for (const std::size_t index : active_) {
        const Edge& e = edges_[index];
        if (e.y1 <= y) continue; // ended above this row
        active_[kept++] = index;
        // Pressed onto the area's sides: outside it a crossing only counts, it covers nothing.
        const double x = std::clamp(e.x0 + (y - e.y0) * e.slope - left, 0.0, width);
        crossings_.push_back({x, e.direction});
    }
    active_.resize(kept);
    std::sort(crossings_.begin(), crossings_.end(),
              [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
    const bool smooth = weight < 1;
    int count = 0;
    for (std::size_t i = 0; i + 1 < crossings_.size(); ++i) {
        count += crossings_[i].direction;
        const bool inside = winding ? count != 0 : (count & 1) != 0;
        const double xa = crossings_[i].x, xb = crossings_[i + 1].x;
        if (!inside || xb <= xa) continue;
        if (!smooth) {
            // The pixels whose centres lie in the span.
            const auto from = std::size_t(std::ceil(xa - 0.5)),
                       to = std::size_t(std::ceil(xb - 0.5));
            if (from < to) {
                runs_[from] += 1.0f;
                runs_[to] -= 1.0f;
                touched_.insert(touched_.end(), {from, to});
            }
            continue;
        }
        // Exact along the row: the end pixels get the part of them the span covers.
        const auto a = std::size_t(xa), b = std::size_t(xb);
        if (a == b) {
            cover_[a] += float((xb - xa) * weight);
            touched_.push_back(a);
            continue;
        }
        cover_[a] += float((double(a) + 1 - xa) * weight);
        runs_[a + 1] += float(weight);
        runs_[b] -= float(weight);
        cover_[b] += float((xb - double(b)) * weight);
        touched_.insert(touched_.end(), {a, a + 1, b});
    }
}

void WmfScanFill::fill(bool winding, bool smooth, int rows, QImage& coverage) {
    const int width = area_.width();
    for (int r = 0; r < rows && row_ < area_.height(); ++r, ++row_) {
        const double y = double(area_.top()) + row_;
        if (smooth) {
            for (int s = 0; s < kSubRows; ++s)
                sampleRow(y + (s + 0.5) / kSubRows, winding, 1.0 / kSubRows);
        } else {
            sampleRow(y + 0.5, winding, 1.0);
        }
        // The coverage changes only at the pixels the spans touched; between them it is the
        // runs' sum, written a stretch at a time.
        uchar* out = coverage.scanLine(r);
        std::sort(touched_.begin(), touched_.end());
        touched_.erase(std::unique(touched_.begin(), touched_.end()), touched_.end());
        float run = 0;
        std::size_t done = 0;
        for (const std::size_t x : touched_) {
            if (x >= std::size_t(width)) break;
            std::memset(out + done, byteOf(run), x - done);
            run += runs_[x];
            out[x] = byteOf(cover_[x] + run);
            done = x + 1;
        }
        std::memset(out + done, byteOf(run), std::size_t(width) - done);
        for (const std::size_t x : touched_)
            cover_[x] = runs_[x] = 0;
        touched_.clear();
    }
}

} // namespace vistrel
