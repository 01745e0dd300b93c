#include "Animation.h"

#include "ColorManagement.h"
#include "Orientation.h"
#include "Picture.h"
#include "PictureFormat.h"

#include <bit>
#include <cstring>

namespace vistrel {

DecodeResult Animation::composeNext(Picture& frame) {
    const DecodeResult made = compose(frame);
    if (!made) return made;
    orientPicture(frame, finish_.orientation);
    if (finish_.color) convertWith(*finish_.color, frame);
    return made;
}

// GIF's and APNG's canvases are words 0xAARRGGBB, read here as the bytes they are in memory.
static_assert(std::endian::native == std::endian::little);

DecodeResult copyCanvas(const uint8_t* canvas, int width, int height, bool alpha,
                        Picture& picture) {
    if (const DecodeResult made = createPicture(picture, width, height, alpha ? 32 : 24); !made)
        return made;
    const std::size_t from = std::size_t(width) * 4;
    const uint32_t stride = picture.rowSize();
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = canvas + std::size_t(y) * from;
        uint8_t* to = picture.pixels() + std::size_t(y) * stride;
        if (alpha) {
            std::memcpy(to, in, from);
            continue;
        }
        for (int x = 0; x < width; ++x, in += 4, to += 3) {
            to[0] = in[0];
            to[1] = in[1];
            to[2] = in[2];
        }
    }
    return kOk;
}

} // namespace vistrel
