#include "ScreenGuess.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace vistrel {

std::optional<Size> guessScreenSize() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform && std::strncmp(platform, "xcb", 3) != 0) return std::nullopt;
    int number = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &number);
    std::optional<Size> size;
    // The connection's setup reply lists the screens: no request needs to be made.
    if (!xcb_connection_has_error(connection)) {
        xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (; screen.rem > 0 && number > 0; --number)
            xcb_screen_next(&screen);
        if (screen.rem > 0)
            size = Size{screen.data->width_in_pixels, screen.data->height_in_pixels};
    }
    xcb_disconnect(connection);
    return size;
}

} // namespace vistrel
