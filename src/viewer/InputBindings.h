// The one input table's rules: which key, button or wheel turn, under which condition, asks the
// window for which action. Each shell gives its own rows in its own key and button codes (Qt's in
// src/qt/InputTable.cpp, Win32's virtual keys in src/win/WinInputTable.cpp), so that the actions
// and the conditions stay the same on every system and the window never sees a key code.
#pragma once

#include "Action.h"

#include <optional>
#include <span>

namespace vistrel {

enum class Trigger { Key, Press, DoubleClick, Wheel };

// What must hold beside the key or button itself.
enum class When {
    Always,
    Control,      // Ctrl held (other modifiers may be too)
    NoControl,    // Ctrl not held
    MainKeyboard, // not the key of the same code on the keypad
    Shift,        // Shift held
    NoShift,      // Shift not held
    RightHeld,    // the right mouse button held
};

// `code`: the shell's key code for keys, its button code for presses and double clicks, and
// kWheelUp or kWheelDown for a wheel notch.
struct Binding {
    Trigger trigger;
    int code;
    When when;
    Action action;
};

inline constexpr int kWheelUp = 1; // away from the user
inline constexpr int kWheelDown = -1;

// What holds as the input arrives.
struct InputState {
    bool control = false;
    bool shift = false;
    bool keypad = false; // the key is on the keypad
    bool rightHeld = false;
};

// The first row that matches; earlier rows win.
inline std::optional<Action> actionFor(std::span<const Binding> rows, Trigger trigger, int code,
                                       InputState state) {
    for (const Binding& row : rows) {
        if (row.trigger != trigger || row.code != code) continue;
        switch (row.when) {
        case When::Always:
            return row.action;
        case When::Control:
            if (state.control) return row.action;
            break;
        case When::NoControl:
            if (!state.control) return row.action;
            break;
        case When::MainKeyboard:
            if (!state.keypad) return row.action;
            break;
        case When::Shift:
            if (state.shift) return row.action;
            break;
        case When::NoShift:
            if (!state.shift) return row.action;
            break;
        case When::RightHeld:
            if (state.rightHeld) return row.action;
            break;
        }
    }
    return std::nullopt;
}

} // namespace vistrel
