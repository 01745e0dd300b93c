// The temporary files on Windows: <the user's temporary folder>/Vistrel/run-XXXXXXXX, one
// subfolder per running instance, which holds its "lock" file open without sharing it while it
// runs. The system closes that handle when the process ends in any way, so a later start can
// open the lock of an instance that crashed or was killed, and clears its subfolder.
#include "TemporaryFiles.h"

#include "Files.h"
#include "Wide.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace vistrel {

namespace {

constexpr const char* kInstancePrefix = "run-";
constexpr const char* kLockName = "lock";
// A subfolder without its lock file is one being made right now, unless it is older than this.
constexpr uint64_t kUnlockedGraceSeconds = 60;

struct Instance {
    std::string base;
    std::string folder;
    HANDLE lock = INVALID_HANDLE_VALUE;
};

std::mutex mutex;
Instance instance;
unsigned counter = 0;

// A name part no other instance or earlier call makes: the process, a counter and the clock.
std::string uniquePart() {
    char text[32];
    std::snprintf(text, sizeof text, "%05lx%03x%04x", GetCurrentProcessId() & 0xFFFFF,
                  ++counter & 0xFFF, unsigned(GetTickCount64() & 0xFFFF));
    return text;
}

// The lock file held without sharing: no one else may open it while this handle lives.
HANDLE openLock(const std::string& path, DWORD disposition) {
    return CreateFileW(systemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void removeFolder(const std::string& folder) {
    for (const std::string& name : listFolder(folder))
        removeFile((folder + "/" + name).c_str());
    RemoveDirectoryW(systemPath(folder).c_str());
}

void release(Instance& held) {
    // The lock goes first: a file open without sharing cannot be removed.
    if (held.lock != INVALID_HANDLE_VALUE) CloseHandle(held.lock);
    if (!held.folder.empty()) removeFolder(held.folder);
    held = Instance{};
}

bool makeFolder(const std::string& path) {
    return CreateDirectoryW(systemPath(path).c_str(), nullptr) ||
           GetLastError() == ERROR_ALREADY_EXISTS;
}

bool acquire(Instance& held) {
    const std::string base = TemporaryFilesFolder();
    if (held.lock != INVALID_HANDLE_VALUE && held.base == base) return true;
    release(held);
    if (!makeFolder(base) || fileKind(base.c_str()) != FileKind::Folder) return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string folder = base + "/" + kInstancePrefix + uniquePart();
        if (!CreateDirectoryW(systemPath(folder).c_str(), nullptr)) continue;
        const HANDLE lock = openLock(folder + "/" + kLockName, CREATE_NEW);
        if (lock == INVALID_HANDLE_VALUE) {
            removeFolder(folder);
            return false;
        }
        held = {base, folder, lock};
        return true;
    }
    return false;
}

// Seconds since the folder was last written to; 0 when it cannot be told.
uint64_t ageInSeconds(const std::string& folder) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(systemPath(folder).c_str(), GetFileExInfoStandard, &data)) return 0;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto value = [](const FILETIME& t) {
        return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime;
    };
    const uint64_t written = value(data.ftLastWriteTime), current = value(now);
    return current > written ? (current - written) / 10'000'000 : 0;
}

} // namespace

std::string TempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    std::string folder = length > 0 && length <= MAX_PATH ? programPath({buffer, length}) : ".";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string TemporaryFilesFolder() {
    // The temporary folder is the user's own on Windows.
    return TempFolder() + "/Vistrel";
}

std::string MakeTemporaryFile(const char* suffix) {
    const std::lock_guard<std::mutex> hold(mutex);
    if (!acquire(instance)) return {};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = instance.folder + "/vtl" + uniquePart() + suffix;
        const HANDLE file = CreateFileW(systemPath(name).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return {};
        }
        CloseHandle(file);
        return name;
    }
    return {};
}

void RemoveTemporaryFiles() {
    const std::lock_guard<std::mutex> hold(mutex);
    release(instance);
}

int ClearLeftoverTemporaryFiles() {
    const std::lock_guard<std::mutex> hold(mutex);
    const std::string base = TemporaryFilesFolder();
    int cleared = 0;
    for (const std::string& name : listFolder(base)) {
        if (name.rfind(kInstancePrefix, 0) != 0) continue;
        const std::string folder = base + "/" + name;
        if (folder == instance.folder || fileKind(folder.c_str()) != FileKind::Folder) continue;
        const HANDLE lock = openLock(folder + "/" + kLockName, OPEN_EXISTING);
        if (lock == INVALID_HANDLE_VALUE) {
            // A running instance holds it; or there is none yet: a subfolder being made now.
            if (GetLastError() == ERROR_SHARING_VIOLATION ||
                ageInSeconds(folder) < kUnlockedGraceSeconds)
                continue;
        } else {
            CloseHandle(lock);
        }
        removeFolder(folder);
        ++cleared;
    }
    return cleared;
}

} // namespace vistrel
