// The slide show: its start through the dialog, its ticks at the end of the folder, and which of
// the user's actions end it.
#include "ContextMenu.h"
#include "FakeHost.h"

#include <functional>

namespace vistrel::test {
namespace {

class SlideShow : public ViewerTest {
protected:
    // A folder of three pictures, the window on `start`.
    void ThreePictures(const std::string& start) {
        for (const char* name : {"/p/a.png", "/p/b.png", "/p/c.png"})
            AddFile(name, 400, 300);
        CreateAndOpen(start);
    }
    void Start(int delay, int loop) {
        host_.dialogDelay = delay;
        host_.dialogLoop = loop;
        Window().OnCommand(CmdSlideShow);
    }
};

TEST_F(SlideShow, StopsAtTheEndOnceAndStartsOverInALoop) {
    ThreePictures("/p/b.png");
    host_.dialogAccepts = false;
    Start(3, 0);
    EXPECT_EQ(host_.dialogs, 1);
    EXPECT_EQ(Window().slideShowMode, 0);
    EXPECT_FALSE(host_.running(TimerSlideShow));

    host_.dialogAccepts = true;
    Start(3, 0);
    EXPECT_EQ(Window().slideShowMode, 1);
    EXPECT_EQ(host_.timers[TimerSlideShow], 3000);
    EXPECT_EQ(host_.title, "b.png [400x300]"); // the first step comes after one delay
    Window().OnTimer(TimerSlideShow);
    EXPECT_EQ(host_.title, "c.png [400x300]");
    Window().OnTimer(TimerSlideShow);
    EXPECT_EQ(Window().slideShowMode, 0);
    EXPECT_FALSE(host_.running(TimerSlideShow));
    EXPECT_EQ(host_.title, "c.png [400x300]");

    // Looping from the last picture: the folder's first file.
    Start(12, 1);
    EXPECT_EQ(host_.timers[TimerSlideShow], 12000);
    Window().OnTimer(TimerSlideShow);
    EXPECT_EQ(host_.title, "a.png [400x300]");
    Window().OnTimer(TimerSlideShow);
    EXPECT_EQ(host_.title, "b.png [400x300]");

    // A first file that cannot be opened: the picture stays and the show goes on.
    source_->folder[0] = "/p/gone.png";
    Window().OnTimer(TimerSlideShow);
    Window().OnTimer(TimerSlideShow);
    EXPECT_EQ(host_.title, "c.png [400x300]");
    EXPECT_EQ(Window().slideShowMode, 2);
    EXPECT_TRUE(host_.running(TimerSlideShow));
}

TEST_F(SlideShow, NavigationEndsTheShowMovingZoomingAndOtherCommandsDoNot) {
    FakeDesktop desktop; // an empty clipboard
    Window().SetDesktop(&desktop);
    ThreePictures("/p/a.png");
    ViewerWindow& w = Window();
    auto key = [&](int code, unsigned keys = 0) {
        return [&w, this, code, keys] {
            host_.keys = keys;
            w.OnKeyDown(code);
            host_.keys = 0;
        };
    };
    const std::pair<const char*, std::function<void()>> stoppers[] = {
        {"Esc", key(VkEscape)},
        {"Left at the first picture", key(VkLeft)},
        {"Up", key(VkUp)},
        {"Right", key(VkRight)},
        {"Down", key(VkDown)},
        {"wheel up", [&] { w.OnMouseWheel(0, 120); }},
        {"wheel down", [&] { w.OnMouseWheel(0, -120); }},
        {"wheel with the right button", [&] { w.OnMouseWheel(MkRButton, 120); }},
        {"Ctrl+V", key(VkV, KeyControl | KeyV)},
        {"F1", [&] { w.OnHelp(); }},
    };
    for (const auto& [name, action] : stoppers) {
        if (w.startPage) w.ShowCurrent();
        Start(1, 1);
        ASSERT_EQ(w.slideShowMode, 2) << name;
        action();
        EXPECT_EQ(w.slideShowMode, 0) << name;
        EXPECT_FALSE(host_.running(TimerSlideShow)) << name;
    }
    EXPECT_EQ(host_.closes, 0); // Esc only stopped the show

    w.ShowCurrent();
    Start(1, 1);
    const std::pair<const char*, std::function<void()>> others[] = {
        {"End", key(VkEnd)},
        {"Page Down", key(VkPageDown)},
        {"zoom in", key(VkAdd)},
        {"zoom out", key(VkOemMinus)},
        {"*", key(VkMultiply)},
        {"drag",
         [&] {
             w.OnLButtonDown(MkLButton, {5, 5});
             w.OnMouseMove(MkLButton, {50, 5});
             w.OnLButtonUp(0, {50, 5});
         }},
        {"left double click",
         [&] {
             w.OnLButtonDblClk(0, {5, 5});
         }},
        {"middle button",
         [&] {
             w.OnMButtonDown(MkMButton, {5, 5});
         }},
        {"a dismissed menu", [&] { w.ShowContextMenu(); }}, // the menu's commands: CommandsTest
    };
    for (const auto& [name, action] : others) {
        action();
        EXPECT_EQ(w.slideShowMode, 2) << name;
    }
    EXPECT_TRUE(host_.running(TimerSlideShow));
}

} // namespace
} // namespace vistrel::test
