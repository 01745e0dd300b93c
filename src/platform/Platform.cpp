#include "Platform.h"

#include <atomic>
#include <cstring>

namespace vistrel {

namespace {

class HeadlessPlatform final : public Platform {
public:
    Rect primaryScreen() override { return {0, 0, 1920, 1080}; }
    DecodeResult decodeSystemPicture(const uint8_t*, std::size_t, SystemImageSink&) override {
        return Refusal::NoDecoder;
    }
};

HeadlessPlatform headless;
std::atomic<Platform*> installed{nullptr};

} // namespace

bool ParseSettingValue(const std::string& text, int32_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + uint64_t(c - '0');
        if (magnitude > 0xFFFFFFFFull) return false; // longer than four bytes
    }
    if (negative) {
        if (magnitude > 0x80000000ull) return false;
        value = int32_t(-int64_t(magnitude));
    } else {
        value = int32_t(uint32_t(magnitude));
    }
    return true;
}

TextExtent Platform::textExtent(const char* text) {
    return {7 * int(std::strlen(text)), 13};
}

std::unique_ptr<FolderWatch> Platform::makeFolderWatch(const FolderWatch::Listener&) {
    return std::make_unique<InertFolderWatch>();
}

Platform& platform() {
    Platform* p = installed.load(std::memory_order_acquire);
    return p ? *p : headless;
}

void installPlatform(Platform* p) {
    installed.store(p, std::memory_order_release);
}

} // namespace vistrel
