// Where a decoder reads a file's bytes from: the file itself, or memory (tests and fuzzing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vistrel {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Copies up to `count` bytes from `offset`; returns how many there were (0 past the end).
    virtual std::size_t readAt(uint64_t offset, void* destination, std::size_t count) = 0;
};

// A regular file opened for reading with a sequential-scan hint; size measured once at open.
// FIFOs, devices and folders are refused without waiting.
class FileSource final : public ByteSource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool open(const char* path);
    uint64_t size() const override { return size_; }
    std::size_t readAt(uint64_t offset, void* destination, std::size_t count) override;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    uint64_t size() const override { return size_; }
    std::size_t readAt(uint64_t offset, void* destination, std::size_t count) override;

private:
    const uint8_t* data_;
    std::size_t size_;
};

// Whole files larger than this are refused rather than read into memory.
inline constexpr uint64_t kMaxWholeFileBytes = uint64_t(1) << 30;

// Reads the whole source; false when it is empty, too large or cannot be read.
bool readWhole(ByteSource& source, std::vector<uint8_t>& bytes);
bool readWholeFile(const char* path, std::vector<uint8_t>& bytes);

} // namespace vistrel
