#include "DecodeResult.h"

#include <cstddef>

namespace vistrel {

namespace {

struct RefusalName {
    const char* word;
    const char* text;
};

// In the order of the enumeration.
constexpr RefusalName kNames[] = {
    {"none", "decoded"},
    {"unknown-format", "no decoder reads this kind of file"},
    {"no-decoder", "the decoder this file needs is not available"},
    {"not-regular-file", "not a regular file"},
    {"cannot-open", "the file cannot be opened"},
    {"truncated", "the file ends too early"},
    {"malformed", "the header or data is damaged"},
    {"unsupported", "a variant of the format that is not read"},
    {"too-large", "the picture or file is too large"},
    {"size-rule", "the header claims more picture than the data can fill"},
    {"over-budget", "the decode would pass its memory budget"},
    {"out-of-memory", "out of memory"},
};
static_assert(sizeof kNames / sizeof kNames[0] == std::size_t(Refusal::OutOfMemory) + 1);

const RefusalName& nameOf(Refusal refusal) {
    const auto index = std::size_t(refusal);
    return kNames[index < sizeof kNames / sizeof kNames[0] ? index : 0];
}

} // namespace

const char* refusalWord(Refusal refusal) {
    return nameOf(refusal).word;
}

const char* refusalText(Refusal refusal) {
    return nameOf(refusal).text;
}

} // namespace vistrel
