// The settings store's reading rules, the start-up settings and the command line.
#include "Settings.h"
#include "CommandLine.h"
#include "FakeHost.h"
#include "ViewerApp.h"

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

class StartUp : public ViewerTest {};

TEST_F(StartUp, MissingAndUnreadableValuesReadAsMinusOne) {
    platform_.settings["LockPlace"] = "12345678901"; // longer than four bytes
    platform_.settings["UserLock"] = "yes";
    EXPECT_EQ(ReadSetting("LockPlace"), -1);
    EXPECT_EQ(ReadSetting("UserLock"), -1);
    EXPECT_EQ(ReadSetting("NoneScale"), -1);
    EXPECT_EQ(WriteSetting("NoneScale", -1), 0);
    EXPECT_EQ(platform_.settings["NoneScale"], "-1");
}

TEST_F(StartUp, UserLockIsReadOnlyWithAStoredLockPlace) {
    platform_.settings["UserLock"] = "1";
    ViewerApp app;
    ASSERT_TRUE(app.InitInstance(Window(), host_, ""));
    EXPECT_EQ(Window().lockPlace, -1);
    EXPECT_FALSE(Window().userLock);
}

TEST_F(StartUp, AStoredLockPlacePlacesTheStartPage) {
    platform_.settings = {{"LockPlace", "4"},
                          {"xLockPlace", "500"},
                          {"yLockPlace", "400"},
                          {"UserLock", "2"},
                          {"NoneTopMost", "1"}};
    ViewerApp app;
    ASSERT_TRUE(app.InitInstance(Window(), host_, ""));
    EXPECT_TRUE(Window().userLock);
    EXPECT_EQ(host_.geometry.left, 500 - 350 / 2);
    EXPECT_EQ(host_.geometry.top, 400 - 300 / 2);
    EXPECT_FALSE(host_.topMost);
    EXPECT_FALSE(Window().flags & TopMost);
}

TEST_F(StartUp, ALockPlaceBeyondTheNineAnchorsIsIgnored) {
    platform_.settings = {{"LockPlace", "9"}, {"UserLock", "1"}};
    ViewerApp app;
    ASSERT_TRUE(app.InitInstance(Window(), host_, ""));
    EXPECT_EQ(Window().lockPlace, -1);
    EXPECT_TRUE(host_.topMost);
}

TEST(CommandLine, QuotesEnclosePathsWithBlanksAndNothingElseIsParsed) {
    EXPECT_EQ(PathFromCommandLine(""), "");
    EXPECT_EQ(PathFromCommandLine("/a b/c d.png"), "/a b/c d.png");
    EXPECT_EQ(PathFromCommandLine("/a b/c d.png "), "/a b/c d.png "); // the blank stays
    EXPECT_EQ(PathFromCommandLine("\"/a b/c.png\" ignored"), "/a b/c.png");
    EXPECT_EQ(PathFromCommandLine("\"/a b/c.png"), "/a b/c.png");
    EXPECT_EQ(PathFromCommandLine("-x /c.png"), "-x /c.png"); // no switches
    const char* argv[] = {"vistrel", "\"/a", "b.png\"", "tail"};
    EXPECT_EQ(JoinArguments(4, argv), "\"/a b.png\" tail");
    EXPECT_EQ(JoinArguments(1, argv), "");
}

} // namespace
} // namespace vistrel::test
