// Captions, menu texts and the camera text are cut to a byte limit: never inside a character.
#include "Utf8.h"

#include <gtest/gtest.h>

using namespace vistrel;

TEST(Utf8Prefix, ACutFallingInsideACharacterLeavesTheWholeCharacterOut) {
    const std::string text = "a\xC3\xA9z\xF0\x9F\x93\xB7"; // a, é (2 bytes), z, 📷 (4 bytes)
    EXPECT_EQ(utf8Prefix(text, 100), text.size());
    EXPECT_EQ(utf8Prefix(text, 1), 1u); // "a"
    EXPECT_EQ(utf8Prefix(text, 2), 1u); // half of é
    EXPECT_EQ(utf8Prefix(text, 3), 3u); // "aé"
    for (std::size_t limit = 4; limit < 8; ++limit)
        EXPECT_EQ(utf8Prefix(text, limit), 4u) << limit; // every cut inside 📷
    EXPECT_EQ(utf8Prefix(text, 8), 8u);
    EXPECT_EQ(utf8Prefix("\x80\x80\x80", 2), 0u); // stray continuation bytes: nothing to keep
}
