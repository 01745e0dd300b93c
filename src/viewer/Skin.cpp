#include "Skin.h"

#include "Files.h"
#include "PictureFormat.h"
#include "PngDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace vistrel {

namespace {

// In the order of SkinPictures' slots: the background, then the buttons in StartButton order.
constexpr const char* kSkinFiles[] = {"Bkgnd.png", "BtnHelp.png", "BtnClose.png", "BtnLink.png"};

// A skin picture at most `largest` (its header says so before anything is decoded): the page is
// never larger than the screen, and a file that asks for more, however small (a deflate bomb the
// size rule lets through costs gigabytes), gives the plain page instead.
std::unique_ptr<Picture> loadSkinPicture(const std::string& path, Size largest) {
    if (!isRegularFile(path)) return nullptr;
    FileSource file;
    PictureHeader header;
    if (!file.open(path.c_str()) || !readPngHeader(file, header) || header.width > largest.width ||
        header.height > largest.height)
        return nullptr;
    auto picture = std::make_unique<Picture>();
    if (!decodePng(path.c_str(), *picture) || picture->empty()) return nullptr;
    return picture;
}

} // namespace

std::string findSkinFolder(const std::string& userData, const std::string& programFolder) {
    std::string candidates[3];
    if (!userData.empty()) candidates[0] = userData + "/Quorbane/Vistrel/UI/";
    if (!programFolder.empty()) {
        candidates[1] = programFolder + "/UI/";
        candidates[2] = programFolder + "/../share/vistrel/UI/";
    }
    for (const std::string& folder : candidates)
        if (!folder.empty() && isRegularFile(folder + kSkinFiles[0])) return folder;
    return {};
}

std::string userDataFolder() {
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return data;
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return std::string(home) + "/.local/share";
    return {};
}

void SkinPictures::setFolder(std::string folder) {
    folder_ = std::move(folder);
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
    for (auto& picture : pictures_)
        picture.reset();
    failed_ = {};
}

Picture* SkinPictures::background(bool load) {
    return get(0, load);
}

Picture* SkinPictures::button(StartButton button, bool load) {
    return get(1 + std::size_t(button), load);
}

void SkinPictures::retryFailed() {
    failed_ = {};
}

Picture* SkinPictures::get(std::size_t index, bool load) {
    if (pictures_[index] || !load || failed_[index] || folder_.empty())
        return pictures_[index].get();
    // The background as large as the screen, a button strip's four frames each as wide.
    const Rect screen = platform().primaryScreen();
    const Size largest{screen.width() * (index == 0 ? 1 : 4), screen.height()};
    pictures_[index] = loadSkinPicture(folder_ + kSkinFiles[index], largest);
    // The page is composed as a translucent frame, which only a 32-bit background gives.
    if (index == 0 && pictures_[0] && pictures_[0]->bitsPerPixel() != 32) pictures_[0].reset();
    failed_[index] = !pictures_[index];
    return pictures_[index].get();
}

Size frameSize(Picture& strip) {
    return {strip.width() / 4, strip.height()};
}

Rect skinButtonRect(StartButton button, Size background, Size frame) {
    switch (button) {
    case StartButton::Help:
        return {background.width - frame.width - 33, 8, background.width - 33, 8 + frame.height};
    case StartButton::Close:
        return {background.width - frame.width - 14, 8, background.width - 14, 8 + frame.height};
    case StartButton::Link: {
        const int left = (background.width - frame.width) / 2;
        return {left, background.height - frame.height - 23, left + frame.width,
                background.height - 23};
    }
    }
    return {};
}

std::optional<Rect> plainCloseRect(Size page, double scale) {
    const int side = std::max(16, int(std::lround(16 * scale)));
    if (page.width <= 2 * side || page.height <= 2 * side) return std::nullopt;
    return Rect{page.width - side, 0, page.width, side};
}

Rect plainLinkRect(Size page, TextExtent text) {
    const int width = text.width + 10, height = text.height + 4;
    const int left = (page.width - width) / 2, top = page.height - height - 20;
    return {left, top, left + width, top + height};
}

bool copyBlock(Picture& page, Point at, Picture& source, Rect from) {
    const int bits = page.bitsPerPixel();
    if (bits != source.bitsPerPixel() || bits % 8 != 0 || page.empty() || source.empty())
        return false;
    // The block's part within the source, then the columns and rows that fall on the page.
    from = {std::max(from.left, 0), std::max(from.top, 0), std::min(from.right, source.width()),
            std::min(from.bottom, source.height())};
    const int left = std::max(at.x, 0), right = std::min(at.x + from.width(), page.width());
    const int top = std::max(at.y, 0), bottom = std::min(at.y + from.height(), page.height());
    if (left >= right || top >= bottom) return true;
    const std::size_t pixel = std::size_t(bits / 8);
    const std::size_t bytes = std::size_t(right - left) * pixel;
    const std::size_t sourceColumn = std::size_t(from.left + left - at.x);
    const uint32_t toRow = page.rowSize(), fromRow = source.rowSize();
    uint8_t* to = page.pixels();
    const uint8_t* pixels = source.pixels();
    for (int y = top; y < bottom; ++y) {
        uint8_t* d = to + std::size_t(y) * toRow + std::size_t(left) * pixel;
        const uint8_t* s =
            pixels + std::size_t(from.top + y - at.y) * fromRow + sourceColumn * pixel;
        std::memcpy(d, s, bytes);
    }
    return true;
}

bool copyFrame(Picture& page, Point at, Picture& strip, int frame) {
    if (frame < 0 || frame > 3) return false;
    const Size size = frameSize(strip);
    return copyBlock(page, at, strip, Rect::at({size.width * frame, 0}, size));
}

} // namespace vistrel
