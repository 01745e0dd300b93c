#include "WinInputTable.h"

#include <windows.h>

namespace vistrel {

namespace {

// Earlier rows win. Keys take any modifiers unless a row says otherwise: Ctrl and Shift change
// where a stepped picture's window stands, not what the key does. The keypad's keys have codes
// of their own, so no row needs When::MainKeyboard.
const Binding kBindings[] = {
    {Trigger::Key, VK_ESCAPE, When::Always, Action::CloseOrStopSlideShow},
    {Trigger::Key, VK_LEFT, When::Always, Action::PreviousPicture},
    {Trigger::Key, VK_UP, When::Always, Action::PreviousPicture},
    {Trigger::Key, VK_RIGHT, When::Always, Action::NextPicture},
    {Trigger::Key, VK_DOWN, When::Always, Action::NextPicture},
    {Trigger::Key, VK_HOME, When::Always, Action::ShowLeftEdge},
    {Trigger::Key, VK_END, When::Always, Action::ShowRightEdge},
    {Trigger::Key, VK_PRIOR, When::Always, Action::ShowTopEdge},
    {Trigger::Key, VK_NEXT, When::Always, Action::ShowBottomEdge},
    // "*" on the keypad, and the 8 key with or without Shift.
    {Trigger::Key, VK_MULTIPLY, When::Always, Action::ToggleFitToScreen},
    {Trigger::Key, '8', When::Always, Action::ToggleFitToScreen},
    // "+" on the keypad and the "=" key; "-" on the keypad and the "-" key.
    {Trigger::Key, VK_ADD, When::Always, Action::ZoomIn},
    {Trigger::Key, VK_OEM_PLUS, When::Always, Action::ZoomIn},
    {Trigger::Key, VK_SUBTRACT, When::Always, Action::ZoomOut},
    {Trigger::Key, VK_OEM_MINUS, When::Always, Action::ZoomOut},
    {Trigger::Key, 'V', When::Control, Action::Paste},
    {Trigger::Key, VK_F1, When::Always, Action::ShowStartPage},
    // G and Shift+G: the first and last picture (Home and End show the edges of a large picture).
    {Trigger::Key, 'G', When::NoShift, Action::FirstPicture},
    {Trigger::Key, 'G', When::Shift, Action::LastPicture},
    {Trigger::Key, VK_F11, When::Always, Action::ToggleFullScreen},
    {Trigger::Key, 'F', When::NoControl, Action::ToggleFullScreen},
    {Trigger::Key, 'C', When::Control, Action::CopyPicture},
    {Trigger::Key, VK_DELETE, When::Always, Action::MoveToTrash},

    // Ctrl and a left drag offers the picture as a file instead of moving the window.
    {Trigger::Press, MK_LBUTTON, When::NoControl, Action::StartMove},
    {Trigger::DoubleClick, MK_LBUTTON, When::Always, Action::FitToScreenAtPointer},
    {Trigger::Press, MK_RBUTTON, When::Always, Action::PressRight},
    {Trigger::DoubleClick, MK_RBUTTON, When::Always, Action::CloseOnRightRelease},
    // A middle double click is no second press of the middle button.
    {Trigger::Press, MK_MBUTTON, When::Always, Action::ToggleKeepOnTop},

    {Trigger::Wheel, kWheelUp, When::RightHeld, Action::TurnCounterClockwise},
    {Trigger::Wheel, kWheelDown, When::RightHeld, Action::TurnClockwise},
    {Trigger::Wheel, kWheelUp, When::Always, Action::PreviousPicture},
    {Trigger::Wheel, kWheelDown, When::Always, Action::NextPicture},
};

} // namespace

std::optional<Action> winActionFor(Trigger trigger, int code, InputState state) {
    return actionFor(kBindings, trigger, code, state);
}

} // namespace vistrel
