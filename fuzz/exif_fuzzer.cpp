// The EXIF walker and the JPEG segment walk that finds it over arbitrary bytes: offsets that
// point anywhere, directories that point at themselves, counts past the block.
#include "ExifReader.h"
#include "JpegMetadata.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    vistrel::ExifFacts facts;
    vistrel::readExif(data, size, facts);
    if (facts.orientation < 1 || facts.orientation > 8) std::abort();
    // Make, a space and Model, each read from inside the block.
    if (facts.cameraText.size() > 2 * size + 1) std::abort();
    vistrel::PictureMetadata metadata;
    vistrel::readJpegMetadata(data, size, metadata);
    if (metadata.iccProfile.size() > size) std::abort();
    return 0;
}
