// The one main window, without the toolkit: the coordinator of the pictures (the prefetch
// cache), the placement (WindowPlacement), the mouse's gestures (PointerGestures), the painting
// and the commands. The platform's window host creates the real window and turns its events into
// the input handlers below (through the toolkit layer's one input table); everything the window
// decides is here.
#pragma once

#include "Action.h"
#include "ContextMenu.h"
#include "FramesAhead.h"
#include "Geometry.h"
#include "LiveFolder.h"
#include "PointerGestures.h"
#include "Prefetcher.h"
#include "Rendering.h"
#include "SlideShowSettings.h"
#include "StartPage.h"
#include "WindowHost.h"
#include "WindowPlacement.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace vistrel {

class Desktop;

// The caption is kept to this many bytes.
inline constexpr std::size_t kCaptionLimit = 255;

class ViewerWindow {
public:
    // The pictures come from a prefetch cache with this decode (CachedPicture::load unless a test
    // gives its own).
    explicit ViewerWindow(Prefetcher::DecodeFunction decode = {});
    ~ViewerWindow();

    // --- start-up and shut-down
    // Reads the fit, lock and sort order settings, and whether colours are converted to the
    // display's.
    void readSettings();
    // Creates the real window at its initial place; the prefetch workers decode ahead once its
    // first frame is painted. False when it cannot be made.
    bool create(WindowHost& host);
    // Makes the window ahead (WindowHost::prepare) for a picture of `picture` that still decodes,
    // told by its header (`alpha`: its pixels have an alpha channel), where `create` will place
    // it once the picture is laid out.
    void prepare(WindowHost& host, Size picture, bool alpha);
    // Opens a file: it is decoded in the background and shown when it lands; until then, and for
    // good when it cannot be decoded, the picture on show stays. The keys step through its folder,
    // or through `list` (full paths, `path` among them). False when there is nothing to open.
    bool openFile(const char* path, std::vector<std::string> list = {});
    // The same for a file already being decoded (the command-line picture): waits up to
    // `patience` for it, so that a picture decoded meanwhile is laid out before the window is
    // made; a slower one lands later. `list`: the files to step through instead of its folder.
    void openFrom(std::shared_ptr<Prefetcher::Opening> opening, std::chrono::milliseconds patience,
                  std::vector<std::string> list = {});
    // What the commands ask of the desktop (background, file manager, clipboard, drags); without
    // one, those commands do nothing.
    void setDesktop(Desktop* desktop) { desktop_ = desktop; }
    // The folder of the start page's skin (empty: the plain page); set before `create`.
    void setSkinFolder(std::string folder) { startPageView_.setSkinFolder(std::move(folder)); }
    void onClose();

    // --- input and events, from the host
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
    // The prefetcher handed something over (the host's queued call, postArrival): takes it and
    // shows what landed (the picture on show decoded again from its rewritten file: in place
    // when its size is the same), and watches the folder it came from. The first call after the
    // window is made lets the workers decode ahead.
    void onPicturesArrived();
    // The display's colour profile changed: the pictures held, converted to the old one, are
    // decoded anew.
    void onDisplayProfileChanged();
    // A compositor came or went: a translucent frame on show is drawn again for the new desktop.
    void onCompositingChanged();
    // Opens the context menu at the last right-press point; a request another part of the program
    // (or the toolkit) may make at any time.
    void showContextMenu();
    void onCommand(MenuCommand command);

    // --- what the window shows, for the host and for tests
    const WindowPlacement& placement() const { return placement_; }
    SlideShow slideShow() const { return slideShow_; }
    Prefetcher& pictures() { return pictures_; }
    // What the screen copies are made for now.
    ScreenCopyPolicy screenCopyPolicy() const;

private:
    // --- "the picture", in the senses the window's operations mean:
    // - pictures_.current(): the current record, with something to show (pixels, or a reduced
    //   decode's screen copy), whether the start page covers it or not: what the caption, the
    //   menu and the desktop's commands name;
    // - pictureOnShow(): the same, but none while the start page is up: what is placed and
    //   painted;
    // - atFullResolution(record): one of these two at full resolution: a reduced record's full
    //   decode is waited for (within a bound), none when it does not come; what the turns and a
    //   wallpaper written out need (zoom and natural size show the screen copy stretched
    //   meanwhile, and ask for the full decode without waiting);
    // - paintedPicture(): the pixels painted for the picture on show: its screen copy in the
    //   fitted view (always for a reduced record), else the decoded picture.
    CachedPicture* pictureOnShow();
    CachedPicture* atFullResolution(CachedPicture* record);
    Picture* paintedPicture();

    // --- placement, carried out
    // Leaves the start page for the current record and lays it out. `typing`: see relayout.
    void showCurrent(Modifiers typing = {});
    // Sizes and places the window for the picture on show, applies it and repaints. `anchor`
    // (client coordinates) is the point a fit by double click or menu keeps under the cursor.
    // The modifiers held keep the window's top-left corner (Ctrl) or its centre (Shift), unless
    // they are `typing`: part of the key that asked (the Ctrl of Ctrl+V, the Shift that types
    // "*").
    void relayout(const Point* anchor, Modifiers typing = {});
    // Carries out what a placement operation asks of the real window; `anchor` for a LayOut.
    void apply(WindowPlacement::Change change, const Point* anchor = nullptr);
    bool toggleFitToScreen(Point anchor);
    // Turns the picture on show by +90 or -90 degrees, the window about its centre.
    void rotateView(int angle);
    void repaint();

    // --- an animation on show (Playing.cpp)
    // Plays the picture on show when it is animated, from the frame it shows; stops what played
    // before when it is another.
    void followAnimation();
    // Composes the frames of the animation on show ahead of their time, from its position, turned
    // as `record` is.
    void startFramesAhead(const CachedPicture& record);
    void stopAnimation();
    // The frame on show has had its time, or a frame asked for has landed: shows the next.
    void nextFrameDue();
    // Pauses or resumes; steps one frame back or forth while paused.
    void togglePause();
    void stepFrame(int direction);
    void showFrame(CachedPicture& record, ComposedFrame& frame);

    // --- slide show
    void startSlideShow();
    void stopSlideShow();
    void slideShowTick();

    Prefetcher pictures_;
    LiveFolder liveFolder_{pictures_};
    // The window's host while the real window exists (from `create` to `onClose`); null
    // otherwise.
    WindowHost* host_ = nullptr;
    Desktop* desktop_ = nullptr;
    Renderer renderer_;
    StartPage startPageView_;
    WindowPlacement placement_;
    PointerGestures gestures_;

    struct Playing {
        std::shared_ptr<Animation> animation; // of the picture on show; null for a still
        std::unique_ptr<FramesAhead> ahead;   // its frames composed ahead of their time
        int playsDone = 0;                    // times its last frame had its time
        int seek = -1;    // the frame to show next when the frames in between are skipped
        bool due = false; // the frame on show has had its time
        bool paused = false;
        bool stepping = false; // paused, but one frame is to be shown
    } playing_;

    std::string caption_ = "Vistrel";
    bool startPage_ = true;
    SlideShow slideShow_ = SlideShow::Off;
    // The menu or the slide show dialog is up: a second one does not open over it.
    bool modalUp_ = false;
    // Pictures are converted to the display's colours (the ColorManagement setting).
    bool colorManagement_ = true;
};

// The caption for a record: "name [WxH]" (with the depth for BMP files, the camera text after
// " , " when there is one), or "Snapshot [WxH]" for a picture without a file. Never longer than
// kCaptionLimit bytes and never cut inside a UTF-8 sequence.
std::string FormatCaption(CachedPicture& record);

} // namespace vistrel
