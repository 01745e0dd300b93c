// The program's own folder for the files it hands to others: private, one subfolder per running
// instance, and what a crashed or killed instance left there is cleared by the next start.
#include "TemporaryFiles.h"
#include "TestSupport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vistrel;
using namespace vistrel::test;

namespace {

bool exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

std::string folderOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

class TemporaryFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
        ::setenv("TMPDIR", tmp_.path().c_str(), 1);
    }
    void TearDown() override {
        RemoveTemporaryFiles();
        ::unsetenv("XDG_RUNTIME_DIR");
        ::unsetenv("TMPDIR");
    }
    // An instance folder as a run that ended without clearing up leaves it: with its lock file,
    // unlocked, and a file offered to a drag.
    std::string leftover(const std::string& name) {
        const std::string folder = runtime_.folder("vistrel/" + name);
        runtime_.file("vistrel/" + name + "/lock");
        runtime_.file("vistrel/" + name + "/vtl123456.bmp");
        return folder;
    }

    ScratchFolder runtime_, tmp_;
};

} // namespace

TEST_F(TemporaryFiles, NewPrivateFilesInTheInstanceFolderUnderTheRuntimeFolder) {
    const std::string first = MakeTemporaryFile(".bmp"), second = MakeTemporaryFile(".png");
    EXPECT_NE(first, second);
    EXPECT_EQ(folderOf(first), folderOf(second)); // one folder for the whole run
    EXPECT_EQ(folderOf(folderOf(first)), runtime_.path() + "vistrel");
    EXPECT_EQ(first.substr(folderOf(first).size(), 4), "/vtl");
    EXPECT_EQ(second.substr(second.size() - 4), ".png");
    struct stat info;
    ASSERT_EQ(::stat(first.c_str(), &info), 0); // made now, so no one else takes the name
    EXPECT_EQ(info.st_mode & 077, 0u);
    ASSERT_EQ(::stat(folderOf(folderOf(first)).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);

    RemoveTemporaryFiles(); // the end of the run takes the folder with it
    EXPECT_FALSE(exists(folderOf(first)));

    // Without a runtime folder: a folder of the user's own in the temporary folder.
    ::unsetenv("XDG_RUNTIME_DIR");
    const std::string fallback = MakeTemporaryFile(".bmp");
    EXPECT_EQ(folderOf(folderOf(fallback)), tmp_.path() + "vistrel-" + std::to_string(::geteuid()));
}

TEST_F(TemporaryFiles, AFolderOthersCouldReachIsNotUsed) {
    // Files in it are handed to other programs: a folder open to others, or a link planted in
    // its place, gets none.
    const std::string base = runtime_.folder("vistrel");
    ::chmod(base.c_str(), 0777);
    EXPECT_EQ(MakeTemporaryFile(".bmp"), "");
    ::rmdir(base.c_str());
    ASSERT_EQ(::symlink(tmp_.path().c_str(), base.c_str()), 0);
    EXPECT_EQ(MakeTemporaryFile(".bmp"), "");
}

TEST_F(TemporaryFiles, StartUpClearsWhatEndedInstancesLeftAndKeepsRunningOnes) {
    const std::string mine = MakeTemporaryFile(".bmp");
    const std::string crashed = leftover("run-crashed");
    const std::string running = leftover("run-running");
    // Another running instance holds its lock.
    const int held = ::open((running + "/lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    // A folder without a lock file is one being made, unless it has been so for long.
    const std::string making = runtime_.folder("vistrel/run-making");
    const std::string stale = runtime_.folder("vistrel/run-stale");
    const timespec old[2] = {{0, 0}, {1000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, stale.c_str(), old, 0), 0);

    EXPECT_EQ(ClearLeftoverTemporaryFiles(), 2);
    EXPECT_FALSE(exists(crashed));
    EXPECT_FALSE(exists(stale));
    EXPECT_TRUE(exists(running + "/vtl123456.bmp"));
    EXPECT_TRUE(exists(making));
    EXPECT_TRUE(exists(mine));
    ::close(held);
    EXPECT_EQ(ClearLeftoverTemporaryFiles(), 1);
    EXPECT_FALSE(exists(running));
}
