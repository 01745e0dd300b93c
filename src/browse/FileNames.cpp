#include "FileNames.h"

#include "System.h"

#include <algorithm>
#include <cstdint>

namespace vistrel {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

char foldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Length of the well-formed UTF-8 sequence at `text[at]` and its code point; a byte that does not
// start one is taken alone as U+FFFD, so every input decodes and no name is lost.
std::size_t decodeUtf8(std::string_view text, std::size_t at, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(at);
    if (lead < 0x80) {
        code = lead ? lead : kReplacement; // a NUL would end the text handed to the collation
        return 1;
    }
    std::size_t length;
    char32_t value, minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        code = kReplacement;
        return 1;
    }
    if (text.size() - at < length) {
        code = kReplacement;
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            code = kReplacement;
            return 1;
        }
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and values past U+10FFFF are not characters.
    if (value < minimum || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
        code = kReplacement;
        return 1;
    }
    code = value;
    return length;
}

// The parts of a natural key. Each lies below every collation weight (the weights are moved up by
// kWeightShift), so that a text part ends where a part of another kind, or the name, begins: the
// shorter text first, as in the collation itself.
constexpr wchar_t kZerosPart = 0; // after the whole name: the leading zeros, the last tie-break
constexpr wchar_t kDotPart = 1;
constexpr wchar_t kNumberPart = 2;
constexpr wchar_t kTextPart = 3;
constexpr wchar_t kWeightShift = 4;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool matchesPattern(std::string_view name, std::string_view pattern) {
    constexpr std::size_t none = std::string_view::npos;
    std::size_t n = 0, p = 0;
    std::size_t starAt = none, resumeAt = 0; // last "*" seen and where its run would end next
    char32_t ignored;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            n += decodeUtf8(name, n, ignored);
            ++p;
        } else if (p < pattern.size() && foldAscii(pattern[p]) == foldAscii(name[n])) {
            ++n, ++p;
        } else if (starAt != none) {
            // Let the last "*" take one more character and try the rest of the pattern again.
            resumeAt += decodeUtf8(name, resumeAt, ignored);
            n = resumeAt;
            p = starAt + 1;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::wstring collationKey(std::string_view name) {
    std::u32string text;
    text.reserve(name.size());
    for (std::size_t at = 0; at < name.size();) {
        char32_t code;
        at += decodeUtf8(name, at, code);
        text.push_back(code);
    }
    return localeSortKey(text);
}

std::wstring naturalKey(std::string_view name) {
    std::wstring key, zeros(1, kZerosPart);
    key.reserve(name.size() + 8);
    // A "." or an ASCII digit never occurs inside a UTF-8 sequence: splitting there cuts none.
    for (std::size_t at = 0; at < name.size();) {
        if (name[at] == '.') {
            key.push_back(kDotPart);
            ++at;
            continue;
        }
        std::size_t end = at;
        if (isDigit(name[at])) {
            while (end < name.size() && isDigit(name[end]))
                ++end;
            std::size_t first = at;
            while (first < end && name[first] == '0')
                ++first;
            // More significant digits make a larger number; as many compare digit by digit, so
            // that runs of any length (beyond 64 bits) order by value.
            key.push_back(kNumberPart);
            key.push_back(static_cast<wchar_t>(std::min<std::size_t>(end - first, WCHAR_MAX)));
            for (std::size_t i = first; i < end; ++i)
                key.push_back(static_cast<wchar_t>(name[i]));
            zeros.push_back(static_cast<wchar_t>(std::min<std::size_t>(first - at, WCHAR_MAX)));
        } else {
            while (end < name.size() && name[end] != '.' && !isDigit(name[end]))
                ++end;
            key.push_back(kTextPart);
            for (const wchar_t weight : collationKey(name.substr(at, end - at)))
                key.push_back(static_cast<wchar_t>(weight + kWeightShift));
        }
        at = end;
    }
    return key + zeros;
}

std::string_view fileNameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
}

} // namespace vistrel
