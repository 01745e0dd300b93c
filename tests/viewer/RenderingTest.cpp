// Which of the three ways a picture is painted, what each hands to the window, the caption and
// the start page.
#include "FakeHost.h"
#include "StartPage.h"

namespace vistrel::test {
namespace {

using Rendering = ViewerTest;

// The plain path of opaque 24- and 32-bit pictures is checked by pixels in tests/e2e.
TEST_F(Rendering, TransparentPictureGoesTranslucentWithPremultipliedPixels) {
    CachedPicture& record = AddFile("/p/alpha.png", 64, 48, 32, 0x80C86432);
    // Alpha 0 at a corner, 128 elsewhere.
    record.picture->lockBits()[3] = 0;
    AddFile("/p/plain.png", 64, 48, 24);
    CreateAndOpen("/p/alpha.png");
    EXPECT_TRUE(host_.layered);
    EXPECT_TRUE(Window().layered);
    // White before the first translucent frame, so that nothing old shows while it changes.
    EXPECT_EQ(host_.lastCanvas.calls, std::vector<std::string>{"fill 64x48 16777215"});
    ASSERT_EQ(host_.layeredWidth, 64);
    // 0xC8 * 128 / 255 = 100, 0x64 * 128 / 255 = 50, 0x32 * 128 / 255 = 25, truncated.
    EXPECT_EQ(host_.layeredPixels[0], 0x80643219u);
    EXPECT_EQ(host_.layeredPixels[47 * 64], 0x00000000u); // memory row 0 is the bottom row

    ASSERT_TRUE(Window().OpenFile("/p/plain.png"));
    EXPECT_FALSE(host_.layered);
}

TEST_F(Rendering, PictureOfAnotherSizeIsStretchedKeepingItsAspect) {
    // An 8-bit picture larger than the screen has no fitted copy: the presenter stretches it.
    CachedPicture& record = AddFile("/p/big.bmp", 3000, 1000, 8, 0);
    RgbQuad* colors = record.picture->colorTable();
    colors[0] = {0x30, 0x20, 0x10, 0};
    colors[1] = {0x01, 0x02, 0x03, 0};
    record.picture->lockBits()[0] = 1; // bottom-left pixel
    CreateAndOpen("/p/big.bmp");
    EXPECT_EQ(Stored(), (Rect{0, 220, 1920, 860}));
    ASSERT_EQ(host_.blits, 1);
    EXPECT_EQ(host_.blitDestination, (Rect{0, 0, 1920, 640}));
    ASSERT_EQ(host_.surfaceWidth, 3000);
    EXPECT_EQ(host_.surface[0], 0x00102030u);                       // top-left
    EXPECT_EQ(host_.surface[std::size_t(999) * 3000], 0x00030201u); // bottom-left, from row 0
    EXPECT_TRUE(host_.lastCanvas.calls.empty());
}

TEST_F(Rendering, FittedCopyIsDrawnInsteadOfStretching) {
    CachedPicture& record = AddFile("/p/big.jpg", 4000, 3000);
    record.fitted = std::make_unique<Picture>();
    ASSERT_TRUE(record.fitted->create(1440, 1080, 32, true));
    uint8_t* bits = record.fitted->lockBits();
    for (uint32_t i = 3; i < record.fitted->imageSize(); i += 4)
        bits[i] = 255;
    CreateAndOpen("/p/big.jpg");
    EXPECT_EQ(host_.blits, 0);
    EXPECT_EQ(host_.lastCanvas.calls, std::vector<std::string>{"picture 1440x1080 at 0,0"});
    Window().OnKeyDown(Vk8); // fit off: natural size, the decoded picture
    EXPECT_EQ(host_.lastCanvas.calls, std::vector<std::string>{"picture 4000x3000 at 0,0"});
}

TEST(PresenterFit, MarginsAreSplitAndTheOddPixelStaysInside) {
    EXPECT_EQ(StretchPresenter::aspectFit({0, 0, 100, 100}, 200, 100), (Rect{0, 25, 100, 75}));
    EXPECT_EQ(StretchPresenter::aspectFit({0, 0, 100, 100}, 100, 200), (Rect{25, 0, 75, 100}));
    // Height 100 * 3 / 7 = 42, margin 58 / 2 = 29 from each side: 42 rows inside.
    EXPECT_EQ(StretchPresenter::aspectFit({0, 0, 100, 100}, 7, 3), (Rect{0, 29, 100, 71}));
    EXPECT_EQ(StretchPresenter::aspectFit({0, 0, 101, 100}, 1, 1), (Rect{0, 0, 101, 100}));
}

TEST_F(Rendering, KeyZoomStretchesThroughThePresenterWithoutChangingThePicture) {
    CachedPicture& record = AddFile("/p/small.bmp", 100, 50, 8, 0);
    CreateAndOpen("/p/small.bmp");
    Window().ZoomStep(true);
    EXPECT_EQ(host_.blitDestination, (Rect{0, 0, 110, 55}));
    EXPECT_EQ(record.picture->bitsPerPixel(), 8); // the caption's depth stays the file's
}

TEST_F(Rendering, KeyZoomOfA32BitPictureComposesAResampledTranslucentFrame) {
    CachedPicture& record = AddFile("/p/alpha.png", 100, 50, 32, 0x80C86432);
    record.picture->lockBits()[3] = 0; // one transparent corner
    CreateAndOpen("/p/alpha.png");
    Window().ZoomStep(true);
    EXPECT_EQ(host_.geometry, (Rect{905, 513, 905 + 110, 513 + 55}));
    ASSERT_EQ(host_.layeredWidth, 110);
    ASSERT_EQ(host_.layeredHeight, 55);
    EXPECT_EQ(host_.layeredPixels[55 * 110 / 2], 0x80643219u); // inside: the picture's colour
    EXPECT_EQ(host_.layeredPixels[54 * 110] >> 24, 0u);        // the transparent corner
}

TEST_F(Rendering, CaptionsNameTheFileSizeDepthAndCamera) {
    CachedPicture& jpeg = AddFile("/photos/beach.jpg", 800, 600);
    std::strcpy(jpeg.cameraText, "Canon EOS 5D");
    EXPECT_EQ(FormatCaption(jpeg), "beach.jpg [800x600] , Canon EOS 5D");
    std::strcpy(jpeg.cameraText, "C"); // a single character is no camera text
    EXPECT_EQ(FormatCaption(jpeg), "beach.jpg [800x600]");

    CachedPicture& bmp = AddFile("/a.b/LOGO.Bmp", 640, 480, 24);
    std::strcpy(bmp.cameraText, "Canon");
    EXPECT_EQ(FormatCaption(bmp), "LOGO.Bmp [640x480x24]");

    CachedPicture& pasted = AddFile("", 32, 16);
    EXPECT_EQ(FormatCaption(pasted), "Snapshot [32x16]");

    // The stored decoded size, not the turned picture's.
    jpeg.picture->rotateQuarter(90);
    EXPECT_EQ(FormatCaption(jpeg), "beach.jpg [800x600]");
}

TEST_F(Rendering, LongCaptionsKeepTheSizeAndNeverSplitACharacter) {
    std::string name;
    while (name.size() < 300)
        name += "\xC3\xA9"; // é, two bytes
    CachedPicture& record = AddFile("/p/" + name + ".jpg", 10, 20);
    std::strcpy(record.cameraText, "Camera");
    const std::string caption = FormatCaption(record);
    EXPECT_LE(caption.size(), kCaptionSize - 1);
    EXPECT_EQ(caption.substr(caption.size() - 11), "\xE2\x80\xA6 [10x20]") << caption;
    // Every character boundary intact: no lone lead or continuation byte.
    for (std::size_t i = 0; i < caption.size();) {
        const auto lead = uint8_t(caption[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xE0 ? 3 : 2;
        for (std::size_t k = 1; k < length; ++k)
            ASSERT_EQ(uint8_t(caption[i + k]) & 0xC0, 0x80) << i;
        i += length;
    }
    CreateAndOpen("/p/" + name + ".jpg");
    EXPECT_EQ(host_.title, caption);

    // A name that fits with a camera text that does not: the camera text is cut on a boundary.
    CachedPicture& shorter = AddFile("/p/" + name.substr(0, 230) + ".jpg", 10, 20);
    std::strcpy(shorter.cameraText, "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"); // €€€€
    const std::string cut = FormatCaption(shorter);
    EXPECT_LE(cut.size(), kCaptionSize - 1);
    EXPECT_EQ(cut.find(" [10x20] , \xE2\x82\xAC"), 234u);
    EXPECT_NE(uint8_t(cut.back()) & 0xC0, 0xC0);
}

TEST_F(Rendering, StartPageIsTheMeasuredHelpTextWithItsTwoColumns) {
    platform_.extent = {8, 20};
    ViewerWindow& w = Window();
    // max(300, 50 * 8) and max(300, 15 * 20 + 100).
    ASSERT_EQ(std::strlen(kStartPageMeasureLine), 50u);
    EXPECT_EQ(w.StartPageWidth(), 400);
    EXPECT_EQ(w.StartPageHeight(), 400);
    ASSERT_TRUE(w.Create(host_));
    w.Repaint();
    EXPECT_EQ(host_.lastCanvas.calls, std::vector<std::string>{"rectangle 400x400"});
    ASSERT_EQ(host_.lastCanvas.texts.size(), 2u);
    EXPECT_EQ(host_.lastCanvas.texts[0].rect, (Rect{0, 20, 205, 400}));
    EXPECT_EQ(host_.lastCanvas.texts[0].format, unsigned(TextRight));
    EXPECT_EQ(host_.lastCanvas.texts[0].text, kHelpLeftColumn);
    EXPECT_EQ(host_.lastCanvas.texts[1].rect, (Rect{210, 20, 400, 400}));
    EXPECT_EQ(host_.lastCanvas.texts[1].format, unsigned(TextLeft));

    platform_.extent = {1, 1}; // measured once: the page keeps its size
    EXPECT_EQ(w.StartPageWidth(), 400);
    // A small font still gets the 300 x 300 page.
    ViewerWindow small(std::make_unique<FakeSource>());
    EXPECT_EQ(small.StartPageWidth(), 300);
    EXPECT_EQ(small.StartPageHeight(), 300);
}

// F1 shows the start page centred even when locked; the picture behind it takes no key.
TEST_F(Rendering, HelpShowsTheStartPageCentredEvenWhenLocked) {
    AddFile("/p/a.png", 800, 600);
    Window().lockPlace = 0;
    CreateAndOpen("/p/a.png");
    EXPECT_EQ(Stored().left, 0);
    Window().OnHelp();
    EXPECT_TRUE(Window().startPage);
    const Rect page{785, 390, 785 + 350, 390 + 300};
    EXPECT_EQ(host_.geometry, page);
    EXPECT_TRUE(host_.visible);
    Window().OnKeyDown(VkRight); // nothing to step to
    Window().OnKeyDown(Vk8);
    Window().ZoomStep(true);
    Window().OnLButtonDblClk(0, {1, 1});
    EXPECT_EQ(Stored(), page);
    EXPECT_TRUE(Window().startPage);
}

} // namespace
} // namespace vistrel::test
