// The 32-bit top-down device-independent bitmap the Windows shell renders into: rows run from the
// top, as the program's pictures and canvases lay them out, so their bytes copy straight across.
#pragma once

#include <windows.h>

#include <cstdint>

// The description of such a bitmap of `width` x `height` pixels, for making one or for drawing
// pixels laid out that way.
inline BITMAPINFO topDownBitmapInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return info;
}

// A bitmap of `width` x `height` pixels and its pixels, or a null bitmap when the system refuses
// one. Its pages start zeroed: black, fully transparent.
inline HBITMAP createTopDownBitmap(int width, int height, uint32_t** pixels) {
    const BITMAPINFO info = topDownBitmapInfo(width, height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    *pixels = static_cast<uint32_t*>(bits);
    return bitmap;
}
