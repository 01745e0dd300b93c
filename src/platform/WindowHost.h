// The one top-level window of the viewer, as the toolkit-neutral window asks for it: a frameless
// window at an exact geometry, painted through canvases, with timers, mouse capture and the
// translucent (layered) mode. The toolkit side translates its events into the window's handlers
// and does nothing else.
#pragma once

#include "Canvas.h"
#include "Geometry.h"
#include "MenuItem.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vistrel {

// Modifier keys as `keyState` reports them.
enum KeyState : unsigned {
    KeyControl = 0x1,
    KeyShift = 0x2,
    KeyV = 0x4, // the V key is down (Ctrl+V is a paste, not a "keep top-left" step)
};

class WindowHost {
public:
    virtual ~WindowHost() = default;

    // Creates the frameless top-level window at that geometry (negative positions allowed), shows
    // it and accepts dropped files. False when the window cannot be made.
    virtual bool create(int x, int y, int width, int height, bool topMost, const char* title) = 0;
    virtual bool exists() const = 0;
    // Ends the window; the event loop ends with it.
    virtual void destroy() = 0;

    virtual bool isVisible() const = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void setEnabled(bool enabled) = 0;
    // Brings the window to the front and gives it the keyboard.
    virtual void activate() = 0;

    // Moves and sizes the window; the z-order follows `topMost`.
    virtual void setGeometry(int x, int y, int width, int height, bool topMost) = 0;
    // Keeps the window above others, or no longer, without moving or sizing it.
    virtual void setTopMost(bool on) = 0;
    virtual void move(int x, int y) = 0;
    virtual void resize(int width, int height) = 0;
    // The window's rectangle on the screen.
    virtual Rect windowRect() const = 0;
    virtual void setTitle(const char* text) = 0;

    // A canvas over the window's client area that paints at once (outside a paint event).
    virtual std::unique_ptr<Canvas> clientCanvas() = 0;

    // Translucent mode: the window shows exactly the last premultiplied picture given to
    // `updateLayered`, pixels of alpha 0 let the desktop (and the mouse) through, and paint events
    // no longer reach the window's own drawing. Off: ordinary opaque painting.
    virtual void setLayered(bool on) = 0;
    // Premultiplied blue, green, red, alpha pixels, rows bottom-up `rowSize` bytes apart.
    virtual void updateLayered(int width, int height, const uint8_t* bits, uint32_t rowSize) = 0;

    // Draws a top-down surface of 0x00RRGGBB words, scaled smoothly into `destination` (client
    // coordinates). What lies outside the destination is left as it is.
    virtual void blitSurface(const uint32_t* pixels, int width, int height,
                             const Rect& destination) = 0;

    virtual void captureMouse() = 0;
    virtual void releaseMouse() = 0;
    virtual bool hasCapture() const = 0;
    // Cursor position on the screen.
    virtual Point cursorPos() const = 0;
    // The KeyState bits of the keys held now.
    virtual unsigned keyState() const = 0;

    // Window timers by id: `onTimer(id)` every `milliseconds` until killed.
    virtual void setTimer(int id, int milliseconds) = 0;
    virtual void killTimer(int id) = 0;
    // Queues a close request; the window's close handler runs from the event loop.
    virtual void postClose() = 0;

    // Whether files dropped on the window reach its drop handler (off while a drag starts here).
    virtual void setAcceptDrops(bool on) = 0;
    // Shows the items as a popup menu at `screenPoint` and waits for a choice: the chosen item's
    // id, or 0 when the menu was dismissed. Timers and posted requests still run meanwhile.
    virtual int trackPopupMenu(const std::vector<MenuItem>& items, Point screenPoint) = 0;
    // The width in pixels that a menu item's check mark or image gets.
    virtual int menuCheckMarkWidth() const = 0;
    // Runs the modal slide show dialog over the window with the stored delay and loop option.
    // On "Start" the dialog has stored the values it gives here (the delay in seconds, already
    // clamped; loop 0 or 1) and the result is true; false when it was cancelled.
    virtual bool runSlideShowDialog(int& delaySeconds, int& loop) = 0;
};

} // namespace vistrel
