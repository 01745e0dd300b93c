// The folder watch on inotify, read on the event loop: what editors and file managers do to a
// folder, as the viewer hears of it.
#include "InotifyFolderWatch.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace vistrel::test {
namespace {

class FolderWatchTest : public testing::Test {
protected:
    // Runs the event loop until `count` changes were heard (or `patience` ms went by); each as
    // "W name" (written) or "R name" (removed), in the order heard.
    std::vector<std::string> Heard(std::size_t count, int patience = 5000) {
        QElapsedTimer clock;
        clock.start();
        while (heard_.size() < count && clock.elapsed() < patience)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QCoreApplication::processEvents(); // and anything more that came
        return heard_;
    }

    ScratchFolder folder_;
    std::vector<std::string> heard_;
    InotifyFolderWatch watch_{[this](const FolderChange& change) {
        const char kind = change.kind == FolderChange::Kind::Written ? 'W' : 'R';
        const std::string& folder = folder_.path();
        heard_.push_back(
            kind + std::string(" ") +
            (change.path.rfind(folder, 0) == 0 ? change.path.substr(folder.size()) : change.path));
    }};
};

TEST_F(FolderWatchTest, FilesWrittenWholeAndRemovedInTheOrderTheyHappened) {
    ASSERT_TRUE(watch_.watch(folder_.path()));
    const std::string dir = folder_.path();
    ScratchFolder elsewhere;
    // The event loop runs between the steps: what a file is made as is read when its event is.
    folder_.file("a.png", "one"); // made and written in place
    Heard(1); // (the kernel makes one of two writes alike that were not read in between)
    std::ofstream(dir + "a.png", std::ios::app) << "two"; // written again
    Heard(2);
    folder_.file(".a.png.part", "three"); // written elsewhere, and renamed over
    ASSERT_EQ(std::rename((dir + ".a.png.part").c_str(), (dir + "b.png").c_str()), 0);
    Heard(5);
    // Whole when made: a second link to a file, a symbolic link.
    ASSERT_EQ(::link(elsewhere.file("source.png").c_str(), (dir + "c.png").c_str()), 0);
    ASSERT_EQ(::symlink("a.png", (dir + "d.png").c_str()), 0);
    Heard(7);
    std::remove((dir + "b.png").c_str());
    ASSERT_EQ(std::rename((dir + "c.png").c_str(), (elsewhere.path() + "c.png").c_str()), 0);
    EXPECT_EQ(Heard(9),
              (std::vector<std::string>{"W a.png", "W a.png", "W .a.png.part", "R .a.png.part",
                                        "W b.png", "W c.png", "W d.png", "R b.png", "R c.png"}));
}

TEST_F(FolderWatchTest, OnlyTheFolderWatchedNowIsHeard) {
    ScratchFolder other;
    ASSERT_TRUE(watch_.watch(folder_.path()));
    ASSERT_TRUE(watch_.watch(other.path()));
    folder_.file("before.png");
    other.file("now.png");
    EXPECT_EQ(Heard(1), (std::vector<std::string>{"W " + other.path() + "now.png"}));
    EXPECT_TRUE(watch_.watch(""));
    other.file("none.png");
    EXPECT_EQ(Heard(2, 300).size(), 1u);
    EXPECT_FALSE(watch_.watch(folder_.path() + "missing/"));
}

} // namespace
} // namespace vistrel::test
