// What a decode answers: the picture was made, or why it was not. Every decoder returns it, the
// system picture decoder too, so that a refusal says which guard refused (a test can tell a size
// rule refusal from a damaged header) and a person can be told why a file did not open. A bad
// header and a variant the program does not read are kept apart: the first is the file's fault,
// the second ours.
#pragma once

#include <cstdint>

namespace vistrel {

enum class Refusal : uint8_t {
    None,           // decoded
    UnknownFormat,  // no decoder of the program reads this file name or these bytes
    NoDecoder,      // the decoder the file needs is missing (no system picture decoder)
    NotRegularFile, // a folder, a FIFO, a device: only regular files are read
    CannotOpen,     // missing, or not readable
    Truncated,      // the file ends before its header or data does
    Malformed,      // a header or data that breaks the format's rules
    Unsupported,    // a valid file of a variant the program does not read
    TooLarge,       // more pixels than any picture may have, or a file past what is read whole
    SizeRule,       // the header claims far more picture than its data can fill (DecodeLimits.h)
    OverBudget,     // the decode would pass its memory budget
    OutOfMemory,    // an allocation failed
};

// One word for logs and tools ("size-rule"), and a short sentence.
const char* refusalWord(Refusal refusal);
const char* refusalText(Refusal refusal);

class DecodeResult {
public:
    // Decoded.
    constexpr DecodeResult() = default;
    // Refused for `refusal` (Refusal::None stands for decoded).
    constexpr DecodeResult(Refusal refusal) : refusal_(refusal) {}

    constexpr bool ok() const { return refusal_ == Refusal::None; }
    constexpr explicit operator bool() const { return ok(); }
    constexpr Refusal refusal() const { return refusal_; }
    const char* word() const { return refusalWord(refusal_); }
    const char* text() const { return refusalText(refusal_); }

private:
    Refusal refusal_ = Refusal::None;
};

// Decoded, or for the steps of a decode (an open, a header read): done.
inline constexpr DecodeResult kOk{};

} // namespace vistrel
