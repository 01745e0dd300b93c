// The folder watch on Linux: inotify on the folder, read on the event loop whenever the kernel
// has something for it (a QSocketNotifier on its descriptor).
#pragma once

#include "FolderWatch.h"

#include <QObject>

#include <string>

class QSocketNotifier;

namespace vistrel {

class InotifyFolderWatch final : public QObject, public FolderWatch {
public:
    // Without inotify (no descriptor to be had), a watch that reports nothing.
    explicit InotifyFolderWatch(Listener listener);
    ~InotifyFolderWatch() override;
    InotifyFolderWatch(const InotifyFolderWatch&) = delete;
    InotifyFolderWatch& operator=(const InotifyFolderWatch&) = delete;

    bool watch(const std::string& folder) override;

private:
    // Reads every event queued and reports the changes of the folder watched now.
    void readEvents();

    Listener listener_;
    int descriptor_ = -1;
    int watched_ = -1; // the folder's watch descriptor; -1 for none
    std::string folder_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace vistrel
