#include "PngMetadata.h"

#include "ByteOrder.h"
#include "ExifReader.h"
#include "IccProfile.h"

#include <zlib.h>

#include <cmath>
#include <cstring>

namespace vistrel {

namespace {

constexpr uint32_t type(const char (&text)[5]) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 |
           uint32_t(uint8_t(text[2])) << 8 | uint32_t(uint8_t(text[3]));
}

// The zlib stream of an iCCP chunk, inflated; empty when it is damaged or too large.
std::vector<uint8_t> inflateProfile(const uint8_t* data, std::size_t size) {
    std::vector<uint8_t> out;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return out;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = uInt(size);
    int status = Z_OK;
    while (status == Z_OK) {
        const std::size_t had = out.size();
        if (had >= kMaxProfileBytes) break;
        out.resize(std::min(kMaxProfileBytes, had + 65536));
        stream.next_out = out.data() + had;
        stream.avail_out = uInt(out.size() - had);
        status = inflate(&stream, Z_NO_FLUSH);
        out.resize(out.size() - stream.avail_out);
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) out.clear();
    return out;
}

// Many writers (ImageMagick among them) mark every file with gAMA 45455 and the sRGB
// chromaticities: a pure 2.2 curve standing for sRGB's, which no viewer takes literally (its
// dark tones would move by up to nine levels). Within 2 % of that, and of sRGB's primaries, the
// numbers mean sRGB.
bool isSrgbByNumbers(const ColorDescription& d) {
    const ColorDescription srgb;
    const double* ours[] = {d.white, d.red, d.green, d.blue};
    const double* theirs[] = {srgb.white, srgb.red, srgb.green, srgb.blue};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 2; ++k)
            if (std::fabs(ours[i][k] - theirs[i][k]) > 0.01) return false;
    return std::fabs(d.gamma - 2.2) < 0.044;
}

} // namespace

void readPngMetadata(const uint8_t* data, std::size_t size, PictureMetadata& metadata) {
    metadata = {};
    bool haveProfile = false, haveGamma = false, haveChromaticities = false;
    uint32_t gamma = 0;
    ColorDescription described;
    described.transfer = ColorDescription::Transfer::Gamma;
    std::size_t at = 8; // after the signature
    while (size >= at && size - at >= 12) {
        const uint64_t length = bigEndian32(data + at);
        if (length > size - at - 12) break;
        const uint32_t chunk = bigEndian32(data + at + 4);
        const uint8_t* body = data + at + 8;
        if (chunk == type("IEND")) break;
        if (chunk == type("iCCP") && !haveProfile) {
            // A name of 1 to 79 bytes and its zero byte, the compression method (0), the stream.
            const auto* end = static_cast<const uint8_t*>(std::memchr(body, 0, length));
            const std::size_t nameBytes = end ? std::size_t(end - body) : 0;
            if (nameBytes >= 1 && nameBytes <= 79 && nameBytes + 2 <= length &&
                body[nameBytes + 1] == 0) {
                metadata.iccProfile =
                    inflateProfile(body + nameBytes + 2, std::size_t(length) - nameBytes - 2);
                haveProfile = !metadata.iccProfile.empty();
            }
        } else if (chunk == type("sRGB") && length == 1) {
            metadata.declaredSrgb = true;
        } else if (chunk == type("gAMA") && length == 4) {
            gamma = bigEndian32(body);
            haveGamma = gamma > 0;
        } else if (chunk == type("cHRM") && length == 32) {
            // White, red, green and blue x and y, each times 100000.
            double* places[8] = {&described.white[0], &described.white[1], &described.red[0],
                                 &described.red[1],   &described.green[0], &described.green[1],
                                 &described.blue[0],  &described.blue[1]};
            haveChromaticities = true;
            for (int i = 0; i < 8; ++i) {
                const uint32_t value = bigEndian32(body + 4 * i);
                *places[i] = value / 100000.0;
                if (value == 0 || value >= 100000) haveChromaticities = false;
            }
        } else if (chunk == type("eXIf") && metadata.orientation == 1 &&
                   metadata.cameraText.empty()) {
            ExifFacts facts;
            readExif(body, std::size_t(length), facts);
            metadata.orientation = facts.orientation;
            metadata.cameraText = facts.cameraText;
            metadata.dateTaken = facts.dateTaken;
        }
        at += std::size_t(length) + 12;
    }
    // The profile decides where there is one; an sRGB chunk stands for sRGB; numbers only
    // without either.
    if (haveProfile) {
        metadata.declaredSrgb = false;
    } else if (!metadata.declaredSrgb && haveGamma && haveChromaticities) {
        described.gamma = 100000.0 / gamma;
        if (isSrgbByNumbers(described))
            metadata.declaredSrgb = true;
        else
            metadata.described = described;
    }
}

} // namespace vistrel
