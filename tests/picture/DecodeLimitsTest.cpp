// Files whose headers claim far more picture than their data holds are refused before anything is
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
#include <filesystem>
#include <fstream>
#include <future>

using namespace vistrel;
using namespace vistrel::test;

namespace {

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(testFile(folder)))
        paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

// Sets the rule's floor for one test, so that small files show what the ratios alone allow.
class FloorForTest {
public:
    explicit FloorForTest(uint64_t bytes) { setDecodeFloor(bytes); }
    ~FloorForTest() { setDecodeFloor(kDecodeFloorBytes); }
};

} // namespace

TEST(HostileFiles, AreRefusedBeforeThePictureIsAllocated) {
    const auto paths = filesIn("hostile");
    ASSERT_GE(paths.size(), 20u) << "fixtures missing";
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        CachedPicture record;
        EXPECT_FALSE(record.load(path.c_str()));
        // Refused from the header, not after a picture of the claimed size was made: the system
        // decoder, tried after the own one, must refuse as early.
        EXPECT_TRUE(!record.picture || record.picture->empty());
    }
}

TEST(HostileFiles, TheMostCompressedRealFilesLoadEvenWithoutAFloor) {
    // Flat pictures written as tightly as ImageMagick, Pillow and cjpeg can: the ratios of the
    // rule must leave room for them without the floor's help.
    FloorForTest noFloor(0);
    const auto paths = filesIn("dense");
    ASSERT_GE(paths.size(), 9u);
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        CachedPicture record;
        ASSERT_TRUE(record.load(path.c_str()));
        EXPECT_EQ(record.width, 2000);
    }
}

TEST(HostileFiles, FilesCutShortLoadWhileTheyHoldHalfTheirData) {
    FloorForTest noFloor(0);
    ScratchFolder folder;
    struct Case {
        const char* fixture;
        int percent;
        bool loads;
    };
    // Percent of the file kept; its header is a small part of it.
    const Case cases[] = {
        {"bits24.bmp", 60, true},        {"bits24.bmp", 40, false},
        {"topdown24.bmp", 60, true},     {"topdown24.bmp", 40, false}, // the system decoder's
        {"tga24.tga", 60, true},         {"tga24.tga", 40, false},
        {"tga32-rle-top.tga", 60, true}, {"jpeg/truncated.jpg", 100, true},
        {"transparent.gif", 60, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + " cut to " + std::to_string(c.percent) + "%");
        const auto bytes = readBytes(testFile(c.fixture));
        const std::string kept(bytes.begin(), bytes.begin() + bytes.size() * c.percent / 100);
        const std::string name = std::filesystem::path(c.fixture).filename().string();
        CachedPicture record;
        EXPECT_EQ(record.load(folder.file(name, kept).c_str()), c.loads);
    }
}

TEST(RegularFilesOnly, FifosAndDevicesNamedLikePicturesFailWithoutWaiting) {
    ScratchFolder folder;
    const std::string png = folder.path() + "waiting.png", jpeg = folder.path() + "waiting.jpg";
    ASSERT_EQ(::mkfifo(png.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(jpeg.c_str(), 0600), 0);
    const std::string zero = folder.path() + "zero.bmp";
    std::filesystem::create_symlink("/dev/zero", zero);
    for (const std::string& name : {png, jpeg, zero}) {
        SCOPED_TRACE(name);
        auto load = std::async(std::launch::async, [name] {
            CachedPicture record;
            return record.load(name.c_str());
        });
        if (load.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
            // Blocked in open: a writer releases it, so that the test fails instead of hanging.
            const int writer = ::open(name.c_str(), O_WRONLY | O_NONBLOCK);
            ADD_FAILURE() << "the load waited on the FIFO";
            load.wait();
            if (writer >= 0) ::close(writer);
            continue;
        }
        EXPECT_FALSE(load.get());
    }
}
