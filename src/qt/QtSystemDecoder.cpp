// The system picture decoder: GIF (first frame), ICO and CUR, BMP and JPEG on Qt's image readers,
// and placeable WMF files on our own player, told by their first bytes.
#include "QtPlatform.h"

#include "GifFrames.h"
#include "IconDirectory.h"
#include "WmfFile.h"
#include "WmfPlayer.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <cstring>
#include <vector>

namespace vistrel {

namespace {

// The formats the system picture decoder reads, told by their first bytes rather than the
// extension, as that decoder does. Qt reads more (PNG, TGA, TIFF...), which must not get through.
const char* formatOf(const uint8_t* data, std::size_t size) {
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
        return "gif";
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return "bmp";
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return "jpeg";
    switch (iconKindOf(data, size)) {
    case IconKind::Icon:
        return "ico";
    case IconKind::Cursor:
        return "cur";
    case IconKind::None:
        break;
    }
    return nullptr;
}

} // namespace

bool QtPlatform::decodeSystemPicture(const uint8_t* data, std::size_t size, SystemImageSink& sink) {
    // Placeable metafiles go to our own player; Qt has no metafile reader.
    if (isPlaceableWmf(data, size)) return playPlaceableWmf(data, size, maxPixels_, sink);
    const char* format = formatOf(data, size);
    if (!format || size > std::size_t(INT32_MAX)) return false;
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(false); // orientation is the program's own rule, not the reader's
    // Qt's readers size some buffers by what a frame or an icon image announces rather than by
    // the picture's size; such announcements are checked before the reader sees them.
    if (format[0] == 'g' && !gifFirstFrameFits(data, size, uint64_t(maxPixels_))) return false;
    if (format[0] == 'i' || format[0] == 'c') {
        const int index = chooseIconImage(data, size);
        if (index < 0 || iconImagePixels(data, size, index) > uint64_t(maxPixels_)) return false;
        // Qt's reader premultiplies a 32-bit bitmap entry; it is read straight instead, so that
        // its colours are composited once.
        int width = 0, height = 0;
        std::vector<uint32_t> straight;
        if (readIconBitmap32(data, size, index, width, height, straight)) {
            if (!sink.begin(width, height)) return false;
            for (int y = 0; y < height; ++y)
                sink.row(y, straight.data() + std::size_t(y) * std::size_t(width));
            return true;
        }
        if (index > 0 && !reader.jumpToImage(index)) return false;
    }
    const QSize announced = reader.size();
    if (announced.isValid() && qint64(announced.width()) * announced.height() > maxPixels_)
        return false;
    QImage image;
    if (!reader.read(&image) || image.isNull()) return false;
    if (qint64(image.width()) * image.height() > maxPixels_) return false;
    image.convertTo(QImage::Format_ARGB32);
    if (!sink.begin(image.width(), image.height())) return false;
    for (int y = 0; y < image.height(); ++y)
        sink.row(y, reinterpret_cast<const uint32_t*>(image.constScanLine(y)));
    return true;
}

} // namespace vistrel
