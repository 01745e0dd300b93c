#include "Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace vistrel {

DecodeResult InputFile::open(const char* path) {
    close();
    // The name is looked at before it is opened, the open cannot block (the flag changes nothing
    // for a regular file's reads), and what was opened is looked at again, as the name may have
    // changed hands meanwhile.
    struct stat info {};
    if (::stat(path, &info) != 0) return Refusal::CannotOpen;
    if (!S_ISREG(info.st_mode)) return Refusal::NotRegularFile;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return Refusal::CannotOpen;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Refusal::NotRegularFile;
    }
    handle_ = fd;
    size_ = uint64_t(info.st_size);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return kOk;
}

void InputFile::close() {
    if (handle_ != kClosed) ::close(int(handle_));
    handle_ = kClosed;
    size_ = 0;
}

std::size_t InputFile::readAt(uint64_t offset, void* destination, std::size_t count) const {
    if (handle_ == kClosed || offset >= size_) return 0;
    auto* out = static_cast<uint8_t*>(destination);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(int(handle_), out + done, count - done, off_t(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += std::size_t(got);
    }
    return done;
}

bool OutputFile::create(const char* path) {
    close();
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat info {};
    regular_ = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    handle_ = fd;
    return true;
}

bool OutputFile::write(const void* data, std::size_t size) {
    if (handle_ == kClosed) return false;
    const auto* in = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t written = ::write(int(handle_), in, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        in += written;
        size -= std::size_t(written);
    }
    return true;
}

bool OutputFile::close() {
    if (handle_ == kClosed) return false;
    const bool closed = ::close(int(handle_)) == 0;
    handle_ = kClosed;
    return closed;
}

FileKind fileKind(const char* path) {
    struct stat info {};
    if (::stat(path, &info) != 0) return FileKind::Missing;
    if (S_ISREG(info.st_mode)) return FileKind::Regular;
    return S_ISDIR(info.st_mode) ? FileKind::Folder : FileKind::Other;
}

bool removeFile(const char* path) {
    return ::unlink(path) == 0;
}

bool makeFolder(const char* path) {
    return ::mkdir(path, 0777) == 0 || (errno == EEXIST && fileKind(path) == FileKind::Folder);
}

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

std::string absolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

std::string whyUnreadable(const char* path) {
    return ::access(path, R_OK) == 0 ? std::string() : std::strerror(errno);
}

std::string canonicalPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path plain = std::filesystem::canonical(path, error);
    return error ? path : plain.string();
}

std::string executablePath() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

} // namespace vistrel
