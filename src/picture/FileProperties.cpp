#include "FileProperties.h"

#include "ByteOrder.h"
#include "ByteSource.h"
#include "JpegMetadata.h"
#include "PictureFormat.h"
#include "PngMetadata.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace vistrel {

namespace {

struct Bytes {
    const uint8_t* data;
    std::size_t size;
    bool has(std::size_t offset, std::size_t count) const {
        return offset <= size && count <= size - offset;
    }
};

// Appends the code point as UTF-8.
void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | c >> 18);
        out += char(0x80 | (c >> 12 & 0x3F));
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Text of a file shown to a person: up to its first zero byte, control characters dropped, bytes
// above ASCII read as Latin-1 (what profile and EXIF texts in ASCII fields really hold).
std::string printable(const uint8_t* text, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length && text[i] != 0; ++i)
        if (text[i] >= 0x20 && text[i] != 0x7F) appendUtf8(out, text[i]);
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// --- ICC profiles: the 'desc' tag, of type 'desc' (version 2) or 'mluc' (version 4).

std::string profileDescription(Bytes icc) {
    if (!icc.has(128, 4)) return {};
    const uint32_t tags = bigEndian32(icc.data + 128);
    for (uint32_t i = 0; i < tags && icc.has(132 + std::size_t(i) * 12, 12); ++i) {
        const uint8_t* entry = icc.data + 132 + std::size_t(i) * 12;
        if (std::memcmp(entry, "desc", 4) != 0) continue;
        const uint32_t offset = bigEndian32(entry + 4), size = bigEndian32(entry + 8);
        if (!icc.has(offset, size) || size < 12) return {};
        const Bytes tag{icc.data + offset, size};
        if (std::memcmp(tag.data, "desc", 4) == 0) {
            const uint32_t length = bigEndian32(tag.data + 8);
            return printable(tag.data + 12, std::min<std::size_t>(length, tag.size - 12));
        }
        if (std::memcmp(tag.data, "mluc", 4) == 0 && tag.has(12, 4 + 12)) {
            // The first record's text, UTF-16 big-endian.
            const uint32_t length = bigEndian32(tag.data + 20), at = bigEndian32(tag.data + 24);
            if (!tag.has(at, length)) return {};
            std::string out;
            for (std::size_t k = 0; k + 1 < length; k += 2) {
                uint32_t c = bigEndian16(tag.data + at + k);
                if (c >= 0xD800 && c < 0xDC00 && k + 3 < length) {
                    const uint32_t low = bigEndian16(tag.data + at + k + 2);
                    if (low >= 0xDC00 && low < 0xE000) {
                        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                        k += 2;
                    }
                }
                if (c == 0) break;
                if (c < 0x20 || (c >= 0xD800 && c < 0xE000)) continue;
                appendUtf8(out, c);
            }
            return out;
        }
        return {};
    }
    return {};
}

// The profile's description, else "sRGB" for a file that declares sRGB without one.
void describeColor(const PictureMetadata& metadata, FileProperties& out) {
    if (!metadata.iccProfile.empty())
        out.profile = profileDescription({metadata.iccProfile.data(), metadata.iccProfile.size()});
    else if (metadata.declaredSrgb)
        out.profile = "sRGB";
}

} // namespace

FileProperties propertiesOfBytes(const uint8_t* data, std::size_t size) {
    FileProperties out;
    const Bytes file{data, std::min(size, kPropertiesWindowBytes)};
    const PictureFormat* format = formatOfBytes(file.data, file.size);
    if (!format) return out;
    out.format = format->name;
    // The same readers as the decoders': the properties say what the viewer makes of the file.
    PictureMetadata metadata;
    if (format->id == FormatId::Jpeg)
        readJpegMetadata(file.data, file.size, metadata);
    else if (format->id == FormatId::Png)
        readPngMetadata(file.data, file.size, metadata);
    describeColor(metadata, out);
    out.dateTaken = metadata.dateTaken;
    return out;
}

FileProperties readFileProperties(const char* path) {
    FileSource source;
    if (!source.open(path)) return {};
    std::vector<uint8_t> head(
        std::size_t(std::min<uint64_t>(source.size(), kPropertiesWindowBytes)));
    head.resize(source.readAt(0, head.data(), head.size()));
    FileProperties out = propertiesOfBytes(head.data(), head.size());
    // A file no signature names (a TGA, a WMF without its header) is named by its extension.
    if (out.format.empty())
        if (const PictureFormat* format = formatOfPath(path)) out.format = format->name;
    out.sizeKnown = true;
    out.bytes = source.size();
    return out;
}

} // namespace vistrel
