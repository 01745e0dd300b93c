// The format table is the one list of formats: what the desktop entry offers comes from its rows.
#include "PictureFormat.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace vistrel;

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
