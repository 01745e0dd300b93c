#include "QuitOnSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vistrel {

namespace {

// The handler only writes a byte to this pipe; the event loop reads it (the self-pipe: nothing
// else may be done inside a signal handler).
int signalPipe[2] = {-1, -1};

// The session ending, Ctrl+C, and the terminal the program was started from closing.
constexpr int kClosingSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

QuitOnSignals::QuitOnSignals(std::function<void()> close) : close_(std::move(close)) {
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        if (close_) close_();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // A program that does not end on the first signal (a decode that never returns) ends on the
    // second.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signal : kClosingSignals)
        ::sigaction(signal, &action, nullptr);
}

QuitOnSignals::~QuitOnSignals() {
    for (const int signal : kClosingSignals)
        ::signal(signal, SIG_DFL);
}

} // namespace vistrel
