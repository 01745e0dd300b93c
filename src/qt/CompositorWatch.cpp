#include "CompositorWatch.h"

#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <string>

namespace vistrel {

X11CompositorWatch::X11CompositorWatch(std::function<void()> changed)
    : changed_(std::move(changed)) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return;
    // The screen the display name names (":0.1" is screen 1); its root window receives the events.
    char* host = nullptr;
    int display = 0, screenNumber = 0;
    if (!xcb_parse_display(nullptr, &host, &display, &screenNumber)) screenNumber = 0;
    std::free(host);
    xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screen.rem > 0; ++i)
        xcb_screen_next(&screen);
    if (screen.rem <= 0) return;
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present) {
        // Without XFixes the owner can still be read once; it is then not followed.
        xfixes = nullptr;
    }
    const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber);
    // Both requests go out before either reply is waited for.
    const xcb_intern_atom_cookie_t atomAsked =
        xcb_intern_atom(connection, 0, uint16_t(name.size()), name.c_str());
    xcb_xfixes_query_version_cookie_t versionAsked{};
    if (xfixes) versionAsked = xcb_xfixes_query_version(connection, 2, 0);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(connection, atomAsked, nullptr);
    if (xfixes) std::free(xcb_xfixes_query_version_reply(connection, versionAsked, nullptr));
    if (!atom) return;
    selection_ = atom->atom;
    std::free(atom);
    if (xfixes) {
        // Selected before the owner is read: a compositor starting in between is not missed.
        xcb_xfixes_select_selection_input(
            connection, screen.data->root, selection_,
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        selectionNotify_ = uint8_t(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
        QCoreApplication::instance()->installNativeEventFilter(this);
        watching_ = true;
    }
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection_), nullptr);
    compositing_ = owner && owner->owner != XCB_NONE;
    std::free(owner);
}

X11CompositorWatch::~X11CompositorWatch() {
    if (watching_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11CompositorWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != selectionNotify_) return false;
    const auto* notify = static_cast<const xcb_xfixes_selection_notify_event_t*>(message);
    if (notify->selection != selection_) return false;
    // A new owner (a compositor replacing another) or none: the window destroyed, the client gone.
    const bool compositing = notify->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER &&
                             notify->owner != XCB_NONE;
    if (compositing != compositing_) {
        compositing_ = compositing;
        if (changed_) changed_();
    }
    return false; // Qt follows selections of its own
}

} // namespace vistrel
