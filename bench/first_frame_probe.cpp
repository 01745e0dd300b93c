// Starts a picture viewer and measures, on the X server of $DISPLAY, how long it takes until its
// picture is on the screen: the viewer's largest mapped top-level window exists and five sample
// points inside it (the centre and the points at a quarter and three quarters of each side) all
// show the picture's tint. Optionally then presses a key to step to the next picture, every
// `--delay-ms`, and measures each step the same way (the tint alternates from picture to picture).
// Or holds a key down for `--hold-ms` with the X server's own key repeat (500 ms delay, then 30
// presses a second, a desktop's usual setting) and counts the pictures that reach the screen.
//
//   vistrel-bench-probe --tint red|blue [--key KEYSYM (--steps N --delay-ms MS | --hold-ms MS)]
//                       -- COMMAND ARGS...
//
// Prints "first_ms=T", "peak_rss_kb=K" (the viewer's peak resident memory one second after its
// picture appeared) and one "step_ms=T" per step; "timeout" when something never showed. A held
// key prints "held_shown=N" (pictures shown while the key repeated) and "held_per_s=R".
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

enum class Tint { Red, Blue };

bool matches(unsigned long pixel, Tint tint) {
    const int r = int(pixel >> 16 & 0xFF), g = int(pixel >> 8 & 0xFF), b = int(pixel & 0xFF);
    if (tint == Tint::Red) return r >= 140 && r - std::max(g, b) >= 60;
    return b >= 140 && b - std::max(r, g) >= 60;
}

struct Found {
    Window window = 0;
    int x = 0, y = 0, width = 0, height = 0;
};

// The largest viewable child of the root window (without a window manager, the top-levels).
Found largestWindow(Display* display) {
    Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned count = 0;
    Found best;
    if (!XQueryTree(display, root, &root, &parent, &children, &count)) return best;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(display, children[i], &a) || a.map_state != IsViewable) continue;
        if (a.width < 64 || a.height < 64) continue;
        if (long(a.width) * a.height > long(best.width) * best.height)
            best = {children[i], a.x, a.y, a.width, a.height};
    }
    if (children) XFree(children);
    return best;
}

bool pictureShown(Display* display, Tint tint, Found* where) {
    const Found w = largestWindow(display);
    if (!w.window) return false;
    const int screenW = DisplayWidth(display, DefaultScreen(display));
    const int screenH = DisplayHeight(display, DefaultScreen(display));
    // Sample inside the part of the window that is on the screen.
    const int left = std::max(0, w.x), top = std::max(0, w.y);
    const int right = std::min(screenW, w.x + w.width), bottom = std::min(screenH, w.y + w.height);
    if (right - left < 8 || bottom - top < 8) return false;
    const int xs[] = {1, 2, 3}, ys[] = {1, 2, 3};
    for (int i : xs)
        for (int j : ys) {
            if ((i == 2) != (j == 2)) continue; // centre and the four quarter points
            const int x = left + (right - left) * i / 4, y = top + (bottom - top) * j / 4;
            XImage* image =
                XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
            if (!image) return false;
            const bool ok = matches(XGetPixel(image, 0, 0), tint);
            XDestroyImage(image);
            if (!ok) return false;
        }
    if (where) *where = w;
    return true;
}

double since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool waitFor(Display* display, Tint tint, double timeoutMs, Found* where) {
    const auto start = Clock::now();
    while (since(start) < timeoutMs) {
        if (pictureShown(display, tint, where)) return true;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return false;
}

// The tint all five sample points of `where` show (the window found for the first frame), if
// they agree on one: one image of the window's middle row and column, so that polling takes
// little of the display server's time from the viewer.
bool shownTint(Display* display, const Found& where, Tint* tint) {
    const int screenW = DisplayWidth(display, DefaultScreen(display));
    const int screenH = DisplayHeight(display, DefaultScreen(display));
    const int left = std::max(0, where.x), top = std::max(0, where.y);
    const int right = std::min(screenW, where.x + where.width);
    const int bottom = std::min(screenH, where.y + where.height);
    if (right - left < 8 || bottom - top < 8) return false;
    const int xs[] = {left + (right - left) / 4, left + (right - left) / 2,
                      left + (right - left) * 3 / 4};
    const int ys[] = {top + (bottom - top) / 4, top + (bottom - top) / 2,
                      top + (bottom - top) * 3 / 4};
    unsigned long pixels[5];
    int n = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            if ((i == 1) != (j == 1)) continue; // centre and the four quarter points
            XImage* image = XGetImage(display, DefaultRootWindow(display), xs[i], ys[j], 1, 1,
                                      AllPlanes, ZPixmap);
            if (!image) return false;
            pixels[n++] = XGetPixel(image, 0, 0);
            XDestroyImage(image);
        }
    for (const Tint candidate : {Tint::Red, Tint::Blue}) {
        bool all = true;
        for (unsigned long pixel : pixels)
            all = all && matches(pixel, candidate);
        if (all) {
            *tint = candidate;
            return true;
        }
    }
    return false;
}

// Holds `code` down for `holdMs` and counts the pictures shown once the key repeats: each new
// picture of the folder turns the screen to the other tint. A frame caught half drawn (the sample
// points disagree) counts as nothing.
void holdKey(Display* display, const Found& where, KeyCode code, Tint tint, int holdMs) {
    constexpr unsigned kRepeatDelayMs = 500, kRepeatIntervalMs = 33;
    XkbSetAutoRepeatRate(display, XkbUseCoreKbd, kRepeatDelayMs, kRepeatIntervalMs);
    XAutoRepeatOn(display);
    XSync(display, False);
    const auto pressed = Clock::now();
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XFlush(display);
    int shown = 0;
    while (since(pressed) < holdMs) {
        Tint now;
        if (shownTint(display, where, &now) && now != tint) {
            tint = now;
            if (since(pressed) >= kRepeatDelayMs) ++shown;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XFlush(display);
    const double repeating = (holdMs - kRepeatDelayMs) / 1000.0;
    std::printf("held_shown=%d\nheld_per_s=%.1f\n", shown, shown / repeating);
}

long peakRssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    Tint tint = Tint::Red;
    const char* key = nullptr;
    int steps = 0, delayMs = 2000, holdMs = 0, first = 0;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--")) {
            first = i + 1;
            break;
        }
        if (i + 1 >= argc) break;
        if (!std::strcmp(argv[i], "--tint"))
            tint = !std::strcmp(argv[++i], "blue") ? Tint::Blue : Tint::Red;
        else if (!std::strcmp(argv[i], "--key"))
            key = argv[++i];
        else if (!std::strcmp(argv[i], "--steps"))
            steps = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--delay-ms"))
            delayMs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--hold-ms"))
            holdMs = std::atoi(argv[++i]);
    }
    if (!first || first >= argc) {
        std::fprintf(stderr, "usage: vistrel-bench-probe --tint red|blue [--key K (--steps N "
                             "--delay-ms MS | --hold-ms MS)] -- COMMAND ARGS...\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no display\n");
        return 2;
    }
    if (pictureShown(display, tint, nullptr)) {
        std::fprintf(stderr, "the screen shows the tint already\n");
        return 2;
    }

    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[first], argv + first);
        _exit(127);
    }
    Found window;
    int result = 0;
    if (waitFor(display, tint, 30000, &window)) {
        std::printf("first_ms=%.1f\n", since(start));
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        std::printf("peak_rss_kb=%ld\n", peakRssKb(pid));
        if (key) {
            // Keys go to the window under the pointer or with the focus; give it both.
            XWarpPointer(display, None, window.window, 0, 0, 0, 0, window.width / 2,
                         window.height / 2);
            XSetInputFocus(display, window.window, RevertToPointerRoot, CurrentTime);
            XSync(display, False);
        }
        const KeyCode code = key ? XKeysymToKeycode(display, XStringToKeysym(key)) : 0;
        if (code && holdMs > 0) holdKey(display, window, code, tint, holdMs);
        if (code && steps > 0) {
            for (int s = 0; s < steps; ++s) {
                std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                tint = tint == Tint::Red ? Tint::Blue : Tint::Red;
                const auto pressed = Clock::now();
                XTestFakeKeyEvent(display, code, True, CurrentTime);
                XTestFakeKeyEvent(display, code, False, CurrentTime);
                XFlush(display);
                if (!waitFor(display, tint, 10000, nullptr)) {
                    std::printf("step_ms=timeout\n");
                    result = 1;
                    break;
                }
                std::printf("step_ms=%.1f\n", since(pressed));
                std::fflush(stdout);
            }
        }
    } else {
        std::printf("first_ms=timeout\n");
        result = 1;
    }
    kill(pid, SIGTERM);
    for (int i = 0; i < 200 && waitpid(pid, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (waitpid(pid, nullptr, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    XCloseDisplay(display);
    return result;
}
