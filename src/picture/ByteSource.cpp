#include "ByteSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel {

FileSource::~FileSource() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileSource::open(const char* path) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    // Only regular files are read. Opening anything else may wait or act: a FIFO named like a
    // picture blocks until a writer comes, a device may rewind or hang up. So the name is looked
    // at before it is opened, the open cannot block (the flag changes nothing for a regular
    // file's reads), and what was opened is looked at again, as the name may have changed hands.
    struct stat info {};
    if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    fd_ = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) return false;
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    size_ = uint64_t(info.st_size);
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

std::size_t FileSource::readAt(uint64_t offset, void* destination, std::size_t count) {
    if (fd_ < 0 || offset >= size_) return 0;
    auto* out = static_cast<uint8_t*>(destination);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd_, out + done, count - done, off_t(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += std::size_t(got);
    }
    return done;
}

std::size_t MemorySource::readAt(uint64_t offset, void* destination, std::size_t count) {
    if (offset >= size_) return 0;
    const std::size_t n = count < size_ - offset ? count : std::size_t(size_ - offset);
    std::memcpy(destination, data_ + offset, n);
    return n;
}

bool readWhole(ByteSource& source, std::vector<uint8_t>& bytes) {
    const uint64_t size = source.size();
    if (size == 0 || size > kMaxWholeFileBytes) return false;
    bytes.resize(std::size_t(size));
    const std::size_t got = source.readAt(0, bytes.data(), bytes.size());
    bytes.resize(got);
    return got > 0;
}

bool readWholeFile(const char* path, std::vector<uint8_t>& bytes) {
    FileSource file;
    return file.open(path) && readWhole(file, bytes);
}

} // namespace vistrel
