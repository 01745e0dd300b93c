#include "QtCanvas.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

namespace vistrel {

bool QtCanvas::drawPicture(int x, int y, int width, int height, int sourceX, int sourceYFromBottom,
                           const BitmapInfoHeader& info, const RgbQuad* colors,
                           const uint8_t* bits) {
    if (!bits || info.width <= 0 || info.height <= 0 || width <= 0 || height <= 0) return false;
    // Clip the source rectangle to the bitmap, as putting device-independent bits does; the top
    // destination row shows memory row sourceYFromBottom + height - 1.
    const int left = std::max(0, sourceX), right = std::min(info.width, sourceX + width);
    const int bottom = std::max(0, sourceYFromBottom);
    const int top = std::min(info.height, sourceYFromBottom + height);
    if (left >= right || bottom >= top) return false;

    const uint32_t rowSize = uint32_t(((info.bitCount * uint64_t(info.width) + 31) / 32) * 4);
    QImage image(right - left, top - bottom, QImage::Format_RGB32);
    for (int j = 0; j < image.height(); ++j)
        expandDibRow(info, colors, bits, rowSize, top - 1 - j, left, image.width(),
                     reinterpret_cast<uint32_t*>(image.scanLine(j)));
    const int destinationTop = y + (sourceYFromBottom + height - top);
    painter_.drawImage(x + (left - sourceX), destinationTop, image);
    return true;
}

} // namespace vistrel
