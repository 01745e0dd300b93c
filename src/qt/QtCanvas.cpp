#include "QtCanvas.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>

namespace vistrel {

bool QtCanvas::drawPicture(int x, int y, int width, int height, int sourceX, int sourceY,
                           const BitmapInfoHeader& info, const RgbQuad* colors,
                           const uint8_t* bits) {
    if (!bits || info.width <= 0 || info.height <= 0 || width <= 0 || height <= 0) return false;
    // Clip the source rectangle to the bitmap; what is cut off on the left or at the top moves
    // the rest along with it.
    const int left = std::max(0, sourceX), right = std::min(info.width, sourceX + width);
    const int top = std::max(0, sourceY), bottom = std::min(info.height, sourceY + height);
    if (left >= right || top >= bottom) return false;

    const uint32_t rowSize = uint32_t(((info.bitCount * uint64_t(info.width) + 31) / 32) * 4);
    const int destinationTop = y + (top - sourceY);
    const int destinationLeft = x + (left - sourceX);
    if (drawDirect(destinationLeft, destinationTop, left, right, top, bottom, info, bits, rowSize))
        return true;
    QImage image(right - left, bottom - top, QImage::Format_RGB32);
    for (int j = 0; j < image.height(); ++j)
        expandBitmapRow(info, colors, bits, rowSize, top + j, left, image.width(),
                        reinterpret_cast<uint32_t*>(image.scanLine(j)));
    painter_.drawImage(destinationLeft, destinationTop, image);
    return true;
}

bool QtCanvas::drawDirect(int x, int y, int left, int right, int top, int bottom,
                          const BitmapInfoHeader& info, const uint8_t* bits, uint32_t rowSize) {
    // The common case of a window's frame: 24- or 32-bit rows put 1:1 into an opaque or ARGB
    // image, written straight into its rows rather than through an image of their own.
    if (info.bitCount != 24 && info.bitCount != 32) return false;
    auto* target = dynamic_cast<QImage*>(painter_.device());
    if (!target ||
        (target->format() != QImage::Format_ARGB32_Premultiplied &&
         target->format() != QImage::Format_RGB32) ||
        painter_.transform().type() != QTransform::TxNone || painter_.hasClipping() ||
        painter_.compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    const int width = std::min(right - left, target->width() - x), rows = bottom - top;
    if (width <= 0 || x < 0 || y < 0 || y + rows > target->height()) return false;
    const int pixel = info.bitCount / 8;
    for (int j = 0; j < rows; ++j) {
        const uint8_t* s = bits + std::size_t(top + j) * rowSize + std::size_t(left) * pixel;
        auto* d = reinterpret_cast<uint32_t*>(target->scanLine(y + j)) + x;
        for (int i = 0; i < width; ++i, s += pixel)
            d[i] = 0xFF000000u | uint32_t(s[2]) << 16 | uint32_t(s[1]) << 8 | s[0];
    }
    return true;
}

namespace {

QColor colorOf(uint32_t rgb) {
    return QColor(int(rgb >> 16 & 0xFF), int(rgb >> 8 & 0xFF), int(rgb & 0xFF));
}

QRect qRectOf(const Rect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

} // namespace

void QtCanvas::fillRect(const Rect& rect, uint32_t color) {
    if (rect.width() > 0 && rect.height() > 0) painter_.fillRect(qRectOf(rect), colorOf(color));
}

void QtCanvas::rectangle(const Rect& rect, uint32_t brush) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.fillRect(qRectOf(rect), colorOf(brush));
    painter_.setPen(QPen(Qt::black, 0));
    painter_.setBrush(Qt::NoBrush);
    // A cosmetic pen's outline of (w - 1) x (h - 1) covers exactly the pixels inside the rectangle.
    painter_.drawRect(rect.left, rect.top, rect.width() - 1, rect.height() - 1);
    painter_.restore();
}

void QtCanvas::line(Point from, Point to) {
    const int dx = to.x - from.x, dy = to.y - from.y;
    if (dx == 0 && dy == 0) return;
    // The end point is not part of the line; for straight and diagonal lines that is the pixel
    // one step before it.
    Point last = to;
    if (dx == 0 || dy == 0 || dx == dy || dx == -dy) last = {to.x - sign(dx), to.y - sign(dy)};
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setPen(QPen(Qt::black, 0));
    painter_.drawLine(from.x, from.y, last.x, last.y);
    painter_.restore();
}

void QtCanvas::drawText(const Rect& rect, const char* text, unsigned format,
                        const TextStyle& style) {
    int alignment = (format & TextRight)    ? Qt::AlignRight
                    : (format & TextCenter) ? Qt::AlignHCenter
                                            : Qt::AlignLeft;
    alignment |= (format & TextSingleLine) ? Qt::TextSingleLine : 0;
    alignment |=
        (format & TextVCenter) && (format & TextSingleLine) ? Qt::AlignVCenter : Qt::AlignTop;
    painter_.save();
    QFont font = painter_.font();
    font.setUnderline(style.underline);
    painter_.setFont(font);
    painter_.setPen(colorOf(style.color));
    if (style.opaque) {
        painter_.setBackgroundMode(Qt::OpaqueMode);
        painter_.setBackground(colorOf(style.background));
    }
    painter_.drawText(qRectOf(rect), alignment, QString::fromUtf8(text));
    painter_.restore();
}

} // namespace vistrel
