// Recording stand-ins for what the window talks to: the window host, its canvases, the picture
// source and the platform's settings and text measure.
#pragma once

#include "Desktop.h"
#include "Platform.h"
#include "ViewerWindow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace vistrel::test {

struct RecordingCanvas : Canvas {
    std::vector<std::string> calls;
    bool drawPicture(int x, int y, int, int, int, int, const BitmapInfoHeader& info, const RgbQuad*,
                     const uint8_t*) override {
        calls.push_back("picture " + size(info.width, info.height) + " at " + std::to_string(x) +
                        "," + std::to_string(y));
        return true;
    }
    void fillRect(const Rect& r, uint32_t color) override {
        calls.push_back("fill " + size(r.right, r.bottom) + " " + std::to_string(color));
    }
    void rectangle(const Rect& r, uint32_t) override {
        calls.push_back("rectangle " + size(r.right, r.bottom));
    }
    void drawText(const Rect& r, const char* text, unsigned format, const TextStyle&) override {
        texts.push_back({r, text, format});
    }
    static std::string size(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }
    struct Text {
        Rect rect;
        std::string text;
        unsigned format;
    };
    std::vector<Text> texts;
};

struct FakeHost : WindowHost {
    bool created = false, visible = false, layered = false, topMost = false;
    Rect geometry;
    std::string title;
    unsigned keys = 0;
    int closes = 0;
    RecordingCanvas lastCanvas;
    // The last translucent frame, top row first, premultiplied 0xAARRGGBB.
    int layeredWidth = 0, layeredHeight = 0;
    std::vector<uint32_t> layeredPixels;
    // The last presented surface and where it went.
    std::vector<uint32_t> surface;
    int surfaceWidth = 0, surfaceHeight = 0;
    Rect blitDestination;
    int blits = 0;

    bool create(int x, int y, int w, int h, bool onTop, const char* text) override {
        created = visible = true;
        geometry = {x, y, x + w, y + h};
        topMost = onTop;
        title = text;
        return true;
    }
    bool exists() const override { return created; }
    void destroy() override { created = false; }
    bool isVisible() const override { return visible; }
    void show() override { visible = true; }
    void hide() override { visible = false; }
    void setEnabled(bool) override {}
    void activate() override {}
    void setGeometry(int x, int y, int w, int h, bool onTop) override {
        geometry = {x, y, x + w, y + h};
        topMost = onTop;
    }
    void setTopMost(bool onTop) override { topMost = onTop; }
    void move(int x, int y) override {
        geometry = {x, y, x + geometry.width(), y + geometry.height()};
    }
    void resize(int w, int h) override {
        geometry.right = geometry.left + w;
        geometry.bottom = geometry.top + h;
    }
    Rect windowRect() const override { return geometry; }
    void setTitle(const char* text) override { title = text; }

    struct ClientCanvas : RecordingCanvas {
        FakeHost& host;
        explicit ClientCanvas(FakeHost& h) : host(h) {}
        ~ClientCanvas() override { host.lastCanvas = *this; }
    };
    std::unique_ptr<Canvas> clientCanvas() override {
        return std::make_unique<ClientCanvas>(*this);
    }
    void setLayered(bool on) override { layered = on; }
    int layeredUpdates = 0;
    void updateLayered(int w, int h, const uint8_t* bits, uint32_t rowSize) override {
        ++layeredUpdates;
        layeredWidth = w;
        layeredHeight = h;
        layeredPixels.assign(std::size_t(w) * h, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = bits + std::size_t(h - 1 - y) * rowSize + 4 * x;
                layeredPixels[std::size_t(y) * w + x] =
                    uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            }
    }
    void blitSurface(const uint32_t* pixels, int w, int h, const Rect& destination) override {
        surface.assign(pixels, pixels + std::size_t(w) * h);
        surfaceWidth = w;
        surfaceHeight = h;
        blitDestination = destination;
        ++blits;
    }
    bool captured = false;
    Point cursor;
    void captureMouse() override { captured = true; }
    void releaseMouse() override { captured = false; }
    bool hasCapture() const override { return captured; }
    Point cursorPos() const override { return cursor; }
    unsigned keyState() const override { return keys; }

    std::map<int, int> timers; // running timers: id -> period in ms
    void setTimer(int id, int ms) override { timers[id] = ms; }
    void killTimer(int id) override { timers.erase(id); }
    bool running(int id) const { return timers.count(id) != 0; }
    void postClose() override { ++closes; }

    std::vector<bool> acceptDropsCalls;
    void setAcceptDrops(bool on) override { acceptDropsCalls.push_back(on); }

    // Menus shown, and the choice the next one gives; `whileMenuShown` runs before it returns.
    std::vector<std::vector<MenuItem>> menus;
    std::vector<Point> menuPoints;
    int menuChoice = 0;
    std::function<void()> whileMenuShown;
    int checkMarkWidth = 16;
    int trackPopupMenu(const std::vector<MenuItem>& items, Point at) override {
        menus.push_back(items);
        menuPoints.push_back(at);
        if (whileMenuShown) whileMenuShown();
        return menuChoice;
    }
    int menuCheckMarkWidth() const override { return checkMarkWidth; }

    // The slide show dialog: its answer, and how often it was shown.
    bool dialogAccepts = true;
    int dialogDelay = 5, dialogLoop = 1, dialogs = 0;
    bool runSlideShowDialog(int& delay, int& loop) override {
        ++dialogs;
        if (!dialogAccepts) return false;
        delay = dialogDelay;
        loop = dialogLoop;
        return true;
    }
};

// What the commands hand to the desktop, and a clipboard that may hold a picture.
struct FakeDesktop : Desktop {
    std::vector<std::string> calls; // "wallpaper PATH", "show PATH", "browse ADDRESS", "drag PATH"
    int clipboardWidth = 0, clipboardHeight = 0; // 0: the clipboard holds no picture
    uint32_t clipboardBgra = 0xFF0000FF;
    bool setWallpaper(const std::string& path) override { return record("wallpaper " + path); }
    bool showInFolder(const std::string& path) override { return record("show " + path); }
    bool openInBrowser(const std::string& where) override { return record("browse " + where); }
    bool dragFileOut(const std::string& path) override { return record("drag " + path); }
    bool clipboardImage(ClipboardBitmap& out) override {
        if (clipboardWidth <= 0 || clipboardHeight <= 0) return false;
        const std::size_t size = std::size_t(clipboardWidth) * clipboardHeight * 4;
        LargeBuffer bits(size);
        for (std::size_t i = 0; i < size; ++i)
            bits.data()[i] = uint8_t(clipboardBgra >> (8 * (i % 4)));
        out.width = clipboardWidth;
        out.height = clipboardHeight;
        out.bits = std::move(bits);
        return true;
    }
    bool record(std::string call) {
        calls.push_back(std::move(call));
        return true;
    }
};

// Records made in memory; `open` knows the paths it was given pictures for.
struct FakeSource : PictureSource {
    std::map<std::string, std::unique_ptr<CachedPicture>> files;
    std::vector<std::string> folder; // the order Next and Previous step through
    CachedPicture* shown = nullptr;
    bool resumed = false;

    CachedPicture* current() override { return shown; }
    bool open(const char* path) override {
        CachedPicture* found = file(path);
        if (!found) return false;
        shown = found;
        return true;
    }
    CachedPicture* file(const std::string& path) {
        const auto found = files.find(path);
        return found == files.end() ? nullptr : found->second.get();
    }
    bool step(int delta) {
        for (std::size_t i = 0; i < folder.size(); ++i)
            if (shown && file(folder[i]) == shown) {
                const std::size_t next = i + std::size_t(delta);
                if (next >= folder.size() || !file(folder[next])) return false;
                shown = file(folder[next]);
                return true;
            }
        return false;
    }
    bool showNext() override { return step(1); }
    bool showPrevious() override { return step(-1); }
    // A pasted picture: a record without a path, kept apart from the folder.
    std::unique_ptr<CachedPicture> pasted;
    bool adopt(const BitmapDescription& bitmap) override {
        auto record = std::make_unique<CachedPicture>();
        record->picture = std::make_unique<Picture>();
        if (!record->picture->adoptBitmap(bitmap)) return false;
        record->width = bitmap.width;
        record->height = bitmap.height;
        pasted = std::move(record);
        shown = pasted.get();
        return true;
    }
    int folderCount() override { return int(folder.size()); }
    std::string folderPathAt(int index) override {
        return index >= 0 && index < int(folder.size()) ? folder[std::size_t(index)] : "";
    }
    void endWorker(bool) override {}
    void mainWindowCreated() override { resumed = true; }
};

// A record of a w x h picture at `bits` per pixel, every pixel `bgra` (blue first).
inline std::unique_ptr<CachedPicture> MakeRecord(const std::string& path, int w, int h,
                                                 int bits = 24, uint32_t bgra = 0xFF806040) {
    auto record = std::make_unique<CachedPicture>();
    record->picture = std::make_unique<Picture>();
    EXPECT_TRUE(record->picture->create(w, h, bits, true));
    uint8_t* p = record->picture->lockBits();
    const uint32_t row = record->picture->rowSize();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < bits / 8; ++c)
                p[std::size_t(y) * row + x * (bits / 8) + c] = uint8_t(bgra >> (8 * c));
    record->path = path;
    record->width = w;
    record->height = h;
    return record;
}

// The settings store and the text measure, on a 1920 x 1080 screen.
struct FakePlatform : Platform {
    std::map<std::string, std::string> settings;
    TextExtent extent{7, 13}; // per byte
    ScreenSize screenSize() override { return {1920, 1080}; }
    uint32_t version() override { return 0x0A00; }
    bool decodeSystemPicture(const uint8_t*, std::size_t, SystemImageSink&) override {
        return false;
    }
    TextExtent textExtent(const char* text) override {
        return {extent.width * int(std::strlen(text)), extent.height};
    }
    bool readSetting(const char* name, std::string& text) override {
        const auto found = settings.find(name);
        if (found == settings.end()) return false;
        text = found->second;
        return true;
    }
    int writeSetting(const char* name, int32_t value) override {
        settings[name] = std::to_string(value);
        return 0;
    }
};

// A window over a fake source and host, with the fake platform installed.
class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        installPlatform(&platform_);
        clearPlatformOverrides();
    }
    void TearDown() override { installPlatform(nullptr); }

    // A window whose source knows one file of w x h; opened and shown when `open`.
    ViewerWindow& Window() {
        if (!window_) {
            auto source = std::make_unique<FakeSource>();
            source_ = source.get();
            window_ = std::make_unique<ViewerWindow>(std::move(source));
        }
        return *window_;
    }
    CachedPicture& AddFile(const std::string& path, int w, int h, int bits = 24,
                           uint32_t bgra = 0xFF806040) {
        Window();
        auto& slot = source_->files[path];
        slot = MakeRecord(path, w, h, bits, bgra);
        source_->folder.push_back(path);
        return *slot;
    }
    // Creates the window on the start page, then opens `path`.
    void CreateAndOpen(const std::string& path) {
        ASSERT_TRUE(Window().Create(host_));
        ASSERT_TRUE(Window().OpenFile(path.c_str()));
    }
    Rect Stored() {
        ViewerWindow& w = Window();
        return {w.windowX, w.windowY, w.windowX + w.windowWidth, w.windowY + w.windowHeight};
    }

    FakePlatform platform_;
    FakeHost host_;
    FakeSource* source_ = nullptr;
    std::unique_ptr<ViewerWindow> window_;
};

} // namespace vistrel::test
