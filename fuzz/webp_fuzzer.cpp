// The WebP header reader and decoder on arbitrary bytes, at the viewer's limits (pictures past
// the decode floor are read, not decoded: LargePictureCap.h); an animation's frames after the
// first are composed too, twice round so that a loop's return to the first is composed as well.
// Half the inputs go through the scaled decode of the reduced first frame instead.
#include "Animation.h"
#include "LargePictureCap.h"
#include "Picture.h"
#include "WebpDecoder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::MemorySource source(data, size);
    vistrel::PictureHeader header;
    vistrel::readWebpHeader(source, header);
    if (!vistrel::decodeWithinFuzzMemory(header)) return 0;
    vistrel::Picture picture;
    vistrel::PictureMetadata metadata;
    if (size % 2) {
        // To a third the size.
        vistrel::ReducedDecode reduced;
        reduced.atLeast = [](vistrel::Size stored, uint8_t) {
            return vistrel::Size{stored.width / 3, stored.height / 3};
        };
        vistrel::decodeWebp(data, size, picture, metadata, &reduced);
        return 0;
    }
    if (!vistrel::decodeWebp(data, size, picture, metadata) || !metadata.animation) return 0;
    vistrel::Animation& animation = *metadata.animation;
    const int width = picture.width(), height = picture.height(), bits = picture.bitsPerPixel();
    // Every frame a picture of the first one's size and depth.
    const int frames = animation.frameCount() * 2;
    for (int i = 1; i < frames && i < 64; ++i) {
        if (!animation.composeNext(picture)) return 0;
        if (picture.width() != width || picture.height() != height ||
            picture.bitsPerPixel() != bits)
            std::abort();
    }
    return 0;
}
