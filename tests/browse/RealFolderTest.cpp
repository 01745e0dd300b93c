// Stepping through a folder of real files with the real decoders: the files that do not decode
// are passed over and dropped.
#include "PrefetcherTestPeer.h"

#include <gtest/gtest.h>

#include <string>

using namespace vistrel;

namespace {

const std::string kFolder = std::string(VISTREL_TESTDATA) + "/folder/";

std::string shown(Prefetcher& p) {
    const CachedPicture* cur = p.current();
    return cur ? std::string(fileNameOf(cur->path)) : "(nothing)";
}

struct Step {
    const char* name;
    int width, height;
};

} // namespace

TEST(RealFolder, StepsOverFilesThatDoNotDecode) {
    Prefetcher p;
    p.setMainWindowExists(true);
    EXPECT_FALSE(p.open(kFolder + "c.png"));
    EXPECT_FALSE(p.open(kFolder + "e.jpg"));
    EXPECT_FALSE(p.open(kFolder + "sub.png"));
    ASSERT_TRUE(p.open(kFolder + "a.png"));
    PrefetcherTestPeer::waitForWorker(p);
    EXPECT_EQ(p.folderCount(), 7); // c, e and sub.png are listed until a decode of them fails

    for (const Step& step : {Step{"B.bmp", 5, 4}, Step{"d.tga", 2, 7}, Step{"f.png", 4, 4}}) {
        ASSERT_TRUE(p.showNext());
        PrefetcherTestPeer::waitForWorker(p);
        ASSERT_EQ(shown(p), step.name);
        EXPECT_EQ(p.current()->width, step.width);
        EXPECT_EQ(p.current()->height, step.height);
        EXPECT_EQ(p.current()->picture->width(), step.width);
    }
    EXPECT_FALSE(p.showNext()); // sub.png was tried and dropped: f.png is the last
    EXPECT_EQ(p.folderCount(), 4);

    for (const char* name : {"d.tga", "B.bmp", "a.png"}) {
        ASSERT_TRUE(p.showPrevious());
        PrefetcherTestPeer::waitForWorker(p);
        EXPECT_EQ(shown(p), name);
    }
    EXPECT_FALSE(p.showPrevious());
}
