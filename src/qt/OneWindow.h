// One window for the user's pictures: a start of the program while a window runs hands its
// pictures to that window instead of opening one of its own. The running window answers on the
// session bus as `com.quorbane.Vistrel` (the org.freedesktop.Application interface, files as
// file URIs); every window lines up for the name, so that when the one holding it closes, the
// next one takes over. Without a session bus every start simply opens its own window.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vistrel {

class OneWindow {
public:
    // What the running window does with what a later start hands over, on the event loop: the
    // pictures (absolute paths; several are the list to step through), or none (come to the
    // front). False when the window is closing: the start then opens a window of its own.
    using OpenCall = std::function<bool(const std::vector<std::string>& paths)>;

    // Connects to the session bus, when there is one, and lines up for the name. Needs the
    // application object; waits on the bus only for short, bounded calls.
    OneWindow();
    ~OneWindow();
    OneWindow(const OneWindow&) = delete;
    OneWindow& operator=(const OneWindow&) = delete;

    // Hands `paths` to the window that holds the name. True when that window took them (this
    // start then ends); false when there is no bus or no other window, when it runs on another
    // display, or when it did not answer within a second or two (it may be stopped or hung):
    // then this start opens a window of its own.
    bool handOver(const std::vector<std::string>& paths);

    // From now on what later starts hand over goes to `open`.
    void serve(OpenCall open);

private:
    struct Receiver;
    std::unique_ptr<Receiver> receiver_;
    bool holdsName_ = false;
};

} // namespace vistrel
