#include "DesktopCommands.h"

#include "ArgbPixels.h"
#include "CachedPicture.h"
#include "Desktop.h"
#include "Files.h"
#include "PngDecoder.h"
#include "TemporaryFiles.h"
#include "TestSupport.h"

#include <unistd.h>

using namespace vistrel;
using namespace vistrel::test;

namespace {

// Where the temporary files go, as the test points it at a folder of its own.
#ifdef _WIN32
constexpr const char* kTemporaryVariable = "TMP";
constexpr const char* kTemporaryFolder = "Vistrel/";
#else
constexpr const char* kTemporaryVariable = "XDG_RUNTIME_DIR";
constexpr const char* kTemporaryFolder = "vistrel/";
#endif

bool exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// Records the paths handed over, whether each was a BMP file at that moment, and the pixels of
// the PNG files.
struct FakeDesktop final : Desktop {
    std::vector<std::string> paths;
    std::vector<bool> bmp;
    std::vector<std::vector<uint32_t>> png;
    bool setWallpaper(const std::string& path) override { return record(path); }
    bool showInFolder(const std::string& path) override { return record(path); }
    bool openInBrowser(const std::string& path) override { return record(path); }
    bool clipboardImage(ClipboardBitmap&) override { return false; }
    bool dragFileOut(const std::string& path) override { return record(path); }
    bool record(const std::string& path) {
        const auto bytes = readBytes(path);
        paths.push_back(path);
        bmp.push_back(bytes.size() > 2 && bytes[0] == 'B' && bytes[1] == 'M');
        Picture decoded;
        png.push_back(decodePng(bytes.data(), bytes.size(), decoded) ? argbPixels(decoded)
                                                                     : std::vector<uint32_t>{});
        return true;
    }
};

// A 6 x 5 picture on show, pasted (no path) until the test gives it a file; temporary files go
// to a runtime folder of the test's own.
class DesktopCommands : public ::testing::Test {
protected:
    void SetUp() override {
        setEnvironment(kTemporaryVariable, dir_.folder("runtime"));
        record_.picture = std::make_unique<Picture>();
        ASSERT_TRUE(record_.picture->create(6, 5, 24, true));
        for (uint32_t i = 0; i < record_.picture->imageSize(); ++i)
            record_.picture->pixels()[i] = uint8_t(i * 29 + 7);
    }
    void TearDown() override {
        RemoveTemporaryFiles();
        unsetEnvironment(kTemporaryVariable);
        unsetEnvironment("TMPDIR");
    }
    void withFile(const std::string& name) { record_.path = dir_.file(name); }
    bool noTemporaryFiles() {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path()))
            if (entry.path().filename().string().rfind("vtl", 0) == 0) return false;
        return true;
    }
    std::string temporaryFolder() { return dir_.path() + "runtime/" + kTemporaryFolder; }

    ScratchFolder dir_;
    CachedPicture record_;
    FakeDesktop desktop_;
};

} // namespace

TEST_F(DesktopCommands, WallpaperOfABmpOnlyDesktopIsATemporaryBmpUnlessTheFileIsOne) {
    for (const char* name : {"beach.jpg", "logo.BMP", "noextension"}) {
        withFile(name);
        EXPECT_TRUE(SetAsWallpaper(desktop_, &record_, false));
    }
    ASSERT_EQ(desktop_.paths.size(), 3u);
    EXPECT_EQ(desktop_.paths[0].rfind(temporaryFolder(), 0), 0u) << desktop_.paths[0];
    EXPECT_EQ(desktop_.bmp, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(desktop_.paths[1], dir_.path() + "logo.BMP");
    EXPECT_TRUE(noTemporaryFiles()); // removed once the desktop has it

    withFile("beach.jpg");
    EXPECT_TRUE(SetAsWallpaper(desktop_, &record_, true));
    EXPECT_EQ(desktop_.paths.back(), record_.path);
}

TEST_F(DesktopCommands, WallpaperInAFormatTheDesktopsCannotReadIsTheShownPictureAsPng) {
    for (const char* name : {"a.jpg", "b.JPEG", "c.jpe", "d.png", "e.bmp", "f.gif"}) {
        withFile(name);
        EXPECT_TRUE(SetAsWallpaper(desktop_, &record_, true));
        EXPECT_EQ(desktop_.paths.back(), record_.path);
    }
    const std::vector<uint32_t> shown = argbPixels(*record_.picture);
    for (const char* name : {"g.psd", "h.TGA", "i.ico", "j.cur", "k.wmf"}) {
        SCOPED_TRACE(name);
        withFile(name);
        EXPECT_TRUE(SetAsWallpaper(desktop_, &record_, true));
        EXPECT_EQ(desktop_.paths.back().rfind(temporaryFolder(), 0), 0u);
        EXPECT_EQ(desktop_.paths.back().substr(desktop_.paths.back().size() - 4), ".png");
        EXPECT_EQ(desktop_.png.back(), shown);
    }
    EXPECT_TRUE(noTemporaryFiles()); // removed once the desktop has its copy
}

TEST_F(DesktopCommands, PastedPictureWallpaperIsATemporaryBmpNeverAnEmptyPath) {
    // An empty path would clear the background.
    EXPECT_TRUE(SetAsWallpaper(desktop_, &record_, true));
    ASSERT_EQ(desktop_.paths.size(), 1u);
    EXPECT_TRUE(desktop_.bmp[0]);
    EXPECT_TRUE(noTemporaryFiles());
    // Nothing written, nothing set: the background stays as it was.
    setEnvironment(kTemporaryVariable, dir_.path() + "missing");
    setEnvironment("TMPDIR", dir_.path() + "missing");
    EXPECT_FALSE(SetAsWallpaper(desktop_, &record_, true));
    EXPECT_FALSE(SetAsWallpaper(desktop_, nullptr, true));
    EXPECT_EQ(desktop_.paths.size(), 1u);
}

TEST_F(DesktopCommands, ShowInFolderNeedsAnExistingFileOutsideTheStartPage) {
    EXPECT_FALSE(ShowInFolder(desktop_, &record_, false)); // pasted
    record_.path = dir_.path() + "gone.jpg";
    EXPECT_FALSE(ShowInFolder(desktop_, &record_, false));
    withFile("here.jpg");
    EXPECT_FALSE(ShowInFolder(desktop_, &record_, true));
    EXPECT_TRUE(desktop_.paths.empty());
    EXPECT_TRUE(ShowInFolder(desktop_, &record_, false));
    EXPECT_EQ(desktop_.paths, std::vector<std::string>{record_.path});
}

TEST_F(DesktopCommands, DragOutOffersTheFileOrAKeptTemporaryBmp) {
    withFile("a.png");
    EXPECT_TRUE(DragOutPicture(desktop_, &record_));
    record_.path.clear();
    EXPECT_TRUE(DragOutPicture(desktop_, &record_));
    ASSERT_EQ(desktop_.paths.size(), 2u);
    EXPECT_EQ(desktop_.paths[0], dir_.path() + "a.png");
    EXPECT_TRUE(desktop_.bmp[1]);
    // A file manager may still be copying it after the drop; it goes when the program ends.
    EXPECT_EQ(desktop_.paths[1].rfind(temporaryFolder(), 0), 0u);
    EXPECT_TRUE(exists(desktop_.paths[1]));
    RemoveTemporaryFiles();
    EXPECT_FALSE(exists(desktop_.paths[1]));

    record_.picture.reset();
    EXPECT_FALSE(DragOutPicture(desktop_, &record_));
    EXPECT_EQ(desktop_.paths.size(), 2u);
}

TEST_F(DesktopCommands, UserGuideBesideTheProgramElseInTheDataFolder) {
    const std::string bin = dir_.folder("bin");
    EXPECT_EQ(UserGuidePath(bin), "");
    dir_.folder("share/vistrel");
    dir_.file("share/vistrel/vistrel-guide.html");
    std::string root = canonicalPath(dir_.path());
    if (root.back() == '/') root.pop_back();
    EXPECT_EQ(UserGuidePath(bin), root + "/share/vistrel/vistrel-guide.html"); // no "bin/.."
    dir_.file("bin/vistrel-guide.html");
    EXPECT_EQ(UserGuidePath(bin), root + "/bin/vistrel-guide.html");
}
