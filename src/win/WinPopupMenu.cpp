#include "WinPopupMenu.h"

#include "Wide.h"
#include "resource.h"

#include <cstdlib>

namespace vistrel {

namespace {

// Item identifiers start here: 0 is what TrackPopupMenu returns for no choice, and a command
// may be 0.
constexpr UINT kFirstIdentifier = 100;

// "&" marks a mnemonic in a menu text; file names may hold one.
std::wstring menuText(const std::string& text) {
    std::wstring wide;
    for (const wchar_t c : widen(text)) {
        if (c == L'&') wide += L'&';
        wide += c;
    }
    return wide;
}

// The bitmaps are made once and kept: the menu is built afresh at every right click.
HBITMAP menuBitmap(HINSTANCE instance, MenuImage image) {
    int resource = 0;
    switch (image) {
    case MenuImage::RotateClockwiseLarge:
        resource = IDB_ROTATE_CW_LARGE;
        break;
    case MenuImage::RotateCounterClockwiseLarge:
        resource = IDB_ROTATE_CCW_LARGE;
        break;
    case MenuImage::RotateClockwiseSmall:
        resource = IDB_ROTATE_CW_SMALL;
        break;
    case MenuImage::RotateCounterClockwiseSmall:
        resource = IDB_ROTATE_CCW_SMALL;
        break;
    case MenuImage::None:
        return nullptr;
    }
    static HBITMAP loaded[4] = {};
    HBITMAP& bitmap = loaded[int(image) - 1];
    // A 32-bit bitmap with premultiplied alpha, drawn through it beside the item's text.
    if (!bitmap)
        bitmap = static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(resource), IMAGE_BITMAP,
                                                 0, 0, LR_CREATEDIBSECTION));
    return bitmap;
}

// Whether `data` is one of the images menuBitmap made: an item's data is only ever one of them.
HBITMAP imageOf(ULONG_PTR data) {
    BITMAP description{};
    auto* bitmap = reinterpret_cast<HBITMAP>(data);
    return data && GetObjectW(bitmap, sizeof description, &description) ? bitmap : nullptr;
}

} // namespace

bool MeasureMenuImage(MEASUREITEMSTRUCT& item) {
    if (item.CtlType != ODT_MENU) return false;
    BITMAP description{};
    HBITMAP bitmap = imageOf(item.itemData);
    if (!bitmap || !GetObjectW(bitmap, sizeof description, &description)) return false;
    item.itemWidth = UINT(description.bmWidth);
    item.itemHeight = UINT(std::abs(description.bmHeight));
    return true;
}

bool DrawMenuImage(const DRAWITEMSTRUCT& item) {
    if (item.CtlType != ODT_MENU) return false;
    HBITMAP bitmap = imageOf(item.itemData);
    BITMAP description{};
    if (!bitmap || !GetObjectW(bitmap, sizeof description, &description)) return false;
    const int width = description.bmWidth, height = std::abs(description.bmHeight);
    HDC source = CreateCompatibleDC(item.hDC);
    const HGDIOBJ old = SelectObject(source, bitmap);
    // Centred in the room the menu gives the image; its pixels are premultiplied.
    const int x = item.rcItem.left + (item.rcItem.right - item.rcItem.left - width) / 2;
    const int y = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - height) / 2;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(item.hDC, x, y, width, height, source, 0, 0, width, height, blend);
    SelectObject(source, old);
    DeleteDC(source);
    return true;
}

int TrackMenu(HWND owner, HINSTANCE instance, const std::vector<MenuItem>& items,
              Point screenPoint) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return -1;
    std::vector<std::wstring> texts;
    texts.reserve(items.size());
    UINT position = 0;
    for (const MenuItem& item : items) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        if (item.separator) {
            info.fMask = MIIM_FTYPE;
            info.fType = MFT_SEPARATOR;
        } else {
            texts.push_back(menuText(item.text));
            info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE | MIIM_FTYPE;
            info.fType = item.radio ? MFT_RADIOCHECK : 0;
            info.fState = (item.checked ? MFS_CHECKED : 0) | (item.grayed ? MFS_GRAYED : 0);
            info.wID = kFirstIdentifier + UINT(item.command);
            info.dwTypeData = texts.back().data();
            if (HBITMAP bitmap = menuBitmap(instance, item.image)) {
                info.fMask |= MIIM_BITMAP | MIIM_DATA;
                info.hbmpItem = HBMMENU_CALLBACK;
                info.dwItemData = reinterpret_cast<ULONG_PTR>(bitmap);
            }
        }
        InsertMenuItemW(menu, position++, TRUE, &info);
    }
    // The owner comes to the front first, or a click elsewhere would not close the menu.
    SetForegroundWindow(owner);
    const UINT chosen = UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screenPoint.x,
                                            screenPoint.y, 0, owner, nullptr));
    DestroyMenu(menu);
    PostMessageW(owner, WM_NULL, 0, 0);
    return chosen >= kFirstIdentifier ? int(chosen - kFirstIdentifier) : -1;
}

} // namespace vistrel
