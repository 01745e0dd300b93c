#include "WinSlideShowDialog.h"

#include "Wide.h"
#include "resource.h"

namespace vistrel {

namespace {

INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* settings = reinterpret_cast<SlideShowSettings*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        settings = reinterpret_cast<SlideShowSettings*>(lParam);
        SetDlgItemInt(dialog, IDC_SLIDE_SHOW_DELAY, UINT(settings->delay), TRUE);
        CheckDlgButton(dialog, IDC_SLIDE_SHOW_LOOP, settings->loop ? BST_CHECKED : BST_UNCHECKED);
        SetFocus(GetDlgItem(dialog, IDOK));
        return FALSE; // the focus is set
    case WM_COMMAND:
        // Enter acts as "Start" though it is not drawn as the default button; on a focused
        // "Cancel" it cancels. Esc cancels.
        if (LOWORD(wParam) == IDOK) {
            wchar_t text[64] = {};
            GetDlgItemTextW(dialog, IDC_SLIDE_SHOW_DELAY, text, 64);
            settings->delay = DelayFromText(narrow(text));
            settings->loop = IsDlgButtonChecked(dialog, IDC_SLIDE_SHOW_LOOP) == BST_CHECKED;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

bool RunSlideShowDialog(HWND owner, HINSTANCE instance, SlideShowSettings& settings) {
    SlideShowSettings edited = settings;
    const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SLIDE_SHOW), owner,
                                           dialogProcedure, reinterpret_cast<LPARAM>(&edited));
    if (result != IDOK) return false;
    settings = edited;
    return true;
}

} // namespace vistrel
