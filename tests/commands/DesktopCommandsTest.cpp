#include "DesktopCommands.h"

#include "CachedPicture.h"
#include "Desktop.h"
#include "Platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace vistrel;

namespace {

bool exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// Records what the commands hand over and whether the file was a readable BMP at that moment.
class FakeDesktop final : public Desktop {
public:
    struct Call {
        std::string what, path;
        bool existed = false;
        bool bmp = false;
    };
    std::vector<Call> calls;
    bool answer = true;

    bool setWallpaper(const std::string& path) override { return record("wallpaper", path); }
    bool showInFolder(const std::string& path) override { return record("show", path); }
    bool openInBrowser(const std::string& path) override { return record("browse", path); }
    bool clipboardImage(ClipboardBitmap&) override { return false; }
    bool dragFileOut(const std::string& path) override { return record("drag", path); }

private:
    bool record(const char* what, const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        char magic[2] = {};
        in.read(magic, 2);
        calls.push_back(
            {what, path, exists(path), in.gcount() == 2 && magic[0] == 'B' && magic[1] == 'M'});
        return answer;
    }
};

class DesktopCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/desktop-commands-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        const char* saved = std::getenv("TMPDIR");
        savedTmp_ = saved ? saved : "";
        hadTmp_ = saved != nullptr;
        ::setenv("TMPDIR", (dir_ + "/tmp").c_str(), 1);
        ASSERT_EQ(std::system(("mkdir '" + dir_ + "/tmp'").c_str()), 0);

        record_.picture = std::make_unique<Picture>();
        ASSERT_TRUE(record_.picture->create(6, 5, 24, true));
        record_.width = 6;
        record_.height = 5;
    }
    void TearDown() override {
        clearPlatformOverrides();
        if (hadTmp_)
            ::setenv("TMPDIR", savedTmp_.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    // A real file for the record, so the commands that check for it find it.
    void withFile(const std::string& name) {
        record_.path = dir_ + "/" + name;
        std::ofstream(record_.path) << "x";
    }
    std::string tempFolderEntries() {
        std::string listing;
        FILE* pipe = ::popen(("ls -A '" + dir_ + "/tmp'").c_str(), "r");
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            listing += buffer;
        ::pclose(pipe);
        return listing;
    }

    std::string dir_, savedTmp_;
    bool hadTmp_ = false;
    CachedPicture record_;
    FakeDesktop desktop_;
};

} // namespace

TEST_F(DesktopCommandsTest, WallpaperBeforeVersion6GetsATemporaryBmpUnlessTheFileIsOne) {
    overridePlatformVersion(0x0501);
    withFile("beach.jpg");
    EXPECT_TRUE(SetAsWallpaper(desktop_, &record_));
    ASSERT_EQ(desktop_.calls.size(), 1u);
    const auto& call = desktop_.calls[0];
    EXPECT_EQ(call.path.rfind(dir_ + "/tmp/vtl", 0), 0u) << call.path;
    EXPECT_TRUE(call.existed && call.bmp);
    EXPECT_EQ(tempFolderEntries(), ""); // removed once the desktop has it

    desktop_.calls.clear();
    withFile("logo.BMP");
    SetAsWallpaper(desktop_, &record_);
    withFile("noextension");
    SetAsWallpaper(desktop_, &record_);
    ASSERT_EQ(desktop_.calls.size(), 2u);
    EXPECT_EQ(desktop_.calls[0].path, dir_ + "/logo.BMP");
    EXPECT_NE(desktop_.calls[1].path, record_.path);
    EXPECT_TRUE(desktop_.calls[1].bmp);
}

TEST_F(DesktopCommandsTest, WallpaperFromVersion6HandsOverTheFileItself) {
    overridePlatformVersion(0x0600);
    withFile("beach.jpg");
    EXPECT_TRUE(SetAsWallpaper(desktop_, &record_));
    ASSERT_EQ(desktop_.calls.size(), 1u);
    EXPECT_EQ(desktop_.calls[0].path, record_.path);
    EXPECT_TRUE(exists(record_.path));
}

TEST_F(DesktopCommandsTest, PastedPictureWallpaperIsATemporaryBmpNeverAnEmptyPath) {
    // An empty path would clear the background.
    EXPECT_TRUE(SetAsWallpaper(desktop_, &record_));
    ASSERT_EQ(desktop_.calls.size(), 1u);
    EXPECT_TRUE(desktop_.calls[0].existed && desktop_.calls[0].bmp);
    EXPECT_EQ(tempFolderEntries(), "");

    // Nothing written, nothing set: the background stays as it was.
    ::setenv("TMPDIR", (dir_ + "/missing").c_str(), 1);
    EXPECT_FALSE(SetAsWallpaper(desktop_, &record_));
    EXPECT_EQ(desktop_.calls.size(), 1u);
    EXPECT_FALSE(SetAsWallpaper(desktop_, nullptr));
}

TEST_F(DesktopCommandsTest, ShowInFolderNeedsAnExistingFileOutsideTheStartPage) {
    EXPECT_FALSE(ShowInFolder(desktop_, &record_, false)); // pasted
    record_.path = dir_ + "/gone.jpg";
    EXPECT_FALSE(ShowInFolder(desktop_, &record_, false));
    withFile("here.jpg");
    EXPECT_FALSE(ShowInFolder(desktop_, &record_, true));
    EXPECT_TRUE(desktop_.calls.empty());
    EXPECT_TRUE(ShowInFolder(desktop_, &record_, false));
    ASSERT_EQ(desktop_.calls.size(), 1u);
    EXPECT_EQ(desktop_.calls[0].path, record_.path);
}

TEST_F(DesktopCommandsTest, DragOutOffersTheFileOrAKeptTemporaryBmp) {
    withFile("a.png");
    EXPECT_TRUE(DragOutPicture(desktop_, &record_));
    record_.path.clear();
    EXPECT_TRUE(DragOutPicture(desktop_, &record_));
    ASSERT_EQ(desktop_.calls.size(), 2u);
    EXPECT_EQ(desktop_.calls[0].path, dir_ + "/a.png");
    const std::string temporary = desktop_.calls[1].path;
    EXPECT_TRUE(desktop_.calls[1].bmp);
    // A file manager may still be copying it after the drop; it goes when the program ends.
    EXPECT_TRUE(exists(temporary));
    RemoveTemporaryFiles();
    EXPECT_FALSE(exists(temporary));

    record_.picture.reset();
    EXPECT_FALSE(DragOutPicture(desktop_, &record_));
    EXPECT_EQ(desktop_.calls.size(), 2u);
}

TEST_F(DesktopCommandsTest, UserGuideBesideTheProgramElseInTheDataFolder) {
    ASSERT_EQ(std::system(("mkdir -p '" + dir_ + "/bin' '" + dir_ + "/share/vistrel'").c_str()), 0);
    EXPECT_EQ(UserGuidePath(dir_ + "/bin"), "");
    std::ofstream(dir_ + "/share/vistrel/vistrel-guide.html") << "<html>";
    EXPECT_EQ(UserGuidePath(dir_ + "/bin"), dir_ + "/bin/../share/vistrel/vistrel-guide.html");
    std::ofstream(dir_ + "/bin/vistrel-guide.html") << "<html>";
    EXPECT_EQ(UserGuidePath(dir_ + "/bin"), dir_ + "/bin/vistrel-guide.html");
}
