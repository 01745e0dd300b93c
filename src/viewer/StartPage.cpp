#include "StartPage.h"

#include "Platform.h"

#include <algorithm>
#include <cmath>

namespace vistrel {

namespace {

constexpr std::size_t at(StartButton button) {
    return std::size_t(button);
}

} // namespace

void StartPage::attach(WindowHost& host, Renderer& renderer) {
    host_ = &host;
    renderer_ = &renderer;
}

Size StartPage::size() {
    if (Picture* background = skin_.background(true))
        return {background->width(), background->height()};
    // Measured once, on first use: a window that opens on a picture need not load a font before
    // its first frame.
    if (plainSize_.width == 0) {
        const TextExtent line = platform().textExtent(kStartPageMeasureLine);
        plainSize_ = {std::max(300, line.width),
                      std::max(300, (helpRows() + 1) * line.height + 100)};
    }
    return plainSize_;
}

void StartPage::reset() {
    states_.fill(ButtonState::Normal);
    drawn_.fill(ButtonState::NotDrawn);
    pressed_.reset();
    skin_.retryFailed();
}

void StartPage::hidden() {
    states_.fill(ButtonState::Normal);
    drawn_.fill(ButtonState::NotDrawn);
    pressed_.reset();
    setHandCursor(false);
}

TextExtent StartPage::linkExtent() {
    if (linkExtent_.width == 0) linkExtent_ = platform().textExtent(kStartPageLinkText);
    return linkExtent_;
}

std::optional<Rect> StartPage::buttonRect(StartButton button, Size page) {
    if (Picture* background = skin_.background(false))
        if (Picture* strip = skin_.button(button, true))
            return skinButtonRect(button, {background->width(), background->height()},
                                  frameSize(*strip));
    switch (button) {
    case StartButton::Help:
        return std::nullopt;
    case StartButton::Close:
        return plainCloseRect(page, platform().screenScale());
    case StartButton::Link:
        return plainLinkRect(page, linkExtent());
    }
    return std::nullopt;
}

std::optional<StartButton> StartPage::buttonAt(Point pointer, Size page) {
    // Close first: wide skin buttons may overlap, and closing is what the corner is for.
    for (StartButton button : {StartButton::Close, StartButton::Link, StartButton::Help}) {
        const std::optional<Rect> rect = buttonRect(button, page);
        if (rect && rect->contains(pointer)) return button;
    }
    return std::nullopt;
}

bool StartPage::press(Point pointer, Size page) {
    const std::optional<StartButton> hit = buttonAt(pointer, page);
    if (!hit) return false;
    pressed_ = hit;
    // The release is seen wherever it happens, so that a press dragged off the button and
    // released elsewhere clicks nothing.
    if (host_ && host_->exists()) host_->captureMouse();
    States states;
    states.fill(ButtonState::Normal);
    states[at(*hit)] = ButtonState::Pressed;
    setStates(states, page);
    return true;
}

std::optional<StartButton> StartPage::release(Point pointer, Size page) {
    const std::optional<StartButton> pressed = pressed_;
    pressed_.reset();
    pointerMoved(pointer, page); // the button under the pointer is hovered again
    if (pressed && buttonAt(pointer, page) == pressed) return pressed;
    return std::nullopt;
}

void StartPage::pointerMoved(Point pointer, Size page) {
    const std::optional<StartButton> hit = buttonAt(pointer, page);
    States states;
    states.fill(ButtonState::Normal);
    if (pressed_) {
        if (hit == pressed_) states[at(*hit)] = ButtonState::Pressed;
    } else if (hit) {
        states[at(*hit)] = ButtonState::Hover;
    }
    setHandCursor(hit == StartButton::Link && (!pressed_ || pressed_ == hit));
    setStates(states, page);
}

void StartPage::pointerLeft(Size page) {
    setHandCursor(false);
    States states;
    states.fill(ButtonState::Normal);
    setStates(states, page);
}

void StartPage::setHandCursor(bool on) {
    if (on == handCursor_) return;
    handCursor_ = on;
    if (host_ && host_->exists()) host_->setHandCursor(on);
}

void StartPage::setStates(const States& states, Size page) {
    states_ = states;
    // Hovering over the same button draws nothing: the skin page is composed anew only when a
    // button's look changes.
    if (states_ == drawn_ || !host_ || !host_->exists()) return;
    if (std::unique_ptr<Canvas> canvas = host_->clientCanvas()) paint(*canvas, page);
}

void StartPage::paint(Canvas& canvas, Size page) {
    if (Picture* background = skin_.background(false))
        drawSkinned(canvas, *background, page);
    else
        drawPlain(canvas, page);
    drawn_ = states_;
}

void StartPage::drawSkinned(Canvas& canvas, Picture& background, Size page) {
    if (!renderer_) return;
    const Size size{std::min(page.width, background.width()),
                    std::min(page.height, background.height())};
    if (composedFrom_ != &background || composed_.width() != size.width ||
        composed_.height() != size.height) {
        composedFrom_ = nullptr;
        if (size.width < 1 || size.height < 1 ||
            !composed_.create(size.width, size.height, 32, false))
            return;
        copyBlock(composed_, {0, 0}, background, Rect::at({0, 0}, size));
        composedFrom_ = &background;
    }
    for (StartButton button : kStartButtons) {
        Picture* strip = skin_.button(button, true);
        const std::optional<Rect> rect = buttonRect(button, page);
        // A strip of another depth than the background's is not drawn; its button still works.
        if (strip && rect) copyFrame(composed_, rect->topLeft(), *strip, int(states_[at(button)]));
    }
    renderer_->drawShaped(canvas, composed_, page);
}

void StartPage::drawPlain(Canvas& canvas, Size page) {
    if (renderer_) renderer_->setTranslucent(false);
    const int w = page.width, h = page.height;
    canvas.rectangle({0, 0, w, h});
    canvas.drawText({0, 20, w / 2 + 5, h}, kHelpLeftColumn, TextRight);
    canvas.drawText({w / 2 + 10, 20, w, h}, kHelpRightColumn, TextLeft);

    const double scale = platform().screenScale();
    if (const std::optional<Rect> box = plainCloseRect(page, scale)) {
        const ButtonState state = states_[at(StartButton::Close)];
        canvas.rectangle(*box, state == ButtonState::Hover     ? kLightGray
                               : state == ButtonState::Pressed ? kGray
                                                               : kWhite);
        // The cross keeps its place in the box at any scale.
        const int near = int(std::lround(5 * scale)), far = int(std::lround(4 * scale));
        canvas.line({box->left + near, box->top + near}, {box->right - far, box->bottom - far});
        canvas.line({box->right - near, box->top + near}, {box->left + far, box->bottom - far});
    }

    TextStyle link;
    link.opaque = true;
    if (states_[at(StartButton::Link)] != ButtonState::Normal) {
        link.color = kLinkBlue;
        link.underline = true;
    }
    canvas.drawText(plainLinkRect(page, linkExtent()), kStartPageLinkText,
                    TextCenter | TextVCenter | TextSingleLine, link);
}

} // namespace vistrel
