#include "WinPlatform.h"

#include "Wide.h"

namespace vistrel {

namespace {

constexpr const wchar_t* kSettingsKey = L"Software\\Quorbane\\Vistrel";

} // namespace

Rect WinPlatform::primaryScreen() {
    // The primary monitor holds the origin of the desktop's coordinates; its rectangle is the
    // whole monitor, not the work area.
    MONITORINFO info{};
    info.cbSize = sizeof info;
    const HMONITOR monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    if (!monitor || !GetMonitorInfoW(monitor, &info))
        return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const RECT& r = info.rcMonitor;
    return {int(r.left), int(r.top), int(r.right), int(r.bottom)};
}

TextExtent WinPlatform::textExtent(const char* text) {
    const std::wstring wide = widen(text);
    HDC screen = GetDC(nullptr);
    if (!screen) return Platform::textExtent(text);
    const HGDIOBJ old = SelectObject(screen, GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    TEXTMETRICW metrics{};
    GetTextExtentPoint32W(screen, wide.c_str(), int(wide.size()), &size);
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return {int(size.cx), int(metrics.tmHeight)};
}

std::optional<int32_t> WinPlatform::readSetting(const char* name) {
    // Opened anew for every value, so that a change by another instance is seen.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, value = 0, size = sizeof value;
    const LSTATUS status = RegQueryValueExW(key, widen(name).c_str(), nullptr, &type,
                                            reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    // Longer data, or text that happens to be four bytes long, is no 32-bit value.
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return std::nullopt;
    return int32_t(value);
}

int WinPlatform::writeSetting(const char* name, int32_t value) {
    HKEY key = nullptr;
    LSTATUS status =
        RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return int(status);
    const DWORD stored = DWORD(value);
    status = RegSetValueExW(key, widen(name).c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&stored), sizeof stored);
    RegCloseKey(key);
    return int(status);
}

} // namespace vistrel
