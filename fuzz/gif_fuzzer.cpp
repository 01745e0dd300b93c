// The GIF decoder on arbitrary bytes: the block walk, the LZW data and the composition of every
// frame (disposal, transparency, rectangles off the screen), twice round so that a loop's return
// to the first frame is composed too.
#include "GifDecoder.h"
#include "Picture.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto bytes = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    vistrel::Picture picture;
    std::shared_ptr<vistrel::Animation> animation;
    if (!vistrel::decodeGif(bytes, picture, &animation) || !animation) return 0;
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
