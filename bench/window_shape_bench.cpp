// The cost of cutting a translucent window's shape from its frame's alpha, on frames as large as
// a big screen copy: the runs-of-rows shape (shapeFromAlpha, then a QRegion from its rectangles)
// beside the per-pixel mask it replaced (a 1-bit QBitmap made into a QRegion), alternating, and
// beside the premultiplying pass every translucent frame takes anyway. On an X display
// (QT_QPA_PLATFORM=xcb) it also times giving the shape to a real window, with the server's work.
#include "Premultiply.h"
#include "WindowShape.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QImage>
#include <QRegion>
#include <QWindow>
#include <qpa/qplatformwindow.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Frame {
    const char* name;
    int width, height;
    std::vector<uint8_t> bits; // premultiplied BGRA
};

// A frame of alpha 255 (or `inside`) whose corners are cut to a circle of `radius` (0: none),
// with a half-transparent band across it.
Frame makeFrame(const char* name, int w, int h, int radius, uint8_t inside) {
    Frame f{name, w, h, std::vector<uint8_t>(std::size_t(w) * h * 4, 0)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int dx = std::max({radius - x, x - (w - 1 - radius), 0});
            const int dy = std::max({radius - y, y - (h - 1 - radius), 0});
            if (radius && dx * dx + dy * dy > radius * radius) continue;
            uint8_t* p = &f.bits[(std::size_t(y) * w + x) * 4];
            const uint8_t a = (y > h / 3 && y < h / 2) ? 128 : inside;
            p[0] = p[1] = p[2] = uint8_t(a / 2);
            p[3] = a;
        }
    return f;
}

QRegion perPixelMask(const Frame& f) {
    QImage shape(f.width, f.height, QImage::Format_Mono);
    shape.setColorCount(2);
    shape.setColor(0, qRgb(255, 255, 255));
    shape.setColor(1, qRgb(0, 0, 0));
    shape.fill(0);
    for (int y = 0; y < f.height; ++y) {
        const uint8_t* row = f.bits.data() + std::size_t(y) * f.width * 4;
        uchar* mask = shape.scanLine(y);
        for (int x = 0; x < f.width; ++x)
            if (row[4 * x + 3] != 0) mask[x >> 3] |= uchar(0x80 >> (x & 7));
    }
    return QRegion(QBitmap::fromImage(shape));
}

QRegion runsMask(const Frame& f) {
    QRegion region;
    const std::vector<vistrel::Rect> shape =
        vistrel::shapeFromAlpha(f.bits.data(), f.width, f.height, uint32_t(f.width) * 4);
    if (!shape.empty()) {
        std::vector<QRect> rects;
        rects.reserve(shape.size());
        for (const vistrel::Rect& r : shape)
            rects.emplace_back(r.left, r.top, r.width(), r.height());
        region.setRects(rects.data(), int(rects.size()));
    }
    return region;
}

// The premultiplying pass of every translucent frame (the renderer's own), for scale.
void premultiply(const Frame& f, std::vector<uint8_t>& out) {
    const std::size_t row = std::size_t(f.width) * 4;
    for (int y = 0; y < f.height; ++y)
        vistrel::premultiplyRow(f.bits.data() + y * row, out.data() + y * row, f.width,
                                vistrel::AlphaShown::Premultiplied, 0);
}

double milliseconds(const std::function<void()>& run) {
    const auto start = Clock::now();
    run();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Sets the mask on a real window and waits for the server to have taken it.
void applyToWindow(QWindow& window, const QRegion& region) {
    if (QPlatformWindow* native = window.handle()) native->setMask(region);
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) return;
    xcb_connection_t* c = x11->connection();
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool onX = QGuiApplication::platformName() == "xcb";
    const int rounds = 7;
    std::vector<Frame> frames;
    frames.push_back(makeFrame("6000x4000 opaque, a translucent band", 6000, 4000, 0, 255));
    frames.push_back(makeFrame("6000x4000 rounded corners r=200", 6000, 4000, 200, 255));
    frames.push_back(makeFrame("1920x1080 rounded corners r=40", 1920, 1080, 40, 255));
    std::printf("%-40s %12s %12s %12s%s\n", "frame (median of 7, ms)", "per-pixel", "runs",
                "premultiply", onX ? "  set on X: per-pixel runs" : "");
    for (const Frame& f : frames) {
        std::vector<uint8_t> out(f.bits.size());
        std::vector<double> old, runs, pre, oldX, runsX;
        QWindow window;
        if (onX) {
            window.setGeometry(0, 0, f.width, f.height);
            window.create();
        }
        for (int i = 0; i < rounds; ++i) {
            QRegion a, b;
            old.push_back(milliseconds([&] { a = perPixelMask(f); }));
            runs.push_back(milliseconds([&] { b = runsMask(f); }));
            pre.push_back(milliseconds([&] { premultiply(f, out); }));
            if (i == 0 && !b.isEmpty() && a != b)
                std::printf("  the two masks differ (%d and %d rectangles)\n", a.rectCount(),
                            b.rectCount());
            if (onX) {
                oldX.push_back(milliseconds([&] { applyToWindow(window, a); }));
                applyToWindow(window, QRegion());
                runsX.push_back(milliseconds([&] { applyToWindow(window, b); }));
                applyToWindow(window, QRegion());
            }
        }
        std::printf("%-40s %12.2f %12.2f %12.2f", f.name, median(old), median(runs), median(pre));
        if (onX) std::printf("  %10.2f %6.2f", median(oldX), median(runsX));
        std::printf("\n");
    }
    return 0;
}
