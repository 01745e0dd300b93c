// The one main window: its state, its placement, its painting and its handlers, without the
// toolkit. The platform's window host creates the real window and turns its events into the
// On... handlers below; everything the window decides is here.
#pragma once

#include "Canvas.h"
#include "StretchPresenter.h"
#include "Geometry.h"
#include "Picture.h"
#include "PictureSource.h"
#include "WindowHost.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vistrel {

class Desktop;

// The window's flag word.
enum ViewFlags : uint32_t {
    RightDoubleClicked = 0x01,
    Dragging = 0x02,
    SkipNextMove = 0x04,
    FitToScreen = 0x10,
    TopMost = 0x20,
    RightZooming = 0x40,
    Zoomed = 0x80,
};

// Window timers by id.
enum TimerId : int {
    TimerRightClick = 1125,
    TimerRightZoom = 1025,
    TimerSlideShow = 1004,
};

// Virtual-key codes of the keys the window handles.
enum VirtualKey : int {
    VkEscape = 0x1B,
    VkPageUp = 0x21,
    VkPageDown = 0x22,
    VkEnd = 0x23,
    VkHome = 0x24,
    VkLeft = 0x25,
    VkUp = 0x26,
    VkRight = 0x27,
    VkDown = 0x28,
    Vk8 = 0x38,
    VkV = 0x56,
    VkMultiply = 0x6A,
    VkAdd = 0x6B,
    VkSubtract = 0x6D,
    VkF1 = 0x70,
    VkOemPlus = 0xBB,
    VkOemMinus = 0xBD,
};

// The request that opens the context menu at the last right-press point, as another part of the
// program (or the toolkit) may send it to the window.
inline constexpr int MsgShowContextMenu = 0x465;

// Mouse handler flags: the buttons and modifier keys held.
enum MouseFlags : unsigned {
    MkLButton = 0x01,
    MkRButton = 0x02,
    MkShift = 0x04,
    MkControl = 0x08,
    MkMButton = 0x10,
};

// The caption is kept in a buffer of this many bytes, terminator included.
inline constexpr std::size_t kCaptionSize = 256;

class ViewerWindow {
public:
    // Takes the picture source for good.
    explicit ViewerWindow(std::unique_ptr<PictureSource> source);
    ~ViewerWindow();
    ViewerWindow(const ViewerWindow&) = delete;
    ViewerWindow& operator=(const ViewerWindow&) = delete;

    // --- start-up and shut-down
    // Creates the real window at its initial place. False when it cannot be made.
    bool Create(WindowHost& host);
    bool WindowExists() const;
    // Opens a file through the picture source and shows it; false (nothing changed) on failure.
    bool OpenFile(const char* path);
    void BeginModalState();
    void EndModalState();
    PictureSource& Source() { return *source_; }
    // What the commands ask of the desktop (background, file manager, clipboard, drags); without
    // one, those commands do nothing.
    void SetDesktop(Desktop* desktop) { desktop_ = desktop; }

    // --- placement
    void ComputeLayout();
    // Sizes and places the window for the current picture, applies it and repaints. `anchor`
    // (client coordinates) is the point a fit by double click or menu keeps under the cursor.
    void Relayout(const Point* anchor);
    void ShowCurrent();
    void MoveWindowTo(bool withZOrder);
    bool ToggleFitToScreen(Point anchor);
    // A zoom step by key: in or out by a tenth, around the window centre.
    void ZoomStep(bool zoomIn);
    // The window rectangle of a right-button drag zoom for the cursor at `cursor` (screen);
    // false when the picture is larger than the screen.
    bool ComputeRightZoom(Point cursor, Rect& zoomed);
    // Home, End, Page Up, Page Down: to the screen edge. True when the window moved.
    bool MoveToScreenEdge(int key);
    void CaptureLockPlace();
    void ApplyLockPlace();
    // The lock commands: lock or unlock; flip user lock; choose one of the nine places.
    void ToggleLockPlace();
    void ToggleUserLock();
    void ChooseLockPlace(int place);
    // Turns the picture a quarter (+90 clockwise, -90 counter-clockwise) around the window centre.
    void RotateView(int angle);

    // --- painting
    void DrawView(Canvas& dc);
    void SetLayered(bool on);
    void ComposeLayered(Canvas& dc, Picture& picture);
    // Sizes the window to width x height at (x, y) and renders the picture at that size: fast
    // for the repeated steps of a drag, in quality for a final frame.
    void ZoomTo(Picture& picture, int x, int y, int width, int height, bool fast);
    void UpdateCaption();
    void ShowStartPage();
    void DrawHelpText(Canvas& dc);
    // Paints the window now, outside a paint event.
    void Repaint();

    // --- context menu and commands
    // Builds the menu from the window's state, shows it at the last right-press point and
    // carries out the chosen command.
    void ShowContextMenu();
    void OnCommand(int id);
    void ToggleTopMost();
    // Makes the clipboard's picture the picture on show; false (nothing changed) without one.
    bool Paste();

    // --- slide show
    // Asks for the delay and the loop option, then steps every delay seconds.
    void StartSlideShow();
    void StopSlideShow();

    // --- handlers (called by the window host)
    void OnPaint(Canvas& dc) { DrawView(dc); }
    // Virtual-key codes; the modifier keys come from the host's key state.
    void OnKeyDown(int key);
    void OnHelp();
    // `flags` are the MouseFlags held; points are in client coordinates.
    void OnLButtonDown(unsigned flags, Point point);
    void OnLButtonUp(unsigned flags, Point point);
    void OnLButtonDblClk(unsigned flags, Point point);
    void OnRButtonDown(unsigned flags, Point point);
    void OnRButtonUp(unsigned flags, Point point);
    void OnRButtonDblClk(unsigned flags, Point point);
    void OnMButtonDown(unsigned flags, Point point);
    void OnMouseMove(unsigned flags, Point point);
    // `delta` > 0 when the wheel turned away from the user (up).
    void OnMouseWheel(unsigned flags, int delta);
    void OnTimer(int id);
    void OnDropFiles(const std::vector<std::string>& paths);
    // MsgShowContextMenu.
    void OnShowContextMenu() { ShowContextMenu(); }
    void OnClose();

    // The start page's size without a skin: the widest line of its text measured in the default
    // font, at least 300 x 300. Measured once, on first use: a window that opens on a picture
    // need not load a font before its first frame.
    int StartPageWidth();
    int StartPageHeight();

    // --- state, in the order the window keeps it
    // The size the window last decided on; creation or the first picture sets it.
    int windowWidth = 0;
    int windowHeight = 0;
    int windowX = 0;
    int windowY = 0;
    int pressWindowX = 0;
    int pressWindowY = 0;
    // Client coordinates for the right button, screen coordinates for the left.
    int pressPointX = 0;
    int pressPointY = 0;
    int pressWindowWidth = 0;
    int pressWindowHeight = 0;
    bool leaveTracking = false;
    char caption[kCaptionSize] = "Vistrel";
    uint32_t flags = FitToScreen | TopMost;
    bool startPage = true;
    bool layered = false;
    // The start page's skin: background, help, close and link buttons; null until loaded.
    std::unique_ptr<Picture> skinBackground, skinHelp, skinClose, skinLink;
    int buttonStates[3] = {-1, -1, -1};
    int zoomStillTicks = 0;
    int lockAnchorX = 0;
    int lockAnchorY = 0;
    int lockPlace = -1; // -1 not locked; 0..8 the window point held still
    bool userLock = false;
    int slideShowMode = 0; // 0 off, 1 once, 2 loop

private:
    // The current record when it has pixels; null otherwise.
    CachedPicture* CurrentWithPixels();
    // The picture that placement acts on: none while the start page is up.
    CachedPicture* PictureOnShow();
    void InitialPlacement();
    Point LockAnchorOf(int place) const;

    void MeasureStartPage();
    // Previous or next picture of the folder; stops a slide show either way.
    void StepPicture(bool forward);
    // Ctrl + left drag: offers the picture on show as a file.
    void DragOut();
    void RightClickTick();
    void RightZoomTick();
    void SlideShowTick();

    int startPageWidth_ = 0; // 0 until measured
    int startPageHeight_ = 0;
    std::unique_ptr<PictureSource> source_;
    std::unique_ptr<StretchPresenter> presenter_;
    WindowHost* host_ = nullptr;
    Desktop* desktop_ = nullptr;
    // The wheel turned the picture while the right button was held: releasing that button ends
    // the gesture instead of opening the menu.
    bool rightPressUsedByWheel_ = false;
    // The menu or the slide show dialog is up: a second one does not open over it.
    bool modalUp_ = false;
};

// The caption for a record: "name [WxH]" (with the depth for BMP files, the camera text after
// " , " when there is one), or "Snapshot [WxH]" for a picture without a file. Never longer than
// kCaptionSize - 1 bytes and never cut inside a UTF-8 sequence.
std::string FormatCaption(CachedPicture& record);

// Draws the picture stretched into `destination` through the presenter, or only uploads it when
// `destination` is null.
bool Present(StretchPresenter& presenter, Picture& picture, const Rect* destination);
// A presenter for the window; none when the window does not exist.
std::unique_ptr<StretchPresenter> CreatePresenter(WindowHost* window);

} // namespace vistrel
