#include "WinCanvas.h"

#include "Wide.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vistrel {

namespace {

// A BITMAPINFO with room for the largest colour table.
struct BitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

RECT rectOf(const Rect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

} // namespace

bool WinCanvas::drawPicture(int x, int y, int width, int height, int sourceX, int sourceY,
                            const BitmapInfoHeader& info, const RgbQuad* colors,
                            const uint8_t* bits) {
    if (!bits || info.width <= 0 || info.height <= 0 || width <= 0 || height <= 0) return false;
    // Clip the source rectangle to the bitmap; what is cut off on the left or at the top moves
    // the rest along with it.
    const int left = std::max(0, sourceX), right = std::min(info.width, sourceX + width);
    const int top = std::max(0, sourceY), bottom = std::min(info.height, sourceY + height);
    if (left >= right || top >= bottom) return false;
    const int toX = x + (left - sourceX), toY = y + (top - sourceY);
    const int columns = right - left, rows = bottom - top;
    const uint32_t rowSize = uint32_t(((info.bitCount * uint64_t(info.width) + 31) / 32) * 4);

    // The rows drawn, as a top-down bitmap of their own: a source rectangle of a top-down bitmap
    // leaves no doubt which rows it means.
    BitmapInfo header{};
    header.header.biSize = sizeof header.header;
    header.header.biPlanes = 1;
    header.header.biCompression = BI_RGB;
    header.header.biHeight = -rows;
    const bool direct =
        info.compression == 0 &&
        (info.bitCount == 24 || info.bitCount == 32 ||
         (colors && (info.bitCount == 1 || info.bitCount == 4 || info.bitCount == 8)));
    if (direct) {
        header.header.biWidth = info.width;
        header.header.biBitCount = info.bitCount;
        if (info.bitCount <= 8) {
            const int count = 1 << info.bitCount;
            header.header.biClrUsed = DWORD(count);
            std::memcpy(header.colors, colors, std::size_t(count) * sizeof(RGBQUAD));
        }
        return StretchDIBits(dc_, toX, toY, columns, rows, left, 0, columns, rows,
                             bits + std::size_t(top) * rowSize,
                             reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                             SRCCOPY) != 0;
    }
    // Every other layout (2 bits, 16 bits, a table-less picture) as 32-bit rows.
    std::vector<uint32_t> expanded(std::size_t(columns) * std::size_t(rows));
    for (int j = 0; j < rows; ++j)
        expandBitmapRow(info, colors, bits, rowSize, top + j, left, columns,
                        expanded.data() + std::size_t(j) * std::size_t(columns));
    header.header.biWidth = columns;
    header.header.biBitCount = 32;
    return StretchDIBits(dc_, toX, toY, columns, rows, 0, 0, columns, rows, expanded.data(),
                         reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                         SRCCOPY) != 0;
}

void WinCanvas::fillRect(const Rect& rect, uint32_t color) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    const RECT r = rectOf(rect);
    HBRUSH brush = CreateSolidBrush(colorRef(color));
    FillRect(dc_, &r, brush);
    DeleteObject(brush);
}

void WinCanvas::rectangle(const Rect& rect, uint32_t brush) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    // A one-pixel pen's outline of Rectangle covers exactly the pixels inside the rectangle.
    HBRUSH fill = CreateSolidBrush(colorRef(brush));
    const HGDIOBJ oldPen = SelectObject(dc_, GetStockObject(BLACK_PEN));
    const HGDIOBJ oldBrush = SelectObject(dc_, fill);
    Rectangle(dc_, rect.left, rect.top, rect.right, rect.bottom);
    SelectObject(dc_, oldBrush);
    SelectObject(dc_, oldPen);
    DeleteObject(fill);
}

void WinCanvas::line(Point from, Point to) {
    const HGDIOBJ oldPen = SelectObject(dc_, GetStockObject(BLACK_PEN));
    MoveToEx(dc_, from.x, from.y, nullptr);
    LineTo(dc_, to.x, to.y); // GDI leaves the end point out too
    SelectObject(dc_, oldPen);
}

void WinCanvas::drawText(const Rect& rect, const char* text, unsigned format,
                         const TextStyle& style) {
    UINT flags = DT_NOPREFIX;
    flags |= (format & TextRight) ? DT_RIGHT : (format & TextCenter) ? DT_CENTER : DT_LEFT;
    if (format & TextSingleLine) flags |= DT_SINGLELINE | ((format & TextVCenter) ? DT_VCENTER : 0);
    HFONT underlined = nullptr;
    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    if (style.underline) {
        LOGFONTW description{};
        GetObjectW(font, sizeof description, &description);
        description.lfUnderline = TRUE;
        underlined = CreateFontIndirectW(&description);
        if (underlined) font = underlined;
    }
    const HGDIOBJ oldFont = SelectObject(dc_, font);
    SetTextColor(dc_, colorRef(style.color));
    SetBkMode(dc_, style.opaque ? OPAQUE : TRANSPARENT);
    if (style.opaque) SetBkColor(dc_, colorRef(style.background));
    const std::wstring wide = widen(text);
    RECT r = rectOf(rect);
    DrawTextW(dc_, wide.c_str(), int(wide.size()), &r, flags);
    SelectObject(dc_, oldFont);
    if (underlined) DeleteObject(underlined);
}

} // namespace vistrel
