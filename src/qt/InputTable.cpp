#include "InputTable.h"

namespace vistrel {

namespace {

// Earlier rows win. Keys take any modifiers unless a row says otherwise: Ctrl and Shift change
// where a stepped picture's window stands, not what the key does.
const Binding kBindings[] = {
    {Trigger::Key, Qt::Key_Escape, When::Always, Action::CloseOrStopSlideShow},
    {Trigger::Key, Qt::Key_Left, When::Always, Action::PreviousPicture},
    {Trigger::Key, Qt::Key_Up, When::Always, Action::PreviousPicture},
    {Trigger::Key, Qt::Key_Right, When::Always, Action::NextPicture},
    {Trigger::Key, Qt::Key_Down, When::Always, Action::NextPicture},
    {Trigger::Key, Qt::Key_Home, When::Always, Action::ShowLeftEdge},
    {Trigger::Key, Qt::Key_End, When::Always, Action::ShowRightEdge},
    {Trigger::Key, Qt::Key_PageUp, When::Always, Action::ShowTopEdge},
    {Trigger::Key, Qt::Key_PageDown, When::Always, Action::ShowBottomEdge},
    // "*" on the keypad or as Shift+8, and the 8 key itself.
    {Trigger::Key, Qt::Key_Asterisk, When::Always, Action::ToggleFitToScreen},
    {Trigger::Key, Qt::Key_8, When::MainKeyboard, Action::ToggleFitToScreen},
    {Trigger::Key, Qt::Key_Plus, When::Always, Action::ZoomIn},
    {Trigger::Key, Qt::Key_Equal, When::Always, Action::ZoomIn},
    {Trigger::Key, Qt::Key_Minus, When::Always, Action::ZoomOut},
    {Trigger::Key, Qt::Key_Underscore, When::Always, Action::ZoomOut},
    {Trigger::Key, Qt::Key_V, When::Control, Action::Paste},
    {Trigger::Key, Qt::Key_F1, When::Always, Action::ShowStartPage},
    // G and Shift+G: the first and last picture, as in nsxiv and less (Home and End show the
    // edges of a large picture).
    {Trigger::Key, Qt::Key_G, When::NoShift, Action::FirstPicture},
    {Trigger::Key, Qt::Key_G, When::Shift, Action::LastPicture},
    {Trigger::Key, Qt::Key_F11, When::Always, Action::ToggleFullScreen},
    {Trigger::Key, Qt::Key_F, When::NoControl, Action::ToggleFullScreen},
    {Trigger::Key, Qt::Key_C, When::Control, Action::CopyPicture},
    {Trigger::Key, Qt::Key_Delete, When::Always, Action::MoveToTrash},
    {Trigger::Key, Qt::Key_Space, When::Always, Action::PauseAnimation},
    {Trigger::Key, Qt::Key_Comma, When::Always, Action::FrameBack},
    {Trigger::Key, Qt::Key_Period, When::Always, Action::FrameForward},

    // Ctrl and a left drag offers the picture as a file instead of moving the window.
    {Trigger::Press, Qt::LeftButton, When::NoControl, Action::StartMove},
    {Trigger::DoubleClick, Qt::LeftButton, When::Always, Action::FitToScreenAtPointer},
    {Trigger::Press, Qt::RightButton, When::Always, Action::PressRight},
    {Trigger::DoubleClick, Qt::RightButton, When::Always, Action::CloseOnRightRelease},
    // A middle double click is no second press of the middle button.
    {Trigger::Press, Qt::MiddleButton, When::Always, Action::ToggleKeepOnTop},

    {Trigger::Wheel, kWheelUp, When::RightHeld, Action::TurnCounterClockwise},
    {Trigger::Wheel, kWheelDown, When::RightHeld, Action::TurnClockwise},
    {Trigger::Wheel, kWheelUp, When::Always, Action::PreviousPicture},
    {Trigger::Wheel, kWheelDown, When::Always, Action::NextPicture},
};

} // namespace

std::optional<Action> actionFor(Trigger trigger, int code, Qt::KeyboardModifiers modifiers,
                                Qt::MouseButtons buttons) {
    return actionFor(kBindings, trigger, code,
                     {modifiers.testFlag(Qt::ControlModifier),
                      modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::KeypadModifier),
                      buttons.testFlag(Qt::RightButton)});
}

} // namespace vistrel
