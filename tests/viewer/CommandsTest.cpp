// The context menu as the window builds it, the commands behind it, and the paste.
#include "ContextMenu.h"
#include "FakeHost.h"
#include "TestSupport.h"

namespace vistrel::test {
namespace {

class Commands : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        Window().SetDesktop(&desktop_);
    }

    // The menu that a right click at (10, 10) shows now; the host answers with `choice`.
    const std::vector<MenuItem>& RightClickMenu(int choice = 0) {
        host_.menuChoice = choice;
        Window().OnRButtonDown(MkRButton, {10, 10});
        Window().OnRButtonUp(0, {10, 10});
        host_.cursor = {host_.geometry.left + 10, host_.geometry.top + 10};
        Window().OnTimer(TimerRightClick);
        EXPECT_FALSE(host_.menus.empty());
        return host_.menus.back();
    }
    static const MenuItem* Find(const std::vector<MenuItem>& menu, int id) {
        for (const MenuItem& item : menu)
            if (item.id == id) return &item;
        return nullptr;
    }

    FakeDesktop desktop_;
    ScratchFolder folder_; // for a picture file that exists (the folder command looks for it)
};

// The menu model's forms are checked in tests/commands; here, that the window hands it its state.
TEST_F(Commands, MenuFollowsTheWindowsState) {
    ASSERT_TRUE(Window().Create(host_));
    EXPECT_EQ(RightClickMenu().size(), 5u); // the start page's form
    CachedPicture& a = AddFile("/p/beach, sunset.jpg", 400, 300);
    AddFile("/p/b.jpg", 400, 300);
    std::strcpy(a.cameraText, "Canon EOS");
    ASSERT_TRUE(Window().OpenFile("/p/beach, sunset.jpg"));
    {
        const auto& menu = RightClickMenu(); // the caption, cut at its last comma
        EXPECT_EQ(menu[0].text, "beach, sunset.jpg [400x300] ");
        EXPECT_EQ(menu[1].text, "Canon EOS");
        EXPECT_EQ(Find(menu, CmdSlideShow)->text, "Play slide show");
        EXPECT_EQ(Find(menu, CmdRotateClockwise)->image, MenuImageRotateRightLarge);
    }
    source_->folder.pop_back(); // a folder of one picture
    host_.checkMarkWidth = 13;
    Window().lockPlace = 4;
    Window().userLock = true;
    {
        const auto& menu = RightClickMenu();
        EXPECT_EQ(Find(menu, CmdSlideShow), nullptr);
        EXPECT_EQ(Find(menu, CmdRotateClockwise)->image, MenuImageRotateRightSmall);
        EXPECT_TRUE(Find(menu, CmdLockPlaceFirst + 4)->checked);
    }
    Window().slideShowMode = 2;
    EXPECT_EQ(Find(RightClickMenu(), CmdSlideShow)->text, "Stop slide show");
    // A pasted picture: its caption, grayed (there is no file to show).
    desktop_.clipboardWidth = 3, desktop_.clipboardHeight = 2;
    host_.keys = KeyControl | KeyV;
    Window().OnKeyDown(VkV);
    EXPECT_EQ(RightClickMenu()[0].text, "Snapshot [3x2]");
    EXPECT_TRUE(host_.menus.back()[0].grayed);

    // The menu request opens it at the last right press too, but not over a menu already up.
    const std::size_t shown = host_.menus.size();
    host_.whileMenuShown = [&] { Window().OnShowContextMenu(); };
    Window().OnShowContextMenu();
    EXPECT_EQ(host_.menus.size(), shown + 1);
    EXPECT_EQ(host_.menuPoints.back(), (Point{host_.geometry.left + 10, host_.geometry.top + 10}));
}

TEST_F(Commands, EachCommandActsAndNoneButStopAndExitEndsAShow) {
    const std::string path = folder_.file("a.png");
    AddFile(path, 400, 300);
    AddFile("/p/b.png", 400, 300);
    CreateAndOpen(path); // at (760, 390)
    Window().StartSlideShow();
    ASSERT_EQ(Window().slideShowMode, 2);

    RightClickMenu(CmdRotateClockwise); // chosen from the menu
    EXPECT_EQ(Window().windowWidth, 300);
    Window().OnCommand(CmdRotateCounterClockwise);
    EXPECT_EQ(Window().windowWidth, 400);

    Window().OnCommand(CmdInformation);
    Window().OnCommand(CmdSetAsWallpaper);
    Window().OnCommand(CmdHomePage);
    EXPECT_EQ(desktop_.calls, (std::vector<std::string>{"show " + path, "wallpaper " + path,
                                                        "browse https://vistrel.quorbane.com/"}));

    Window().OnCommand(CmdKeepOnTop);
    EXPECT_FALSE(host_.topMost);
    EXPECT_EQ(platform_.settings["NoneTopMost"], "1");
    Window().OnMButtonDown(MkMButton, {1, 1}); // the middle button flips it too
    EXPECT_TRUE(host_.topMost);
    EXPECT_EQ(platform_.settings["NoneTopMost"], "0");

    Window().OnCommand(CmdFitToScreen); // a small picture: only the setting flips
    EXPECT_EQ(platform_.settings["NoneScale"], "1");

    Window().OnCommand(CmdLockPlace); // centred: the centre place
    EXPECT_EQ(Window().lockPlace, 4);
    Window().OnCommand(CmdLockPlaceByUser);
    EXPECT_TRUE(Window().userLock);
    Window().OnCommand(CmdLockPlaceFirst + 8);
    EXPECT_EQ(Window().lockPlace, 8);
    EXPECT_EQ(platform_.settings["xLockPlace"], "1160"); // the window's bottom-right corner
    Window().OnCommand(CmdLockPlace);
    EXPECT_EQ(Window().lockPlace, -1);

    EXPECT_EQ(Window().slideShowMode, 2);
    EXPECT_TRUE(host_.running(TimerSlideShow));
    Window().OnCommand(CmdSlideShow);
    EXPECT_EQ(Window().slideShowMode, 0);
    EXPECT_FALSE(host_.running(TimerSlideShow));
    Window().OnCommand(CmdExit);
    EXPECT_EQ(host_.closes, 1);
}

TEST_F(Commands, PasteShowsTheClipboardsPictureAndAnEmptyClipboardChangesNothing) {
    AddFile("/p/a.png", 400, 300);
    AddFile("/p/b.png", 400, 300);
    CreateAndOpen("/p/a.png");
    Window().StartSlideShow();
    host_.keys = KeyControl | KeyV;
    Window().OnKeyDown(VkV);
    EXPECT_EQ(host_.title, "a.png [400x300]");
    EXPECT_EQ(Window().slideShowMode, 0); // stopped all the same

    desktop_.clipboardWidth = 30, desktop_.clipboardHeight = 20;
    Window().OnKeyDown(VkV);
    EXPECT_EQ(host_.title, "Snapshot [30x20]");
    EXPECT_EQ(host_.geometry, (Rect{945, 530, 975, 550}));
}

} // namespace
} // namespace vistrel::test
