#include "InotifyFolderWatch.h"

#include <QSocketNotifier>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace vistrel {

namespace {

// What a file's arrival looks like whichever way a program writes it: written and closed in
// place (IN_CLOSE_WRITE), or written elsewhere and renamed over it or into the folder
// (IN_MOVED_TO: GIO's replace, as GIMP saves, krita, sed -i). IN_CREATE alone reports a file still
// empty; only a link or a folder is whole when made (see arrivedWhole). IN_MODIFY is left out:
// a file half written is no picture yet.
constexpr uint32_t kEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR;

// Whether an entry just made is whole: a regular file of one link is being written, and its
// IN_CLOSE_WRITE follows; a second link to a file, a symbolic link or a folder is not.
bool arrivedWhole(const std::string& path) {
    struct stat entry;
    if (::lstat(path.c_str(), &entry) != 0) return false; // gone again
    return !S_ISREG(entry.st_mode) || entry.st_nlink > 1;
}

} // namespace

InotifyFolderWatch::InotifyFolderWatch(Listener listener) : listener_(std::move(listener)) {
    descriptor_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor_ < 0) return;
    notifier_ = new QSocketNotifier(descriptor_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { readEvents(); });
}

InotifyFolderWatch::~InotifyFolderWatch() {
    delete notifier_; // before its descriptor closes
    if (descriptor_ >= 0) ::close(descriptor_);
}

bool InotifyFolderWatch::watch(const std::string& folder) {
    if (folder == folder_ && (watched_ >= 0 || folder.empty())) return true;
    if (watched_ >= 0) ::inotify_rm_watch(descriptor_, watched_);
    watched_ = -1;
    folder_ = folder;
    if (folder.empty()) return true;
    if (descriptor_ < 0) return false;
    watched_ = ::inotify_add_watch(descriptor_, folder.c_str(), kEvents);
    return watched_ >= 0;
}

void InotifyFolderWatch::readEvents() {
    std::vector<FolderChange> changes;
    // Room for many events at once; each one is aligned as the kernel writes it.
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(descriptor_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break; // EAGAIN: all read
        for (std::size_t at = 0; at + sizeof(inotify_event) <= std::size_t(got);) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* nameField = buffer + at + sizeof event;
            at += sizeof event + event.len;
            if (at > std::size_t(got)) break;
            if (event.mask & IN_Q_OVERFLOW) {
                if (watched_ >= 0) changes.push_back({FolderChange::Kind::Overflowed, folder_});
                continue;
            }
            // Events of a folder watched before, and of the folder itself, are not its files'.
            if (event.wd != watched_ || watched_ < 0 || event.len == 0) continue;
            const std::string path =
                folder_ + std::string(nameField, ::strnlen(nameField, event.len));
            if (event.mask & (IN_DELETE | IN_MOVED_FROM))
                changes.push_back({FolderChange::Kind::Removed, path});
            else if ((event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) ||
                     ((event.mask & IN_CREATE) && arrivedWhole(path)))
                changes.push_back({FolderChange::Kind::Written, path});
        }
    }
    // Reported once all are read: a listener may watch another folder meanwhile.
    const std::string folder = folder_;
    for (const FolderChange& change : changes) {
        if (folder_ != folder) break;
        if (listener_) listener_(change);
    }
}

} // namespace vistrel
