// Where a decoder reads a file's bytes from: the file itself, or memory (tests and fuzzing).
#pragma once

#include "DecodeResult.h"
#include "Files.h"

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
// FIFOs, devices and folders are refused without waiting (Refusal::NotRegularFile); a file that
// is missing or cannot be read is Refusal::CannotOpen.
class FileSource final : public ByteSource {
public:
    DecodeResult open(const char* path) { return file_.open(path); }
    uint64_t size() const override { return file_.size(); }
    std::size_t readAt(uint64_t offset, void* destination, std::size_t count) override {
        return file_.readAt(offset, destination, count);
    }

private:
    InputFile file_;
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

// Reads a source front to back through a buffer, for walks over many small pieces (segments,
// packets): one read of the source per buffer, however small the pieces.
class SourceReader {
public:
    explicit SourceReader(ByteSource& source, uint64_t offset = 0, std::size_t bufferSize = 4096);

    // Copies up to `count` bytes; returns how many there were.
    std::size_t read(void* destination, std::size_t count);
    // The next byte, or -1 at the end.
    int next() { return pos_ < end_ || refill() ? buffer_[pos_++] : -1; }
    void skip(uint64_t count);
    // Offset in the source of the next byte read.
    uint64_t position() const { return start_ + pos_; }

private:
    bool refill();

    ByteSource& source_;
    std::vector<uint8_t> buffer_;
    uint64_t start_;                // offset of the buffer's first byte
    std::size_t pos_ = 0, end_ = 0; // next byte and end of the bytes in the buffer
};

// Whole files larger than this are refused rather than read into memory.
inline constexpr uint64_t kMaxWholeFileBytes = uint64_t(1) << 30;

// Reads the whole source: refused when it is empty or cannot be read (truncated), or too large.
DecodeResult readWhole(ByteSource& source, std::vector<uint8_t>& bytes);
DecodeResult readWholeFile(const char* path, std::vector<uint8_t>& bytes);

} // namespace vistrel
