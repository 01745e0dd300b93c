#include "ContextMenu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vistrel;

namespace {

ContextMenuState pictureState() {
    ContextMenuState s;
    s.hasPicture = true;
    s.startPage = false;
    s.topMost = true;
    s.fitToScreen = true;
    s.caption = "beach.jpg [800x600]";
    s.hasFilePath = true;
    s.folderCount = 3;
    return s;
}

// One line per item: "id text [flags]", separators as "-".
std::vector<std::string> lines(const std::vector<MenuItem>& menu) {
    std::vector<std::string> out;
    for (const MenuItem& item : menu) {
        if (item.separator) {
            out.push_back("-");
            continue;
        }
        std::string line = std::to_string(item.id) + " " + item.text;
        if (item.checked) line += item.radio ? " (o)" : " (v)";
        if (item.grayed) line += " (gray)";
        out.push_back(line);
    }
    return out;
}

const MenuItem* find(const std::vector<MenuItem>& menu, int id) {
    for (const MenuItem& item : menu)
        if (item.id == id) return &item;
    return nullptr;
}

} // namespace

TEST(ContextMenu, StartPageHasFiveLinesWithFitGrayed) {
    ContextMenuState s;
    s.fitToScreen = true;
    s.lockPlace = 4;
    s.userLock = true; // the place items belong to the picture form only
    EXPECT_EQ(lines(BuildContextMenu(s)),
              (std::vector<std::string>{"32774 Reduce size to fit screen\t* (v) (gray)",
                                        "32771 Keep window on top", "32779 Lock place (v)", "-",
                                        "32773 Exit\tEsc"}));
    // A picture behind the start page (F1) gives the same short menu.
    ContextMenuState behind = pictureState();
    behind.startPage = true;
    EXPECT_EQ(BuildContextMenu(behind).size(), 5u);
}

TEST(ContextMenu, PictureWithCameraText) {
    ContextMenuState s = pictureState();
    s.caption = "beach.jpg [800x600] , Canon EOS 5D";
    EXPECT_EQ(lines(BuildContextMenu(s)),
              (std::vector<std::string>{
                  "32775 beach.jpg [800x600] ", "32776 Canon EOS 5D (gray)", "-",
                  "32774 Reduce size to fit screen\t* (v)", "32771 Keep window on top (v)",
                  "32779 Lock place", "-", "32778 Rotate +90\u00B0 (Clockwise)",
                  "32777 Rotate -90\u00B0 (Counter-clockwise)", "-", "1004 Play slide show",
                  "32772 Set as desktop background", "-", "32773 Exit\tEsc"}));
}

TEST(ContextMenu, PastedPictureHasGrayedCaptionAndNoCameraItem) {
    ContextMenuState s = pictureState();
    s.caption = "Snapshot [640x480]";
    s.hasFilePath = false;
    s.folderCount = 0;
    const auto menu = BuildContextMenu(s);
    EXPECT_EQ(lines(menu)[0], "32775 Snapshot [640x480] (gray)");
    EXPECT_EQ(lines(menu)[1], "-");
    EXPECT_EQ(find(menu, CmdCameraText), nullptr);
    EXPECT_EQ(find(menu, CmdSlideShow), nullptr);
    EXPECT_FALSE(find(menu, CmdSetAsWallpaper)->grayed);
}

TEST(ContextMenu, CommaInFileNameSplitsAtTheLastComma) {
    ContextMenuState s = pictureState();
    s.caption = "a,b,cd.png [10x10]";
    auto menu = BuildContextMenu(s);
    EXPECT_EQ(menu[0].text, "a,b");
    EXPECT_EQ(menu[1].id, CmdCameraText);
    EXPECT_EQ(menu[1].text, "d.png [10x10]"); // from two characters after the comma

    // Two characters, not two bytes: a letter of two bytes after the comma is skipped whole.
    s.caption = "x,\u00E9t\u00E9.png [1x1]";
    menu = BuildContextMenu(s);
    EXPECT_EQ(menu[0].text, "x");
    EXPECT_EQ(menu[1].text, "t\u00E9.png [1x1]");

    // Nothing after the comma: no camera item, and nothing read past the text.
    s.caption = "shot, [5x5],";
    menu = BuildContextMenu(s);
    EXPECT_EQ(menu[0].text, "shot, [5x5]");
    EXPECT_EQ(menu[1].separator, true);
}

TEST(ContextMenu, LockItems) {
    ContextMenuState s = pictureState();
    s.lockPlace = 2;
    auto text = lines(BuildContextMenu(s));
    // Locked, user lock off: a separator and an unchecked "Lock place by user", no places.
    EXPECT_EQ(std::vector<std::string>(text.begin() + 4, text.begin() + 9),
              (std::vector<std::string>{"32779 Lock place (v)", "-", "150 Lock place by user", "-",
                                        "32778 Rotate +90\u00B0 (Clockwise)"}));

    s.userLock = true;
    const auto menu = BuildContextMenu(s);
    text = lines(menu);
    EXPECT_EQ(text[6], "150 Lock place by user (v)");
    const std::vector<std::string> places{
        "151 Lock upper left",  "152 Lock upper center", "153 Lock upper right (o)",
        "154 Lock left center", "155 Lock center",       "156 Lock right center",
        "157 Lock lower left",  "158 Lock lower center", "159 Lock lower right"};
    EXPECT_EQ(std::vector<std::string>(text.begin() + 7, text.begin() + 16), places);
    for (int i = 7; i < 16; ++i)
        EXPECT_TRUE(menu[i].radio);
    EXPECT_EQ(text[16], "-");
    EXPECT_EQ(LockPlaceOfCommand(159), 8);
    EXPECT_EQ(LockPlaceOfCommand(150), -1);
}

TEST(ContextMenu, SlideShowItem) {
    ContextMenuState s = pictureState();
    s.folderCount = 1;
    EXPECT_EQ(find(BuildContextMenu(s), CmdSlideShow), nullptr);
    s.folderCount = 2;
    EXPECT_EQ(find(BuildContextMenu(s), CmdSlideShow)->text, "Play slide show");
    // A running show can always be stopped, even when the folder has shrunk to one file.
    s.folderCount = 1;
    s.slideShowMode = 2;
    const auto menu = BuildContextMenu(s);
    const auto text = lines(menu);
    EXPECT_EQ(text[text.size() - 4], "1004 Stop slide show");
    EXPECT_EQ(text[text.size() - 3], "32772 Set as desktop background");
}

TEST(ContextMenu, RotateImagesFollowTheCheckMarkSize) {
    ContextMenuState s = pictureState();
    s.checkMarkWidth = 15;
    auto menu = BuildContextMenu(s);
    EXPECT_EQ(find(menu, CmdRotateClockwise)->image, MenuImageRotateRightLarge);
    EXPECT_EQ(find(menu, CmdRotateCounterClockwise)->image, MenuImageRotateLeftLarge);
    s.checkMarkWidth = 14;
    menu = BuildContextMenu(s);
    EXPECT_EQ(find(menu, CmdRotateClockwise)->image, MenuImageRotateRightSmall);
    EXPECT_EQ(find(menu, CmdRotateCounterClockwise)->image, MenuImageRotateLeftSmall);
}

TEST(ContextMenu, OverlongCaptionIsCutWholeCharacters) {
    ContextMenuState s = pictureState();
    s.caption = std::string(254, 'a') + "\u00E9\u00E9"; // 258 bytes
    const std::string text = BuildContextMenu(s)[0].text;
    EXPECT_EQ(text, std::string(254, 'a'));
}
