// The platform on Win32: the primary monitor, the system picture decoder through OLE, the
// default GUI font's text measure and the settings as REG_DWORD values under
// HKEY_CURRENT_USER\Software\Quorbane\Vistrel.
#pragma once

#include "Platform.h"

namespace vistrel {

class WinPlatform final : public Platform {
public:
    // The primary monitor's full rectangle in pixels (the process is aware of every monitor's
    // scale, so they are device pixels).
    Rect primaryScreen() override;
    // OleLoadPicture: GIF (first frame), ICO and CUR (the image closest to 32x32), placeable
    // WMF, BMP and JPEG, told by their first bytes; from any thread (each call joins COM).
    DecodeResult decodeSystemPicture(const uint8_t* data, std::size_t size,
                                     SystemImageSink& sink) override;
    TextExtent textExtent(const char* text) override;
    // Only a REG_DWORD is a value: any other type, or other data, reads as missing.
    std::optional<int32_t> readSetting(const char* name) override;
    int writeSetting(const char* name, int32_t value) override;

    // Pictures of more pixels are refused, as every decoder refuses them.
    static constexpr uint64_t kMaxPixels = uint64_t(1) << 28;
};

} // namespace vistrel
