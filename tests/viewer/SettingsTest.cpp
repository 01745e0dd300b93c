// The settings store's reading rules, the start-up settings and the command line.
#include "Settings.h"
#include "CommandLine.h"
#include "ViewerApp.h"
#include "WindowHarness.h"

namespace vistrel::test {
namespace {

TEST(SettingValue, OnlyA32BitDecimalIntegerIsAValue) {
    int32_t v = 0;
    EXPECT_TRUE(ParseSettingValue("1", v) && v == 1);
    EXPECT_TRUE(ParseSettingValue("-1", v) && v == -1);
    EXPECT_TRUE(ParseSettingValue("-2147483648", v) && v == INT32_MIN);
    EXPECT_TRUE(ParseSettingValue("4294967295", v) && v == -1); // the unsigned form
    EXPECT_TRUE(ParseSettingValue("2147483648", v) && v == INT32_MIN);
    for (const char* bad : {"", "-", "4294967296", "99999999999999999999", "-2147483649", " 1",
                            "1 ", "1.5", "0x10", "abc", "1,2"})
        EXPECT_FALSE(ParseSettingValue(bad, v)) << bad;
}

using StartUp = WindowTest;

TEST_F(StartUp, MissingAndUnreadableValuesReadAsMinusOne) {
    platform_.settings["LockPlace"] = "12345678901"; // longer than four bytes
    platform_.settings["UserLock"] = "yes";
    EXPECT_EQ(ReadSetting("LockPlace"), -1);
    EXPECT_EQ(ReadSetting("UserLock"), -1);
    EXPECT_EQ(ReadSetting("NoneScale"), -1);
    EXPECT_EQ(WriteSetting("NoneScale", -1), 0);
    EXPECT_EQ(platform_.settings["NoneScale"], "-1");
}

TEST_F(StartUp, AStoredLockPlacePlacesTheStartPageAndOnlyThenReadsTheUserLock) {
    struct Case {
        const char* place;
        int expectedPlace;
        bool byUser;
        Point topLeft;
    };
    for (const Case& c : {Case{"4", 4, true, {500 - 350 / 2, 400 - 300 / 2}},
                          Case{"9", -1, false, {785, 390}}, // beyond the nine anchors
                          Case{"", -1, false, {785, 390}}}) {
        SCOPED_TRACE(c.place);
        platform_.settings = {
            {"xLockPlace", "500"}, {"yLockPlace", "400"}, {"UserLock", "2"}, {"NoneTopMost", "1"}};
        if (*c.place) platform_.settings["LockPlace"] = c.place;
        ViewerWindow window;
        ViewerApp app;
        ASSERT_TRUE(app.start(window, host_));
        EXPECT_EQ(window.placement().lock().place, c.expectedPlace);
        EXPECT_EQ(window.placement().lock().byUser, c.byUser);
        EXPECT_EQ(host_.geometry.topLeft(), c.topLeft);
        EXPECT_FALSE(host_.topMost);
    }
}

TEST(CommandLine, QuotesEnclosePathsWithBlanksAndNothingElseIsParsed) {
    EXPECT_EQ(PathFromCommandLine(""), "");
    EXPECT_EQ(PathFromCommandLine("/a b/c d.png "), "/a b/c d.png "); // the blank stays
    EXPECT_EQ(PathFromCommandLine("\"/a b/c.png\" ignored"), "/a b/c.png");
    EXPECT_EQ(PathFromCommandLine("\"/a b/c.png"), "/a b/c.png");
    EXPECT_EQ(PathFromCommandLine("-x /c.png"), "-x /c.png"); // no switches
    const char* argv[] = {"vistrel", "\"/a", "b.png\"", "tail"};
    EXPECT_EQ(JoinArguments(4, argv), "\"/a b.png\" tail");
    EXPECT_EQ(JoinArguments(1, argv), "");
    // Only a command line that is exactly one of the two asks for information.
    EXPECT_EQ(InformationFor("--help").rfind("Usage: vistrel [PICTURE]\n", 0), 0u);
    EXPECT_EQ(InformationFor("--version").rfind("vistrel ", 0), 0u);
    for (const char* picture : {"", "--help x", "--HELP", "\"--version\"", "./--help"})
        EXPECT_EQ(InformationFor(picture), "") << picture;
}

} // namespace
} // namespace vistrel::test
