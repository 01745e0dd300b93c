// What a key, a mouse button or the wheel asks of the window. The toolkit layer maps its events
// onto these in one input table; the window never sees a key code.
#pragma once

namespace vistrel {

enum class Action {
    // Keys
    CloseOrStopSlideShow, // a running slide show stops first; otherwise the program closes
    PreviousPicture,      // also the wheel turned up
    NextPicture,          // also the wheel turned down
    ShowLeftEdge,         // a window larger than the screen shows that edge of the picture
    ShowRightEdge,
    ShowTopEdge,
    ShowBottomEdge,
    ToggleFitToScreen, // for this picture only: neither ends a zoom nor is stored
    ZoomIn,
    ZoomOut,
    Paste,
    ShowStartPage,
    FirstPicture, // of the folder, or of the list the command line gave
    LastPicture,
    ToggleFullScreen, // the picture fitted on a black screen; Esc leaves it too
    CopyPicture,      // to the clipboard, as an image and as its file
    MoveToTrash,      // the picture's file; the next picture is shown
    PauseAnimation,   // an animated picture stops on its frame, or plays on
    FrameBack,        // while paused: the frame before, or after
    FrameForward,

    // Buttons (they act at the pointer)
    StartMove,            // left press: the window follows the pointer (a start page button is
                          // pressed instead)
    FitToScreenAtPointer, // left double click: fit or natural size around the pointer, stored
    PressRight,           // right press: a click opens the menu, a sideways drag zooms
    CloseOnRightRelease,  // right double click: the release closes the program
    ToggleKeepOnTop,      // middle press
    TurnClockwise,        // wheel down with the right button held
    TurnCounterClockwise,
};

enum class MouseButton { Left, Right, Middle };

} // namespace vistrel
