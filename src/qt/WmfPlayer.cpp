// Plays the records of a placeable metafile onto a WmfDevice. Parameters are stored in the
// reverse order of the drawing call's arguments (the last argument first), and every handler
// checks that its record holds the words it reads.
#include "WmfPlayer.h"

#include "WmfDevice.h"
#include "WmfFile.h"
#include "WmfObjects.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace vistrel {

namespace {

enum Function : uint16_t {
    SetBkColor = 0x0201,
    SetBkMode = 0x0102,
    SetMapMode = 0x0103,
    SetRop2 = 0x0104,
    SetPolyFillMode = 0x0106,
    SetStretchBltMode = 0x0107,
    SetTextCharExtra = 0x0108,
    SetTextColor = 0x0209,
    SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C,
    SetViewportOrg = 0x020D,
    SetViewportExt = 0x020E,
    OffsetWindowOrg = 0x020F,
    ScaleWindowExt = 0x0410,
    OffsetViewportOrg = 0x0211,
    ScaleViewportExt = 0x0412,
    LineTo = 0x0213,
    MoveTo = 0x0214,
    ExcludeClipRect = 0x0415,
    IntersectClipRect = 0x0416,
    Arc = 0x0817,
    Ellipse = 0x0418,
    Pie = 0x081A,
    Rectangle = 0x041B,
    RoundRect = 0x061C,
    PatBlt = 0x061D,
    SaveDc = 0x001E,
    SetPixel = 0x041F,
    TextOut = 0x0521,
    Polygon = 0x0324,
    Polyline = 0x0325,
    RestoreDc = 0x0127,
    FillRegion = 0x0228,
    InvertRegion = 0x012A,
    PaintRegion = 0x012B,
    SelectClipRegion = 0x012C,
    SelectObject = 0x012D,
    SetTextAlign = 0x012E,
    Chord = 0x0830,
    ExtTextOut = 0x0A32,
    SetDibToDevice = 0x0D33,
    SelectPalette = 0x0234,
    SetPaletteEntries = 0x0037,
    PolyPolygon = 0x0538,
    ResizePalette = 0x0139,
    DibBitBlt = 0x0940,
    DibStretchBlt = 0x0B41,
    DibCreatePatternBrush = 0x0142,
    StretchDib = 0x0F43,
    DeleteObject = 0x01F0,
    CreatePalette = 0x00F7,
    CreatePatternBrush = 0x01F9,
    CreatePenIndirect = 0x02FA,
    CreateFontIndirect = 0x02FB,
    CreateBrushIndirect = 0x02FC,
    CreateRegion = 0x06FF,
};

constexpr double kRecordCost = 30; // reading and dispatching any record
constexpr uint32_t kSourceCopy = 0x00CC0020;

class Player {
public:
    Player(WmfDevice& device, std::size_t objectSlots) : d_(device), objects_(objectSlots) {}
    void play(const WmfRecord& r);

private:
    WmfState& s() { return d_.state(); }
    QPolygonF points(const WmfRecord& r, std::size_t at, std::size_t count) const;
    void shape(const WmfRecord& r, uint16_t function);
    void polyPolygon(const WmfRecord& r);
    void text(const WmfRecord& r);
    void extText(const WmfRecord& r);
    void bitmap(const WmfRecord& r, uint16_t function);
    void drawBitmap(const WmfBitmap& b, bool paletteIndices, QRect source, QRectF target,
                    uint32_t rop);
    void createObject(const WmfRecord& r, uint16_t function);
    void selectObject(std::size_t index);
    const WmfRegion* region(std::size_t index) const {
        const WmfObject* o = objects_.at(index);
        return o ? std::get_if<WmfRegion>(o) : nullptr;
    }

    WmfDevice& d_;
    WmfObjectTable objects_;
};

void Player::play(const WmfRecord& r) {
    switch (r.function) {
    case SetBkColor:
        if (r.has(2)) s().backgroundColor = r.u32(0);
        break;
    case SetBkMode:
        if (r.has(1)) s().opaqueBackground = r.u16(0) == 2;
        break;
    case SetMapMode:
        // Only the two modes that scale by the extents change anything: the placeable frame
        // always maps onto the whole picture, which a fixed scale would lose.
        if (r.has(1) && (r.u16(0) == 7 || r.u16(0) == 8)) s().isotropic = r.u16(0) == 7;
        break;
    case SetRop2:
        if (r.has(1) && r.u16(0) >= 1 && r.u16(0) <= 16) s().rop2 = r.u16(0);
        break;
    case SetPolyFillMode:
        if (r.has(1)) s().windingFill = r.u16(0) == 2;
        break;
    case SetStretchBltMode:
        if (r.has(1)) s().smoothStretch = r.u16(0) == 4; // halftone
        break;
    case SetTextCharExtra:
        if (r.has(1)) s().charExtra = r.s16(0);
        break;
    case SetTextColor:
        if (r.has(2)) s().textColor = r.u32(0);
        break;
    case SetTextAlign:
        if (r.has(1)) s().textAlign = r.u16(0);
        break;
    case SetWindowOrg:
        if (r.has(2)) s().windowOrigin = QPointF(r.s16(1), r.s16(0));
        break;
    case SetViewportOrg:
        if (r.has(2)) s().viewportOrigin = QPointF(r.s16(1), r.s16(0));
        break;
    case OffsetWindowOrg:
        if (r.has(2)) s().windowOrigin += QPointF(r.s16(1), r.s16(0));
        break;
    case OffsetViewportOrg:
        if (r.has(2)) s().viewportOrigin += QPointF(r.s16(1), r.s16(0));
        break;
    case SetWindowExt:
    case SetViewportExt:
        // An extent of 0 would map everything onto one line; the platform refuses it.
        if (r.has(2) && r.s16(0) != 0 && r.s16(1) != 0)
            (r.function == SetWindowExt ? s().windowExtent : s().viewportExtent) =
                QPointF(r.s16(1), r.s16(0));
        break;
    case ScaleWindowExt:
    case ScaleViewportExt:
        // y denominator, y numerator, x denominator, x numerator.
        if (r.has(4) && r.s16(0) != 0 && r.s16(1) != 0 && r.s16(2) != 0 && r.s16(3) != 0) {
            QPointF& e = r.function == ScaleWindowExt ? s().windowExtent : s().viewportExtent;
            e = QPointF(e.x() * r.s16(3) / r.s16(2), e.y() * r.s16(1) / r.s16(0));
        }
        break;
    case MoveTo:
        if (r.has(2)) s().position = QPoint(r.s16(1), r.s16(0));
        break;
    case LineTo:
        if (r.has(2)) {
            const QPoint to(r.s16(1), r.s16(0));
            d_.drawPolyline(
                QPolygonF{d_.map(s().position.x(), s().position.y()), d_.map(to.x(), to.y())});
            s().position = to;
        }
        break;
    case ExcludeClipRect:
    case IntersectClipRect:
        if (r.has(4)) {
            if (r.function == ExcludeClipRect)
                d_.excludeClip(r.s16(3), r.s16(2), r.s16(1), r.s16(0));
            else
                d_.intersectClip(r.s16(3), r.s16(2), r.s16(1), r.s16(0));
        }
        break;
    case Rectangle:
    case RoundRect:
    case Ellipse:
    case Arc:
    case Pie:
    case Chord:
        shape(r, r.function);
        break;
    case Polygon:
    case Polyline:
        if (r.has(1) && r.s16(0) >= 0 && r.has(1 + 2 * std::size_t(r.s16(0)))) {
            const QPolygonF p = points(r, 1, std::size_t(r.s16(0)));
            if (r.function == Polygon)
                d_.drawPolygons({p});
            else
                d_.drawPolyline(p);
        }
        break;
    case PolyPolygon:
        polyPolygon(r);
        break;
    case SetPixel:
        if (r.has(4)) d_.setPixel(d_.map(r.s16(3), r.s16(2)), r.u32(0));
        break;
    case PatBlt:
        // Operation, height, width, top, left.
        if (r.has(6))
            d_.patternBlit(QRectF(d_.map(r.s16(5), r.s16(4)),
                                  d_.map(r.s16(5) + r.s16(3), r.s16(4) + r.s16(2))),
                           r.u32(0));
        break;
    case TextOut:
        text(r);
        break;
    case ExtTextOut:
        extText(r);
        break;
    case SaveDc:
        d_.save();
        break;
    case RestoreDc:
        if (r.has(1)) d_.restore(r.s16(0));
        break;
    case SelectObject:
        if (r.has(1)) selectObject(r.u16(0));
        break;
    case DeleteObject:
        if (r.has(1)) objects_.remove(r.u16(0));
        break;
    case SelectPalette:
        if (r.has(1))
            if (const WmfObject* o = objects_.at(r.u16(0)))
                if (auto* palette = std::get_if<std::shared_ptr<WmfPalette>>(o))
                    s().palette = *palette;
        break;
    case SetPaletteEntries:
        if (s().palette) setWmfPaletteEntries(r, *s().palette);
        break;
    case ResizePalette:
        if (r.has(1) && s().palette) s().palette->entries.resize(r.u16(0));
        break;
    case SelectClipRegion:
        // A slot without a region stands for none: the clipping ends.
        if (r.has(1)) d_.selectClip(region(r.u16(0)));
        break;
    case FillRegion:
        if (r.has(2))
            if (const WmfRegion* g = region(r.u16(0)))
                if (const WmfObject* o = objects_.at(r.u16(1)))
                    if (const auto* brush = std::get_if<WmfBrush>(o))
                        d_.fillRegion(*g, *brush, kRopCopySource);
        break;
    case PaintRegion:
    case InvertRegion:
        if (r.has(1))
            if (const WmfRegion* g = region(r.u16(0)))
                d_.fillRegion(*g, s().brush, r.function == PaintRegion ? kRopCopySource : 0x5);
        break;
    case StretchDib:
    case DibStretchBlt:
    case DibBitBlt:
    case SetDibToDevice:
        bitmap(r, r.function);
        break;
    case CreatePenIndirect:
    case CreateBrushIndirect:
    case CreateFontIndirect:
    case CreatePalette:
    case CreateRegion:
    case DibCreatePatternBrush:
    case CreatePatternBrush:
        createObject(r, r.function);
        break;
    default:
        // Escapes (comments, embedded enhanced metafiles), device-dependent bitmaps, flood
        // fills and the records that only matter to a printer or a screen's palette.
        break;
    }
}

QPolygonF Player::points(const WmfRecord& r, std::size_t at, std::size_t count) const {
    QPolygonF p;
    p.reserve(qsizetype(count));
    for (std::size_t i = 0; i < count; ++i)
        p.append(d_.map(r.s16(at + 2 * i), r.s16(at + 2 * i + 1))); // x, then y
    return p;
}

void Player::polyPolygon(const WmfRecord& r) {
    // Number of polygons, the point count of each, then all the points.
    if (!r.has(1)) return;
    const std::size_t polygons = r.u16(0);
    if (!r.has(1 + polygons)) return;
    std::size_t total = 0;
    for (std::size_t i = 0; i < polygons; ++i)
        total += r.u16(1 + i);
    std::size_t at = 1 + polygons;
    if (!r.has(at + 2 * total)) return;
    std::vector<QPolygonF> shapes;
    for (std::size_t i = 0; i < polygons; ++i) {
        shapes.push_back(points(r, at, r.u16(1 + i)));
        at += 2 * std::size_t(r.u16(1 + i));
    }
    d_.drawPolygons(shapes);
}

void Player::shape(const WmfRecord& r, uint16_t function) {
    // The bounding box comes last (bottom, right, top, left); round rectangles put the corner
    // size before it, arcs the end and start points.
    const std::size_t box = function == RoundRect ? 2 : (function & 0xFF00) == 0x0800 ? 4 : 0;
    if (!r.has(box + 4)) return;
    QRectF rect = d_.mapRect(r.s16(box + 3), r.s16(box + 2), r.s16(box + 1), r.s16(box));
    // The platform's rectangles and ellipses leave out their right and bottom edges.
    rect.adjust(0, 0, -1, -1);
    if (rect.width() < 0 || rect.height() < 0) return;
    QPainterPath path;
    const double outline = 2 * (rect.width() + rect.height());
    switch (function) {
    case Rectangle:
        path.addRect(rect);
        return d_.drawPath(path, true, outline);
    case RoundRect:
        path.addRoundedRect(rect, std::fabs(r.s16(1) * d_.scaleX()) / 2,
                            std::fabs(r.s16(0) * d_.scaleY()) / 2);
        return d_.drawPath(path, true, outline);
    case Ellipse:
        path.addEllipse(rect);
        return d_.drawPath(path, true, outline);
    }
    // Arcs run counter-clockwise on the screen from where the line from the centre through the
    // start point meets the ellipse to where the one through the end point does.
    const QPointF c = rect.center();
    const double a = std::max(rect.width() / 2, 0.5), b = std::max(rect.height() / 2, 0.5);
    auto angle = [&](QPointF p) {
        return std::atan2(-(p.y() - c.y()) / b, (p.x() - c.x()) / a) * 180 / std::numbers::pi;
    };
    const double start = angle(d_.map(r.s16(3), r.s16(2)));
    double sweep = angle(d_.map(r.s16(1), r.s16(0))) - start;
    while (sweep <= 0)
        sweep += 360; // the same point both times: the whole ellipse
    if (function == Pie) {
        path.moveTo(c);
        path.arcTo(rect, start, sweep);
        path.closeSubpath();
    } else {
        path.arcMoveTo(rect, start);
        path.arcTo(rect, start, sweep);
        if (function == Chord) path.closeSubpath();
    }
    d_.drawPath(path, function != Arc, outline);
}

void Player::text(const WmfRecord& r) {
    // Length, the bytes (padded to a whole word), then y and x.
    if (!r.has(1)) return;
    const std::size_t length = r.u16(0), words = (length + 1) / 2;
    if (!r.has(1 + words + 2)) return;
    d_.text(QPoint(r.s16(2 + words), r.s16(1 + words)), r.bytesFrom(1), length, nullptr, 0,
            nullptr);
}

void Player::extText(const WmfRecord& r) {
    // y, x, length, options, the rectangle (left, top, right, bottom) when the options opaque
    // or clip, the bytes padded to a whole word, then optionally one advance per byte.
    if (!r.has(4)) return;
    const std::size_t length = r.u16(2), words = (length + 1) / 2;
    const uint16_t options = r.u16(3);
    std::size_t at = 4;
    WmfRect rect;
    const bool hasRect = options & 0x0006;
    if (hasRect) {
        if (!r.has(8)) return;
        rect = {r.s16(4), r.s16(5), r.s16(6), r.s16(7)};
        at = 8;
    }
    if (!r.has(at + words)) return;
    const uint8_t* dx = r.has(at + words + length) ? r.bytesFrom(at + words) : nullptr;
    d_.text(QPoint(r.s16(1), r.s16(0)), r.bytesFrom(at), length, dx, options,
            hasRect ? &rect : nullptr);
}

void Player::bitmap(const WmfRecord& r, uint16_t function) {
    // The forms without a bitmap hold exactly as many words as the high byte of the function
    // number says; they fill with the brush.
    const bool withoutBitmap = r.words == std::size_t(function >> 8);
    if (function == DibBitBlt || function == DibStretchBlt) {
        const bool stretch = function == DibStretchBlt;
        // Operation, then (stretch only) source height and width, source y and x, (without a
        // bitmap: a reserved word), then height and width, y and x of the destination.
        const std::size_t source = 2, size = stretch ? 2 : 4;
        const std::size_t dest = (stretch ? 6 : 4) + (withoutBitmap ? 1 : 0);
        const std::size_t bits = stretch ? 10 : 8;
        if (!r.has(dest + 4)) return;
        const int x = r.s16(dest + 3), y = r.s16(dest + 2);
        const int w = r.s16(dest + 1), h = r.s16(dest);
        const QRectF target(d_.map(x, y), d_.map(x + w, y + h));
        if (withoutBitmap) return d_.patternBlit(target, r.u32(0));
        WmfBitmap b;
        if (!readWmfBitmap(r.bytesFrom(bits), r.byteCountFrom(bits), false, d_.maxBitmapPixels(),
                           b))
            return;
        // The source rectangle is in the recorded bitmap's own pixels, top row first.
        QRect from(r.s16(source + (stretch ? 3 : 1)), r.s16(source + (stretch ? 2 : 0)),
                   stretch ? r.s16(size + 1) : w, stretch ? r.s16(size) : h);
        return drawBitmap(b, false, from, target, r.u32(0));
    }
    WmfBitmap b;
    if (function == StretchDib) {
        // Operation, colour use, source height, width, y, x, destination height, width, y, x.
        if (!r.has(11) || !readWmfBitmap(r.bytesFrom(11), r.byteCountFrom(11), r.u16(2) == 1,
                                         d_.maxBitmapPixels(), b))
            return;
        const int srcH = r.s16(3), srcW = r.s16(4), srcY = r.s16(5), srcX = r.s16(6);
        const int x = r.s16(10), y = r.s16(9), w = r.s16(8), h = r.s16(7);
        // A bottom-up bitmap's source y counts from its bottom row.
        const int top = b.topDown ? srcY : b.height - srcY - srcH;
        return drawBitmap(b, r.u16(2) == 1, QRect(srcX, top, srcW, srcH),
                          QRectF(d_.map(x, y), d_.map(x + w, y + h)), r.u32(0));
    }
    // Set bits to device: colour use, scan count, first scan, source y and x, height, width,
    // destination y and x. The bitmap keeps its pixel size; only its place is mapped.
    if (!r.has(9) ||
        !readWmfBitmap(r.bytesFrom(9), r.byteCountFrom(9), r.u16(0) == 1, d_.maxBitmapPixels(), b))
        return;
    const int h = r.s16(5), w = r.s16(6);
    const int top = b.topDown ? r.s16(3) : b.height - r.s16(3) - h;
    const QPointF at = d_.map(r.s16(8), r.s16(7));
    drawBitmap(b, r.u16(0) == 1, QRect(r.s16(4), top, w, h), QRectF(at, QSizeF(w, h)), kSourceCopy);
}

void Player::drawBitmap(const WmfBitmap& b, bool paletteIndices, QRect source, QRectF target,
                        uint32_t rop) {
    if (source.width() <= 0 || source.height() <= 0) return;
    const QRect whole(0, 0, b.width, b.height);
    // Writers that record only the part they copy keep the source position of the whole.
    if (!whole.contains(source) && source.size() == whole.size()) source.moveTo(0, 0);
    const QRect visible = source.intersected(whole);
    if (visible.isEmpty()) return;
    // What lies outside the bitmap is not drawn: the target shrinks in proportion.
    const double sx = target.width() / source.width(), sy = target.height() / source.height();
    target = QRectF(target.x() + (visible.x() - source.x()) * sx,
                    target.y() + (visible.y() - source.y()) * sy, visible.width() * sx,
                    visible.height() * sy);
    if (!d_.spend(double(visible.width()) * visible.height() * kImagePixel)) return;
    d_.imageBlit(wmfImage(b, paletteIndices ? s().palette.get() : nullptr, visible), target, rop);
}

void Player::createObject(const WmfRecord& r, uint16_t function) {
    bool read = false;
    switch (function) {
    case CreatePenIndirect: {
        WmfPen pen;
        if ((read = readWmfPen(r, pen))) objects_.add(pen);
        break;
    }
    case CreateBrushIndirect: {
        WmfBrush brush;
        if ((read = readWmfBrush(r, brush))) objects_.add(brush);
        break;
    }
    case DibCreatePatternBrush: {
        WmfBrush brush;
        if ((read = readWmfPatternBrush(r, d_.maxBitmapPixels(), brush))) objects_.add(brush);
        break;
    }
    case CreateFontIndirect: {
        WmfFont font;
        if ((read = readWmfFont(r, font))) objects_.add(font);
        break;
    }
    case CreatePalette: {
        auto palette = std::make_shared<WmfPalette>();
        if ((read = readWmfPalette(r, *palette))) objects_.add(palette);
        break;
    }
    case CreateRegion: {
        WmfRegion region;
        if ((read = readWmfRegion(r, region))) objects_.add(std::move(region));
        break;
    }
    default: // the old device-dependent pattern brush
        break;
    }
    // Whatever could not be read still takes its slot, so that later indices keep pointing at
    // the objects they were written for.
    if (!read) objects_.add(WmfUnusedObject{});
}

void Player::selectObject(std::size_t index) {
    const WmfObject* o = objects_.at(index);
    if (!o) return;
    if (const auto* pen = std::get_if<WmfPen>(o)) s().pen = *pen;
    if (const auto* brush = std::get_if<WmfBrush>(o)) s().brush = *brush;
    if (const auto* font = std::get_if<WmfFont>(o)) s().font = *font;
    if (const auto* g = std::get_if<WmfRegion>(o)) d_.selectClip(g);
}

} // namespace

DecodeResult playPlaceableWmf(const uint8_t* data, std::size_t size, int64_t maxPixels,
                              SystemImageSink& sink) {
    WmfHeader header;
    if (!readWmfHeader(data, size, header)) return Refusal::Malformed;
    if (int64_t(header.width) * header.height > maxPixels) return Refusal::TooLarge;
    // Every pixel starts as the system decoder's untouched value; the device draws over it.
    constexpr uint32_t kUntouched = 0xFAFAFA;
    QImage canvas(header.width, header.height, QImage::Format_RGB32);
    if (canvas.isNull()) return Refusal::OutOfMemory;
    canvas.fill(0xFF000000u | kUntouched);
    {
        WmfDevice device(
            canvas,
            QRect(header.left, header.top, header.right - header.left, header.bottom - header.top),
            uint64_t(maxPixels));
        Player player(device, header.objectCount);
        WmfRecords records(data, size, header.recordsAt);
        WmfRecord record;
        while (records.next(record) && device.spend(kRecordCost))
            player.play(record);
    }
    if (const DecodeResult begun = sink.begin(header.width, header.height); !begun) return begun;
    // A pixel still at the untouched value reads as transparent, so that the caller leaves it
    // as its target has it.
    std::vector<uint32_t> row(std::size_t(header.width));
    for (int y = 0; y < header.height; ++y) {
        const auto* line = reinterpret_cast<const uint32_t*>(canvas.constScanLine(y));
        for (int x = 0; x < header.width; ++x) {
            const uint32_t rgb = line[x] & 0xFFFFFF;
            row[std::size_t(x)] = rgb == kUntouched ? rgb : 0xFF000000u | rgb;
        }
        sink.row(y, row.data());
    }
    return kOk;
}

} // namespace vistrel
