#include "Files.h"

#include "Wide.h"

#include <algorithm>

namespace vistrel {

namespace {

HANDLE handleOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t storedHandle(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

} // namespace

DecodeResult InputFile::open(const char* path) {
    close();
    const std::wstring name = systemPath(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Refusal::CannotOpen;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return Refusal::NotRegularFile;
    // Others may read, write, rename or delete the file meanwhile, as they may on Linux.
    const HANDLE file = CreateFileW(
        name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Refusal::CannotOpen;
    // A name such as "NUL", "CON" or a pipe's opens a device: nothing is read from it.
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return Refusal::NotRegularFile;
    }
    handle_ = storedHandle(file);
    size_ = uint64_t(size.QuadPart);
    return kOk;
}

void InputFile::close() {
    if (handle_ != kClosed) CloseHandle(handleOf(handle_));
    handle_ = kClosed;
    size_ = 0;
}

std::size_t InputFile::readAt(uint64_t offset, void* destination, std::size_t count) const {
    if (handle_ == kClosed || offset >= size_) return 0;
    auto* out = static_cast<uint8_t*>(destination);
    std::size_t done = 0;
    while (done < count) {
        // The offset goes with each read, so no read depends on another's file position.
        OVERLAPPED at{};
        const uint64_t from = offset + done;
        at.Offset = DWORD(from);
        at.OffsetHigh = DWORD(from >> 32);
        const DWORD want = DWORD(std::min<std::size_t>(count - done, std::size_t(1) << 30));
        DWORD got = 0;
        if (!ReadFile(handleOf(handle_), out + done, want, &got, &at) || got == 0) break;
        done += got;
    }
    return done;
}

bool OutputFile::create(const char* path) {
    close();
    const HANDLE file = CreateFileW(systemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    regular_ = GetFileType(file) == FILE_TYPE_DISK;
    handle_ = storedHandle(file);
    return true;
}

bool OutputFile::write(const void* data, std::size_t size) {
    if (handle_ == kClosed) return false;
    const auto* in = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const DWORD want = DWORD(std::min<std::size_t>(size, std::size_t(1) << 30));
        DWORD written = 0;
        if (!WriteFile(handleOf(handle_), in, want, &written, nullptr) || written == 0)
            return false;
        in += written;
        size -= written;
    }
    return true;
}

bool OutputFile::close() {
    if (handle_ == kClosed) return false;
    const bool closed = CloseHandle(handleOf(handle_)) != 0;
    handle_ = kClosed;
    return closed;
}

FileKind fileKind(const char* path) {
    const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::Folder;
    return attributes & FILE_ATTRIBUTE_DEVICE ? FileKind::Other : FileKind::Regular;
}

bool removeFile(const char* path) {
    return DeleteFileW(systemPath(path).c_str()) != 0;
}

bool makeFolder(const char* path) {
    return CreateDirectoryW(systemPath(path).c_str(), nullptr) != 0 ||
           fileKind(path) == FileKind::Folder;
}

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::wstring pattern = systemPath(folder);
    if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    // Every entry by its long name; the patterns are matched by the caller, so a short 8.3 name
    // never makes a file match twice.
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry,
                                           FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring_view name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        names.push_back(narrow(name));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

std::string absolutePath(const std::string& path) {
    const std::wstring name = systemPath(path);
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFullPathNameW(name.c_str(), DWORD(full.size()), full.data(), nullptr);
        if (length == 0) return path;
        if (length < full.size()) {
            full.resize(length);
            return programPath(full);
        }
        full.resize(length); // the length with the terminator: room for it now
    }
}

std::string whyUnreadable(const char* path) {
    const HANDLE file = CreateFileW(systemPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return {};
    }
    const DWORD error = GetLastError();
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words(text ? text : L"", length);
    LocalFree(text);
    // The system's message ends in a full stop and a line break.
    while (!words.empty() &&
           (words.back() == L'\n' || words.back() == L'\r' || words.back() == L'.'))
        words.pop_back();
    return words.empty() ? "error " + std::to_string(error) : narrow(words);
}

// GetFullPathNameW takes out "." and ".."; links stay, as Explorer shows them.
std::string canonicalPath(const std::string& path) {
    return absolutePath(path);
}

std::string executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return programPath(path);
        }
        path.resize(path.size() * 2); // cut short: try again with more room
    }
}

} // namespace vistrel
