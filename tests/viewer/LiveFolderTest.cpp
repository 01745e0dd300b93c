// The window and its folder on disk: an editor saving over the picture on show (as the platform's
// folder watch reports it), and the order the folder is listed in.
#include "WindowHarness.h"

namespace vistrel::test {
namespace {

class LiveFolderWindow : public WindowTest {
protected:
    // The file written anew (its decode makes a w x h picture of `bgra` from now on), as the
    // watch reports it.
    void Rewrite(const std::string& name, int w, int h, uint32_t bgra = 0xFF806040) {
        AddFile(name, w, h, 24, bgra);
        ASSERT_TRUE(platform_.folderListener);
        platform_.folderListener({FolderChange::Kind::Written, Path(name)});
        Settle();
    }
};

TEST_F(LiveFolderWindow, PictureSavedOverShowsInPlaceZoomedAsItWas) {
    AddFile("a.png", 400, 300);
    AddFile("b.png", 40, 30);
    CreateAndOpen("a.png");
    EXPECT_EQ(platform_.watchedFolder, folder_.path());
    Do(Action::ZoomIn);
    const Rect zoomed = host_.geometry;
    ASSERT_EQ(zoomed.width(), 440);

    Rewrite("a.png", 400, 300, 0xFFFF0000);
    EXPECT_EQ(host_.geometry, zoomed); // zoomed, and where it stood
    ASSERT_FALSE(host_.surface.empty());
    EXPECT_EQ(host_.surface[0], 0x00FF0000u); // drawn anew: red
    EXPECT_EQ(host_.title, "a.png [400x300]");

    // Broken, or written half: the picture on show stays.
    decoder_->fail("a.png");
    Rewrite("a.png", 10, 10);
    EXPECT_EQ(host_.geometry, zoomed);
    EXPECT_EQ(Shown().size(), (Size{400, 300}));
}

TEST_F(LiveFolderWindow, ResizedPictureIsLaidOutAsAPictureShownAnew) {
    AddFile("a.png", 400, 300);
    CreateAndOpen("a.png");
    Do(Action::ZoomIn);
    Rewrite("a.png", 500, 200);
    EXPECT_EQ(host_.geometry, (Rect{710, 440, 1210, 640}));
    EXPECT_EQ(host_.title, "a.png [500x200]");
}

TEST_F(LiveFolderWindow, SortNaturalZeroKeepsThePlainOrder) {
    for (const char* name : {"img1.png", "img2.png", "img10.png"})
        AddFile(name, 40, 30);
    platform_.settings["SortNatural"] = "0";
    window_.readSettings();
    CreateAndOpen("img2.png");
    Do(Action::NextPicture); // img1, img10, img2: the last
    EXPECT_EQ(host_.title, "img2.png [40x30]");
    Do(Action::PreviousPicture);
    EXPECT_EQ(host_.title, "img10.png [40x30]");
}

} // namespace
} // namespace vistrel::test
