#include "JpegMetadata.h"

#include "ByteOrder.h"
#include "ExifReader.h"
#include "IccProfile.h"

#include <cstring>
#include <vector>

namespace vistrel {

namespace {

constexpr uint8_t kApp1 = 0xE1;
constexpr uint8_t kApp2 = 0xE2;
// "ICC_PROFILE" and a zero byte, then the chunk's number (from 1) and the chunk count.
constexpr uint8_t kIccIdentifier[] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
constexpr std::size_t kIccChunkHead = sizeof kIccIdentifier + 2;

bool isFrameHeader(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

struct IccChunk {
    const uint8_t* data = nullptr;
    std::size_t size = 0;
};

} // namespace

int readJpegMetadata(const uint8_t* data, std::size_t size, PictureMetadata& metadata) {
    metadata = {};
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return 0;
    bool exifRead = false;
    int components = 0;
    // Chunks by number; a count that changes from chunk to chunk, or a number seen twice, spoils
    // the profile.
    std::vector<IccChunk> chunks;
    bool iccSpoiled = false;
    std::size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) {
            ++at; // stray bytes between segments, as the library passes them over
            continue;
        }
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) break; // end of image, or the first scan
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            at += 2;
            continue;
        }
        const std::size_t length = bigEndian16(data + at + 2);
        if (length < 2 || length > size - at - 2) break;
        const uint8_t* payload = data + at + 4;
        const std::size_t payloadSize = length - 2;
        if (marker == kApp1 && !exifRead && payloadSize >= 6 &&
            std::memcmp(payload, "Exif\0\0", 6) == 0) {
            ExifFacts facts;
            exifRead = readExif(payload, payloadSize, facts);
            metadata.orientation = facts.orientation;
            metadata.cameraText = facts.cameraText;
            metadata.dateTaken = facts.dateTaken;
        } else if (marker == kApp2 && payloadSize >= kIccChunkHead &&
                   std::memcmp(payload, kIccIdentifier, sizeof kIccIdentifier) == 0) {
            const unsigned number = payload[sizeof kIccIdentifier];
            const unsigned count = payload[sizeof kIccIdentifier + 1];
            if (chunks.empty()) chunks.resize(count);
            if (number == 0 || number > count || count != chunks.size() ||
                chunks[number - 1].data) {
                iccSpoiled = true;
            } else {
                chunks[number - 1] = {payload + kIccChunkHead, payloadSize - kIccChunkHead};
            }
        } else if (isFrameHeader(marker) && components == 0 && payloadSize >= 6) {
            components = payload[5];
        }
        at += 2 + length;
    }

    std::size_t total = 0;
    for (const IccChunk& chunk : chunks) {
        if (!chunk.data) iccSpoiled = true;
        total += chunk.size;
    }
    if (!iccSpoiled && !chunks.empty() && total <= kMaxProfileBytes) {
        metadata.iccProfile.reserve(total);
        for (const IccChunk& chunk : chunks)
            metadata.iccProfile.insert(metadata.iccProfile.end(), chunk.data,
                                       chunk.data + chunk.size);
    }
    return components;
}

} // namespace vistrel
