#include "Settings.h"

#include "Platform.h"

namespace vistrel {

bool ParseSettingValue(const std::string& text, int32_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + uint64_t(c - '0');
        if (magnitude > 0xFFFFFFFFull) return false; // longer than four bytes
    }
    if (negative) {
        if (magnitude > 0x80000000ull) return false;
        value = int32_t(-int64_t(magnitude));
    } else {
        value = int32_t(uint32_t(magnitude));
    }
    return true;
}

int32_t ReadSetting(const char* name) {
    std::string text;
    int32_t value = -1;
    if (!platform().readSetting(name, text) || !ParseSettingValue(text, value)) return -1;
    return value;
}

int32_t WriteSetting(const char* name, int32_t value) {
    return platform().writeSetting(name, value);
}

} // namespace vistrel
