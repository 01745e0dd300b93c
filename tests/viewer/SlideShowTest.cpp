// The slide show: its start through the dialog, its ticks at the end of the folder, and which of
// the user's actions end it.
#include "WindowHarness.h"

#include <filesystem>

namespace vistrel::test {
namespace {

class SlideShowTest : public WindowTest {
protected:
    // A folder of three pictures, the window on `start`.
    void ThreePictures(const std::string& start) {
        for (const char* name : {"a.png", "b.png", "c.png"})
            AddFile(name, 400, 300);
        CreateAndOpen(start);
    }
    void Start(int delay, bool loop) {
        host_.dialogDelay = delay;
        host_.dialogLoop = loop;
        window_.onCommand(MenuCommand::SlideShow);
    }
};

TEST_F(SlideShowTest, StopsAtTheEndOnceAndStartsOverInALoop) {
    platform_.settings = {{"SlideShowDelayTime", "7"}, {"SlideShowLoop", "0"}};
    ThreePictures("b.png");
    host_.dialogAccepts = false;
    Start(3, false);
    EXPECT_EQ(host_.dialogs, 1);
    EXPECT_EQ(host_.shownDelay, 7); // the stored values
    EXPECT_FALSE(host_.shownLoop);
    EXPECT_EQ(window_.slideShow(), SlideShow::Off);
    EXPECT_EQ(platform_.settings["SlideShowDelayTime"], "7"); // a cancel stores nothing

    host_.dialogAccepts = true;
    Start(3, false);
    EXPECT_EQ(window_.slideShow(), SlideShow::Once);
    EXPECT_EQ(host_.timers[Timer::SlideShow], 3000);
    EXPECT_EQ(platform_.settings["SlideShowDelayTime"], "3");
    EXPECT_EQ(platform_.settings["SlideShowLoop"], "0");
    EXPECT_EQ(host_.title, "b.png [400x300]"); // the first step comes after one delay
    Tick(Timer::SlideShow);
    EXPECT_EQ(host_.title, "c.png [400x300]");
    Tick(Timer::SlideShow);
    EXPECT_EQ(window_.slideShow(), SlideShow::Off);
    EXPECT_FALSE(host_.running(Timer::SlideShow));
    EXPECT_EQ(host_.title, "c.png [400x300]");

    // Looping from the last picture: the first of the list (a first file that does not decode is
    // passed over: SteppingTest).
    Start(12, true);
    EXPECT_EQ(host_.timers[Timer::SlideShow], 12000);
    EXPECT_EQ(platform_.settings["SlideShowLoop"], "1");
    Tick(Timer::SlideShow);
    EXPECT_EQ(host_.title, "a.png [400x300]");
    Tick(Timer::SlideShow);
    EXPECT_EQ(host_.title, "b.png [400x300]");
    EXPECT_EQ(window_.slideShow(), SlideShow::Loop);
    EXPECT_TRUE(host_.running(Timer::SlideShow));
}

TEST_F(SlideShowTest, NavigationEndsTheShowMovingZoomingAndOtherCommandsDoNot) {
    window_.setDesktop(&desktop_); // an empty clipboard
    ThreePictures("a.png");
    for (Action stopper :
         {Action::CloseOrStopSlideShow, Action::PreviousPicture, Action::NextPicture,
          Action::TurnClockwise, Action::Paste, Action::ShowStartPage}) {
        Start(1, true);
        ASSERT_EQ(window_.slideShow(), SlideShow::Loop) << int(stopper);
        Do(stopper);
        EXPECT_EQ(window_.slideShow(), SlideShow::Off) << int(stopper);
        EXPECT_FALSE(host_.running(Timer::SlideShow)) << int(stopper);
    }
    EXPECT_EQ(host_.closes, 0); // Esc only stopped the show

    Open("a.png");
    Start(1, true);
    for (Action other : {Action::ShowRightEdge, Action::ShowBottomEdge, Action::ZoomIn,
                         Action::ZoomOut, Action::ToggleFitToScreen, Action::ToggleKeepOnTop})
        Do(other);
    Do(Action::StartMove, {5, 5});
    Move({50, 5}, true, false);
    window_.onRelease(MouseButton::Left);
    Do(Action::FitToScreenAtPointer, {5, 5});
    window_.showContextMenu(); // dismissed; the menu's commands are in CommandsTest
    EXPECT_EQ(window_.slideShow(), SlideShow::Loop);
    EXPECT_TRUE(host_.running(Timer::SlideShow));
}

} // namespace
} // namespace vistrel::test
