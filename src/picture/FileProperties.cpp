#include "FileProperties.h"

#include "ByteOrder.h"
#include "ByteSource.h"
#include "PictureFormat.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace vistrel {

namespace {

// A colour profile is kept whole to find its description; larger ones are not read.
constexpr std::size_t kLargestProfile = std::size_t(4) << 20;
// Directory entries read in one EXIF directory, at most.
constexpr uint32_t kMostEntries = 512;

constexpr uint8_t kExifIdentifier[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr char kIccIdentifier[] = "ICC_PROFILE"; // followed by a zero byte

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

// --- EXIF: DateTimeOriginal (0x9003) of the Exif directory, else DateTime (0x0132) of the first.

struct Tiff {
    Bytes block;
    bool little;
    uint16_t u16(std::size_t at) const { return read16(block.data + at, little); }
    uint32_t u32(std::size_t at) const { return read32(block.data + at, little); }

    // The value offset of `tag` in the directory at `directory`, with its count; false when the
    // directory does not hold it.
    bool find(uint32_t directory, uint16_t tag, uint32_t& count, uint32_t& valueAt) const {
        if (!block.has(directory, 2)) return false;
        const uint32_t entries = std::min<uint32_t>(u16(directory), kMostEntries);
        for (uint32_t i = 0; i < entries; ++i) {
            const std::size_t entry = directory + 2 + std::size_t(i) * 12;
            if (!block.has(entry, 12)) return false;
            if (u16(entry) != tag) continue;
            count = u32(entry + 4);
            valueAt = count <= 4 ? uint32_t(entry + 8) : u32(entry + 8);
            return true;
        }
        return false;
    }

    std::string date(uint32_t directory, uint16_t tag) const {
        uint32_t count = 0, at = 0;
        if (!find(directory, tag, count, at) || !block.has(at, count)) return {};
        std::string text = printable(block.data + at, count);
        // "YYYY:MM:DD HH:MM:SS" as a person reads a date; anything else as it is.
        if (text.size() == 19 && text[4] == ':' && text[7] == ':' && text[10] == ' ') {
            text[4] = '-';
            text[7] = '-';
        }
        // Cameras without a clock write blanks or zeros.
        if (text.find_first_not_of(" :0-") == std::string::npos) return {};
        return text;
    }
};

std::string exifDate(Bytes block) {
    if (!block.has(0, 8)) return {};
    Tiff tiff{block, block.data[0] == 'I'};
    if (!(block.data[0] == block.data[1] && (block.data[0] == 'I' || block.data[0] == 'M')) ||
        tiff.u16(2) != 42)
        return {};
    const uint32_t first = tiff.u32(4);
    uint32_t count = 0, exif = 0;
    // The Exif directory's offset is one LONG; a count that moves it out of the entry points
    // anywhere.
    if (tiff.find(first, 0x8769, count, exif) && block.has(exif, 4)) {
        if (const std::string taken = tiff.date(tiff.u32(exif), 0x9003); !taken.empty())
            return taken;
    }
    return tiff.date(first, 0x0132);
}

// --- JPEG: APP1 "Exif" and the APP2 "ICC_PROFILE" chunks, before the first scan.

void readJpeg(Bytes file, FileProperties& out) {
    std::vector<std::vector<uint8_t>> chunks;
    std::size_t at = 2;
    while (file.has(at, 4) && file.data[at] == 0xFF) {
        const uint8_t marker = file.data[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break; // the scan: no metadata follows
        const uint16_t length = bigEndian16(file.data + at + 2);
        if (length < 2 || !file.has(at + 2, length)) break;
        const Bytes segment{file.data + at + 4, std::size_t(length) - 2};
        if (marker == 0xE1 && out.dateTaken.empty() && segment.has(0, sizeof kExifIdentifier) &&
            std::memcmp(segment.data, kExifIdentifier, sizeof kExifIdentifier) == 0) {
            out.dateTaken = exifDate(
                {segment.data + sizeof kExifIdentifier, segment.size - sizeof kExifIdentifier});
        } else if (marker == 0xE2 && segment.has(0, sizeof kIccIdentifier + 2) &&
                   std::memcmp(segment.data, kIccIdentifier, sizeof kIccIdentifier) == 0) {
            // Chunk `sequence` (from 1) of `total`.
            const uint8_t sequence = segment.data[sizeof kIccIdentifier];
            const uint8_t total = segment.data[sizeof kIccIdentifier + 1];
            if (sequence >= 1 && sequence <= total) {
                chunks.resize(total);
                const uint8_t* from = segment.data + sizeof kIccIdentifier + 2;
                chunks[sequence - 1].assign(from, segment.data + segment.size);
            }
        }
        at += 2 + length;
    }
    // Only a profile whose every chunk is there.
    std::vector<uint8_t> profile;
    for (const auto& chunk : chunks) {
        if (chunk.empty()) return;
        profile.insert(profile.end(), chunk.begin(), chunk.end());
    }
    if (!profile.empty()) out.profile = profileDescription({profile.data(), profile.size()});
}

// --- PNG: iCCP (compressed profile), sRGB and eXIf, before the image data.

std::vector<uint8_t> inflated(Bytes compressed) {
    std::vector<uint8_t> out;
    z_stream z = {};
    if (inflateInit(&z) != Z_OK) return out;
    z.next_in = const_cast<Bytef*>(compressed.data);
    z.avail_in = uInt(std::min<std::size_t>(compressed.size, UINT32_MAX));
    int status = Z_OK;
    while (status == Z_OK && out.size() < kLargestProfile) {
        const std::size_t had = out.size();
        out.resize(std::min(kLargestProfile, had + 65536));
        z.next_out = out.data() + had;
        z.avail_out = uInt(out.size() - had);
        status = inflate(&z, Z_NO_FLUSH);
        out.resize(out.size() - z.avail_out);
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END) out.clear();
    return out;
}

void readPng(Bytes file, FileProperties& out) {
    std::size_t at = 8;
    while (file.has(at, 8)) {
        const uint32_t length = bigEndian32(file.data + at);
        const uint8_t* type = file.data + at + 4;
        if (std::memcmp(type, "IDAT", 4) == 0 || !file.has(at + 8, length)) break;
        const Bytes chunk{file.data + at + 8, length};
        if (std::memcmp(type, "iCCP", 4) == 0) {
            // A name of 1 to 79 bytes, its zero, the compression method, the profile.
            const auto* zero = static_cast<const uint8_t*>(std::memchr(chunk.data, 0, chunk.size));
            const std::size_t skip = zero ? std::size_t(zero - chunk.data) + 2 : chunk.size;
            if (skip < chunk.size) {
                const std::vector<uint8_t> icc = inflated({chunk.data + skip, chunk.size - skip});
                out.profile = profileDescription({icc.data(), icc.size()});
            }
        } else if (std::memcmp(type, "sRGB", 4) == 0 && out.profile.empty()) {
            out.profile = "sRGB";
        } else if (std::memcmp(type, "eXIf", 4) == 0) {
            out.dateTaken = exifDate(chunk);
        }
        at += std::size_t(12) + length;
    }
}

} // namespace

FileProperties propertiesOfBytes(const uint8_t* data, std::size_t size) {
    FileProperties out;
    const Bytes file{data, std::min(size, kPropertiesWindowBytes)};
    const PictureFormat* format = formatOfBytes(file.data, file.size);
    if (!format) return out;
    out.format = format->name;
    if (format->id == FormatId::Jpeg) readJpeg(file, out);
    if (format->id == FormatId::Png) readPng(file, out);
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
