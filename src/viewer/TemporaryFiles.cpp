#include "TemporaryFiles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel {

namespace {

constexpr const char* kInstancePrefix = "run-";
constexpr const char* kLockName = "lock";
// A subfolder without its lock file is one being made right now, unless it is older than this.
constexpr time_t kUnlockedGraceSeconds = 60;

// This instance's subfolder, made on first use and held by a lock on its lock file.
struct Instance {
    std::string base;
    std::string folder;
    int lock = -1;
};

std::mutex mutex;
Instance instance;

// A folder only this user can enter: made if missing; an existing one must be a real folder
// (not a link), the user's own, and closed to others, since files in it are handed to programs.
bool privateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

// Removes the files of a subfolder (it holds nothing else) and the subfolder.
void removeFolder(const std::string& folder) {
    if (DIR* dir = ::opendir(folder.c_str())) {
        const int fd = ::dirfd(dir);
        while (const dirent* entry = ::readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                ::unlinkat(fd, entry->d_name, 0);
        ::closedir(dir);
    }
    ::rmdir(folder.c_str());
}

void release(Instance& held) {
    if (!held.folder.empty()) removeFolder(held.folder);
    if (held.lock >= 0) ::close(held.lock);
    held = Instance{};
}

// This instance's subfolder under the current folder; a changed environment (tests) starts anew.
bool acquire(Instance& held) {
    const std::string base = TemporaryFilesFolder();
    if (held.lock >= 0 && held.base == base) return true;
    release(held);
    if (!privateFolder(base)) return false;
    std::string folder = base + "/" + kInstancePrefix + "XXXXXX";
    if (!::mkdtemp(folder.data())) return false;
    const int lock = ::open((folder + "/" + kLockName).c_str(),
                            O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        if (lock >= 0) ::close(lock);
        removeFolder(folder);
        return false;
    }
    held = {base, folder, lock};
    return true;
}

// The folder named by an environment variable, without a trailing "/"; `fallback` without one.
std::string folderFrom(const char* variable, const char* fallback) {
    const char* dir = std::getenv(variable);
    std::string folder = dir && *dir ? dir : fallback;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

} // namespace

std::string TempFolder() {
    return folderFrom("TMPDIR", "/tmp");
}

std::string TemporaryFilesFolder() {
    // The runtime folder is the user's own and is emptied when the user's last session ends.
    const std::string runtime = folderFrom("XDG_RUNTIME_DIR", "");
    struct stat info;
    if (runtime.size() > 1 && runtime[0] == '/' && ::stat(runtime.c_str(), &info) == 0 &&
        S_ISDIR(info.st_mode) && info.st_uid == ::geteuid())
        return runtime + "/vistrel";
    // A shared temporary folder: a name of the user's own.
    return TempFolder() + "/vistrel-" + std::to_string(::geteuid());
}

std::string MakeTemporaryFile(const char* suffix) {
    const std::lock_guard<std::mutex> hold(mutex);
    if (!acquire(instance)) return {};
    std::string name = instance.folder + "/vtlXXXXXX" + suffix;
    const int fd = ::mkstemps(name.data(), int(std::strlen(suffix)));
    if (fd < 0) return {};
    ::close(fd);
    return name;
}

void RemoveTemporaryFiles() {
    const std::lock_guard<std::mutex> hold(mutex);
    release(instance);
}

int ClearLeftoverTemporaryFiles() {
    const std::lock_guard<std::mutex> hold(mutex);
    const std::string base = TemporaryFilesFolder();
    struct stat info;
    if (::lstat(base.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return 0;
    DIR* dir = ::opendir(base.c_str());
    if (!dir) return 0;
    int cleared = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, kInstancePrefix, std::strlen(kInstancePrefix)) != 0)
            continue;
        const std::string folder = base + "/" + entry->d_name;
        if (folder == instance.folder) continue;
        const int lock = ::open((folder + "/" + kLockName).c_str(),
                                O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (lock < 0) {
            // No lock file: a subfolder being made now, or one left between its making and its
            // lock.
            if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
                std::time(nullptr) - info.st_mtime < kUnlockedGraceSeconds)
                continue;
        } else if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
            ::close(lock); // a running instance holds it
            continue;
        }
        removeFolder(folder);
        if (lock >= 0) ::close(lock);
        ++cleared;
    }
    ::closedir(dir);
    return cleared;
}

} // namespace vistrel
