// The one allocation helper for large pixel buffers (pictures, PSD planes, resampler scratch).
#pragma once

#include <cstddef>
#include <utility>

namespace vistrel {

// Blocks of this size and more are aligned to it and advised for transparent huge pages while the
// system has them free: filling a fresh 72 MB picture costs about 207 ms of page faults with
// 4 KiB pages, about 6 ms with 2 MB pages, which is more than the JPEG decode itself.
inline constexpr std::size_t kHugePageSize = std::size_t(2) << 20;

// Every picture's pixel block has this many zero bytes after its image: the alpha resampling
// reads one pixel past the end of the last row. A block made to become a picture's pixels (the
// PSD reader's merged pixels) is allocated with them too.
inline constexpr std::size_t kPixelSpareBytes = 16;

// What becomes of a large block when it is freed.
enum class AfterUse {
    // Kept resident for a while and cleared by an idle thread, so that the next block of the same
    // size (the next picture of a folder of photos, its screen copy) costs no page faults and no
    // clearing at all.
    Reuse,
    // Given back to the system at once: a scratch block that nothing of its size will follow.
    Release,
};

// Zero-filled memory of `bytes` bytes, or nullptr when it cannot be had (or `bytes` is 0).
// Release it with freeLarge and the same size.
void* allocateLarge(std::size_t bytes) noexcept;
void freeLarge(void* block, std::size_t bytes, AfterUse after = AfterUse::Reuse) noexcept;

// The blocks kept for reuse: at most this many bytes (default 256 MB; 0 keeps none), each for at
// most a few seconds after it was freed.
void setReusePoolLimit(std::size_t bytes) noexcept;
// Bytes kept for reuse now, and how many allocations a kept block has served so far.
std::size_t reusePoolBytes() noexcept;
std::size_t reusePoolHits() noexcept;
// Waits until every kept block is cleared (tests and benchmarks).
void waitForReusePoolCleared() noexcept;

// Owning handle for code that is not bound to a fixed memory layout.
class LargeBuffer {
public:
    LargeBuffer() = default;
    explicit LargeBuffer(std::size_t bytes, AfterUse after = AfterUse::Reuse)
        : data_(static_cast<unsigned char*>(allocateLarge(bytes))), size_(data_ ? bytes : 0),
          after_(after) {}
    LargeBuffer(LargeBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
          after_(other.after_) {}
    LargeBuffer& operator=(LargeBuffer&& other) noexcept {
        if (this != &other) {
            reset();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            after_ = other.after_;
        }
        return *this;
    }
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;
    ~LargeBuffer() { reset(); }

    void reset() noexcept {
        freeLarge(data_, size_, after_);
        data_ = nullptr;
        size_ = 0;
    }
    unsigned char* data() const { return data_; }
    std::size_t size() const { return size_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
    AfterUse after_ = AfterUse::Reuse;
};

} // namespace vistrel
