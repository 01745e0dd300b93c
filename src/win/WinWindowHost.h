// The viewer's window on Win32: a borderless popup that keeps its last painted frame in a DIB
// section, turns the window messages into the window's input handlers through the input table's
// Win32 rows, and shows pictures with real transparency through UpdateLayeredWindow. It decides
// nothing itself.
#pragma once

#include "WindowHost.h"

#include <windows.h>

#include <cstdint>

namespace vistrel {

class ViewerWindow;

// Messages of the window's own, posted to it.
inline constexpr UINT kArrivalMessage = WM_APP + 1;     // the prefetcher handed something over
inline constexpr UINT kContextMenuMessage = WM_APP + 2; // open the menu at the last right press
inline constexpr UINT kDragMoveMessage = WM_APP + 3;    // the window moved under a held button
inline constexpr UINT kFirstFrameMessage = WM_APP + 4;  // paint the frame a new window shows

class WinWindowHost final : public WindowHost {
public:
    WinWindowHost(ViewerWindow& viewer, HINSTANCE instance);
    ~WinWindowHost() override;
    WinWindowHost(const WinWindowHost&) = delete;
    WinWindowHost& operator=(const WinWindowHost&) = delete;

    bool create(const Rect& geometry, bool topMost, const char* title) override;
    bool exists() const override { return window_ != nullptr; }
    void destroy() override;
    bool isVisible() const override;
    void show() override;
    void hide() override;
    void activate() override;
    void setGeometry(const Rect& geometry, bool topMost) override;
    void setTopMost(bool on) override;
    void move(Point topLeft) override;
    Rect windowRect() const override { return geometry_; }
    void setTitle(const char* text) override;
    std::unique_ptr<Canvas> clientCanvas() override;
    void setTranslucent(bool on) override;
    void presentTranslucent(int width, int height, const uint8_t* bits, uint32_t rowSize) override;
    void blitSurface(const uint32_t* pixels, int width, int height,
                     const Rect& destination) override;
    void captureMouse() override;
    void releaseMouse() override;
    bool hasCapture() const override;
    void setHandCursor(bool on) override;
    Point cursorPosition() const override;
    Modifiers modifiers() const override;
    void setTimer(Timer timer, int milliseconds) override;
    void killTimer(Timer timer) override;
    void postClose() override;
    void postArrival() override;
    void setAcceptDrops(bool on) override;
    int execPopupMenu(const std::vector<MenuItem>& items, Point screenPoint) override;
    int menuCheckMarkWidth() const override;
    bool runSlideShowDialog(int& delaySeconds, bool& loop) override;
    void showProperties(const char* title, const std::vector<PropertyRow>& rows) override;

    // Opens the context menu at the last right-press point from the message loop; any part of
    // the program may ask for it.
    void requestContextMenu();
    HWND handle() const { return window_; }

private:
    friend class FrameCanvas;
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    // The frame at the window's size (a new size starts black), selected into frameDc_.
    bool ensureFrame();
    void releaseFrame();
    // Copies the frame onto the window (not while it is layered: the layered bitmap shows).
    void showFrame(HDC target);
    void paintFirstFrame();
    void act(int trigger, int code, bool control, bool rightHeld, Point pointer = {});
    void pointerMoved(Point client, WPARAM buttons);
    void wheel(WPARAM wParam);
    void dropFiles(HDROP drop);
    void applyLayeredStyle(bool on);

    ViewerWindow& viewer_;
    HINSTANCE instance_;
    HWND window_ = nullptr;
    Rect geometry_;
    bool topMost_ = false;
    // WS_EX_LAYERED: the window shows what presentTranslucent gave it.
    bool layered_ = false;
    bool handCursor_ = false;
    bool trackingLeave_ = false;
    bool dragMoveQueued_ = false;
    // Wheel turns not yet handed on: fine-grained wheels report parts of a notch.
    int wheelRemainder_ = 0;
    // The screen point of the last pointer move handed on: a move the system reports because
    // the window moved under a still cursor is not one of the user's (kDragMoveMessage is).
    POINT lastPointer_{INT32_MIN, INT32_MIN};

    HDC frameDc_ = nullptr;
    HBITMAP frameBitmap_ = nullptr;
    HGDIOBJ frameOld_ = nullptr;
    int frameWidth_ = 0, frameHeight_ = 0;
    bool framePainted_ = false;
    int activeCanvases_ = 0;
};

} // namespace vistrel
