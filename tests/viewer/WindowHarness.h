// The window under test: a real ViewerWindow with its real prefetch cache over a scratch folder,
// whose pictures the fake decoder makes in memory, and recording stand-ins for the window host,
// its canvases, the desktop and the platform's settings and text measure.
#pragma once

#include "Desktop.h"
#include "FakeDecoder.h"
#include "Platform.h"
#include "PrefetcherTestPeer.h"
#include "TestSupport.h"
#include "ViewerWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vistrel::test {

struct RecordingCanvas : Canvas {
    std::vector<std::string> calls;
    struct Text {
        Rect rect;
        std::string text;
        unsigned format;
        TextStyle style;
    };
    std::vector<Text> texts;
    std::vector<uint32_t> brushes; // of each rectangle

    bool drawPicture(int x, int y, int, int, int, int, const BitmapInfoHeader& info, const RgbQuad*,
                     const uint8_t*) override {
        calls.push_back("picture " + size(info.width, info.height) + " at " + std::to_string(x) +
                        "," + std::to_string(y));
        return true;
    }
    void fillRect(const Rect& r, uint32_t color) override {
        calls.push_back("fill " + size(r.right, r.bottom) + " " + std::to_string(color));
    }
    void rectangle(const Rect& r, uint32_t brush) override {
        calls.push_back("rectangle " + size(r.right, r.bottom));
        brushes.push_back(brush);
    }
    void drawText(const Rect& r, const char* text, unsigned format,
                  const TextStyle& style) override {
        texts.push_back({r, text, format, style});
    }
    static std::string size(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }
};

struct FakeHost : WindowHost {
    bool created = false, visible = false, translucent = false, topMost = false;
    Rect geometry;
    std::string title;
    Modifiers keys;
    int closes = 0;
    RecordingCanvas lastCanvas;
    // The last translucent frame, top row first, premultiplied 0xAARRGGBB.
    int translucentWidth = 0, translucentHeight = 0, translucentFrames = 0;
    std::vector<uint32_t> translucentPixels;
    // The last presented surface and where it went.
    std::vector<uint32_t> surface;
    int surfaceWidth = 0, blits = 0;
    Rect blitDestination;
    bool captured = false, handCursor = false;
    Point cursor;
    std::map<Timer, int> timers; // running timers and their periods in ms
    std::vector<bool> acceptDropsCalls;
    // Arrival calls posted (by the prefetch workers, from their threads) and not yet delivered.
    std::atomic<int> arrivalsPosted{0};
    // Menus shown, and the choice the next one gives; `whileMenuShown` runs before it returns.
    std::vector<std::vector<MenuItem>> menus;
    std::vector<Point> menuPoints;
    int menuChoice = -1;
    std::function<void()> whileMenuShown;
    int checkMarkWidth = 16;
    // The slide show dialog: its answer, and what it was shown.
    bool dialogAccepts = true;
    int dialogDelay = 5, dialogs = 0, shownDelay = 0;
    bool dialogLoop = true, shownLoop = false;

    // The window made ahead, and how.
    std::atomic<int> prepares{0};
    Rect preparedGeometry;
    bool preparedTopMost = false, preparedAlpha = false;
    void prepare(const Rect& g, bool onTop, bool alpha) override {
        ++prepares;
        preparedGeometry = g;
        preparedTopMost = onTop;
        preparedAlpha = alpha;
    }
    bool create(const Rect& g, bool onTop, const char* text) override {
        created = visible = true;
        geometry = g;
        topMost = onTop;
        title = text;
        return true;
    }
    bool exists() const override { return created; }
    void destroy() override { created = false; }
    bool isVisible() const override { return visible; }
    void show() override { visible = true; }
    void hide() override { visible = false; }
    void activate() override {}
    void setGeometry(const Rect& g, bool onTop) override {
        geometry = g;
        topMost = onTop;
    }
    void setTopMost(bool onTop) override { topMost = onTop; }
    void move(Point p) override { geometry = geometry.movedTo(p); }
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
    void setTranslucent(bool on) override { translucent = on; }
    void presentTranslucent(int w, int h, const uint8_t* bits, uint32_t rowSize) override {
        ++translucentFrames;
        translucentWidth = w;
        translucentHeight = h;
        translucentPixels.assign(std::size_t(w) * h, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = bits + std::size_t(y) * rowSize + 4 * x;
                translucentPixels[std::size_t(y) * w + x] =
                    uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            }
    }
    void blitSurface(const uint32_t* pixels, int w, int h, const Rect& destination) override {
        surface.assign(pixels, pixels + std::size_t(w) * h);
        surfaceWidth = w;
        blitDestination = destination;
        ++blits;
    }
    void captureMouse() override { captured = true; }
    void releaseMouse() override { captured = false; }
    bool hasCapture() const override { return captured; }
    void setHandCursor(bool on) override { handCursor = on; }
    Point cursorPosition() const override { return cursor; }
    Modifiers modifiers() const override { return keys; }
    void setTimer(Timer id, int ms) override { timers[id] = ms; }
    void killTimer(Timer id) override { timers.erase(id); }
    bool running(Timer id) const { return timers.count(id) != 0; }
    void postClose() override { ++closes; }
    void postArrival() override { ++arrivalsPosted; }
    // Delivers the posted arrival call to `window` as the event loop would; false when none was
    // posted.
    bool deliverArrival(ViewerWindow& window) {
        if (arrivalsPosted.exchange(0) == 0) return false;
        window.onPicturesArrived();
        return true;
    }
    void setAcceptDrops(bool on) override { acceptDropsCalls.push_back(on); }
    int execPopupMenu(const std::vector<MenuItem>& items, Point at) override {
        menus.push_back(items);
        menuPoints.push_back(at);
        if (whileMenuShown) whileMenuShown();
        return menuChoice;
    }
    int menuCheckMarkWidth() const override { return checkMarkWidth; }
    bool runSlideShowDialog(int& delay, bool& loop) override {
        ++dialogs;
        shownDelay = delay;
        shownLoop = loop;
        if (!dialogAccepts) return false;
        delay = dialogDelay;
        loop = dialogLoop;
        return true;
    }
};

// What the commands hand to the desktop, and a clipboard that may hold a picture.
struct FakeDesktop : Desktop {
    // "wallpaper PATH", "show PATH", "browse ADDRESS", "drag PATH", "copy WxH PATH", "trash PATH",
    // "open with PATH"
    std::vector<std::string> calls;
    int clipboardWidth = 0, clipboardHeight = 0; // 0: the clipboard holds no picture
    bool setWallpaper(const std::string& path) override { return record("wallpaper " + path); }
    bool showInFolder(const std::string& path) override { return record("show " + path); }
    bool openInBrowser(const std::string& where) override { return record("browse " + where); }
    bool dragFileOut(const std::string& path) override { return record("drag " + path); }
    // The clipboard's last picture: its size and top-left pixel (0xAARRGGBB).
    uint32_t copiedPixel = 0;
    bool copyToClipboard(const ClipboardBitmap& picture, const std::string& path) override {
        std::memcpy(&copiedPixel, picture.bits.data(), 4);
        return record("copy " + std::to_string(picture.width) + "x" +
                      std::to_string(picture.height) + " " + path);
    }
    // The trash: the file is renamed beside itself, as the desktop's trash moves it away.
    bool trashFails = false;
    bool moveToTrash(const std::string& path) override {
        if (trashFails || std::rename(path.c_str(), (path + ".trashed").c_str()) != 0) return false;
        return record("trash " + path);
    }
    bool openWith(const std::string& path) override { return record("open with " + path); }
    bool clipboardImage(ClipboardBitmap& out) override {
        if (clipboardWidth <= 0 || clipboardHeight <= 0) return false;
        const std::size_t size = std::size_t(clipboardWidth) * clipboardHeight * 4;
        out.bits = LargeBuffer(size);
        std::memset(out.bits.data(), 0x7F, size);
        out.width = clipboardWidth;
        out.height = clipboardHeight;
        return true;
    }
    bool record(std::string call) {
        calls.push_back(std::move(call));
        return true;
    }
};

// The settings store and the text measure, on a 1920 x 1080 screen.
struct FakePlatform : Platform {
    std::map<std::string, std::string> settings;
    TextExtent extent{7, 13}; // per byte
    Capabilities can;
    Rect primaryScreen() override { return {0, 0, 1920, 1080}; }
    Capabilities capabilities() override { return can; }
    bool composited = true; // a compositing manager runs
    bool compositing() override { return composited; }
    DecodeResult decodeSystemPicture(const uint8_t*, std::size_t, SystemImageSink&) override {
        return Refusal::NoDecoder;
    }
    TextExtent textExtent(const char* text) override {
        return {extent.width * int(std::strlen(text)), extent.height};
    }
    // Kept as text, as QSettings keeps them.
    std::optional<int32_t> readSetting(const char* name) override {
        const auto found = settings.find(name);
        int32_t value = 0;
        if (found == settings.end() || !ParseSettingValue(found->second, value)) return {};
        return value;
    }
    int writeSetting(const char* name, int32_t value) override {
        settings[name] = std::to_string(value);
        return 0;
    }
    // The folder watch the window makes: the folder it watches, and its listener, to which a
    // test reports changes.
    std::string watchedFolder;
    FolderWatch::Listener folderListener;
    struct RecordingWatch : FolderWatch {
        std::string& folder;
        explicit RecordingWatch(std::string& f) : folder(f) {}
        bool watch(const std::string& f) override {
            folder = f;
            return true;
        }
    };
    std::unique_ptr<FolderWatch> makeFolderWatch(const FolderWatch::Listener& listener) override {
        folderListener = listener;
        return std::make_unique<RecordingWatch>(watchedFolder);
    }
};

// A window over the fake host, with the fake platform installed. Every input goes through
// helpers that afterwards let the prefetch worker finish, so that what it decodes is there for the
// next step, as a user who pauses between keys finds it.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { installPlatform(&platform_); }
    void TearDown() override { installPlatform(nullptr); }

    // A picture file of the folder and what its decode makes; its path.
    std::string AddFile(const std::string& name, FakePicture picture) {
        decoder_->describe(name, std::move(picture));
        return folder_.file(name);
    }
    std::string AddFile(const std::string& name, int w, int h, int bits = 24,
                        uint32_t bgra = 0xFF806040) {
        return AddFile(name, FakePicture{w, h, bits, bgra, {}});
    }
    std::string Path(const std::string& name) const { return folder_.path() + name; }

    // Creates the window on the start page, then opens `name`.
    void CreateAndOpen(const std::string& name) {
        ASSERT_TRUE(window_.create(host_));
        Open(name);
    }
    void Open(const std::string& name) {
        ASSERT_TRUE(window_.openFile(Path(name).c_str()));
        Settle();
    }
    void Do(Action action, Point pointer = {}) {
        window_.perform(action, pointer);
        Settle();
    }
    void Tick(Timer timer) {
        window_.onTimer(timer);
        Settle();
    }
    void Move(Point pointer, bool left, bool right, Modifiers keys = {}) {
        window_.onPointerMove(pointer, left, right, keys);
    }
    // Lets the prefetch workers finish, and delivers the arrival call they post, until nothing
    // more comes.
    void Settle() {
        for (int round = 0; round < 100; ++round) {
            PrefetcherTestPeer::waitUntilIdle(window_.pictures());
            if (!DeliverArrival()) break;
        }
    }
    // The posted arrival call, delivered as the host's event loop would; false when none came.
    virtual bool DeliverArrival() { return host_.deliverArrival(window_); }
    // The record on show.
    CachedPicture& Shown() { return *window_.pictures().current(); }

    FakePlatform platform_;
    FakeHost host_;
    FakeDesktop desktop_;
    ScratchFolder folder_;
    std::shared_ptr<FakeDecoder> decoder_ = std::make_shared<FakeDecoder>();
    ViewerWindow window_{decodeWith(decoder_)};
};

} // namespace vistrel::test
