// The application: start-up in its fixed order, up to the event loop.
#pragma once

#include "ViewerWindow.h"
#include "WindowHost.h"

#include <string>

namespace vistrel {

class ViewerApp {
public:
    // Reads the fit and lock settings, opens the command line's picture before the window exists,
    // creates the window and lets the prefetch worker run. False when the window cannot be
    // created (the program then ends). The caller runs the event loop afterwards.
    bool start(ViewerWindow& window, WindowHost& host, const std::string& commandLine);
};

} // namespace vistrel
