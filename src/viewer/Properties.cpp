#include "Properties.h"

#include "CachedPicture.h"
#include "FileNames.h"
#include "FileProperties.h"

#include <cstdio>

namespace vistrel {

namespace {

constexpr const char* kNone = "\u2014"; // an em dash: nothing known

std::string withThousands(uint64_t value) {
    std::string digits = std::to_string(value);
    for (int at = int(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(std::size_t(at), ",");
    return digits;
}

std::string orNone(std::string text) {
    return text.empty() ? kNone : text;
}

} // namespace

std::string FileSizeText(uint64_t bytes) {
    if (bytes < 1000) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const char* units[] = {"kB", "MB", "GB", "TB"};
    double value = double(bytes) / 1000;
    int unit = 0;
    while (value >= 999.95 && unit < 3) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return std::string(text) + " (" + withThousands(bytes) + " bytes)";
}

std::string PropertiesTitle(const CachedPicture& record) {
    if (record.path.empty()) return "Properties of the pasted picture";
    return "Properties of " + std::string(fileNameOf(record.path));
}

std::vector<PropertyRow> PropertiesOf(const CachedPicture& record) {
    const Size size = record.size();
    const std::string dimensions =
        std::to_string(size.width) + " \u00D7 " + std::to_string(size.height) + " pixels";
    if (record.path.empty()) return {{"Dimensions", dimensions}, {"Source", "the clipboard"}};
    const FileProperties file = readFileProperties(record.path.c_str());
    const std::string_view name = fileNameOf(record.path);
    return {
        {"Name", std::string(name)},
        {"Folder", record.path.substr(0, record.path.size() - name.size())},
        {"Size", file.sizeKnown ? FileSizeText(file.bytes) : kNone},
        {"Dimensions", dimensions},
        {"Format", orNone(file.format)},
        {"Colour profile", orNone(file.profile)},
        {"Camera", orNone(record.cameraText)},
        {"Date taken", orNone(file.dateTaken)},
    };
}

} // namespace vistrel
