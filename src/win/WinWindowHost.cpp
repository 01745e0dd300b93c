#include "WinWindowHost.h"

#include "TopDownBitmap.h"
#include "ViewerWindow.h"
#include "Wide.h"
#include "WinCanvas.h"
#include "WinInputTable.h"
#include "WinPopupMenu.h"
#include "WinSlideShowDialog.h"
#include "resource.h"

#include <shellapi.h>
#include <windowsx.h>

#include <cstring>

namespace vistrel {

namespace {

constexpr const wchar_t* kClassName = L"Vistrel";
// The wheel turn of one notch of an ordinary mouse wheel.
constexpr int kWheelNotch = WHEEL_DELTA;

constexpr Timer kTimers[] = {Timer::RightClick, Timer::RightZoom, Timer::SlideShow,
                             Timer::Animation};

UINT_PTR timerId(Timer timer) {
    return UINT_PTR(timer) + 1;
}

Point clientPoint(LPARAM lParam) {
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

bool keyHeld(int key) {
    return GetKeyState(key) < 0;
}

} // namespace

// A canvas over the host's frame. While it lives, every drawing of the host goes into the frame;
// when the last one ends, the frame is shown.
class FrameCanvas final : public WinCanvas {
public:
    explicit FrameCanvas(WinWindowHost& host) : WinCanvas(host.frameDc_), host_(host) {
        ++host_.activeCanvases_;
    }
    ~FrameCanvas() override {
        host_.framePainted_ = true;
        if (--host_.activeCanvases_ == 0 && host_.window_) {
            if (HDC target = GetDC(host_.window_)) {
                host_.showFrame(target);
                ReleaseDC(host_.window_, target);
            }
        }
    }

private:
    WinWindowHost& host_;
};

WinWindowHost::WinWindowHost(ViewerWindow& viewer, HINSTANCE instance)
    : viewer_(viewer), instance_(instance) {}

WinWindowHost::~WinWindowHost() {
    if (window_) DestroyWindow(window_);
    releaseFrame();
}

bool WinWindowHost::create(const Rect& geometry, bool topMost, const char* title) {
    static const ATOM registered = [this] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        // Double clicks arrive as messages of their own; no background brush: every pixel is
        // painted from the frame.
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = instance_;
        windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_VISTREL));
        windowClass.hIconSm = static_cast<HICON>(
            LoadImageW(instance_, MAKEINTRESOURCEW(IDI_VISTREL), IMAGE_ICON,
                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass);
    }();
    if (!registered) return false;
    geometry_ = geometry;
    topMost_ = topMost;
    DWORD extended = WS_EX_ACCEPTFILES;
    if (topMost) extended |= WS_EX_TOPMOST;
    if (layered_) extended |= WS_EX_LAYERED;
    // A popup without border or title bar; its text shows in the task bar.
    window_ = CreateWindowExW(extended, kClassName, widen(title).c_str(), WS_POPUP | WS_SYSMENU,
                              geometry.left, geometry.top, geometry.width(), geometry.height(),
                              nullptr, nullptr, instance_, this);
    if (!window_) return false;
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    // A layered window shows nothing until its first frame is presented, and gets no paint
    // message to present it: the frame is painted from the message loop, as a paint would be.
    PostMessageW(window_, kFirstFrameMessage, 0, 0);
    return true;
}

void WinWindowHost::destroy() {
    if (!window_) return;
    releaseMouse();
    for (const Timer timer : kTimers)
        killTimer(timer);
    const HWND window = window_;
    window_ = nullptr;
    // The window was the program: its destruction ends the message loop.
    DestroyWindow(window);
    releaseFrame();
}

bool WinWindowHost::isVisible() const {
    return window_ && IsWindowVisible(window_);
}

void WinWindowHost::show() {
    if (window_) ShowWindow(window_, SW_SHOWNA);
}

void WinWindowHost::hide() {
    if (window_) ShowWindow(window_, SW_HIDE);
}

void WinWindowHost::activate() {
    if (!window_) return;
    SetForegroundWindow(window_);
    SetFocus(window_);
}

void WinWindowHost::setGeometry(const Rect& geometry, bool topMost) {
    geometry_ = geometry;
    topMost_ = topMost;
    if (!window_) return;
    SetWindowPos(window_, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, geometry.left, geometry.top,
                 geometry.width(), geometry.height(), SWP_NOACTIVATE | SWP_NOREDRAW);
}

void WinWindowHost::setTopMost(bool on) {
    topMost_ = on;
    if (window_)
        SetWindowPos(window_, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void WinWindowHost::move(Point topLeft) {
    geometry_ = geometry_.movedTo(topLeft);
    if (!window_) return;
    SetWindowPos(window_, nullptr, topLeft.x, topLeft.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Moving the window under a still cursor changes the cursor's client position. That move is
    // handed on as a move of its own, so that the window's drag rules see it on every system.
    if (!dragMoveQueued_ && keyHeld(VK_LBUTTON)) {
        dragMoveQueued_ = true;
        PostMessageW(window_, kDragMoveMessage, 0, 0);
    }
}

void WinWindowHost::setTitle(const char* text) {
    if (window_) SetWindowTextW(window_, widen(text).c_str());
}

bool WinWindowHost::ensureFrame() {
    const int width = geometry_.width(), height = geometry_.height();
    if (frameDc_ && width == frameWidth_ && height == frameHeight_) return true;
    releaseFrame();
    if (width <= 0 || height <= 0) return false;
    uint32_t* bits = nullptr;
    // Fresh pages are black, where the window shows them before its first paint.
    frameBitmap_ = createTopDownBitmap(width, height, &bits);
    frameDc_ = CreateCompatibleDC(nullptr);
    if (!frameBitmap_ || !frameDc_) {
        releaseFrame();
        return false;
    }
    frameOld_ = SelectObject(frameDc_, frameBitmap_);
    SelectObject(frameDc_, GetStockObject(DEFAULT_GUI_FONT));
    frameWidth_ = width;
    frameHeight_ = height;
    framePainted_ = false;
    return true;
}

void WinWindowHost::releaseFrame() {
    if (frameDc_) {
        if (frameOld_) SelectObject(frameDc_, frameOld_);
        DeleteDC(frameDc_);
    }
    if (frameBitmap_) DeleteObject(frameBitmap_);
    frameDc_ = nullptr;
    frameBitmap_ = nullptr;
    frameOld_ = nullptr;
    frameWidth_ = frameHeight_ = 0;
    framePainted_ = false;
}

void WinWindowHost::showFrame(HDC target) {
    if (layered_ || !frameDc_) return;
    BitBlt(target, 0, 0, frameWidth_, frameHeight_, frameDc_, 0, 0, SRCCOPY);
}

std::unique_ptr<Canvas> WinWindowHost::clientCanvas() {
    if (!ensureFrame()) return nullptr;
    return std::make_unique<FrameCanvas>(*this);
}

void WinWindowHost::paintFirstFrame() {
    if (!window_ || framePainted_ || !ensureFrame()) return;
    FrameCanvas canvas(*this);
    viewer_.onPaint(canvas);
}

void WinWindowHost::applyLayeredStyle(bool on) {
    const LONG_PTR style = GetWindowLongPtrW(window_, GWL_EXSTYLE);
    SetWindowLongPtrW(window_, GWL_EXSTYLE, on ? style | WS_EX_LAYERED : style & ~WS_EX_LAYERED);
}

void WinWindowHost::setTranslucent(bool on) {
    if (on == layered_) return;
    layered_ = on;
    // Asked before the window exists: it is made for what it shows first.
    if (!window_) return;
    applyLayeredStyle(on);
    // An ordinary window again: what it shows is the frame, painted anew by the window.
    if (!on) RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
}

void WinWindowHost::presentTranslucent(int width, int height, const uint8_t* bits,
                                       uint32_t rowSize) {
    if (!window_ || width <= 0 || height <= 0) return;
    if (!layered_) {
        layered_ = true;
        applyLayeredStyle(true);
    }
    uint32_t* target = nullptr;
    HBITMAP bitmap = createTopDownBitmap(width, height, &target);
    if (!bitmap) return;
    for (int y = 0; y < height; ++y)
        std::memcpy(target + std::size_t(y) * std::size_t(width), bits + std::size_t(y) * rowSize,
                    std::size_t(width) * 4);
    HDC source = CreateCompatibleDC(nullptr);
    const HGDIOBJ old = SelectObject(source, bitmap);
    // Premultiplied pixels through their own alpha: pixels of alpha 0 let the desktop and the
    // mouse through.
    POINT at{geometry_.left, geometry_.top}, origin{0, 0};
    SIZE size{width, height};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(window_, nullptr, &at, &size, source, &origin, 0, &blend, ULW_ALPHA);
    SelectObject(source, old);
    DeleteDC(source);
    DeleteObject(bitmap);
    framePainted_ = true;
}

void WinWindowHost::blitSurface(const uint32_t* pixels, int width, int height,
                                const Rect& destination) {
    if (!ensureFrame()) return;
    FrameCanvas canvas(*this); // shown when the outermost canvas ends
    const BITMAPINFO info = topDownBitmapInfo(width, height);
    // HALFTONE averages the source pixels each destination pixel covers: a smooth reduction
    // where the display's stretched blit used to be.
    SetStretchBltMode(frameDc_, HALFTONE);
    SetBrushOrgEx(frameDc_, 0, 0, nullptr);
    StretchDIBits(frameDc_, destination.left, destination.top, destination.width(),
                  destination.height(), 0, 0, width, height, pixels, &info, DIB_RGB_COLORS,
                  SRCCOPY);
}

void WinWindowHost::captureMouse() {
    if (window_) SetCapture(window_);
}

void WinWindowHost::releaseMouse() {
    if (hasCapture()) ReleaseCapture();
}

bool WinWindowHost::hasCapture() const {
    return window_ && GetCapture() == window_;
}

void WinWindowHost::setHandCursor(bool on) {
    handCursor_ = on;
    POINT cursor;
    if (!window_ || !GetCursorPos(&cursor) || WindowFromPoint(cursor) != window_) return;
    SetCursor(on ? LoadCursorW(instance_, MAKEINTRESOURCEW(IDR_HAND_CURSOR))
                 : LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
}

Point WinWindowHost::cursorPosition() const {
    POINT cursor{};
    GetCursorPos(&cursor);
    return {int(cursor.x), int(cursor.y)};
}

Modifiers WinWindowHost::modifiers() const {
    // The keys as of the message being handled, not as the keyboard is now.
    return {keyHeld(VK_CONTROL), keyHeld(VK_SHIFT)};
}

void WinWindowHost::setTimer(Timer timer, int milliseconds) {
    if (window_) SetTimer(window_, timerId(timer), UINT(milliseconds), nullptr);
}

void WinWindowHost::killTimer(Timer timer) {
    if (window_) KillTimer(window_, timerId(timer));
}

void WinWindowHost::postClose() {
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
}

void WinWindowHost::postArrival() {
    // From a worker thread: the message is handled on the window's thread; a window already gone
    // takes none.
    if (const HWND window = window_) PostMessageW(window, kArrivalMessage, 0, 0);
}

void WinWindowHost::requestContextMenu() {
    if (window_) PostMessageW(window_, kContextMenuMessage, 0, 0);
}

void WinWindowHost::setAcceptDrops(bool on) {
    if (window_) DragAcceptFiles(window_, on);
}

int WinWindowHost::execPopupMenu(const std::vector<MenuItem>& items, Point screenPoint) {
    return window_ ? TrackMenu(window_, instance_, items, screenPoint) : -1;
}

int WinWindowHost::menuCheckMarkWidth() const {
    return GetSystemMetrics(SM_CXMENUCHECK);
}

bool WinWindowHost::runSlideShowDialog(int& delaySeconds, bool& loop) {
    SlideShowSettings settings{delaySeconds, loop};
    if (!RunSlideShowDialog(window_, instance_, settings)) return false;
    delaySeconds = settings.delay;
    loop = settings.loop;
    return true;
}

// The rows as lines of a message box: the Shell's own window, modal, its text selectable with
// Ctrl+C.
void WinWindowHost::showProperties(const char* title, const std::vector<PropertyRow>& rows) {
    std::string text;
    for (const PropertyRow& row : rows)
        text += row.label + ":\t" + row.value + "\r\n";
    MessageBoxW(window_, widen(text).c_str(), widen(title).c_str(), MB_OK | MB_ICONINFORMATION);
}

LRESULT CALLBACK WinWindowHost::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(creation->lpCreateParams));
        static_cast<WinWindowHost*>(creation->lpCreateParams)->window_ = window;
    }
    auto* host = reinterpret_cast<WinWindowHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!host || !host->window_ || host->window_ != window) {
        if (message == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return host->handle(message, wParam, lParam);
}

void WinWindowHost::act(int trigger, int code, bool control, bool rightHeld, Point pointer) {
    if (const std::optional<Action> action =
            winActionFor(Trigger(trigger), code,
                         {control, (GetKeyState(VK_SHIFT) & 0x8000) != 0, false, rightHeld}))
        viewer_.perform(*action, pointer);
}

void WinWindowHost::pointerMoved(Point client, WPARAM buttons) {
    POINT screen{client.x, client.y};
    ClientToScreen(window_, &screen);
    lastPointer_ = screen;
    viewer_.onPointerMove(client, buttons & MK_LBUTTON, buttons & MK_RBUTTON,
                          {(buttons & MK_CONTROL) != 0, (buttons & MK_SHIFT) != 0});
}

void WinWindowHost::wheel(WPARAM wParam) {
    // A wheel that reports parts of a notch acts once per whole notch, not once per report.
    const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    if (delta == 0) return;
    if ((wheelRemainder_ > 0) != (delta > 0)) wheelRemainder_ = 0; // turned the other way
    wheelRemainder_ += delta;
    if (std::abs(wheelRemainder_) < kWheelNotch) return;
    const int turned = wheelRemainder_;
    wheelRemainder_ = 0;
    const WPARAM keys = GET_KEYSTATE_WPARAM(wParam);
    act(int(Trigger::Wheel), turned > 0 ? kWheelUp : kWheelDown, keys & MK_CONTROL,
        keys & MK_RBUTTON);
}

void WinWindowHost::dropFiles(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(length);
        paths.push_back(programPath(path));
    }
    DragFinish(drop);
    viewer_.onDropFiles(paths);
}

LRESULT WinWindowHost::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC target = BeginPaint(window_, &paint);
        // A frame the window has not painted since it got its size: the window paints it now.
        if (!framePainted_ && ensureFrame()) {
            FrameCanvas canvas(*this);
            viewer_.onPaint(canvas);
        } else {
            showFrame(target);
        }
        EndPaint(window_, &paint);
        return 0;
    }
    case kFirstFrameMessage:
        paintFirstFrame();
        return 0;
    case WM_ERASEBKGND:
        return 1; // every pixel comes from the frame
    case WM_KEYDOWN:
        act(int(Trigger::Key), int(wParam), keyHeld(VK_CONTROL), keyHeld(VK_RBUTTON));
        return 0;
    case WM_HELP:
        return TRUE; // F1 is a key of the input table
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK: {
        const bool doubleClick = message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK;
        const int button = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK ? MK_LBUTTON
                           : message == WM_MBUTTONDOWN                              ? MK_MBUTTON
                                                                                    : MK_RBUTTON;
        act(int(doubleClick ? Trigger::DoubleClick : Trigger::Press), button,
            (wParam & MK_CONTROL) != 0, (wParam & MK_RBUTTON) != 0, clientPoint(lParam));
        return 0;
    }
    case WM_LBUTTONUP:
        viewer_.onRelease(MouseButton::Left, clientPoint(lParam));
        return 0;
    case WM_RBUTTONUP:
        viewer_.onRelease(MouseButton::Right, clientPoint(lParam));
        return 0;
    case WM_MOUSEMOVE: {
        if (!trackingLeave_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_, 0};
            trackingLeave_ = TrackMouseEvent(&track) != 0;
        }
        POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(window_, &screen);
        // The window moved under a still cursor: kDragMoveMessage hands that on.
        if (screen.x == lastPointer_.x && screen.y == lastPointer_.y) return 0;
        pointerMoved(clientPoint(lParam), wParam);
        return 0;
    }
    case kDragMoveMessage: {
        dragMoveQueued_ = false;
        POINT cursor;
        if (!GetCursorPos(&cursor)) return 0;
        WPARAM buttons = 0;
        if (keyHeld(VK_LBUTTON)) buttons |= MK_LBUTTON;
        if (keyHeld(VK_RBUTTON)) buttons |= MK_RBUTTON;
        if (keyHeld(VK_CONTROL)) buttons |= MK_CONTROL;
        if (keyHeld(VK_SHIFT)) buttons |= MK_SHIFT;
        pointerMoved({int(cursor.x) - geometry_.left, int(cursor.y) - geometry_.top}, buttons);
        return 0;
    }
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        lastPointer_ = {INT32_MIN, INT32_MIN};
        viewer_.onPointerLeave();
        return 0;
    case WM_MOUSEWHEEL:
        wheel(wParam);
        return 0;
    case WM_SETCURSOR:
        if (handCursor_ && LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursorW(instance_, MAKEINTRESOURCEW(IDR_HAND_CURSOR)));
            return TRUE;
        }
        break;
    case WM_TIMER:
        for (const Timer timer : kTimers)
            if (wParam == timerId(timer)) viewer_.onTimer(timer);
        return 0;
    case WM_DROPFILES:
        dropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_MEASUREITEM:
        if (MeasureMenuImage(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case WM_DRAWITEM:
        if (DrawMenuImage(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case kArrivalMessage:
        viewer_.onPicturesArrived();
        return 0;
    case kContextMenuMessage:
        viewer_.showContextMenu();
        return 0;
    case WM_CLOSE:
        // A close from outside (the task bar's, a session's end) takes the window's close path.
        viewer_.onClose();
        return 0;
    case WM_ENDSESSION:
        if (wParam) viewer_.onClose();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

} // namespace vistrel
