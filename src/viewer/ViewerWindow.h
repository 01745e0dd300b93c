// The one main window: its state, its placement, its painting and its input, without the
// toolkit. The platform's window host creates the real window and turns its events into the
// input handlers below (through the toolkit layer's one input table); everything the window
// decides is here.
#pragma once

#include "Action.h"
#include "ContextMenu.h"
#include "Geometry.h"
#include "Layout.h"
#include "Prefetcher.h"
#include "Rendering.h"
#include "SlideShowSettings.h"
#include "StartPage.h"
#include "WindowHost.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace vistrel {

class Desktop;

// The caption is kept to this many bytes.
inline constexpr std::size_t kCaptionLimit = 255;

// The gestures the mouse may have under way; more than one at a time.
enum class Gesture : unsigned {
    Moving = 1,             // a left drag moves the window
    SkipNextMove = 2,       // the next pointer move is the echo of the window's own move
    RightZooming = 4,       // a sideways right drag zooms
    RightDoubleClicked = 8, // the right release closes the program
};

class Gestures {
public:
    bool has(Gesture g) const { return (bits_ & unsigned(g)) != 0; }
    void add(Gesture g) { bits_ |= unsigned(g); }
    void remove(Gesture g) { bits_ &= ~unsigned(g); }

private:
    unsigned bits_ = 0;
};

// The last button press: where it was (client coordinates), the window it was made in and which
// button. A right press is what the context menu opens at.
struct Press {
    Point point;
    Rect window;
    MouseButton button = MouseButton::Left;
};

class ViewerWindow {
public:
    // The pictures come from a prefetch cache with this decode (CachedPicture::load unless a test
    // gives its own).
    explicit ViewerWindow(Prefetcher::DecodeFunction decode = {});
    ~ViewerWindow();
    ViewerWindow(const ViewerWindow&) = delete;
    ViewerWindow& operator=(const ViewerWindow&) = delete;

    // --- start-up and shut-down
    // Reads the fit, keep-on-top and lock settings.
    void readSettings();
    // Creates the real window at its initial place and lets the prefetch worker run. False when
    // it cannot be made.
    bool create(WindowHost& host);
    bool windowExists() const;
    // Opens a file: it is decoded in the background and shown when it lands; until then, and for
    // good when it cannot be decoded, the picture on show stays. False when there is nothing to
    // open.
    bool openFile(const char* path);
    // The same for a file already being decoded (the command-line picture): waits up to
    // `patience` for it, so that a picture decoded meanwhile is laid out before the window is
    // made; a slower one lands later.
    void openFrom(std::shared_ptr<Prefetcher::Opening> opening, std::chrono::milliseconds patience);
    // What the commands ask of the desktop (background, file manager, clipboard, drags); without
    // one, those commands do nothing.
    void setDesktop(Desktop* desktop) { desktop_ = desktop; }
    // The folder of the start page's skin (empty: the plain page); set before `create`.
    void setSkinFolder(std::string folder) { startPageView_.setSkinFolder(std::move(folder)); }
    void onClose();

    // --- input, from the host
    // A key, a button press or the wheel; `pointer` (client coordinates) for the buttons.
    void perform(Action action, Point pointer = {});
    // `pointer`: where the button was released; only the start page's buttons care.
    void onRelease(MouseButton button, Point pointer = {});
    // `left` and `right`: the buttons held.
    void onPointerMove(Point pointer, bool left, bool right, Modifiers modifiers);
    // The pointer left the window.
    void onPointerLeave();
    void onTimer(Timer timer);
    void onDropFiles(const std::vector<std::string>& paths);
    void onPaint(Canvas& canvas);
    // Opens the context menu at the last right-press point; a request another part of the program
    // (or the toolkit) may make at any time.
    void showContextMenu();
    void onCommand(MenuCommand command);

    // --- what the window shows, for the host and for tests
    Rect windowRect() const { return window_; }
    const std::string& caption() const { return caption_; }
    bool fitToScreen() const { return fitToScreen_; }
    bool topMost() const { return topMost_; }
    const LockPlace& lock() const { return lock_; }
    SlideShow slideShow() const { return slideShow_; }
    bool onStartPage() const { return startPage_; }
    Prefetcher& pictures() { return pictures_; }
    // What the screen copies are made for now.
    ScreenCopyPolicy screenCopyPolicy() const;

private:
    // --- pictures
    // The current record when it has something to show (pixels, or the screen copy of a reduced
    // decode); null otherwise.
    CachedPicture* currentWithPixels();
    // The picture that placement acts on: none while the start page is up.
    CachedPicture* pictureOnShow();
    // The same at full resolution: a reduced picture's full decode is waited for (within a
    // bound); null when there is none. fullCurrent does so for the current record, start page
    // or not.
    CachedPicture* fullPictureOnShow();
    CachedPicture* fullCurrent();
    // Polls the prefetcher on the arrival timer while it expects something.
    void awaitPictures();
    void picturesArrived();
    // Lets the prefetch workers run, after the first frame.
    void releaseWorkers();
    Rect screen() const;
    void showCurrent(bool pasting = false);
    // Previous or next picture of the folder; stops a slide show either way.
    void stepPicture(bool forward);
    bool paste();

    // --- placement
    void initialPlacement();
    // Sizes and places the window for the current picture, applies it and repaints. `anchor`
    // (client coordinates) is the point a fit by double click or menu keeps under the cursor.
    // The modifiers held keep the window's top-left corner (Ctrl, unless it belongs to the Ctrl+V
    // of a paste) or its centre (Shift).
    void relayout(const Point* anchor, bool pasting = false);
    void applyGeometry(bool withZOrder);
    bool toggleFitToScreen(Point anchor);
    void zoomStep(bool zoomIn);
    void moveToScreenEdge(ScreenEdge edge);
    void captureLockPlace();
    void toggleLockPlace();
    void toggleUserLock();
    void chooseLockPlace(int place);
    void rotateView(int angle);
    void toggleTopMost();

    // --- painting
    // The picture painted: the screen copy when fitted, else the decoded picture; none on the
    // start page.
    Picture* shownPicture();
    void repaint();
    // Sizes the window to `to` and renders the picture at that size: fast for the repeated steps
    // of a drag, in quality for a final frame.
    void zoomTo(Picture& picture, const Rect& to, bool fast);
    void updateCaption();
    void showStartPage();
    void clickStartButton(StartButton button);

    // --- gestures and timers
    void startMove(Point pointer);
    void pressRight(Point pointer);
    void releaseRight();
    void turnByWheel(int angle);
    void dragOut();
    void rightClickTick();
    void rightZoomTick();

    // --- slide show
    void startSlideShow();
    void stopSlideShow();
    void slideShowTick();

    Prefetcher pictures_;
    WindowHost* host_ = nullptr;
    Desktop* desktop_ = nullptr;
    Renderer renderer_;
    StartPage startPageView_;

    // The window as last decided; creation or the first picture sets it.
    Rect window_;
    Press press_;
    std::string caption_ = "Vistrel";
    bool fitToScreen_ = true;
    bool topMost_ = true;
    bool zoomed_ = false; // zoomed away from the fitted or natural size
    Gestures gestures_;
    bool startPage_ = true;
    int zoomStillTicks_ = 0;
    LockPlace lock_;
    SlideShow slideShow_ = SlideShow::Off;
    // The wheel turned the picture while the right button was held: releasing that button ends
    // the gesture instead of opening the menu.
    bool rightPressUsedByWheel_ = false;
    // The menu or the slide show dialog is up: a second one does not open over it.
    bool modalUp_ = false;
    bool awaiting_ = false;       // the arrival timer runs
    bool holdingWorkers_ = false; // the window is made, its first frame not painted yet
};

// The caption for a record: "name [WxH]" (with the depth for BMP files, the camera text after
// " , " when there is one), or "Snapshot [WxH]" for a picture without a file. Never longer than
// kCaptionLimit bytes and never cut inside a UTF-8 sequence.
std::string FormatCaption(CachedPicture& record);

} // namespace vistrel
