// What the rest of the program asks of the operating system and the toolkit. Only src/qt
// implements it with Qt; tests and tools use the headless default or a fake.
#pragma once

#include "DecodeResult.h"
#include "FolderWatch.h"
#include "Geometry.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vistrel {

// What the desktop the program runs on can do; each rule that depends on it reads one flag.
struct Capabilities {
    // Windows can be translucent pixel by pixel: a 32-bit picture with real transparency is
    // drawn through its alpha and shapes the window.
    bool translucentWindows = true;
    // Every picture wider or taller than the screen gets a filtered screen copy, not only those
    // of about two screens of area or more: the window's own stretched drawing is the slow path.
    bool screenCopyForEveryLargerPicture = true;
    // The desktop's background may be any picture file; otherwise it is given a BMP copy.
    bool wallpaperFromAnyFile = true;
};

// Width and line height of a text in the desktop's default font.
struct TextExtent {
    int width = 0;
    int height = 0;
};

// Receives a picture from the system picture decoder: its size first, then its rows, top row
// first, as straight (not premultiplied) 0xAARRGGBB words.
class SystemImageSink {
public:
    virtual ~SystemImageSink() = default;
    // A refusal (the picture cannot be made) ends the decode; no rows follow then.
    virtual DecodeResult begin(int width, int height) = 0;
    virtual void row(int y, const uint32_t* pixels) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // The primary screen's full geometry in pixels (not the work area), read anew each time.
    virtual Rect primaryScreen() = 0;
    virtual Capabilities capabilities() { return {}; }
    // The system picture decoder: placeable WMF, GIF (first frame), ICO and CUR (the image
    // closest to 32x32, the deepest of equal sizes), BMP and JPEG. Everything else is refused.
    // Refused (Refusal::UnknownFormat) when the bytes are none of these, and for why they cannot
    // be decoded or the sink refused them.
    virtual DecodeResult decodeSystemPicture(const uint8_t* data, std::size_t size,
                                             SystemImageSink& sink) = 0;

    // Device pixels to a pixel of the desktop's scale (2 on a screen scaled to 200 %): what the
    // program draws at a fixed size in its own pixels is that much larger on the screen.
    virtual double screenScale() { return 1.0; }

    // The ICC profile of the display the window shows on, as its bytes; null for sRGB, which is
    // also what a platform that knows none answers. Asked on the window's thread.
    virtual std::shared_ptr<const std::vector<uint8_t>> displayProfile() { return nullptr; }

    // Whether the desktop blends translucent windows over what lies behind them now (a
    // compositing manager runs). Without one, a translucent window's pixels show as they are,
    // over nothing. It may change while the program runs; unless a platform knows otherwise, yes.
    virtual bool compositing() { return true; }

    // Size of one line of UTF-8 text in the desktop's default font. Unless a platform knows
    // better: 7 x 13 pixels a byte.
    virtual TextExtent textExtent(const char* text);

    // The user's settings store (the Quorbane/Vistrel settings): 32-bit values by name.
    // `readSetting` gives the stored value, or nothing when the value is missing or the store
    // holds something else under its name; `writeSetting` returns 0, or a non-zero error code when
    // it could not store the value. Unless a platform has a store, nothing is stored and writes
    // fail.
    virtual std::optional<int32_t> readSetting(const char* name) { return std::nullopt; }
    virtual int writeSetting(const char* name, int32_t value) { return 1; }

    // A watch that tells `listener`, on the event loop, what changes in the folder it watches.
    // Made on the event loop's thread. Unless a platform can watch folders: an inert one.
    virtual std::unique_ptr<FolderWatch> makeFolderWatch(const FolderWatch::Listener& listener);
};

// For a store that keeps its values as text: the 32-bit value a stored text stands for, a decimal
// integer, optionally signed, from -2147483648 to 4294967295 (values above 2^31 - 1 are the
// unsigned form of a negative one). False for anything else, including blanks around it, other
// bases and fractions.
bool ParseSettingValue(const std::string& text, int32_t& value);

// The installed platform. Without one, a headless platform answers: a 1920x1080 screen at
// (0, 0), every capability, no system picture decoder, 7 x 13 pixels per character of text,
// a settings store that holds nothing and refuses writes, and no folder watch.
Platform& platform();
// Installs `p` (not owned; null restores the headless default).
void installPlatform(Platform* p);

} // namespace vistrel
