#include "Platform.h"

#include <atomic>
#include <cstring>

namespace vistrel {

namespace {

class HeadlessPlatform final : public Platform {
public:
    ScreenSize screenSize() override { return {1920, 1080}; }
    uint32_t version() override { return 0x0A00; }
    bool decodeSystemPicture(const uint8_t*, std::size_t, SystemImageSink&) override {
        return false;
    }
};

HeadlessPlatform headless;
std::atomic<Platform*> installed{nullptr};

// Overrides are set before any worker starts; atomics keep a late change well defined.
std::atomic<int> overrideWidth{0};
std::atomic<int> overrideHeight{0};
std::atomic<uint32_t> overrideVersion{0};

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

void overrideScreenSize(ScreenSize size) {
    overrideWidth = size.width;
    overrideHeight = size.height;
}

void overridePlatformVersion(uint32_t version) {
    overrideVersion = version;
}

void clearPlatformOverrides() {
    overrideWidth = 0;
    overrideHeight = 0;
    overrideVersion = 0;
}

ScreenSize screenSize() {
    const int w = overrideWidth, h = overrideHeight;
    if (w > 0 && h > 0) return {w, h};
    return platform().screenSize();
}

uint32_t platformVersion() {
    const uint32_t v = overrideVersion;
    return v ? v : platform().version();
}

} // namespace vistrel
