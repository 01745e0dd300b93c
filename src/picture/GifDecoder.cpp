#include "GifDecoder.h"

#include "ByteOrder.h"
#include "DecodeLimits.h"
#include "GifFrames.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

namespace {

constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kGraphicControl = 0xF9;
constexpr uint8_t kApplication = 0xFF;
constexpr int kMaxCodes = 4096; // LZW codes are at most 12 bits wide

enum class Disposal : uint8_t { Keep, Background, Previous };

// One image of the file and what its graphic control extension said of it.
struct Frame {
    std::size_t palette = 0; // offset of its colour table (local, else global); 0 for none
    int paletteSize = 0;     // entries
    std::size_t data = 0;    // offset of its LZW minimum code size, the sub-blocks after it
    uint64_t dataBytes = 0;  // LZW bytes present
    int left = 0, top = 0, width = 0, height = 0;
    int transparent = -1; // the index drawn as nothing, or -1
    bool interlaced = false;
    Disposal disposal = Disposal::Keep;
    int delay = 0; // milliseconds as stored
};

struct Index {
    int width = 0, height = 0; // the canvas: the screen widened to the first frame
    int plays = 1;
    std::vector<Frame> frames;
};

// Walks the blocks once. A frame counts when its descriptor and code size are present; the walk
// ends at the trailer, at a block that is none of GIF's, or where the data ends.
DecodeResult indexGif(const uint8_t* bytes, std::size_t size, Index& index) {
    if (size < 6 || (std::memcmp(bytes, "GIF87a", 6) != 0 && std::memcmp(bytes, "GIF89a", 6) != 0))
        return Refusal::UnknownFormat; // another format's bytes, which the system decoder may know
    if (size < kGifHeaderAndScreen) return Refusal::Truncated;
    const uint8_t screenPacked = bytes[10];
    const std::size_t globalBytes = gifColorTableBytes(screenPacked);
    const std::size_t global = globalBytes ? kGifHeaderAndScreen : 0;
    std::size_t at = kGifHeaderAndScreen + globalBytes;
    Frame pending; // the graphic control of the next image
    while (at < size && bytes[at] != kTrailer) {
        if (bytes[at] == kGifExtension) {
            if (size - at < 3) break;
            const uint8_t label = bytes[at + 1];
            const std::size_t body = at + 2;
            if (label == kGraphicControl && bytes[body] >= 4 && size - body >= 5) {
                const uint8_t packed = bytes[body + 1];
                const int method = (packed >> 2) & 7;
                pending.disposal = method == 2   ? Disposal::Background
                                   : method == 3 ? Disposal::Previous
                                                 : Disposal::Keep;
                pending.delay = littleEndian16(bytes + body + 2) * 10;
                pending.transparent = (packed & 1) ? bytes[body + 4] : -1;
            } else if (label == kApplication && bytes[body] == 11 && size - body >= 17 &&
                       (std::memcmp(bytes + body + 1, "NETSCAPE2.0", 11) == 0 ||
                        std::memcmp(bytes + body + 1, "ANIMEXTS1.0", 11) == 0) &&
                       bytes[body + 12] >= 3 && bytes[body + 13] == 1) {
                // The repeat count: plays after the first, 0 for ever.
                const int repeats = littleEndian16(bytes + body + 14);
                index.plays = repeats == 0 ? 0 : repeats + 1;
            }
            uint64_t ignored = 0;
            at = skipGifSubBlocks(bytes, size, body, ignored);
            continue;
        }
        if (bytes[at] != kGifImageIntroducer) break;
        if (size - at < kGifImageDescriptor + 1) break;
        Frame frame = pending;
        pending = {};
        const uint8_t* d = bytes + at;
        frame.left = littleEndian16(d + 1);
        frame.top = littleEndian16(d + 3);
        frame.width = littleEndian16(d + 5);
        frame.height = littleEndian16(d + 7);
        frame.interlaced = d[9] & 0x40;
        const std::size_t localBytes = gifColorTableBytes(d[9]);
        at += kGifImageDescriptor;
        if (localBytes) {
            frame.palette = at;
            frame.paletteSize = int(localBytes / 3);
        } else if (global) {
            frame.palette = global;
            frame.paletteSize = int(globalBytes / 3);
        }
        if (size - at < localBytes + 1) break;
        at += localBytes;
        frame.data = at;
        at = skipGifSubBlocks(bytes, size, at + 1, frame.dataBytes);
        index.frames.push_back(frame);
    }
    if (index.frames.empty()) return Refusal::Truncated;

    const Frame& first = index.frames.front();
    const uint64_t width =
        std::max<uint64_t>(littleEndian16(bytes + 6), uint64_t(first.left) + first.width);
    const uint64_t height =
        std::max<uint64_t>(littleEndian16(bytes + 8), uint64_t(first.top) + first.height);
    if (width == 0 || height == 0) return Refusal::Malformed;
    if (width * height > kMaxPicturePixels) return Refusal::TooLarge;
    // A huge screen with a one-pixel first frame costs as much as a huge frame.
    if (!fitsItsData(width * height, width * height, lzwProducible(first.dataBytes)))
        return Refusal::SizeRule;
    index.width = int(width);
    index.height = int(height);

    // Every later frame is held to the same rule on its rectangle within the canvas (a frame
    // wholly outside draws nothing); the sequence ends before the first that breaks it.
    for (std::size_t i = 1; i < index.frames.size(); ++i) {
        const Frame& f = index.frames[i];
        const uint64_t w =
            uint64_t(std::min(f.left + f.width, index.width) - std::min(f.left, index.width));
        const uint64_t h =
            uint64_t(std::min(f.top + f.height, index.height) - std::min(f.top, index.height));
        if (!fitsItsData(w * h, w * h, lzwProducible(f.dataBytes))) {
            index.frames.resize(i);
            break;
        }
    }
    return kOk;
}

// Whether the canvas can ever hold a transparent pixel: a transparent index, a first frame that
// leaves part of the screen uncovered, or a frame cleared to the background (which browsers and
// ImageMagick clear to nothing) before another is drawn.
bool needsAlpha(const Index& index) {
    const Frame& first = index.frames.front();
    if (first.left != 0 || first.top != 0 || first.width != index.width ||
        first.height != index.height)
        return true;
    for (std::size_t i = 0; i < index.frames.size(); ++i) {
        const Frame& f = index.frames[i];
        if (f.transparent >= 0) return true;
        if (f.disposal == Disposal::Background && i + 1 < index.frames.size()) return true;
    }
    return false;
}

// The LZW string table of one frame. Codes run to 12 bits; a full table stays as it is until the
// next clear code (the "deferred clear" encoders rely on).
class LzwDecoder {
public:
    // Decodes `frame`'s sub-blocks, calling `emit(index)` for each pixel in order, at most
    // `pixels` times. Stops at the end code, at a code the table cannot hold yet, or at the end of
    // the data.
    template <typename Emit>
    void decode(const uint8_t* bytes, std::size_t size, const Frame& frame, uint64_t pixels,
                Emit&& emit) {
        const int minimum = bytes[frame.data];
        if (minimum < 1 || minimum > 11) return;
        const int clear = 1 << minimum, end = clear + 1;
        for (int c = 0; c < clear; ++c) {
            prefix_[c] = -1;
            suffix_[c] = uint8_t(c);
            first_[c] = uint8_t(c);
            length_[c] = 1;
        }
        int next = clear + 2, width = minimum + 1, previous = -1;
        uint32_t bits = 0;
        int bitCount = 0;
        std::size_t at = frame.data + 1;
        std::size_t blockLeft = 0;
        uint64_t produced = 0;
        while (produced < pixels) {
            while (bitCount < width) {
                if (blockLeft == 0) {
                    if (at >= size || bytes[at] == 0) return;
                    blockLeft = bytes[at++];
                }
                if (at >= size) return;
                bits |= uint32_t(bytes[at++]) << bitCount;
                bitCount += 8;
                --blockLeft;
            }
            const int code = int(bits & ((1u << width) - 1));
            bits >>= width;
            bitCount -= width;
            if (code == clear) {
                next = clear + 2;
                width = minimum + 1;
                previous = -1;
                continue;
            }
            if (code == end) return;
            if (code > next || (code == next && previous < 0)) return; // damaged data
            if (previous >= 0 && next < kMaxCodes) {
                // The new entry: the previous string and the first byte of this one (of itself,
                // for the code being defined right now).
                prefix_[next] = int16_t(previous);
                first_[next] = first_[previous];
                suffix_[next] = code == next ? first_[previous] : first_[code];
                length_[next] = uint16_t(length_[previous] + 1);
                ++next;
                if (next == (1 << width) && width < 12) ++width;
            }
            // The string, last byte first.
            const int length = length_[code];
            int c = code;
            for (int i = length - 1; i >= 0; --i) {
                stack_[i] = suffix_[c];
                c = prefix_[c];
            }
            const uint64_t take = std::min<uint64_t>(uint64_t(length), pixels - produced);
            for (uint64_t i = 0; i < take; ++i)
                emit(stack_[i]);
            produced += take;
            previous = code;
        }
    }

private:
    int16_t prefix_[kMaxCodes];
    uint8_t suffix_[kMaxCodes];
    uint8_t first_[kMaxCodes];
    uint16_t length_[kMaxCodes];
    uint8_t stack_[kMaxCodes];
};

// The composition of a GIF's frames onto its canvas (blue, green, red, alpha words), one frame at
// a time, as browsers show them.
class GifFrames final : public Animation {
public:
    GifFrames(std::shared_ptr<const std::vector<uint8_t>> bytes, Index index)
        : bytes_(std::move(bytes)), index_(std::move(index)), alpha_(needsAlpha(index_)) {
        for (const Frame& f : index_.frames)
            delays_.push_back(playedDelay(f.delay));
        plays_ = index_.plays;
    }

    int width() const { return index_.width; }
    int height() const { return index_.height; }
    int bitsPerPixel() const { return alpha_ ? 32 : 24; }

    DecodeResult compose(Picture& picture) override {
        if (position_ == 0 || canvas_.empty()) {
            // A fresh canvas: nothing, or before the first frame as good as nothing.
            canvas_.assign(std::size_t(index_.width) * std::size_t(index_.height), 0);
            pendingDisposal_ = Disposal::Keep;
        }
        disposeLast();
        const Frame& frame = index_.frames[std::size_t(position_)];
        if (frame.disposal == Disposal::Previous) save(frame);
        draw(frame);
        pendingDisposal_ = frame.disposal;
        last_ = position_;
        position_ = (position_ + 1) % frameCount();
        return copyTo(picture);
    }

    void rewind() override {
        position_ = 0;
        last_ = -1;
    }

private:
    struct Clip {
        int x0, y0, x1, y1;
    };
    Clip clip(const Frame& f) const {
        return {std::min(f.left, index_.width), std::min(f.top, index_.height),
                std::min(f.left + f.width, index_.width),
                std::min(f.top + f.height, index_.height)};
    }

    void disposeLast() {
        if (position_ == 0 || last_ < 0) return;
        const Clip c = clip(index_.frames[std::size_t(last_)]);
        if (pendingDisposal_ == Disposal::Background) {
            for (int y = c.y0; y < c.y1; ++y)
                std::fill_n(canvas_.data() + std::size_t(y) * index_.width + c.x0, c.x1 - c.x0, 0u);
        } else if (pendingDisposal_ == Disposal::Previous) {
            const int w = c.x1 - c.x0;
            for (int y = c.y0; y < c.y1; ++y)
                std::copy_n(saved_.data() + std::size_t(y - c.y0) * w, w,
                            canvas_.data() + std::size_t(y) * index_.width + c.x0);
        }
    }

    void save(const Frame& frame) {
        const Clip c = clip(frame);
        const int w = c.x1 - c.x0;
        saved_.resize(std::size_t(w) * std::size_t(c.y1 - c.y0));
        for (int y = c.y0; y < c.y1; ++y)
            std::copy_n(canvas_.data() + std::size_t(y) * index_.width + c.x0, w,
                        saved_.data() + std::size_t(y - c.y0) * w);
    }

    void draw(const Frame& frame) {
        if (frame.width == 0 || frame.height == 0) return;
        const uint8_t* bytes = bytes_->data();
        // Indices past the colour table, and a frame without one, draw black.
        uint32_t colors[256];
        std::fill_n(colors, 256, 0xFF000000u);
        for (int i = 0; i < frame.paletteSize; ++i) {
            const uint8_t* rgb = bytes + frame.palette + 3 * std::size_t(i);
            colors[i] = 0xFF000000u | uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2];
        }
        const int transparent = frame.transparent;
        const Clip c = clip(frame);
        // Interlaced rows come in four passes: every 8th from 0, every 8th from 4, every 4th from
        // 2, every 2nd from 1.
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        int pass = 0, row = 0, x = 0;
        uint32_t* line = rowAt(frame, row, c);
        auto emit = [&](uint8_t index) {
            const int cx = frame.left + x;
            if (line && cx < c.x1 && index != transparent) line[cx] = colors[index];
            if (++x < frame.width) return;
            x = 0;
            if (frame.interlaced) {
                row += kStep[pass];
                while (row >= frame.height && pass < 3) {
                    ++pass;
                    row = kStart[pass];
                }
            } else {
                ++row;
            }
            line = rowAt(frame, row, c);
        };
        lzw_.decode(bytes, bytes_->size(), frame, uint64_t(frame.width) * frame.height, emit);
    }

    // The canvas row the frame's `row` lands on, or null when it lies outside.
    uint32_t* rowAt(const Frame& frame, int row, const Clip& c) {
        const int y = frame.top + row;
        if (row >= frame.height || y >= c.y1) return nullptr;
        return canvas_.data() + std::size_t(y) * index_.width;
    }

    DecodeResult copyTo(Picture& picture) const {
        return copyCanvas(reinterpret_cast<const uint8_t*>(canvas_.data()), index_.width,
                          index_.height, alpha_, picture);
    }

    std::shared_ptr<const std::vector<uint8_t>> bytes_;
    Index index_;
    bool alpha_;
    std::vector<uint32_t> canvas_;
    std::vector<uint32_t> saved_; // the rectangle a "previous" frame restores
    Disposal pendingDisposal_ = Disposal::Keep;
    int last_ = -1;
    LzwDecoder lzw_;
};

} // namespace

DecodeResult decodeGif(std::shared_ptr<const std::vector<uint8_t>> bytes, Picture& picture,
                       std::shared_ptr<Animation>* animation) {
    Index index;
    if (const DecodeResult indexed = indexGif(bytes->data(), bytes->size(), index); !indexed)
        return indexed;
    auto frames = std::make_shared<GifFrames>(std::move(bytes), std::move(index));
    if (const DecodeResult first = frames->composeNext(picture); !first) return first;
    if (animation) *animation = frames->frameCount() > 1 ? frames : nullptr;
    return kOk;
}

DecodeResult decodeGif(const char* path, Picture& picture, PictureMetadata& metadata) {
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    if (const DecodeResult read = readWholeFile(path, *bytes); !read) return read;
    return decodeGif(std::move(bytes), picture, &metadata.animation);
}

} // namespace vistrel
