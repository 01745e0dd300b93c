// The translucent frame's pixels: every colour at every alpha, through the four-at-a-time path
// and the one-at-a-time tail alike, as the formulas of Premultiply.h say.
#include "Premultiply.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vistrel {
namespace {

TEST(Premultiply, EveryColourAtEveryAlphaInEveryMode) {
    constexpr uint8_t kBackdrop = 250;
    // 65536 pixels: colour s at alpha a, the three colour bytes each a different function of s.
    std::vector<uint8_t> row(65536 * 4);
    for (unsigned s = 0; s < 256; ++s)
        for (unsigned a = 0; a < 256; ++a) {
            uint8_t* p = &row[(s * 256 + a) * 4];
            p[0] = uint8_t(s);
            p[1] = uint8_t(255 - s);
            p[2] = uint8_t(s * 7);
            p[3] = uint8_t(a);
        }
    for (const AlphaShown shown :
         {AlphaShown::Premultiplied, AlphaShown::OverBackdrop, AlphaShown::OverBlack}) {
        SCOPED_TRACE(int(shown));
        // Whole, and cut short by one to three pixels so that the tail takes the last ones.
        for (const int cut : {0, 1, 3}) {
            const int width = 65536 - cut;
            std::vector<uint8_t> out(row.size(), 0xAB);
            premultiplyRow(row.data(), out.data(), width, shown, kBackdrop);
            int wrong = 0;
            for (int i = 0; i < width && wrong < 5; ++i) {
                const uint8_t* s = &row[i * 4];
                const uint8_t* d = &out[i * 4];
                const unsigned a = s[3];
                for (int c = 0; c < 4; ++c) {
                    unsigned expected;
                    if (shown == AlphaShown::OverBackdrop && a == 0)
                        expected = 0;
                    else if (c == 3)
                        expected = shown == AlphaShown::Premultiplied ? a : 255;
                    else if (shown == AlphaShown::OverBackdrop)
                        expected = (s[c] * a + kBackdrop * (255 - a) + 127) / 255;
                    else
                        expected = s[c] * a / 255;
                    if (d[c] != expected) {
                        ADD_FAILURE() << "pixel " << i << " byte " << c << ": " << int(d[c])
                                      << " for " << expected;
                        ++wrong;
                    }
                }
            }
            if (cut) {
                EXPECT_EQ(out[width * 4], 0xAB) << "wrote past the row";
            }
        }
    }
}

// The row may be made ready where it lies.
TEST(Premultiply, InPlace) {
    std::vector<uint8_t> row = {200, 100, 50,  128, 10,  20, 30, 0,  1,  2,
                                3,   255, 255, 255, 255, 64, 90, 90, 90, 200};
    std::vector<uint8_t> apart(row.size());
    premultiplyRow(row.data(), apart.data(), 5, AlphaShown::Premultiplied, 0);
    premultiplyRow(row.data(), row.data(), 5, AlphaShown::Premultiplied, 0);
    EXPECT_EQ(row, apart);
}

} // namespace
} // namespace vistrel
