// Headers that claim far more picture than their data holds are refused before anything is
// allocated; real files, even the most compressed ones and those cut short, still load; and only
// regular files are ever opened.
#include "DecodeLimits.h"
#include "CachedPicture.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>

using namespace vistrel;
using namespace vistrel::test;

namespace {

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(testFile(folder)))
        paths.push_back(entry.path().string());
    return paths;
}

// Without the floor, small files show what the ratios alone allow.
struct NoFloor {
    NoFloor() { setDecodeFloor(0); }
    ~NoFloor() { setDecodeFloor(kDecodeFloorBytes); }
};

} // namespace

TEST(HostileFiles, AreRefusedBeforeAnyPictureIsMade) {
    const auto paths = filesIn("hostile");
    ASSERT_GE(paths.size(), 20u) << "fixtures missing";
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        CachedPicture record;
        // By the size rule, but for the two that claim more pixels than any picture may have.
        const bool pastLimit = path.find("past-limit") != std::string::npos;
        EXPECT_STREQ(record.load(path.c_str(), {}).word(), pastLimit ? "too-large" : "size-rule");
        // The system decoder, tried after the own one, refuses as early.
        EXPECT_TRUE(!record.picture || record.picture->empty());
    }
}

TEST(HostileFiles, TheMostCompressedRealFilesAndFilesCutToSixtyPercentLoadWithoutAFloor) {
    NoFloor noFloor;
    for (const std::string& path : filesIn("dense")) {
        SCOPED_TRACE(path);
        CachedPicture record;
        EXPECT_TRUE(record.load(path.c_str(), {}));
    }
    // Raw rows (the own decoders' and, top-down, the system decoder's) load while the file holds
    // more than half of them; compressed ones still load when cut.
    ScratchFolder folder;
    for (const char* name : {"bits24.bmp", "topdown24.bmp", "tga24.tga", "tga32-rle-top.tga",
                             "transparent.gif", "jpeg/truncated.jpg"}) {
        const auto bytes = readBytes(testFile(name));
        const bool raw = std::strstr(name, "24."); // uncompressed rows
        for (const int percent : {60, 40}) {
            SCOPED_TRACE(std::string(name) + " cut to " + std::to_string(percent) + "%");
            const std::string cut = folder.file(
                std::to_string(percent) + std::filesystem::path(name).filename().string(),
                std::string(bytes.begin(), bytes.begin() + bytes.size() * percent / 100));
            const std::string loaded = CachedPicture().load(cut.c_str(), {}).word();
            // The system decoder may refuse a GIF cut short as damaged (OLE under Wine does;
            // Qt's reader shows what it holds): what matters is that no size rule refuses it.
            if (std::strstr(name, ".gif") && loaded == "malformed") continue;
            EXPECT_EQ(loaded, percent == 60 || !raw ? "none" : "size-rule");
        }
    }
}

#ifndef _WIN32 // Windows has its own in tests/win/RegularFilesTest.cpp
TEST(RegularFilesOnly, FifosAndDevicesNamedLikePicturesFailWithoutWaiting) {
    ScratchFolder folder;
    const std::string png = folder.path() + "waiting.png", jpeg = folder.path() + "waiting.jpg";
    ASSERT_EQ(::mkfifo(png.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(jpeg.c_str(), 0600), 0);
    const std::string zero = folder.path() + "zero.bmp";
    std::filesystem::create_symlink("/dev/zero", zero);
    for (const std::string& name : {png, jpeg, zero}) {
        SCOPED_TRACE(name);
        auto load = std::async(std::launch::async,
                               [name] { return CachedPicture().load(name.c_str(), {}); });
        if (load.wait_for(std::chrono::seconds(30)) == std::future_status::ready) {
            EXPECT_STREQ(load.get().word(), "not-regular-file");
            continue;
        }
        // Blocked in open: a writer releases it, so that the test fails instead of hanging.
        ADD_FAILURE() << "the load waited on the FIFO";
        const int writer = ::open(name.c_str(), O_WRONLY | O_NONBLOCK);
        load.wait();
        if (writer >= 0) ::close(writer);
    }
}
#endif
