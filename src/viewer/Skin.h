// The start page's optional skin: the PNG files of a UI/ folder (a background whose size is the
// page's and whose transparency shapes the window, and three button strips), where that folder
// is, where each button sits, and how a button's frame is copied onto the page.
#pragma once

#include "Geometry.h"
#include "Picture.h"
#include "Platform.h"

#include <array>
#include <memory>
#include <optional>
#include <string>

namespace vistrel {

enum class StartButton { Help, Close, Link };
inline constexpr std::array<StartButton, 3> kStartButtons = {StartButton::Help, StartButton::Close,
                                                             StartButton::Link};

// A button's look. With a skin it is also the index of the frame drawn from the button's strip.
enum class ButtonState {
    NotDrawn = -1, // nothing drawn yet: the next draw composes the page whatever it shows
    Normal = 0,
    Pressed = 1,
    Hover = 2,
};

// The skin's folder: the user's own (`userData`/Quorbane/Vistrel/UI), else UI/ beside the
// program (a build tree), else the installed data folder (`programFolder`/../share/vistrel/UI),
// whichever first holds a background file. Ends in "/"; empty when none does.
std::string findSkinFolder(const std::string& userData, const std::string& programFolder);
// Where the user's data lives: $XDG_DATA_HOME, else ~/.local/share; empty when neither is known.
std::string userDataFolder();

// The skin's pictures, each loaded on first use from the folder and kept. The background is
// usable only as 32 bits (its alpha shapes the window) and no larger than the screen (a button
// strip no wider than four screens): anything else, or a file the size rule refuses, counts as
// no skin, and its pixels are never decoded.
class SkinPictures {
public:
    // Empty: no skin.
    void setFolder(std::string folder);
    // The picture when it is loaded; with `load`, loaded now if it is not yet. Null when it is
    // missing, cannot be decoded, or (the background) is not 32-bit.
    Picture* background(bool load);
    Picture* button(StartButton button, bool load);
    // A file that failed to load is not read again until this is called (the start page is
    // shown anew), so that a damaged file is not decoded again at every pointer move.
    void retryFailed();

private:
    Picture* get(std::size_t index, bool load);

    std::string folder_;
    std::array<std::unique_ptr<Picture>, 4> pictures_; // background, help, close, link
    std::array<bool, 4> failed_ = {};
};

// A button strip holds four frames side by side: each a quarter of the strip's width (integer
// division) and its full height.
Size frameSize(Picture& strip);
// Where a button of that frame size sits on a skin background of that size: help and close side
// by side near the top-right corner, the link centred near the bottom.
Rect skinButtonRect(StartButton button, Size background, Size frame);
// The page without a skin: a close box of 16 x 16 pixels of the desktop's scale (`scale` device
// pixels each) in the top-right corner, none on a page narrower or lower than two boxes and a
// pixel; and the link text's box (its extent plus 10 x 4) centred 20 pixels above the bottom.
std::optional<Rect> plainCloseRect(Size page, double scale = 1.0);
Rect plainLinkRect(Size page, TextExtent text);

// Copies the block `from` of `source` onto `page` with its top-left corner at `at`: pixels
// replaced, alpha included, nothing blended; clipped to both pictures. False, and nothing copied,
// when the depths differ.
bool copyBlock(Picture& page, Point at, Picture& source, Rect from);
// The same for frame `frame` of `strip` (false for a frame out of range).
bool copyFrame(Picture& page, Point at, Picture& strip, int frame);

} // namespace vistrel
