// Cutting UTF-8 text to a byte limit without splitting a character.
#pragma once

#include <cstddef>
#include <string_view>

namespace vistrel {

// The length of the longest prefix of `text` of at most `limit` bytes that ends on a character
// boundary: a cut never leaves half a character on screen.
inline std::size_t utf8Prefix(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text.size();
    std::size_t end = limit;
    // Continuation bytes (10xxxxxx) belong to the character the cut falls in, which goes too.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

} // namespace vistrel
