// Whether a compositing manager blends the desktop's windows, on X11: a compositor owns the
// selection _NET_WM_CM_S<screen> while it runs. Its owner is read at start and followed through
// XFixes selection events as compositors start and end. Without an X connection (Wayland) the
// desktop always composites.
#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>

namespace vistrel {

class X11CompositorWatch final : public QAbstractNativeEventFilter {
public:
    // Watches on the application's X connection; `changed` runs on the application's thread
    // when a compositor came or went.
    explicit X11CompositorWatch(std::function<void()> changed);
    ~X11CompositorWatch() override;
    X11CompositorWatch(const X11CompositorWatch&) = delete;
    X11CompositorWatch& operator=(const X11CompositorWatch&) = delete;

    bool compositing() const { return compositing_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::function<void()> changed_;
    bool compositing_ = true;
    bool watching_ = false;
    uint32_t selection_ = 0;      // the _NET_WM_CM_S<screen> atom
    uint8_t selectionNotify_ = 0; // the XFixes selection notify event's response type
};

} // namespace vistrel
