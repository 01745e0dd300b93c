// The context menu as the window builds it, the commands behind it, and the paste.
#include "ContextMenu.h"
#include "WindowHarness.h"

#include <filesystem>

namespace vistrel::test {
namespace {

class Commands : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        window_.setDesktop(&desktop_);
    }
    // The menu that a right click at (10, 10) shows now; the host answers with `choice`.
    const std::vector<MenuItem>& RightClickMenu(int choice = -1) {
        host_.menuChoice = choice;
        Do(Action::PressRight, {10, 10});
        window_.onRelease(MouseButton::Right);
        host_.cursor = {host_.geometry.left + 10, host_.geometry.top + 10};
        Tick(Timer::RightClick);
        EXPECT_FALSE(host_.menus.empty());
        return host_.menus.back();
    }
    static const MenuItem* Find(const std::vector<MenuItem>& menu, MenuCommand command) {
        for (const MenuItem& item : menu)
            if (!item.separator && item.command == int(command)) return &item;
        return nullptr;
    }
};

// The menu model's forms are checked in ContextMenuTest; here, that the window hands it its state.
TEST_F(Commands, MenuFollowsTheWindowsState) {
    ASSERT_TRUE(window_.create(host_));
    EXPECT_EQ(RightClickMenu().size(), 5u); // the start page's form
    AddFile("beach, sunset.jpg",
            {400, 300, 24, 0, [](CachedPicture& r) { std::strcpy(r.cameraText, "Canon EOS"); }});
    AddFile("b.jpg", 400, 300);
    Open("beach, sunset.jpg");
    {
        const auto& menu = RightClickMenu(); // the caption, cut at its last comma
        EXPECT_EQ(menu[0].text, "beach, sunset.jpg [400x300] ");
        EXPECT_EQ(menu[1].text, "Canon EOS");
        EXPECT_EQ(Find(menu, MenuCommand::SlideShow)->text, "Play slide show");
        EXPECT_EQ(Find(menu, MenuCommand::RotateClockwise)->image, MenuImage::RotateClockwiseLarge);
    }
    std::filesystem::remove(Path("b.jpg"));
    Open("beach, sunset.jpg"); // a folder of one picture
    host_.checkMarkWidth = 13;
    window_.onCommand(MenuCommand::LockPlace); // centred: the centre place
    window_.onCommand(MenuCommand::LockPlaceByUser);
    {
        const auto& menu = RightClickMenu();
        EXPECT_EQ(Find(menu, MenuCommand::SlideShow), nullptr);
        EXPECT_EQ(Find(menu, MenuCommand::RotateClockwise)->image, MenuImage::RotateClockwiseSmall);
        EXPECT_TRUE(Find(menu, MenuCommand::LockCenter)->checked);
    }
    window_.onCommand(MenuCommand::SlideShow);
    EXPECT_EQ(Find(RightClickMenu(), MenuCommand::SlideShow)->text, "Stop slide show");
    // A pasted picture: its caption, grayed (there is no file to show).
    desktop_.clipboardWidth = 3, desktop_.clipboardHeight = 2;
    Do(Action::Paste);
    EXPECT_EQ(RightClickMenu()[0].text, "Snapshot [3x2]");
    EXPECT_TRUE(host_.menus.back()[0].grayed);

    // The menu request opens it at the last right press too, but not over a menu already up.
    const std::size_t shown = host_.menus.size();
    host_.whileMenuShown = [&] { window_.showContextMenu(); };
    window_.showContextMenu();
    EXPECT_EQ(host_.menus.size(), shown + 1);
    EXPECT_EQ(host_.menuPoints.back(), (Point{host_.geometry.left + 10, host_.geometry.top + 10}));
}

TEST_F(Commands, EachCommandActsAndNoneButStopAndExitEndsAShow) {
    AddFile("a.png", 400, 300);
    AddFile("b.png", 400, 300);
    CreateAndOpen("a.png"); // at (760, 390)
    window_.onCommand(MenuCommand::SlideShow);
    ASSERT_EQ(window_.slideShow(), SlideShow::Loop);

    RightClickMenu(int(MenuCommand::RotateClockwise)); // chosen from the menu
    EXPECT_EQ(host_.geometry.width(), 300);
    window_.onCommand(MenuCommand::RotateCounterClockwise);
    EXPECT_EQ(host_.geometry.width(), 400);

    for (MenuCommand command :
         {MenuCommand::Information, MenuCommand::SetAsWallpaper, MenuCommand::OpenHomePage})
        window_.onCommand(command);
    EXPECT_EQ(desktop_.calls,
              (std::vector<std::string>{"show " + Path("a.png"), "wallpaper " + Path("a.png"),
                                        "browse https://vistrel.quorbane.com/"}));

    window_.onCommand(MenuCommand::KeepOnTop);
    EXPECT_FALSE(host_.topMost);
    EXPECT_EQ(platform_.settings["NoneTopMost"], "1");
    Do(Action::ToggleKeepOnTop); // the middle button flips it too
    EXPECT_TRUE(host_.topMost);
    EXPECT_EQ(platform_.settings["NoneTopMost"], "0");

    window_.onCommand(MenuCommand::FitToScreen); // a small picture: only the setting flips
    EXPECT_EQ(platform_.settings["NoneScale"], "1");

    window_.onCommand(MenuCommand::LockPlace); // centred: the centre place
    EXPECT_EQ(window_.placement().lock().place, 4);
    EXPECT_EQ(platform_.settings["xLockPlace"], "960");
    window_.onCommand(MenuCommand::LockPlaceByUser);
    EXPECT_TRUE(window_.placement().lock().byUser);
    EXPECT_EQ(platform_.settings["UserLock"], "1");
    window_.onCommand(MenuCommand::LockLowerRight);
    EXPECT_EQ(window_.placement().lock().place, 8);
    EXPECT_EQ(platform_.settings["xLockPlace"], "1160"); // the window's bottom-right corner
    window_.onCommand(MenuCommand::LockPlace);
    EXPECT_EQ(window_.placement().lock().place, -1);
    EXPECT_EQ(platform_.settings["LockPlace"], "-1");
    EXPECT_EQ(platform_.settings["UserLock"], "0");

    EXPECT_TRUE(host_.running(Timer::SlideShow));
    window_.onCommand(MenuCommand::SlideShow);
    EXPECT_EQ(window_.slideShow(), SlideShow::Off);
    EXPECT_FALSE(host_.running(Timer::SlideShow));
    window_.onCommand(MenuCommand::Exit);
    EXPECT_EQ(host_.closes, 1);
}

TEST_F(Commands, PasteShowsTheClipboardsPictureCentredAndAnEmptyClipboardChangesNothing) {
    AddFile("a.png", 400, 300);
    AddFile("b.png", 400, 300);
    CreateAndOpen("a.png");
    window_.onCommand(MenuCommand::SlideShow);
    host_.keys = {true, false}; // the Ctrl of Ctrl+V keeps no corner
    Do(Action::Paste);
    EXPECT_EQ(host_.title, "a.png [400x300]");
    EXPECT_EQ(window_.slideShow(), SlideShow::Off); // stopped all the same

    desktop_.clipboardWidth = 30, desktop_.clipboardHeight = 20;
    Do(Action::Paste);
    EXPECT_EQ(host_.title, "Snapshot [30x20]");
    EXPECT_EQ(host_.geometry, (Rect{945, 530, 975, 550}));
}

} // namespace
} // namespace vistrel::test
