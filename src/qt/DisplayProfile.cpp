#include "DisplayProfile.h"

#include "IccProfile.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace vistrel {

X11DisplayProfile::X11DisplayProfile(std::function<void()> changed) : changed_(std::move(changed)) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return;
    auto* connection = x11->connection();
    connection_ = connection;
    xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(connection));
    if (screen.rem <= 0) return;
    root_ = screen.data->root;
    static constexpr char kName[] = "_ICC_PROFILE";
    // Both requests go out before either reply is waited for: one round trip.
    const xcb_intern_atom_cookie_t atomAsked =
        xcb_intern_atom(connection, 0, sizeof kName - 1, kName);
    const xcb_get_window_attributes_cookie_t attributesAsked =
        xcb_get_window_attributes(connection, root_);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(connection, atomAsked, nullptr);
    // Property changes of the root window reach this client (Qt asks for some of them already;
    // its own mask is kept).
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(connection, attributesAsked, nullptr);
    if (!atom) {
        std::free(attributes);
        return;
    }
    atom_ = atom->atom;
    std::free(atom);
    const uint32_t mask =
        (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
    std::free(attributes);
    xcb_change_window_attributes(connection, root_, XCB_CW_EVENT_MASK, &mask);
    read();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11DisplayProfile::~X11DisplayProfile() {
    if (atom_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

std::shared_ptr<const std::vector<uint8_t>> X11DisplayProfile::current() const {
    std::lock_guard guard(mutex_);
    return profile_;
}

void X11DisplayProfile::read() {
    auto* connection = static_cast<xcb_connection_t*>(connection_);
    // Lengths count 32-bit units; a profile larger than any real one is not read.
    const uint32_t most = uint32_t(kMaxProfileBytes / 4);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, root_, atom_, XCB_GET_PROPERTY_TYPE_ANY, 0, most), nullptr);
    std::shared_ptr<const std::vector<uint8_t>> profile;
    if (reply && reply->format == 8 && reply->bytes_after == 0) {
        const auto* bytes = static_cast<const uint8_t*>(xcb_get_property_value(reply));
        const int length = xcb_get_property_value_length(reply);
        if (length > 0)
            profile = std::make_shared<const std::vector<uint8_t>>(bytes, bytes + length);
    }
    std::free(reply);
    std::lock_guard guard(mutex_);
    profile_ = std::move(profile);
}

bool X11DisplayProfile::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !atom_) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return false;
    const auto* property = static_cast<const xcb_property_notify_event_t*>(message);
    if (property->window != root_ || property->atom != atom_) return false;
    const std::shared_ptr<const std::vector<uint8_t>> before = current();
    read();
    const std::shared_ptr<const std::vector<uint8_t>> after = current();
    const bool same = before && after ? *before == *after : before == after;
    if (!same && changed_) changed_();
    return false; // Qt may want it too
}

} // namespace vistrel
