// Helpers for tests that decode generated files.
#pragma once

#include "Picture.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vistrel::test {

inline std::string testFile(const std::string& name) {
    return std::string(VISTREL_TESTDATA) + "/" + name;
}

inline std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The picture as 0xAARRGGBB words, top row first (pictures of 24 bits or fewer opaque).
inline std::vector<uint32_t> topDown(Picture& picture) {
    const int w = picture.width(), h = picture.height();
    std::vector<uint32_t> out(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        expandDibRow(*picture.info(), picture.colorTable(), picture.lockBits(), picture.rowSize(),
                     h - 1 - y, 0, w, out.data() + std::size_t(y) * std::size_t(w));
    picture.unlockBits();
    return out;
}

} // namespace vistrel::test
