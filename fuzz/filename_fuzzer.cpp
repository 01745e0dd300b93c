// File names come from the folder as any bytes: the listing-pattern match and the collation and
// natural keys must take every one of them. Input: pattern, a newline, then the name (the
// pattern doubles as a second name).
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

    // Between names without digits or dots the natural order is the collation's own.
    const auto plain = [](std::string_view text) {
        return text.find_first_of("0123456789.") == std::string_view::npos;
    };
    if (plain(name) && plain(pattern)) {
        const int natural = vistrel::naturalKey(name).compare(vistrel::naturalKey(pattern));
        const int collated = vistrel::collationKey(name).compare(vistrel::collationKey(pattern));
        if ((natural < 0) != (collated < 0) || (natural > 0) != (collated > 0)) std::abort();
    }
    // A leading zero more on the first number orders after, never before or level.
    if (!name.empty() && name[0] >= '0' && name[0] <= '9') {
        const std::string padded = "0" + std::string(name);
        if (!(vistrel::naturalKey(name) < vistrel::naturalKey(padded))) std::abort();
    }
    return 0;
}
