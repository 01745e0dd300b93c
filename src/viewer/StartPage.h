// The page the window shows without a picture: the keyboard and mouse map with a close box and a
// link, or, with a skin, the shaped page drawn from the skin's pictures. Its three buttons (help,
// close and link) follow the pointer: hovered, pressed, or normal.
#pragma once

#include "Canvas.h"
#include "Geometry.h"
#include "Rendering.h"
#include "Skin.h"
#include "WindowHost.h"

#include <array>
#include <optional>
#include <string>

namespace vistrel {

// The widest line of the page; its extent in the default font sizes the page.
inline constexpr const char* kStartPageMeasureLine =
    " Double click right button : Toggle always on top ";

// Right-aligned left column and left-aligned right column; they line up row by row.
inline constexpr const char* kHelpLeftColumn =
    "  Drop in image file\n\nKeyboard map\n\n  Esc\n  Up\n  Down\n  *\n  G / Shift+G\n  F11\n"
    "  Ctrl+C\n  Delete\n\nMouse map\n\n  Double click right button\n  Click center button\n"
    "  Wheel up\n  Wheel down";
inline constexpr const char* kHelpRightColumn =
    "\n\n\n\n: Exit\n: Previous image\n: Next image\n: Resize to screen\n: First / last image\n"
    ": Full screen\n: Copy\n: Move to trash\n\n\n\n: Exit\n: Toggle always on top\n"
    ": Previous image\n: Next image\n";

// The rows of the help text.
constexpr int helpRows() {
    int rows = 1;
    for (const char* c = kHelpLeftColumn; *c; ++c)
        rows += *c == '\n';
    return rows;
}

// The link of the page without a skin: the product's home page.
inline constexpr const char* kStartPageLinkText = "vistrel.quorbane.com";

// The page's colours without a skin: a hovered close box, a pressed one, and the link's text
// while hovered or pressed.
inline constexpr uint32_t kLightGray = 0xC0C0C0;
inline constexpr uint32_t kGray = 0x808080;
inline constexpr uint32_t kLinkBlue = 0x0000FF;

class StartPage {
public:
    // From now on the page draws through `renderer` and captures the pointer and sets its shape
    // on `host`.
    void attach(WindowHost& host, Renderer& renderer);
    // Where the skin's files are; empty: no skin.
    void setSkinFolder(std::string folder) { skin_.setFolder(std::move(folder)); }

    // The page's size: the skin background's (loaded now if need be), else the widest line of
    // the help text measured in the default font (once) and its rows, at least 300 x 300.
    Size size();
    // Whether the page is the skin's shaped page (its background loaded) rather than the plain
    // one.
    bool skinned() { return skin_.background(false) != nullptr; }
    // The page is shown anew: every button normal, the next draw composes the whole page, and
    // skin files that failed to load are tried again.
    void reset();
    // The window shows a picture instead: no button stays pressed or hovered, nor the pointer a
    // hand.
    void hidden();

    // --- the pointer (client coordinates)
    // A left press: on a button, the button is pressed and the pointer captured until the
    // release; true then. False elsewhere (the window is moved instead).
    bool press(Point pointer, Size page);
    // The left release: the button that was clicked (pressed and released on it), if any.
    std::optional<StartButton> release(Point pointer, Size page);
    // Hover: the button under the pointer is hovered, or, while a press is under way, the
    // pressed button shows pressed only while the pointer is on it; every other button is normal.
    // The pointer is a hand over the link.
    void pointerMoved(Point pointer, Size page);
    // The pointer left the window: every button normal, the pointer no hand.
    void pointerLeft(Size page);

    // Draws the whole page into `canvas`.
    void paint(Canvas& canvas, Size page);

private:
    using States = std::array<ButtonState, 3>;
    // A button's place on a page of `page`'s size: the skin's when the background and the
    // button's file are there, else the plain page's (the help button has none there).
    std::optional<Rect> buttonRect(StartButton button, Size page);
    std::optional<StartButton> buttonAt(Point pointer, Size page);
    // Redraws the page when a button's look differs from the one last drawn.
    void setStates(const States& states, Size page);
    void setHandCursor(bool on);
    void drawPlain(Canvas& canvas, Size page);
    void drawSkinned(Canvas& canvas, Picture& background, Size page);
    TextExtent linkExtent();

    SkinPictures skin_;
    // The skinned page as the window shows it: the background cut to the window's size, made
    // once; every draw puts the buttons' frames on it (each covers its place whole).
    Picture composed_;
    const Picture* composedFrom_ = nullptr;
    WindowHost* host_ = nullptr;
    Renderer* renderer_ = nullptr;
    States states_ = {ButtonState::Normal, ButtonState::Normal, ButtonState::Normal};
    States drawn_ = {ButtonState::NotDrawn, ButtonState::NotDrawn, ButtonState::NotDrawn};
    std::optional<StartButton> pressed_; // a left press on this button is under way
    bool handCursor_ = false;
    Size plainSize_;        // empty until measured
    TextExtent linkExtent_; // empty until measured
};

} // namespace vistrel
