// File names come from the folder as any bytes: the listing-pattern match and the collation key
// must take every one of them. Input: pattern, a newline, then the name.
#include "FileNames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\n');
    const std::string_view pattern =
        split == std::string_view::npos ? std::string_view() : input.substr(0, split);
    const std::string_view name = split == std::string_view::npos ? input : input.substr(split + 1);
    vistrel::matchesPattern(name, pattern);
    vistrel::matchesPattern(pattern, name);
    // The key decides where a name is listed and found again: it must not vary.
    if (vistrel::collationKey(name) != vistrel::collationKey(name)) std::abort();
    // "*" followed by the name itself always matches it.
    std::string star = "*";
    star.append(name);
    if (name.find_first_of("*?") == std::string_view::npos && !vistrel::matchesPattern(name, star))
        std::abort();
    vistrel::fileNameOf(name);
    return 0;
}
