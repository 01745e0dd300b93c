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

TextExtent Platform::textExtent(const char* text) {
    return {7 * int(std::strlen(text)), 13};
}

Platform& platform() {
    Platform* p = installed.load(std::memory_order_acquire);
    return p ? *p : headless;
}

void installPlatform(Platform* p) {
    installed.store(p, std::memory_order_release);
}

} // namespace vistrel
