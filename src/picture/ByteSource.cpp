#include "ByteSource.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

std::size_t MemorySource::readAt(uint64_t offset, void* destination, std::size_t count) {
    if (offset >= size_) return 0;
    const std::size_t n = count < size_ - offset ? count : std::size_t(size_ - offset);
    std::memcpy(destination, data_ + offset, n);
    return n;
}

SourceReader::SourceReader(ByteSource& source, uint64_t offset, std::size_t bufferSize)
    : source_(source), buffer_(bufferSize), start_(offset) {}

bool SourceReader::refill() {
    start_ += end_;
    pos_ = 0;
    end_ = source_.readAt(start_, buffer_.data(), buffer_.size());
    return end_ > 0;
}

std::size_t SourceReader::read(void* destination, std::size_t count) {
    auto* out = static_cast<uint8_t*>(destination);
    std::size_t done = 0;
    while (done < count) {
        if (pos_ == end_ && !refill()) break;
        const std::size_t n = std::min(count - done, end_ - pos_);
        std::memcpy(out + done, buffer_.data() + pos_, n);
        pos_ += n;
        done += n;
    }
    return done;
}

void SourceReader::skip(uint64_t count) {
    if (count <= end_ - pos_) {
        pos_ += std::size_t(count);
        return;
    }
    // Past the buffer: the next read starts where the skip ends.
    start_ = count > UINT64_MAX - position() ? UINT64_MAX : position() + count;
    pos_ = end_ = 0;
}

DecodeResult readWhole(ByteSource& source, std::vector<uint8_t>& bytes) {
    const uint64_t size = source.size();
    if (size > kMaxWholeFileBytes) return Refusal::TooLarge;
    bytes.resize(std::size_t(size));
    const std::size_t got = source.readAt(0, bytes.data(), bytes.size());
    bytes.resize(got);
    return got > 0 ? kOk : Refusal::Truncated;
}

DecodeResult readWholeFile(const char* path, std::vector<uint8_t>& bytes) {
    FileSource file;
    if (const DecodeResult opened = file.open(path); !opened) return opened;
    return readWhole(file, bytes);
}

} // namespace vistrel
