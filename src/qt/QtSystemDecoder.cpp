// The system picture decoder: GIF (first frame), ICO and CUR, BMP and JPEG on Qt's image readers,
// and placeable WMF files on our own player, told by their first bytes (the format table's
// signatures).
#include "QtPlatform.h"

#include "GifFrames.h"
#include "IconDirectory.h"
#include "PictureFormat.h"
#include "WmfPlayer.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <cstring>
#include <vector>

namespace vistrel {

namespace {

// Qt's reader for the formats the system picture decoder reads with Qt; null for the others. Qt
// reads more (PNG, TGA, TIFF...), which must not get through.
const char* qtFormatOf(const PictureFormat* format) {
    if (!format) return nullptr;
    switch (format->id) {
    case FormatId::Gif:
        return "gif";
    case FormatId::Bmp:
        return "bmp";
    case FormatId::Jpeg:
        return "jpeg";
    case FormatId::Icon:
        return "ico";
    case FormatId::Cursor:
        return "cur";
    default:
        return nullptr;
    }
}

} // namespace

DecodeResult QtPlatform::decodeSystemPicture(const uint8_t* data, std::size_t size,
                                             SystemImageSink& sink) {
    const PictureFormat* sniffed = formatOfBytes(data, size);
    // Placeable metafiles go to our own player; Qt has no metafile reader.
    if (sniffed && sniffed->id == FormatId::Metafile)
        return playPlaceableWmf(data, size, maxPixels_, sink);
    const char* format = qtFormatOf(sniffed);
    if (!format) return Refusal::UnknownFormat;
    if (size > std::size_t(INT32_MAX)) return Refusal::TooLarge;
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(false); // orientation is the program's own rule, not the reader's
    // Qt's readers size some buffers by what a frame or an icon image announces rather than by
    // the picture's size; such announcements are checked before the reader sees them.
    if (sniffed->id == FormatId::Gif && !gifFirstFrameFits(data, size, uint64_t(maxPixels_)))
        return Refusal::TooLarge;
    if (sniffed->id == FormatId::Icon || sniffed->id == FormatId::Cursor) {
        const int index = chooseIconImage(data, size);
        if (index < 0) return Refusal::Truncated; // a directory longer than the file
        if (iconImagePixels(data, size, index) > uint64_t(maxPixels_)) return Refusal::TooLarge;
        // Qt's reader premultiplies a 32-bit bitmap entry; it is read straight instead, so that
        // its colours are composited once.
        int width = 0, height = 0;
        std::vector<uint32_t> straight;
        if (readIconBitmap32(data, size, index, width, height, straight)) {
            if (const DecodeResult begun = sink.begin(width, height); !begun) return begun;
            for (int y = 0; y < height; ++y)
                sink.row(y, straight.data() + std::size_t(y) * std::size_t(width));
            return kOk;
        }
        if (index > 0 && !reader.jumpToImage(index)) return Refusal::Malformed;
    }
    const QSize announced = reader.size();
    if (announced.isValid() && qint64(announced.width()) * announced.height() > maxPixels_)
        return Refusal::TooLarge;
    QImage image;
    // Qt's readers do not tell a file cut short from a damaged one.
    if (!reader.read(&image) || image.isNull()) return Refusal::Malformed;
    if (qint64(image.width()) * image.height() > maxPixels_) return Refusal::TooLarge;
    image.convertTo(QImage::Format_ARGB32);
    if (const DecodeResult begun = sink.begin(image.width(), image.height()); !begun) return begun;
    for (int y = 0; y < image.height(); ++y)
        sink.row(y, reinterpret_cast<const uint32_t*>(image.constScanLine(y)));
    return kOk;
}

} // namespace vistrel
