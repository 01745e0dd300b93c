// Text records: the bytes in the font's character set, the font at the mapped size, the
// reference point and alignment, the per-character advances and the opaque background.
#include "WmfDevice.h"

#include <QFontMetricsF>

#include <iconv.h>

#include <algorithm>
#include <cmath>

namespace vistrel {

namespace {

constexpr uint16_t kTextOpaque = 0x0002;  // fill the rectangle with the background colour
constexpr uint16_t kTextClipped = 0x0004; // clip the text to the rectangle
constexpr uint16_t kAlignUpdatePosition = 0x0001;

// The code page of a font's character set; null where Latin-1 reads the bytes as well as any.
const char* codePageOf(uint8_t charset) {
    switch (charset) {
    case 0: // ANSI
    case 1: // the default set, ANSI on the systems these files come from
        return "CP1252";
    case 77:
        return "MACINTOSH";
    case 128:
        return "CP932";
    case 129:
        return "CP949";
    case 134:
        return "CP936";
    case 136:
        return "CP950";
    case 161:
        return "CP1253";
    case 162:
        return "CP1254";
    case 163:
        return "CP1258";
    case 177:
        return "CP1255";
    case 178:
        return "CP1256";
    case 186:
        return "CP1257";
    case 204:
        return "CP1251";
    case 222:
        return "CP874";
    case 238:
        return "CP1250";
    case 255:
        return "CP437";
    default:
        return nullptr;
    }
}

QString decodeText(const uint8_t* bytes, std::size_t length, uint8_t charset) {
    const char* codePage = codePageOf(charset);
    iconv_t converter = codePage ? iconv_open("UTF-16LE", codePage) : iconv_t(-1);
    if (converter == iconv_t(-1))
        return QString::fromLatin1(reinterpret_cast<const char*>(bytes), qsizetype(length));
    std::vector<char16_t> out(length + 1);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes));
    std::size_t inLeft = length;
    char* outAt = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size() * sizeof(char16_t);
    while (inLeft > 0 && outLeft >= sizeof(char16_t)) {
        if (iconv(converter, &in, &inLeft, &outAt, &outLeft) != std::size_t(-1)) break;
        // A byte the code page does not map (or a lone lead byte) shows as a question mark.
        *reinterpret_cast<char16_t*>(outAt) = u'?';
        outAt += sizeof(char16_t);
        outLeft -= sizeof(char16_t);
        ++in;
        --inLeft;
    }
    iconv_close(converter);
    const auto units = qsizetype((out.size() * sizeof(char16_t) - outLeft) / sizeof(char16_t));
    return QString(reinterpret_cast<const QChar*>(out.data()), units);
}

bool sameFont(const WmfFont& a, const WmfFont& b) {
    return a.height == b.height && a.weight == b.weight && a.italic == b.italic &&
           a.underline == b.underline && a.strikeOut == b.strikeOut && a.face == b.face;
}

} // namespace

const QFont& WmfDevice::fontFor(const WmfFont& f, double scale) {
    if (fontScale_ == scale && sameFont(fontMadeFrom_, f)) return font_;
    spend(kNewFontCost);
    QFont font;
    if (!f.face.empty())
        font.setFamily(QString::fromLatin1(f.face.data(), qsizetype(f.face.size())));
    font.setWeight(QFont::Weight(std::clamp(f.weight == 0 ? 400 : int(f.weight), 100, 900)));
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    // A negative height is the character (em) height; a positive one the cell height, which
    // includes the font's internal leading.
    double em = 13;
    if (f.height < 0) {
        em = -f.height * scale;
    } else if (f.height > 0) {
        font.setPixelSize(100);
        const QFontMetricsF metrics(font);
        em = f.height * scale * 100 / std::max(1.0, metrics.ascent() + metrics.descent());
    }
    // Far larger than any picture is never drawn larger; the rasterizer's time grows with it.
    font.setPixelSize(int(std::clamp(std::lround(em), 1L, 4096L)));
    font_ = font;
    fontMadeFrom_ = f;
    fontScale_ = scale;
    return font_;
}

void WmfDevice::text(QPoint at, const uint8_t* bytes, std::size_t length, const uint8_t* dx,
                     uint16_t options, const WmfRect* rect) {
    const QColor background = QColor::fromRgb(rgb(state_.backgroundColor));
    QRectF box;
    if (rect) box = mapRect(rect->left, rect->top, rect->right, rect->bottom);
    if (rect && (options & kTextOpaque)) {
        // Also without text: a common way of filling a rectangle with one colour.
        if (!spend(kCallCost + pixelCost(box)) || !prepare(kRopCopySource, false)) return;
        painter_.fillRect(box, background);
    }
    if (length == 0 || !textAvailable_) return;

    const QString string = decodeText(bytes, length, state_.font.charset);
    const double sx = std::fabs(scaleX());
    const QFont& font = fontFor(state_.font, std::fabs(scaleY()));
    const QFontMetricsF metrics(font);
    // Advances: the record's own, one per byte, when each byte made one character; else the
    // font's, with the extra character spacing.
    std::vector<double> advances;
    double width = 0;
    if (dx && std::size_t(string.size()) == length) {
        for (std::size_t i = 0; i < length; ++i) {
            advances.push_back(int16_t(dx[2 * i] | dx[2 * i + 1] << 8) * sx);
            width += advances.back();
        }
    } else {
        width = metrics.horizontalAdvance(string) + state_.charExtra * sx * string.size();
    }
    const double height = metrics.ascent() + metrics.descent();
    // Glyphs beyond the size Qt caches are drawn as paths, at a cost that grows with their area.
    const double em = font.pixelSize();
    const double glyph = kGlyphCost + (em > 48 ? kLargeGlyphCost * em * em : 0);
    const double cost = kCallCost + double(string.size()) * glyph +
                        pixelCost(QRectF(0, 0, std::min(std::fabs(width), 1e7), height));
    if (!spend(cost) || !prepare(kRopCopySource, true)) return;

    const bool fromPosition = state_.textAlign & kAlignUpdatePosition;
    const QPoint reference = fromPosition ? state_.position : at;
    double x = 0, baseline = 0;
    switch (state_.textAlign & 6) {
    case 6: // centre
        x = -width / 2;
        break;
    case 2: // right
        x = -width;
        break;
    }
    switch (state_.textAlign & 24) {
    case 0: // top
        baseline = metrics.ascent();
        break;
    case 8: // bottom
        baseline = -metrics.descent();
        break;
    }
    if (fromPosition) state_.position.rx() += int(std::lround(width / (sx > 0 ? sx : 1)));

    painter_.save();
    if (rect && (options & kTextClipped)) painter_.setClipRect(box, Qt::IntersectClip);
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_.translate(map(reference.x(), reference.y()));
    // The escapement turns the baseline counter-clockwise on the screen.
    painter_.rotate(-state_.font.escapement / 10.0);
    if (state_.opaqueBackground && !(rect && (options & kTextOpaque)))
        painter_.fillRect(QRectF(x, baseline - metrics.ascent(), width, height), background);
    painter_.setPen(QColor::fromRgb(rgb(state_.textColor)));
    painter_.setFont(font);
    if (advances.empty()) {
        QFont spaced = font;
        if (state_.charExtra != 0)
            spaced.setLetterSpacing(QFont::AbsoluteSpacing, state_.charExtra * sx);
        painter_.setFont(spaced);
        painter_.drawText(QPointF(x, baseline), string);
    } else {
        for (qsizetype i = 0; i < string.size(); ++i) {
            painter_.drawText(QPointF(x, baseline), QString(string[i]));
            x += advances[std::size_t(i)];
        }
    }
    painter_.restore();
}

} // namespace vistrel
