// UTF-8 inside the program, UTF-16 at the Windows calls: the conversions, and paths turned from
// the program's form ("/" between names) into the system's ("\") and back.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace vistrel {

// A byte that belongs to no valid UTF-8 sequence becomes U+FFFD.
inline std::wstring widen(std::string_view text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(std::size_t(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

// A lone surrogate becomes U+FFFD.
inline std::string narrow(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(std::size_t(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), length, nullptr,
                            nullptr);
    return utf8;
}

// The program's path as the system's calls take it.
inline std::wstring systemPath(std::string_view path) {
    std::wstring wide = widen(path);
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    return wide;
}

// A path the system handed over, in the program's form.
inline std::string programPath(std::wstring_view path) {
    std::string utf8 = narrow(path);
    for (char& c : utf8)
        if (c == '\\') c = '/';
    return utf8;
}

} // namespace vistrel
