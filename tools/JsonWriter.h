// A small streaming JSON writer: two-space indentation, keys in the order written, strings
// escaped (bytes that are not UTF-8 are taken as Latin-1, as old PSD writers' names are).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

namespace vistrel {

class JsonWriter {
public:
    explicit JsonWriter(std::FILE* out) : out_(out) {}

    JsonWriter& beginObject() { return open('{'); }
    JsonWriter& endObject() { return close('}'); }
    JsonWriter& beginArray() { return open('['); }
    JsonWriter& endArray() { return close(']'); }
    JsonWriter& key(const char* name) {
        separate();
        writeString(name);
        std::fputs(": ", out_);
        afterKey_ = true;
        return *this;
    }
    JsonWriter& value(int64_t v) { return scalar(std::to_string(v)); }
    JsonWriter& value(double v);
    JsonWriter& boolean(bool v) { return scalar(v ? "true" : "false"); }
    JsonWriter& null() { return scalar("null"); }
    JsonWriter& string(const std::string& s) {
        separate();
        writeString(s);
        return *this;
    }
    // "#AARRGGBB"
    JsonWriter& color(uint32_t argb);
    // A member in one call.
    template <class T> JsonWriter& field(const char* name, T v) {
        key(name);
        if constexpr (std::is_same_v<T, bool>)
            return boolean(v);
        else if constexpr (std::is_floating_point_v<T>)
            return value(double(v));
        else if constexpr (std::is_integral_v<T>)
            return value(int64_t(v));
        else
            return string(v);
    }

private:
    JsonWriter& open(char c);
    JsonWriter& close(char c);
    JsonWriter& scalar(const std::string& text) {
        separate();
        std::fputs(text.c_str(), out_);
        return *this;
    }
    void separate();
    void writeString(const std::string& s);

    std::FILE* out_;
    std::vector<bool> first_; // per open level: nothing written in it yet
    bool afterKey_ = false;
};

// Big-endian UTF-16 (as PSD files store names) to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16beToUtf8(const uint8_t* data, uint32_t units);

} // namespace vistrel
