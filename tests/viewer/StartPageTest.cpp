// The start page's buttons with and without a skin: where they are, how the skin's frames are
// composed, which look the pointer gives them and what a click does. The skin's PNG files are
// written by libpng at test time; the shape on screen is checked in tests/e2e.
#include "ArgbPixels.h"
#include "PngDecoder.h"
#include "PngWriter.h"
#include "Skin.h"
#include "WindowHarness.h"

#include <functional>

namespace vistrel::test {
namespace {

using Pixels = std::function<uint32_t(int x, int y)>;

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
    EXPECT_EQ(skinButtonRect(StartButton::Close, {400, 300}, {19, 19}), (Rect{367, 8, 386, 27}));
    EXPECT_EQ(skinButtonRect(StartButton::Help, {400, 300}, {19, 19}), (Rect{348, 8, 367, 27}));
    EXPECT_EQ(skinButtonRect(StartButton::Link, {400, 300}, {101, 20}), (Rect{149, 257, 250, 277}));
    EXPECT_EQ(plainCloseRect({350, 300}), (Rect{334, 0, 350, 16}));
    EXPECT_FALSE(plainCloseRect({32, 300}));
    EXPECT_FALSE(plainCloseRect({300, 32}));
    // 16 pixels of the desktop's scale: 32 device pixels at 200 %.
    EXPECT_EQ(plainCloseRect({350, 300}, 2.0), (Rect{318, 0, 350, 32}));
    EXPECT_FALSE(plainCloseRect({64, 300}, 2.0));
    EXPECT_EQ(plainLinkRect({350, 300}, {140, 13}), (Rect{100, 263, 250, 280}));
}

TEST(SkinButtons, FrameCopiedByStateTopRowFirstAlphaIncludedAndClipped) {
    ScratchFolder dir;
    Picture page, strip, flat;
    WritePng(dir.path() + "page.png", 400, 300, [](int, int) { return kPage; });
    WritePng(dir.path() + "strip.png", 76, 19, Strip(19, 0x40000000)); // alpha 0x40, not blended
    WritePng(dir.path() + "flat.png", 76, 19, Strip(19, kClose), false);
    ASSERT_TRUE(decodePng((dir.path() + "page.png").c_str(), page));
    ASSERT_TRUE(decodePng((dir.path() + "strip.png").c_str(), strip));
    ASSERT_TRUE(decodePng((dir.path() + "flat.png").c_str(), flat));

    ASSERT_TRUE(copyFrame(page, {367, 8}, strip, 2));
    ASSERT_TRUE(copyFrame(page, {390, -5}, strip, 3)); // over the top-right corner
    const std::vector<uint32_t> shown = argbPixels(page);
    auto at = [&](int x, int y) { return shown[std::size_t(y) * 400 + x]; };
    EXPECT_EQ(at(367, 8), 0x40000012u); // frame 2 begins 38 pixels into the strip
    EXPECT_EQ(at(385, 26), 0x40000002u);
    EXPECT_EQ(at(366, 8), kPage);
    EXPECT_EQ(at(367, 27), kPage);
    EXPECT_EQ(at(399, 13), 0x40000003u);
    EXPECT_EQ(at(390, 14), kPage);

    // A 24-bit strip over a 32-bit page is not drawn.
    EXPECT_FALSE(copyFrame(page, {0, 0}, flat, 0));
    EXPECT_EQ(argbPixels(page), shown);
}

TEST(SkinFolder, TheUsersOwnFirstThenBesideTheProgramThenTheDataFolder) {
    ScratchFolder dir;
    const std::string data = dir.folder("data"), bin = dir.folder("bin");
    dir.folder("bin/UI/Bkgnd.png"); // a folder of that name is no skin
    EXPECT_EQ(findSkinFolder(data, bin), "");
    for (const std::string skin : {"share/vistrel/UI/", "bin/UI/", "data/Quorbane/Vistrel/UI/"}) {
        std::filesystem::remove_all(dir.folder(skin) + "Bkgnd.png");
        dir.file(skin + "Bkgnd.png");
        EXPECT_EQ(std::filesystem::canonical(findSkinFolder(data, bin)),
                  std::filesystem::canonical(dir.path() + skin));
    }
}

// A window whose skin is a 400 x 300 background with a transparent top-left corner, 76 x 19
// help and close strips and a 404 x 20 link strip, unless a test writes otherwise.
class StartPageTest : public WindowTest {
protected:
    void Write(const char* name, int w, int h, const Pixels& pixel, bool alpha = true) {
        WritePng(skin_ + name, w, h, pixel, alpha);
    }
    void MakeSkin() {
        Write("Bkgnd.png", 400, 300, [](int x, int y) { return x < 10 && y < 10 ? 0 : kPage; });
        Write("BtnHelp.png", 76, 19, Strip(19, kHelp));
        Write("BtnClose.png", 76, 19, Strip(19, kClose));
        Write("BtnLink.png", 404, 20, Strip(101, kLink));
    }
    void Create() {
        window_.setDesktop(&desktop_);
        window_.setSkinFolder(skin_);
        ASSERT_TRUE(window_.create(host_));
        window_.onPaint(*host_.clientCanvas());
    }
    // The last translucent frame's pixel, top-down.
    uint32_t Shown(int x, int y) {
        return host_.translucentPixels[std::size_t(y) * host_.translucentWidth + x];
    }
    void Click(Point at) {
        Do(Action::StartMove, at);
        window_.onRelease(MouseButton::Left, at);
    }

    std::string skin_ = folder_.folder("UI") + "/";
    const Point close{370, 10}, help{350, 10}, link{200, 270};
};

TEST_F(StartPageTest, SkinnedButtonsFollowHoverPressCaptureAndLeave) {
    MakeSkin();
    Create();
    ASSERT_TRUE(host_.translucent);
    EXPECT_EQ(Shown(0, 0), 0u); // the window's shape comes from this alpha
    EXPECT_EQ(Shown(348, 8), kHelp + 0x10);
    Move(close, false, false);
    EXPECT_EQ(Shown(385, 26), kClose + 2);
    const int composed = host_.translucentFrames;
    Move({380, 20}, false, false); // the same button: nothing composed
    EXPECT_EQ(host_.translucentFrames, composed);

    // A press captures the pointer; while it lasts only the pressed button reacts.
    Do(Action::StartMove, link);
    EXPECT_EQ(Shown(200, 270), kLink + 1);
    EXPECT_TRUE(host_.captured);
    Move(close, true, false);
    EXPECT_EQ(host_.geometry.topLeft(), (Point{760, 390})); // no window move
    EXPECT_EQ(Shown(385, 26), kClose);
    EXPECT_EQ(Shown(200, 270), kLink);
    Move(link, true, false);
    EXPECT_EQ(Shown(200, 270), kLink + 1);
    window_.onPointerLeave();
    EXPECT_EQ(Shown(200, 270), kLink);
    // Released on another button than the pressed one: nothing.
    window_.onRelease(MouseButton::Left, close);
    EXPECT_FALSE(host_.captured);
    EXPECT_EQ(Shown(385, 26), kClose + 2);
    EXPECT_EQ(host_.closes, 0);

    Move(link, false, false);
    EXPECT_TRUE(host_.handCursor);
    Click(link);
    EXPECT_EQ(desktop_.calls, std::vector<std::string>{"browse https://vistrel.quorbane.com/"});
    Click(close);
    EXPECT_EQ(host_.closes, 1);
}

TEST_F(StartPageTest, OddStripsAreNotDrawnAndMissingOnesKeepThePlainHitAreas) {
    MakeSkin();
    Write("BtnClose.png", 76, 19, Strip(19, kClose), false); // 24-bit
    std::filesystem::remove(skin_ + "BtnHelp.png");
    std::filesystem::remove(skin_ + "BtnLink.png");
    Create();
    EXPECT_EQ(Shown(370, 10), kPage);
    Click(help); // no help button
    EXPECT_TRUE(desktop_.calls.empty());
    Click(link); // the plain page's link box, 150 x 17 centred 20 above the bottom
    EXPECT_EQ(desktop_.calls.size(), 1u);
    Click(close); // the 24-bit close button still closes
    EXPECT_EQ(host_.closes, 1);
}

TEST_F(StartPageTest, ABackgroundLargerThanTheScreenGivesThePlainPage) {
    // One pixel wider than the 1920 x 1080 screen: refused from its header. A strip may be as
    // wide as four screens, but no higher than one.
    MakeSkin();
    Write("Bkgnd.png", 1921, 2, [](int, int) { return kPage; });
    Create();
    EXPECT_FALSE(host_.translucent);
    EXPECT_EQ(host_.geometry.size(), (Size{350, 360}));

    Write("Bkgnd.png", 1920, 1080, [](int, int) { return kPage; });
    Write("BtnClose.png", 76, 1081, Strip(19, kClose));
    Do(Action::ShowStartPage);
    EXPECT_TRUE(host_.translucent);
    EXPECT_EQ(host_.geometry.size(), (Size{1920, 1080}));
    EXPECT_EQ(Shown(1900, 10), kPage); // no close frame drawn
    EXPECT_EQ(Shown(1870, 10), kHelp);
}

TEST_F(StartPageTest, PlainPageWithoutAUsableBackgroundAndItsButtonsLooks) {
    const Pixels flat = [](int, int) { return kPage; };
    Write("Bkgnd.png", 400, 300, flat, false); // 24-bit: no skin
    Create();
    EXPECT_FALSE(host_.translucent);
    EXPECT_EQ(host_.geometry.size(), (Size{350, 360}));
    // The close box: light grey hovered, grey pressed; the link blue and underlined.
    Move({340, 5}, false, false);
    EXPECT_EQ(host_.lastCanvas.brushes.back(), kLightGray);
    Do(Action::StartMove, {340, 5});
    EXPECT_EQ(host_.lastCanvas.brushes.back(), kGray);
    Move({175, 330}, true, false);
    EXPECT_EQ(host_.lastCanvas.brushes.back(), kWhite);
    EXPECT_FALSE(host_.lastCanvas.texts.back().style.underline); // pressed elsewhere: no hover
    window_.onRelease(MouseButton::Left, {175, 330});
    EXPECT_TRUE(host_.lastCanvas.texts.back().style.underline);
    EXPECT_EQ(host_.lastCanvas.texts.back().style.color, kLinkBlue);
    EXPECT_TRUE(host_.handCursor);
    Click({340, 5});
    EXPECT_EQ(host_.closes, 1);

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
