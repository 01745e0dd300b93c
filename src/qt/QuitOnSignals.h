// SIGTERM, SIGINT and SIGHUP (a session ending, Ctrl+C in the terminal, the terminal closing) end
// the program the way closing the window does, so that what it leaves behind is cleared up; a
// second signal ends it at once.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace vistrel {

class QuitOnSignals final : public QObject {
public:
    // `close` runs on the event loop's thread when a signal arrives.
    explicit QuitOnSignals(std::function<void()> close);
    ~QuitOnSignals() override;
    QuitOnSignals(const QuitOnSignals&) = delete;
    QuitOnSignals& operator=(const QuitOnSignals&) = delete;

private:
    std::function<void()> close_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace vistrel
