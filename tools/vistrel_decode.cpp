// vistrel-decode: loads one file the way the viewer does, headlessly, and reports what came out.
//
//   vistrel-decode [--screen WxH] [--large-area-copies-only] [--no-jpeg-library]
//                  [--display-profile FILE.icc] [--frames DIR] FILE [OUT.png [FITTED.png]]
//
// Prints one line: ok=1 width=W height=H bpp=B decoded_width=W0 decoded_height=H0
// camera="TEXT" fitted=WxH|none profile="DESCRIPTION" (or ok=0 reason=WORD when the load
// failed, WORD saying why:
// truncated, malformed, size-rule, ...) and writes the picture, and its
// screen-sized copy when one was made, as PNG. It runs as the viewer does at start-up, before
// its window exists: large reductions take the fast averaging path. --large-area-copies-only
// makes screen copies as a desktop without every capability would: only for pictures of about
// two screens of area or more. Colours are converted from the file's profile to sRGB, or to the
// profile --display-profile names, as the viewer converts them to the display's; DESCRIPTION
// names the file's colour space (empty when it states none).
// An animated file adds frames=N delays=D1,D2,... (milliseconds, as the window shows them: under
// 20 ms counts as 100) loops=L (how many times it plays through; 0 for ever) to the line.
// --frames DIR writes every composed frame at natural size, oriented and converted as the first,
// as DIR/0001.png, DIR/0002.png, ... (DIR is made when its parent folder exists).
// Exit status: 0 loaded, 1 not loaded, 2 bad usage or unwritable output.

#include "Animation.h"
#include "ByteSource.h"
#include "CachedPicture.h"
#include "Files.h"
#include "JpegDecoder.h"
#include "Platform.h"
#include "PngWriter.h"
#include "System.h"

#ifdef _WIN32
#include "WinPlatform.h"
#else
#include "QtPlatform.h"
#include <QGuiApplication>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace vistrel;

namespace {

int usage(const char* message) {
    std::fprintf(stderr, "vistrel-decode: %s\n", message);
    std::fprintf(stderr, "usage: vistrel-decode [--screen WxH] [--large-area-copies-only] "
                         "[--no-jpeg-library] [--display-profile FILE.icc] [--frames DIR] FILE "
                         "[OUT.png "
                         "[FITTED.png]]\n");
    return 2;
}

// The picture as 0xAARRGGBB words: 24 bits and below opaque, 32 bits with their alpha.
std::vector<uint32_t> argbPixels(Picture& picture) {
    const int w = picture.width(), h = picture.height();
    std::vector<uint32_t> pixels(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        expandBitmapRow(*picture.info(), picture.colorTable(), picture.pixels(), picture.rowSize(),
                        y, 0, w, pixels.data() + std::size_t(y) * std::size_t(w));
    return pixels;
}

bool savePicture(const std::string& path, Picture& picture) {
    return writePng(path.c_str(), picture.width(), picture.height(), argbPixels(picture),
                    picture.bitsPerPixel() == 32);
}

// The frame's name in DIR: 0001.png for the first.
std::string frameName(const std::string& folder, int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "/%04d.png", frame + 1);
    return folder + name;
}

// Writes the first frame (as shown) and every frame after it, finished the same way; false when a
// file cannot be written or a frame cannot be made.
bool saveFrames(const std::string& folder, Picture& first, Animation* animation) {
    if (!savePicture(frameName(folder, 0), first)) return false;
    if (!animation) return true;
    Picture frame;
    for (int i = 1; i < animation->frameCount(); ++i)
        if (!animation->composeNext(frame) || !savePicture(frameName(folder, i), frame))
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> positional;
    std::string framesFolder;
    ScreenCopyPolicy policy; // at start-up, before the window exists
    const std::vector<std::string> arguments = programArguments(argc, argv);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--screen" && i + 1 < arguments.size()) {
            int w = 0, h = 0;
            if (std::sscanf(arguments[++i].c_str(), "%dx%d", &w, &h) != 2 || w <= 0 || h <= 0)
                return usage("--screen takes WxH, e.g. 1920x1080");
            policy.screen = {w, h};
        } else if (arg == "--large-area-copies-only") {
            policy.capabilities.screenCopyForEveryLargerPicture = false;
        } else if (arg == "--no-jpeg-library") {
            disableJpegLibrary();
        } else if (arg == "--display-profile" && i + 1 < arguments.size()) {
            auto profile = std::make_shared<std::vector<uint8_t>>();
            if (!readWholeFile(arguments[++i].c_str(), *profile))
                return usage(("cannot read " + arguments[i]).c_str());
            policy.color.displayProfile = std::move(profile);
        } else if (arg == "--frames" && i + 1 < arguments.size()) {
            framesFolder = arguments[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage(("unknown option " + arg).c_str());
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.empty() || positional.size() > 3) return usage("one FILE expected");

#ifdef _WIN32
    WinPlatform systemPlatform;
#else
    // Qt finds its image reader plugins through the application, and a metafile's text needs
    // its fonts: a GUI application, on no display unless one is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QtPlatform systemPlatform;
#endif
    installPlatform(&systemPlatform);

    // Paths are absolute in the viewer; a bare name would have no folder to find its extension in.
    const std::string path = absolutePath(positional[0]);
    CachedPicture record;
    const DecodeResult loaded = record.load(path.c_str(), policy);
    if (!loaded) {
        std::printf("ok=0 reason=%s\n", loaded.word());
        return 1;
    }
    Picture& picture = *record.picture;
    std::string fitted = "none";
    if (record.fitted && !record.fitted->empty())
        fitted =
            std::to_string(record.fitted->width()) + "x" + std::to_string(record.fitted->height());
    std::printf("ok=1 width=%d height=%d bpp=%d decoded_width=%d decoded_height=%d camera=\"%s\" "
                "fitted=%s profile=\"%s\"",
                picture.width(), picture.height(), picture.bitsPerPixel(), record.width,
                record.height, record.cameraText, fitted.c_str(), record.colorSpace.c_str());
    if (Animation* animation = record.animation.get()) {
        std::string delays;
        for (int delay : animation->delays())
            delays += (delays.empty() ? "" : ",") + std::to_string(delay);
        std::printf(" frames=%d delays=%s loops=%d\n", animation->frameCount(), delays.c_str(),
                    animation->plays());
    } else {
        std::printf("\n");
    }

    if (!framesFolder.empty()) {
        if (!makeFolder(framesFolder.c_str()) ||
            !saveFrames(framesFolder, picture, record.animation.get()))
            return usage(("cannot write frames to " + framesFolder).c_str());
    }
    if (positional.size() >= 2 && !savePicture(positional[1], picture))
        return usage(("cannot write " + positional[1]).c_str());
    if (positional.size() == 3 && record.fitted && !record.fitted->empty() &&
        !savePicture(positional[2], *record.fitted))
        return usage(("cannot write " + positional[2]).c_str());
    return 0;
}
