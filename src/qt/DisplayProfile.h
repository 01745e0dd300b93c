// The display's colour profile on X11: the root window's _ICC_PROFILE property, which colour
// managers (colord, GNOME's and KDE's settings) set to the profile of the first monitor, read at
// start and again whenever it changes.
#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace vistrel {

class X11DisplayProfile final : public QAbstractNativeEventFilter {
public:
    // Reads the property on the application's X connection and watches it; without one (another
    // platform, no GUI) the profile stays null: sRGB. `changed` is called on the application's
    // thread after the profile changed.
    explicit X11DisplayProfile(std::function<void()> changed);
    ~X11DisplayProfile() override;
    X11DisplayProfile(const X11DisplayProfile&) = delete;
    X11DisplayProfile& operator=(const X11DisplayProfile&) = delete;

    // The profile's bytes; null when the property is not set.
    std::shared_ptr<const std::vector<uint8_t>> current() const;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void read();

    std::function<void()> changed_;
    void* connection_ = nullptr; // xcb_connection_t, owned by Qt
    uint32_t root_ = 0;
    uint32_t atom_ = 0;
    mutable std::mutex mutex_;
    std::shared_ptr<const std::vector<uint8_t>> profile_;
};

} // namespace vistrel
