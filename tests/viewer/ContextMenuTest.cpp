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

// One line per item: its text, then (v) checked, (o) radio-checked, (gray); separators "-".
std::vector<std::string> lines(const ContextMenuState& state) {
    std::vector<std::string> out;
    for (const MenuItem& item : BuildContextMenu(state)) {
        std::string line = item.separator ? "-" : item.text;
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
    const Lines expected{"Reduce size to fit screen\t* (v) (gray)", "Keep window on top",
                         "Lock place (v)", "-", "Exit\tEsc"};
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
    const Lines expected{"beach.jpg [800x600] ",
                         "Canon EOS 5D (gray)",
                         "-",
                         "Reduce size to fit screen\t* (v)",
                         "Keep window on top (v)",
                         "Lock place",
                         "-",
                         "Rotate +90\u00B0 (Clockwise)",
                         "Rotate -90\u00B0 (Counter-clockwise)",
                         "-",
                         "Play slide show",
                         "Set as desktop background",
                         "Open with\u2026",
                         "Properties",
                         "-",
                         "Exit\tEsc"};
    EXPECT_EQ(lines(s), expected);
    auto menu = BuildContextMenu(s);
    EXPECT_EQ(menu[0].command, int(MenuCommand::Information));
    EXPECT_EQ(menu[7].command, int(MenuCommand::RotateClockwise));
    EXPECT_EQ(menu[7].image, MenuImage::RotateClockwiseLarge);
    EXPECT_EQ(menu[8].image, MenuImage::RotateCounterClockwiseLarge);
    s.checkMarkWidth = 14;
    menu = BuildContextMenu(s);
    EXPECT_EQ(menu[7].image, MenuImage::RotateClockwiseSmall);
    EXPECT_EQ(menu[8].image, MenuImage::RotateCounterClockwiseSmall);
}

TEST(ContextMenu, PastedPictureInAOnePictureFolder) {
    ContextMenuState s = pictureState("Snapshot [640x480]");
    s.hasFilePath = false;
    s.folderCount = 1;
    const Lines text = lines(s);
    EXPECT_EQ(text[0], "Snapshot [640x480] (gray)");
    EXPECT_EQ(text[1], "-"); // no camera item
    // No slide show item; nothing to open with, but properties.
    EXPECT_EQ(Lines(text.end() - 6, text.end() - 2),
              (Lines{"-", "Set as desktop background", "Open with\u2026 (gray)", "Properties"}));
}

TEST(ContextMenu, CaptionIsCutAtItsLastComma) {
    // A comma of the file name's own splits it too; the second item starts two characters on.
    const Lines named = lines(pictureState("a,b,cd.png [10x10]"));
    EXPECT_EQ(Lines(named.begin(), named.begin() + 2), (Lines{"a,b", "d.png [10x10] (gray)"}));
    // Two characters, not two bytes: a two-byte letter after the comma is skipped whole.
    EXPECT_EQ(lines(pictureState("x,\u00E9t\u00E9.png [1x1]"))[1], "t\u00E9.png [1x1] (gray)");
    // Nothing after the comma: no camera item, and nothing read past the text.
    const Lines endsWithComma = lines(pictureState("shot, [5x5],"));
    EXPECT_EQ(endsWithComma[0], "shot, [5x5]");
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
    EXPECT_EQ(
        Lines(text.begin() + 4, text.begin() + 9),
        (Lines{"Lock place (v)", "-", "Lock place by user", "-", "Rotate +90\u00B0 (Clockwise)"}));

    s.userLock = true;
    text = lines(s);
    EXPECT_EQ(Lines(text.begin() + 6, text.begin() + 17),
              (Lines{"Lock place by user (v)", "Lock upper left", "Lock upper center",
                     "Lock upper right (o)", "Lock left center", "Lock center", "Lock right center",
                     "Lock lower left", "Lock lower center", "Lock lower right", "-"}));
    const auto menu = BuildContextMenu(s);
    EXPECT_TRUE(menu[7].radio);
    for (int place = 0; place < 9; ++place)
        EXPECT_EQ(LockPlaceOfCommand(MenuCommand(menu[std::size_t(7 + place)].command)), place);
    EXPECT_EQ(LockPlaceOfCommand(MenuCommand::LockPlaceByUser), -1);
}

TEST(ContextMenu, RunningShowCanAlwaysBeStopped) {
    ContextMenuState s = pictureState("a.png [1x1]");
    s.folderCount = 1; // the folder may have shrunk since the show started
    s.slideShowRunning = true;
    const Lines text = lines(s);
    EXPECT_EQ(text[text.size() - 6], "Stop slide show");
}
