#include "JsonWriter.h"

#include <cmath>

namespace vistrel {

namespace {

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t utf8Length(const std::string& s, size_t i) {
    const auto b = uint8_t(s[i]);
    const size_t n = b < 0x80             ? 1
                     : (b & 0xE0) == 0xC0 ? 2
                     : (b & 0xF0) == 0xE0 ? 3
                     : (b & 0xF8) == 0xF0 ? 4
                                          : 0;
    if (n == 0 || (n == 2 && b < 0xC2) || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((uint8_t(s[i + k]) & 0xC0) != 0x80) return 0;
    return n;
}

} // namespace

JsonWriter& JsonWriter::value(double v) {
    if (!std::isfinite(v)) return null();
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return scalar(text);
}

JsonWriter& JsonWriter::color(uint32_t argb) {
    char text[16];
    std::snprintf(text, sizeof text, "#%08X", argb);
    return string(text);
}

JsonWriter& JsonWriter::open(char c) {
    separate();
    std::fputc(c, out_);
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::close(char c) {
    const bool empty = first_.back();
    first_.pop_back();
    if (!empty) {
        std::fputc('\n', out_);
        for (size_t i = 0; i < first_.size(); ++i)
            std::fputs("  ", out_);
    }
    std::fputc(c, out_);
    if (first_.empty()) std::fputc('\n', out_);
    return *this;
}

void JsonWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (first_.empty()) return;
    if (!first_.back()) std::fputc(',', out_);
    first_.back() = false;
    std::fputc('\n', out_);
    for (size_t i = 0; i < first_.size(); ++i)
        std::fputs("  ", out_);
}

void JsonWriter::writeString(const std::string& s) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const auto b = uint8_t(s[i]);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += char(b);
            ++i;
        } else if (b < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", b);
            out += esc;
            ++i;
        } else if (const size_t n = utf8Length(s, i)) {
            out.append(s, i, n);
            i += n;
        } else {
            appendUtf8(out, b); // not UTF-8: a Latin-1 byte
            ++i;
        }
    }
    out += '"';
    std::fputs(out.c_str(), out_);
}

std::string utf16beToUtf8(const uint8_t* data, uint32_t units) {
    std::string out;
    for (uint32_t i = 0; data && i < units; ++i) {
        uint32_t c = uint32_t(data[2 * i] << 8) | data[2 * i + 1];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
            const uint32_t low = uint32_t(data[2 * i + 2] << 8) | data[2 * i + 3];
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    // Names end at their first NUL, as Photoshop's do.
    const size_t nul = out.find('\0');
    return nul == std::string::npos ? out : out.substr(0, nul);
}

} // namespace vistrel
