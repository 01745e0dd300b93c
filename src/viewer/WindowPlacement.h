// Where the window stands, how large it is and what holds it there: fit to screen, the zoom, the
// lock place and keep-on-top. Each operation computes the new state from the sizes and the screen
// it is given and keeps it (the stored settings follow); what it asks of the real window comes
// back as a Change, which the window carries out through its host. The arithmetic is in Layout.h.
#pragma once

#include "Geometry.h"
#include "Layout.h"
#include "WindowHost.h"

#include <optional>

namespace vistrel {

class WindowPlacement {
public:
    // What an operation asks of the real window.
    enum class Change {
        None,
        Move,      // move it to window()'s top-left; size and z-order stay
        Place,     // move and size it to window(), with the z-order, and draw it anew
        LayOut,    // lay the picture on show out anew (with its modifiers, lock and anchor)
        Zoom,      // size it to window() and render the picture at that size, in quality
        ZoomFrame, // the same, fast: a step of a drag
    };

    // Fit to screen ("NoneScale" 1 turns it off) and the lock place, from the settings.
    void readSettings();

    const Rect& window() const { return window_; }
    bool fitToScreen() const { return fitToScreen_; }
    // The window covers the screen and the picture is fitted on black inside it; nothing moves
    // or zooms it then.
    bool fullScreen() const { return fullScreen_; }
    bool topMost() const { return topMost_; }
    const LockPlace& lock() const { return lock_; }

    // --- the window's first place
    // The size a window made for a picture of `picture` gets: natural size when "NoneScale" is
    // 1 or more, else fitted when the picture is larger than the screen, else the size laid out
    // when it was opened.
    Size sizeAtCreation(Size picture, const Rect& screen) const;
    // The size of the window `create` will make for a picture of `picture` that is not laid out
    // yet (told by its header while it decodes): as sizeAtCreation after the layout.
    Size sizeAhead(Size picture, const Rect& screen) const;
    // Places a window of `size` at the lock place or centred, kept on the screen; keep-on-top
    // comes from the settings ("NoneTopMost" 1 turns it off).
    void placeAtCreation(Size size, const Rect& screen);
    // What placeAtCreation would set, without setting it.
    Rect placedAtCreation(Size size, const Rect& screen) const;
    bool topMostAtCreation() const;

    // --- laying a picture out
    // Sizes the window for a picture of `picture` (fitted when fit to screen is on and it is
    // larger, else natural) and places it: keeping the top-left corner (`keys.control`) or the
    // centre (`keys.shift`), brought back onto the screen when that leaves it mostly off, else
    // at the lock place, where a fit by double click or menu keeps the picture point under
    // `anchor` (client coordinates) under the cursor; else centred.
    // Whether the size changed from the one the fit was measured against.
    bool layOut(Size picture, const Rect& screen, Modifiers keys, const Point* anchor);
    // The page without a picture: always centred, a lock place holds pictures only.
    void centreStartPage(Size page, const Rect& screen);

    // --- fit, zoom and turns
    // The fit key: flips fit to screen without storing it or ending a zoom.
    Change flipFit();
    // The double click and the menu: flips fit to screen and stores it. A picture on show larger
    // than the screen, or zoomed, is laid out anew (fitted, LayOut around `anchor`), or shown at
    // natural size with the picture point under `anchor` kept under it (Place). None otherwise.
    Change toggleFit(std::optional<Size> picture, Point anchor, const Rect& screen);
    // One zoom step by key of a picture of `picture` (its own, turned size). One as large as the
    // screen zooms by switching fit to screen (LayOut).
    Change zoomStep(bool zoomIn, Size picture, const Rect& screen);
    // A frame of a right-drag zoom, or its last one, at `to`.
    Change zoomTo(const Rect& to, bool fast);
    // A right-drag zoom began: the next fit toggle by double click or menu ends it.
    void zoomBegan() { zoomed_ = true; }
    // The picture was turned a quarter and is now of `turned`'s size: the window turns about its
    // centre, or is laid out anew when fitted and the turned picture is larger than the screen.
    Change turned(Size turned, const Rect& screen);

    // --- full screen: on, or back to the window its picture is laid out in (LayOut).
    Change setFullScreen(bool on);

    // --- moves
    Change moveTo(Point topLeft);
    Change centre(const Rect& screen);
    Change moveToScreenEdge(ScreenEdge edge, const Rect& screen);

    // --- lock place and keep-on-top (each stored)
    // The user moved the window: a lock place takes its anchor from where it now stands.
    void followMove(const Rect& screen);
    // "Lock place": locks where the window stands, or unlocks (and ends the user lock).
    void toggleLockPlace(const Rect& screen);
    // "Lock place by user": when on, the place stays as chosen and is anchored where the window
    // stands.
    void toggleUserLock(const Rect& screen);
    // One of the nine places (0..8), anchored where the window stands.
    void chooseLockPlace(int place, const Rect& screen);
    // Flips keep-on-top; the new state.
    bool toggleTopMost();

private:
    // Locks at the place the window stands in (unless the user chose it) and anchors it there.
    void captureLockPlace(const Rect& screen);

    // The window as last decided; creation or the first picture sets it.
    Rect window_;
    LockPlace lock_;
    bool fitToScreen_ = true;
    bool topMost_ = true;
    bool zoomed_ = false; // zoomed away from the fitted or natural size
    bool fullScreen_ = false;
};

} // namespace vistrel
