// The APNG reader on arbitrary bytes: the chunk walk with its sequence, rectangle and size
// checks, each frame's own PNG, and the composition of every frame (dispose and blend ops),
// twice round so that a loop's return to the first frame is composed too.
#include "ApngFrames.h"
#include "Picture.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto bytes = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    vistrel::Picture picture;
    std::shared_ptr<vistrel::Animation> animation;
    const std::optional<vistrel::DecodeResult> decoded =
        vistrel::decodeApng(bytes, picture, &animation);
    if (!decoded || !*decoded || !animation) return 0;
    const int width = picture.width(), height = picture.height(), bits = picture.bitsPerPixel();
    // Every frame a picture of the first one's size and depth.
    const int frames = animation->frameCount() * 2;
    for (int i = 1; i < frames && i < 512; ++i) {
        if (!animation->composeNext(picture)) return 0;
        if (picture.width() != width || picture.height() != height ||
            picture.bitsPerPixel() != bits)
            std::abort();
    }
    return 0;
}
