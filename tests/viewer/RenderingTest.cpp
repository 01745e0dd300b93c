// Which of the three ways a picture is painted and what each hands to the window, the zoomed
// frames, the captions and the start page.
#include "StartPage.h"
#include "WindowHarness.h"

namespace vistrel::test {
namespace {

using Rendering = WindowTest;

// 64 x 48 at 32 bits, alpha 128 everywhere but 0 at the bottom-left corner.
FakePicture TranslucentPicture(int w = 64, int h = 48) {
    return {w, h, 32, 0x80C86432, [h](CachedPicture& r) {
                r.picture->pixels()[std::size_t(h - 1) * r.picture->rowSize() + 3] = 0;
            }};
}

// The plain path of opaque 24- and 32-bit pictures is checked by pixels in tests/e2e.
TEST_F(Rendering, TransparentPictureGoesTranslucentWithPremultipliedPixels) {
    AddFile("alpha.png", TranslucentPicture());
    AddFile("plain.png", 64, 48, 24);
    CreateAndOpen("alpha.png");
    EXPECT_TRUE(host_.translucent);
    // White before the first translucent frame, so that nothing old shows while it changes.
    EXPECT_EQ(host_.lastCanvas.calls, std::vector<std::string>{"fill 64x48 16777215"});
    ASSERT_EQ(host_.translucentWidth, 64);
    // 0xC8 * 128 / 255 = 100, 0x64 * 128 / 255 = 50, 0x32 * 128 / 255 = 25, truncated.
    EXPECT_EQ(host_.translucentPixels[0], 0x80643219u);
    EXPECT_EQ(host_.translucentPixels[47 * 64], 0x00000000u);
    Open("plain.png");
    EXPECT_FALSE(host_.translucent);

    // A desktop without translucent windows draws it plainly.
    platform_.can.translucentWindows = false;
    FakeHost host; // outlives the window, whose workers post to it
    ViewerWindow opaque(decodeWith(decoder_));
    ASSERT_TRUE(opaque.create(host));
    ASSERT_TRUE(opaque.openFile(Path("alpha.png").c_str()));
    PrefetcherTestPeer::waitUntilIdle(opaque.pictures());
    opaque.onPicturesArrived(); // the open lands
    EXPECT_FALSE(host.translucent);
    EXPECT_EQ(host.lastCanvas.calls, std::vector<std::string>{"picture 64x48 at 0,0"});
}

TEST_F(Rendering, PictureOfAnotherSizeIsStretchedAndAFittedCopyIsDrawnAsItIs) {
    // An 8-bit picture larger than the screen has no fitted copy: the presenter stretches it.
    AddFile("big.bmp", {3000, 1000, 8, 0, [](CachedPicture& r) {
                            RgbQuad* colors = r.picture->colorTable();
                            colors[0] = {0x30, 0x20, 0x10, 0};
                            colors[1] = {0x01, 0x02, 0x03, 0};
                            r.picture->pixels()[std::size_t(999) * 3000] = 1; // bottom-left
                        }});
    AddFile("big.jpg", {4000, 3000, 24, 0, [](CachedPicture& r) {
                            r.fitted = std::make_unique<Picture>();
                            r.fitted->create(1440, 1080, 24, true);
                        }});
    CreateAndOpen("big.bmp");
    EXPECT_EQ(host_.geometry, (Rect{0, 220, 1920, 860}));
    ASSERT_EQ(host_.blits, 1);
    EXPECT_EQ(host_.blitDestination, (Rect{0, 0, 1920, 640}));
    ASSERT_EQ(host_.surfaceWidth, 3000);
    EXPECT_EQ(host_.surface[0], 0x00102030u);                       // top-left
    EXPECT_EQ(host_.surface[std::size_t(999) * 3000], 0x00030201u); // bottom-left

    Open("big.jpg");
    EXPECT_EQ(host_.blits, 1);
    EXPECT_EQ(host_.lastCanvas.calls, std::vector<std::string>{"picture 1440x1080 at 0,0"});
    Do(Action::ToggleFitToScreen); // natural size: the decoded picture
    EXPECT_EQ(host_.lastCanvas.calls, std::vector<std::string>{"picture 4000x3000 at 0,0"});
}

TEST_F(Rendering, KeyZoomStretchesOpaquePicturesAndResamplesTransparentOnesTranslucent) {
    AddFile("small.bmp", 100, 50, 8, 0);
    AddFile("padded.bmp", 100, 50, 32, 0x00806040); // a fourth byte of 0 is no transparency
    AddFile("alpha.png", TranslucentPicture(100, 50));
    CreateAndOpen("small.bmp");
    Do(Action::ZoomIn);
    EXPECT_EQ(host_.blitDestination, (Rect{0, 0, 110, 55}));
    EXPECT_EQ(Shown().picture->bitsPerPixel(), 8); // the caption's depth stays the file's

    Open("padded.bmp");
    Do(Action::ZoomIn);
    EXPECT_FALSE(host_.translucent);
    EXPECT_EQ(host_.translucentFrames, 0);
    EXPECT_EQ(host_.blitDestination, (Rect{0, 0, 110, 55}));
    EXPECT_EQ(host_.surface[0], 0x00806040u);

    Open("alpha.png");
    Do(Action::ZoomIn);
    EXPECT_EQ(host_.geometry, (Rect{905, 513, 905 + 110, 513 + 55}));
    ASSERT_EQ(host_.translucentWidth, 110);
    EXPECT_EQ(host_.translucentPixels[55 * 110 / 2], 0x80643219u); // inside: the picture's colour
    EXPECT_EQ(host_.translucentPixels[54 * 110] >> 24, 0u);        // the transparent corner
}

TEST_F(Rendering, WithoutACompositorPartlyTransparentPixelsAreBlendedOverTheBackdrop) {
    // Over nothing, a window's pixels show as they are: blended here over the backdrop gray
    // (0xC8 * 128 + 250 * 127 + 127) / 255 = 225, and so on; fully transparent ones stay cut.
    constexpr uint32_t kBlended = 0xFFE1AF96u, kPremultiplied = 0x80643219u;
    platform_.composited = false;
    AddFile("alpha.png", TranslucentPicture(100, 50));
    CreateAndOpen("alpha.png");
    EXPECT_TRUE(host_.translucent);
    EXPECT_EQ(host_.translucentPixels[0], kBlended);
    EXPECT_EQ(host_.translucentPixels[49 * 100], 0x00000000u);

    // A compositor starting, then ending, draws the frame on show again for it; zoomed, at the
    // zoomed size.
    platform_.composited = true;
    window_.onCompositingChanged();
    EXPECT_EQ(host_.translucentPixels[0], kPremultiplied);
    Do(Action::ZoomIn);
    platform_.composited = false;
    const int frames = host_.translucentFrames;
    window_.onCompositingChanged();
    EXPECT_EQ(host_.translucentFrames, frames + 1);
    ASSERT_EQ(host_.translucentWidth, 110);
    EXPECT_EQ(host_.translucentPixels[55 * 110 / 2], kBlended);
    EXPECT_EQ(host_.translucentPixels[54 * 110] >> 24, 0u);
}

TEST_F(Rendering, CaptionsNameTheFileSizeDepthAndCamera) {
    CachedPicture jpeg, bmp, pasted;
    FakeDecoder::make(jpeg, "/photos/beach.jpg", 800, 600);
    std::strcpy(jpeg.cameraText, "Canon EOS 5D");
    EXPECT_EQ(FormatCaption(jpeg), "beach.jpg [800x600] , Canon EOS 5D");
    std::strcpy(jpeg.cameraText, "C"); // a single character is no camera text
    EXPECT_EQ(FormatCaption(jpeg), "beach.jpg [800x600]");
    // The stored decoded size, not the turned picture's.
    jpeg.picture->rotateQuarter(90);
    EXPECT_EQ(FormatCaption(jpeg), "beach.jpg [800x600]");

    FakeDecoder::make(bmp, "/a.b/LOGO.Bmp", 640, 480);
    std::strcpy(bmp.cameraText, "Canon");
    EXPECT_EQ(FormatCaption(bmp), "LOGO.Bmp [640x480x24]");
    FakeDecoder::make(pasted, "", 32, 16);
    EXPECT_EQ(FormatCaption(pasted), "Snapshot [32x16]");
}

TEST_F(Rendering, LongCaptionsKeepTheSizeAndNeverSplitACharacter) {
    std::string name;
    while (name.size() < 300)
        name += "\xC3\xA9"; // é, two bytes
    CachedPicture record;
    FakeDecoder::make(record, ("/p/" + name + ".jpg").c_str(), 10, 20);
    std::strcpy(record.cameraText, "Camera");
    const std::string caption = FormatCaption(record);
    EXPECT_LE(caption.size(), kCaptionLimit);
    EXPECT_EQ(caption.substr(caption.size() - 11), "\xE2\x80\xA6 [10x20]") << caption;
    EXPECT_NE(uint8_t(caption[caption.size() - 12]) & 0xC0, 0xC0); // no lone lead byte

    // A name that fits with a camera text that does not: the camera text is cut on a boundary.
    FakeDecoder::make(record, ("/p/" + name.substr(0, 230) + ".jpg").c_str(), 10, 20);
    std::strcpy(record.cameraText, "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"); // €€€€
    const std::string cut = FormatCaption(record);
    EXPECT_LE(cut.size(), kCaptionLimit);
    EXPECT_EQ(cut.find(" [10x20] , \xE2\x82\xAC"), 234u);
    EXPECT_EQ(cut.size(), 234u + 11 + 3 * 3); // three whole euro signs, the fourth cut away
}

std::vector<std::string> Rows(const std::string& text) {
    std::vector<std::string> rows(1);
    for (const char c : text) {
        if (c == '\n')
            rows.emplace_back();
        else
            rows.back().push_back(c);
    }
    return rows;
}

TEST(StartPageText, EveryKeyFacesItsActionAndABlankLineComesBeforeEachMap) {
    const std::vector<std::string> left = Rows(kHelpLeftColumn), right = Rows(kHelpRightColumn);
    ASSERT_EQ(int(left.size()), helpRows());
    for (std::size_t row = 0; row < left.size(); ++row) {
        const bool key = left[row].rfind("  ", 0) == 0 && row > 0;
        EXPECT_EQ(key, row < right.size() && right[row].rfind(": ", 0) == 0) << left[row];
        if (left[row].find("map") != std::string::npos) {
            EXPECT_EQ(left[row - 1], "") << row;
        }
    }
}

TEST_F(Rendering, StartPageIsTheMeasuredHelpTextWithItsTwoColumns) {
    platform_.extent = {8, 20};
    ASSERT_EQ(std::strlen(kStartPageMeasureLine), 50u);
    ASSERT_TRUE(window_.create(host_));
    // max(300, 50 * 8) and max(300, (19 rows + 1) * 20 + 100).
    EXPECT_EQ(host_.geometry.size(), (Size{400, 500}));
    RecordingCanvas canvas;
    window_.onPaint(canvas);
    // The page, then the close box in the top-right corner.
    EXPECT_EQ(canvas.calls, (std::vector<std::string>{"rectangle 400x500", "rectangle 400x16"}));
    ASSERT_EQ(canvas.texts.size(), 3u);
    EXPECT_EQ(canvas.texts[0].rect, (Rect{0, 20, 205, 500}));
    EXPECT_EQ(canvas.texts[0].format, unsigned(TextRight));
    EXPECT_EQ(canvas.texts[0].text, kHelpLeftColumn);
    EXPECT_EQ(canvas.texts[1].rect, (Rect{210, 20, 400, 500}));
    EXPECT_EQ(canvas.texts[1].format, unsigned(TextLeft));
    // The link: its text's extent (20 bytes of 8 x 20) and 10 x 4 more, 20 above the bottom.
    EXPECT_EQ(canvas.texts[2].text, kStartPageLinkText);
    EXPECT_EQ(canvas.texts[2].rect, (Rect{115, 456, 285, 480}));

    // Measured once: the page keeps its size. A small font still gets 300 x 300.
    platform_.extent = {1, 1};
    Do(Action::ShowStartPage);
    EXPECT_EQ(host_.geometry.size(), (Size{400, 500}));
    ViewerWindow small;
    FakeHost smallHost;
    ASSERT_TRUE(small.create(smallHost));
    EXPECT_EQ(smallHost.geometry.size(), (Size{300, 300}));
}

// F1 shows the start page centred even when locked; the picture behind it takes no key.
TEST_F(Rendering, HelpShowsTheStartPageCentredEvenWhenLocked) {
    platform_.settings = {{"LockPlace", "0"}, {"xLockPlace", "0"}, {"yLockPlace", "0"}};
    window_.readSettings();
    AddFile("a.png", 800, 600);
    CreateAndOpen("a.png");
    EXPECT_EQ(host_.geometry.left, 0);
    Do(Action::ShowStartPage);
    const Rect page{785, 360, 785 + 350, 360 + 360};
    EXPECT_EQ(host_.geometry, page);
    EXPECT_TRUE(host_.visible);
    for (Action action : {Action::NextPicture, Action::ToggleFitToScreen, Action::ZoomIn})
        Do(action);
    Do(Action::FitToScreenAtPointer, {1, 1});
    EXPECT_EQ(host_.geometry, page);
}

} // namespace
} // namespace vistrel::test
