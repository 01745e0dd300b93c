// The settings store's reading rules, the start-up settings and the command line.
#include "Settings.h"
#include "CommandLine.h"
#include "Files.h"
#include "ViewerApp.h"
#include "WindowHarness.h"

#include <set>

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
    for (const Case& c : {Case{"4", 4, true, {500 - 350 / 2, 400 - 386 / 2}},
                          Case{"9", -1, false, {785, 347}}, // beyond the nine anchors
                          Case{"", -1, false, {785, 347}}}) {
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

TEST(CommandLine, QuotesEnclosePathsWithBlanks) {
    EXPECT_EQ(PathFromCommandLine(""), "");
    EXPECT_EQ(PathFromCommandLine("/a b/c d.png "), "/a b/c d.png "); // the blank stays
    EXPECT_EQ(PathFromCommandLine("\"/a b/c.png\" ignored"), "/a b/c.png");
    EXPECT_EQ(PathFromCommandLine("\"/a b/c.png"), "/a b/c.png");
    EXPECT_EQ(PathFromCommandLine("-x /c.png"), "-x /c.png");
    const char* argv[] = {"vistrel", "\"/a", "b.png\"", "tail"};
    EXPECT_EQ(JoinArguments(4, argv), "\"/a b.png\" tail");
    EXPECT_EQ(JoinArguments(1, argv), "");
}

// What a command line asks for, with the files that exist named.
CommandLine Read(std::vector<const char*> arguments, std::set<std::string> files = {}) {
    arguments.insert(arguments.begin(), "vistrel");
    return ReadCommandLine(int(arguments.size()), arguments.data(),
                           [&](const std::string& path) { return files.count(path) != 0; });
}

TEST(CommandLine, ANamedFileOpensAsItIsElseTheArgumentsAreTheListToStepThrough) {
    using Pictures = std::vector<std::string>;
    // The joined line names a file: a path with blanks, unquoted or quoted.
    EXPECT_EQ(Read({"/my", "a.png"}, {"/my a.png"}).pictures, Pictures{"/my a.png"});
    EXPECT_EQ(Read({"\"/my a.png\"", "tail"}, {"/my a.png"}).pictures, Pictures{"/my a.png"});
    // One argument is a picture whether it is there or not (its folder is stepped through).
    EXPECT_EQ(Read({"/gone.png"}).pictures, Pictures{"/gone.png"});
    // Several that name no file together: the list, in its order.
    EXPECT_EQ(Read({"b.png", "a.png", "c.png"}, {"a.png", "b.png"}).pictures,
              (Pictures{"b.png", "a.png", "c.png"}));
    EXPECT_EQ(Read({}).pictures, Pictures{});
}

TEST(CommandLine, OptionsAnswerAndAnUnknownOneIsAUsageError) {
    EXPECT_EQ(Read({"--help"}).answer.rfind("Usage: vistrel [--new-window] [PICTURE...]\n", 0), 0u);
    EXPECT_EQ(Read({"--version"}).answer.rfind("vistrel ", 0), 0u);
    EXPECT_EQ(Read({"--version"}).status, 0);
    const CommandLine newWindow = Read({"--new-window", "a.png"});
    EXPECT_TRUE(newWindow.newWindow);
    EXPECT_EQ(newWindow.pictures, std::vector<std::string>{"a.png"});
    const CommandLine unknown = Read({"--bogus", "a.png"}, {"a.png"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.answer.find("unknown option '--bogus'"), std::string::npos);
    // A file called like an option is a picture, and "--" ends the options.
    EXPECT_EQ(Read({"--bogus"}, {"--bogus"}).pictures, std::vector<std::string>{"--bogus"});
    EXPECT_EQ(Read({"--", "--help"}).pictures, std::vector<std::string>{"--help"});
    EXPECT_EQ(Read({"-display", "x.png"}, {"-display x.png"}).pictures,
              std::vector<std::string>{"-display x.png"});
}

TEST(CommandLine, AFailureLineSaysWhyWithTheSystemsReason) {
    // The system's own words ("No such file or directory"; on Windows "Path not found").
    const std::string why = whyUnreadable("/nowhere/a.png");
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(FailureLine("/nowhere/a.png", Refusal::CannotOpen),
              "vistrel: /nowhere/a.png: the file cannot be opened: " + why + " (cannot-open)\n");
    EXPECT_EQ(FailureLine("/a.png", Refusal::Malformed),
              "vistrel: /a.png: the header or data is damaged (malformed)\n");
}

} // namespace
} // namespace vistrel::test
