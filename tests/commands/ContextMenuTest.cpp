#include "ContextMenu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vistrel;

namespace {

ContextMenuState pictureState(const char* caption) {
    ContextMenuState s;
    s.hasPicture = true;
    s.startPage = false;
    s.topMost = true;
    s.fitToScreen = true;
    s.caption = caption;
    s.hasFilePath = true;
    s.folderCount = 3;
    return s;
}

// One line per item: "id text", then (v) checked, (o) radio-checked, (gray); separators "-".
std::vector<std::string> lines(const ContextMenuState& state) {
    std::vector<std::string> out;
    for (const MenuItem& item : BuildContextMenu(state)) {
        std::string line = item.separator ? "-" : std::to_string(item.id) + " " + item.text;
        if (item.checked) line += item.radio ? " (o)" : " (v)";
        if (item.grayed) line += " (gray)";
        out.push_back(line);
    }
    return out;
}

using Lines = std::vector<std::string>;

} // namespace

TEST(ContextMenu, StartPageHasFiveLinesWithFitGrayed) {
    ContextMenuState s;
    s.fitToScreen = true;
    s.lockPlace = 4;
    s.userLock = true; // the place items belong to the picture form only
    const Lines expected{"32774 Reduce size to fit screen\t* (v) (gray)",
                         "32771 Keep window on top", "32779 Lock place (v)", "-",
                         "32773 Exit\tEsc"};
    EXPECT_EQ(lines(s), expected);
    // A picture behind the start page (after F1) gives the same menu.
    ContextMenuState behind = pictureState("a.png [1x1]");
    behind.startPage = true;
    behind.fitToScreen = true;
    behind.topMost = false;
    behind.lockPlace = 4;
    EXPECT_EQ(lines(behind), expected);
}

TEST(ContextMenu, PictureWithCameraText) {
    ContextMenuState s = pictureState("beach.jpg [800x600] , Canon EOS 5D");
    s.checkMarkWidth = 15;
    const Lines expected{"32775 beach.jpg [800x600] ",
                         "32776 Canon EOS 5D (gray)",
                         "-",
                         "32774 Reduce size to fit screen\t* (v)",
                         "32771 Keep window on top (v)",
                         "32779 Lock place",
                         "-",
                         "32778 Rotate +90\u00B0 (Clockwise)",
                         "32777 Rotate -90\u00B0 (Counter-clockwise)",
                         "-",
                         "1004 Play slide show",
                         "32772 Set as desktop background",
                         "-",
                         "32773 Exit\tEsc"};
    EXPECT_EQ(lines(s), expected);
    auto menu = BuildContextMenu(s);
    EXPECT_EQ(menu[7].image, MenuImageRotateRightLarge);
    EXPECT_EQ(menu[8].image, MenuImageRotateLeftLarge);
    s.checkMarkWidth = 14;
    menu = BuildContextMenu(s);
    EXPECT_EQ(menu[7].image, MenuImageRotateRightSmall);
    EXPECT_EQ(menu[8].image, MenuImageRotateLeftSmall);
}

TEST(ContextMenu, PastedPictureInAOnePictureFolder) {
    ContextMenuState s = pictureState("Snapshot [640x480]");
    s.hasFilePath = false;
    s.folderCount = 1;
    const Lines text = lines(s);
    EXPECT_EQ(text[0], "32775 Snapshot [640x480] (gray)");
    EXPECT_EQ(text[1], "-");                                             // no camera item
    EXPECT_EQ(text[text.size() - 3], "32772 Set as desktop background"); // no slide show item
    EXPECT_EQ(text[text.size() - 4], "-");
}

TEST(ContextMenu, CaptionIsCutAtItsLastComma) {
    // A comma of the file name's own splits it too; the second item starts two characters on.
    const Lines named = lines(pictureState("a,b,cd.png [10x10]"));
    EXPECT_EQ(Lines(named.begin(), named.begin() + 2),
              (Lines{"32775 a,b", "32776 d.png [10x10] (gray)"}));
    // Two characters, not two bytes: a two-byte letter after the comma is skipped whole.
    EXPECT_EQ(lines(pictureState("x,\u00E9t\u00E9.png [1x1]"))[1],
              "32776 t\u00E9.png [1x1] (gray)");
    // Nothing after the comma: no camera item, and nothing read past the text.
    const Lines endsWithComma = lines(pictureState("shot, [5x5],"));
    EXPECT_EQ(endsWithComma[0], "32775 shot, [5x5]");
    EXPECT_EQ(endsWithComma[1], "-");
    // A window text longer than the caption buffer is cut between characters.
    const std::string longCaption = std::string(254, 'a') + "\u00E9\u00E9";
    EXPECT_EQ(BuildContextMenu(pictureState(longCaption.c_str()))[0].text, std::string(254, 'a'));
}

TEST(ContextMenu, LockItems) {
    ContextMenuState s = pictureState("a.png [1x1]");
    s.lockPlace = 2;
    Lines text = lines(s);
    // Locked, user lock off: a separator and an unchecked "Lock place by user", no places.
    EXPECT_EQ(Lines(text.begin() + 4, text.begin() + 9),
              (Lines{"32779 Lock place (v)", "-", "150 Lock place by user", "-",
                     "32778 Rotate +90\u00B0 (Clockwise)"}));

    s.userLock = true;
    text = lines(s);
    EXPECT_EQ(Lines(text.begin() + 6, text.begin() + 17),
              (Lines{"150 Lock place by user (v)", "151 Lock upper left", "152 Lock upper center",
                     "153 Lock upper right (o)", "154 Lock left center", "155 Lock center",
                     "156 Lock right center", "157 Lock lower left", "158 Lock lower center",
                     "159 Lock lower right", "-"}));
    EXPECT_TRUE(BuildContextMenu(s)[7].radio);
    EXPECT_EQ(LockPlaceOfCommand(159), 8);
    EXPECT_EQ(LockPlaceOfCommand(150), -1);
}

TEST(ContextMenu, RunningShowCanAlwaysBeStopped) {
    ContextMenuState s = pictureState("a.png [1x1]");
    s.folderCount = 1; // the folder may have shrunk since the show started
    s.slideShowMode = 1;
    const Lines text = lines(s);
    EXPECT_EQ(text[text.size() - 4], "1004 Stop slide show");
}
