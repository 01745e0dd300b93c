// The format table is the one list of formats: what the desktop entry offers comes from its rows.
#include "PictureFormat.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace vistrel;

#ifndef _WIN32 // the desktop entry is the Linux build's
TEST(PictureFormats, TheDesktopEntryOffersTheTypesOfEveryRow) {
    std::string types = "MimeType=";
    for (const PictureFormat& format : pictureFormats())
        types += format.mimeTypes;
    std::ifstream entry(VISTREL_DESKTOP_ENTRY);
    std::string line;
    while (std::getline(entry, line) && line.rfind("MimeType=", 0) != 0) {
    }
    EXPECT_EQ(line, types) << "res/vistrel.desktop lists other types than the format table";
}
#endif

#if VISTREL_MODERN_FORMATS
// Files of the formats of today's phones and web are told by their first bytes as well as their
// names: a HEIF file by its brand (AVIF's own brand apart), JPEG XL as a bare codestream and in
// its container.
TEST(PictureFormats, SignaturesNameTheRowOfTheEncodersFiles) {
    const std::pair<const char*, FormatId> files[] = {
        {"modern/lossless.webp", FormatId::Webp}, {"modern/animated.webp", FormatId::Webp},
        {"modern/photo.heic", FormatId::Heif},    {"modern/lossless.avif", FormatId::Avif},
        {"modern/lossless.jxl", FormatId::Jxl},   {"modern/orient-6.jxl", FormatId::Jxl},
        {"modern/huge.jxl", FormatId::Jxl},
    };
    for (const auto& [name, id] : files) {
        SCOPED_TRACE(name);
        std::ifstream in(std::string(VISTREL_TESTDATA) + "/" + name, std::ios::binary);
        uint8_t head[16] = {};
        in.read(reinterpret_cast<char*>(head), sizeof head);
        const PictureFormat* format = formatOfBytes(head, std::size_t(in.gcount()));
        ASSERT_NE(format, nullptr);
        EXPECT_EQ(format->id, id);
    }
}
#endif
