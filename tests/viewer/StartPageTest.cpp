// The start page's buttons with and without a skin: where they are, how the skin's frames are
// composed, which look the pointer gives them and what a click does. Skin files are PNG files
// written by libpng at test time.
#include "PngWriter.h"
#include "Skin.h"
#include "TopDown.h"
#include "WindowHarness.h"

#include <functional>

namespace vistrel::test {
namespace {

using Pixels = std::function<uint32_t(int x, int y)>;

void Fill(Picture& picture, int w, int h, int bits, const Pixels& pixel) {
    ASSERT_TRUE(picture.create(w, h, bits, false));
    uint8_t* bytes = picture.lockBits();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = bytes + std::size_t(h - 1 - y) * picture.rowSize() + x * (bits / 8);
            const uint32_t argb = pixel(x, y);
            p[0] = uint8_t(argb), p[1] = uint8_t(argb >> 8), p[2] = uint8_t(argb >> 16);
            if (bits == 32) p[3] = uint8_t(argb >> 24);
        }
    picture.unlockBits();
}

void WritePng(const std::string& path, int w, int h, const Pixels& pixel, bool alpha = true) {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels.push_back(pixel(x, y));
    ASSERT_TRUE(writePng(path.c_str(), w, h, pixels, alpha));
}

// Frame i of a strip is `base + i`, its top row `base + 0x10 + i`.
Pixels Strip(int frameWidth, uint32_t base) {
    return [=](int x, int y) { return base + uint32_t(x / frameWidth) + (y == 0 ? 0x10u : 0u); };
}

constexpr uint32_t kPage = 0xFF203040, kHelp = 0xFF00A000, kClose = 0xFF0000A0, kLink = 0xFFA00000;

TEST(SkinButtons, RectanglesWithASkinAndWithout) {
    // A 76 x 19 close strip on a 400 x 300 background.
    Picture strip;
    Fill(strip, 76, 19, 32, Strip(19, kClose));
    EXPECT_EQ(frameSize(strip), (Size{19, 19}));
    EXPECT_EQ(skinButtonRect(StartButton::Close, {400, 300}, {19, 19}), (Rect{367, 8, 386, 27}));
    EXPECT_EQ(skinButtonRect(StartButton::Help, {400, 300}, {19, 19}), (Rect{348, 8, 367, 27}));
    EXPECT_EQ(skinButtonRect(StartButton::Link, {400, 300}, {101, 20}), (Rect{149, 257, 250, 277}));

    EXPECT_EQ(plainCloseRect({350, 300}), (Rect{334, 0, 350, 16}));
    EXPECT_EQ(plainCloseRect({33, 33}), (Rect{17, 0, 33, 16}));
    EXPECT_FALSE(plainCloseRect({32, 300}));
    EXPECT_FALSE(plainCloseRect({300, 32}));
    EXPECT_EQ(plainLinkRect({350, 300}, {140, 13}), (Rect{100, 263, 250, 280}));
}

TEST(SkinButtons, FrameCopiedByStateTopRowFirstAlphaIncludedAndClipped) {
    Picture page, strip, flat;
    Fill(page, 400, 300, 32, [](int, int) { return kPage; });
    Fill(strip, 76, 19, 32, Strip(19, 0x40000000)); // alpha 0x40: replaced, not blended
    ASSERT_TRUE(copyFrame(page, {367, 8}, strip, 2));
    std::vector<uint32_t> shown = topDown(page);
    auto at = [&](int x, int y) { return shown[std::size_t(y) * 400 + x]; };
    EXPECT_EQ(at(367, 8), 0x40000012u); // frame 2 begins 38 pixels into the strip
    EXPECT_EQ(at(385, 26), 0x40000002u);
    for (const Point outside : {Point{366, 8}, Point{386, 8}, Point{367, 7}, Point{367, 27}})
        EXPECT_EQ(at(outside.x, outside.y), kPage);

    // Over the top-right corner: only what falls on the page.
    ASSERT_TRUE(copyFrame(page, {390, -5}, strip, 3));
    shown = topDown(page);
    EXPECT_EQ(at(390, 0), 0x40000003u);
    EXPECT_EQ(at(399, 13), 0x40000003u);
    EXPECT_EQ(at(390, 14), kPage);

    // A 24-bit strip over a 32-bit page is not drawn.
    Fill(flat, 76, 19, 24, Strip(19, kClose));
    EXPECT_FALSE(copyFrame(page, {0, 0}, flat, 0));
    EXPECT_EQ(topDown(page), shown);
}

TEST(SkinFolder, TheUsersOwnFirstThenBesideTheProgramThenTheDataFolder) {
    ScratchFolder dir;
    const std::string data = dir.folder("data"), bin = dir.folder("bin");
    EXPECT_EQ(findSkinFolder(data, bin), "");
    dir.folder("share/vistrel/UI");
    dir.file("share/vistrel/UI/Bkgnd.png");
    EXPECT_EQ(findSkinFolder(data, bin), bin + "/../share/vistrel/UI/");
    dir.folder("bin/UI/Bkgnd.png"); // a folder of that name is no skin
    EXPECT_EQ(findSkinFolder(data, bin), bin + "/../share/vistrel/UI/");
    dir.folder("bin/UI2");
    dir.file("bin/UI2/Bkgnd.png");
    std::filesystem::remove_all(bin + "/UI");
    std::filesystem::rename(bin + "/UI2", bin + "/UI");
    EXPECT_EQ(findSkinFolder(data, bin), bin + "/UI/");
    dir.folder("data/Quorbane/Vistrel/UI");
    dir.file("data/Quorbane/Vistrel/UI/Bkgnd.png");
    EXPECT_EQ(findSkinFolder(data, bin), data + "/Quorbane/Vistrel/UI/");
    EXPECT_EQ(findSkinFolder("", ""), "");
}

TEST(SkinPictures, LoadedOnFirstUseAndAFailedFileReadAgainOnlyWhenAsked) {
    ScratchFolder dir;
    SkinPictures skin;
    skin.setFolder(dir.path());
    EXPECT_EQ(skin.background(true), nullptr); // missing
    dir.file("Bkgnd.png", "\x89PNG\r\n\x1a\n damaged");
    skin.retryFailed();
    EXPECT_EQ(skin.background(true), nullptr);
    WritePng(dir.path() + "Bkgnd.png", 40, 30, [](int, int) { return kPage; });
    EXPECT_EQ(skin.background(true), nullptr); // not at every use
    skin.retryFailed();
    EXPECT_EQ(skin.background(false), nullptr); // only with the load switch on
    ASSERT_NE(skin.background(true), nullptr);
    EXPECT_EQ(skin.background(false)->width(), 40);
}

// A window whose skin folder is a scratch folder the test fills.
class StartPageTest : public WindowTest {
protected:
    void WriteSkinFile(const char* name, int w, int h, const Pixels& pixel, bool alpha = true) {
        WritePng(skin_ + name, w, h, pixel, alpha);
    }
    // A 400 x 300 background whose top-left 10 x 10 corner is transparent; 76 x 19 help and close
    // strips; a 404 x 20 link strip (frames 101 x 20).
    void MakeSkin() {
        WriteSkinFile("Bkgnd.png", 400, 300,
                      [](int x, int y) { return x < 10 && y < 10 ? 0u : kPage; });
        WriteSkinFile("BtnHelp.png", 76, 19, Strip(19, kHelp));
        WriteSkinFile("BtnClose.png", 76, 19, Strip(19, kClose));
        WriteSkinFile("BtnLink.png", 404, 20, Strip(101, kLink));
    }
    void Create() {
        window_.setDesktop(&desktop_);
        window_.setSkinFolder(skin_);
        ASSERT_TRUE(window_.create(host_));
        window_.onPaint(*host_.clientCanvas());
    }
    // The last frame's pixel at (x, y), top-down.
    uint32_t Shown(int x, int y) {
        return host_.translucentPixels[std::size_t(y) * host_.translucentWidth + x];
    }
    ButtonState Look(StartButton button) { return window_.startButtonState(button); }
    void Click(Point at) {
        Do(Action::StartMove, at);
        window_.onRelease(MouseButton::Left, at);
    }

    std::string skin_ = folder_.folder("UI") + "/";
};

TEST_F(StartPageTest, SkinnedPageIsTheBackgroundsSizeAndShapeWithEachButtonsFirstFrame) {
    MakeSkin();
    Create();
    EXPECT_EQ(host_.geometry, (Rect{760, 390, 1160, 690}));
    EXPECT_TRUE(host_.translucent);
    ASSERT_EQ(host_.translucentWidth, 400);
    EXPECT_EQ(Shown(0, 0), 0u); // the window's shape comes from this alpha
    EXPECT_EQ(Shown(10, 10), kPage);
    EXPECT_EQ(Shown(348, 8), kHelp + 0x10);
    EXPECT_EQ(Shown(385, 26), kClose);
    EXPECT_EQ(Shown(149, 276), kLink);
}

TEST_F(StartPageTest, SkinnedButtonsFollowHoverPressCaptureAndLeave) {
    MakeSkin();
    Create();
    const int composed = host_.translucentFrames;
    const Point close{370, 10}, help{350, 10}, link{200, 270}, elsewhere{100, 100};
    Move(close, false, false);
    EXPECT_EQ(Look(StartButton::Close), ButtonState::Hover);
    EXPECT_EQ(Shown(385, 26), kClose + 2);
    Move({380, 20}, false, false); // the same button: nothing composed
    EXPECT_EQ(host_.translucentFrames, composed + 1);
    Move(help, false, false);
    EXPECT_EQ(Look(StartButton::Close), ButtonState::Normal);
    EXPECT_EQ(Look(StartButton::Help), ButtonState::Hover);

    // A press captures the pointer; while it lasts only the pressed button reacts.
    Do(Action::StartMove, link);
    EXPECT_EQ(Look(StartButton::Link), ButtonState::Pressed);
    EXPECT_EQ(Shown(200, 270), kLink + 1);
    EXPECT_TRUE(host_.captured);
    Move(close, true, false);
    EXPECT_EQ(host_.geometry.topLeft(), (Point{760, 390})); // no window move
    EXPECT_EQ(Look(StartButton::Link), ButtonState::Normal);
    EXPECT_EQ(Look(StartButton::Close), ButtonState::Normal);
    Move(link, true, false);
    EXPECT_EQ(Look(StartButton::Link), ButtonState::Pressed);
    window_.onPointerLeave();
    EXPECT_EQ(Look(StartButton::Link), ButtonState::Normal);
    EXPECT_EQ(Shown(200, 270), kLink);
    // Released on another button than the pressed one: nothing.
    window_.onRelease(MouseButton::Left, close);
    EXPECT_FALSE(host_.captured);
    EXPECT_EQ(Look(StartButton::Close), ButtonState::Hover);
    EXPECT_EQ(host_.closes, 0);
    EXPECT_TRUE(desktop_.calls.empty());

    // The link: a hand over it, a click opens the home page.
    Move(link, false, false);
    EXPECT_TRUE(host_.handCursor);
    Click(link);
    EXPECT_EQ(desktop_.calls, std::vector<std::string>{"browse https://vistrel.quorbane.com/"});
    Move(elsewhere, false, false);
    EXPECT_FALSE(host_.handCursor);
    Click(close);
    EXPECT_EQ(host_.closes, 1);
}

TEST_F(StartPageTest, OddStripsAreNotDrawnAndMissingOnesKeepThePlainHitAreas) {
    MakeSkin();
    WriteSkinFile("BtnClose.png", 76, 19, Strip(19, kClose), false); // 24-bit
    std::filesystem::remove(skin_ + "BtnHelp.png");
    std::filesystem::remove(skin_ + "BtnLink.png");
    Create();
    EXPECT_EQ(Shown(370, 10), kPage);
    EXPECT_EQ(Shown(350, 10), kPage);
    Click({350, 10}); // no help button
    EXPECT_TRUE(desktop_.calls.empty());
    // The link keeps the plain page's hit area, 140 x 13 centred 20 above the bottom.
    Click({200, 270});
    EXPECT_EQ(desktop_.calls.size(), 1u);
    Click({370, 10}); // the 24-bit close button still closes
    EXPECT_EQ(host_.closes, 1);
}

TEST_F(StartPageTest, PlainPageWithoutAUsableBackgroundAndItsButtonsLooks) {
    // A 24-bit background is no skin: the page has nothing to take its shape from.
    WriteSkinFile(
        "Bkgnd.png", 400, 300, [](int, int) { return kPage; }, false);
    Create();
    EXPECT_FALSE(host_.translucent);
    EXPECT_EQ(host_.geometry.size(), (Size{350, 300}));

    // The close box: light grey hovered, grey pressed; the link blue and underlined.
    Move({340, 5}, false, false);
    EXPECT_EQ(host_.lastCanvas.brushes.back(), kLightGray);
    Do(Action::StartMove, {340, 5});
    EXPECT_EQ(host_.lastCanvas.brushes.back(), kGray);
    EXPECT_EQ(host_.lastCanvas.calls.back(), "rectangle 350x16");
    window_.onRelease(MouseButton::Left, {340, 5});
    EXPECT_EQ(host_.closes, 1);
    Move({175, 270}, false, false);
    EXPECT_EQ(host_.lastCanvas.brushes.back(), kWhite);
    const RecordingCanvas::Text& link = host_.lastCanvas.texts.back();
    EXPECT_EQ(link.style.color, kLinkBlue);
    EXPECT_TRUE(link.style.underline);
    EXPECT_TRUE(host_.handCursor);

    // A picture opened from here leaves no hand behind; a background mended meanwhile is read
    // when the page is shown again.
    AddFile("a.png", 64, 48);
    Open("a.png");
    EXPECT_FALSE(host_.handCursor);
    MakeSkin();
    Do(Action::ShowStartPage);
    EXPECT_EQ(host_.geometry.size(), (Size{400, 300}));
    EXPECT_TRUE(host_.translucent);
}

} // namespace
} // namespace vistrel::test
