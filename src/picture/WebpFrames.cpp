#include "WebpFrames.h"

#include "ByteOrder.h"
#include "DecodeLimits.h"
#include "Picture.h"
#include "PictureFormat.h"

#include <webp/decode.h>

#include <algorithm>
#include <cstring>

namespace vistrel {

namespace {

constexpr std::size_t kRiffHeader = 12;  // "RIFF", the size, "WEBP"
constexpr std::size_t kChunkHeader = 8;  // the fourcc, the payload's size (padded to even)
constexpr std::size_t kFrameHeader = 16; // ANMF: x, y, width - 1, height - 1, duration, flags

uint32_t littleEndian24(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

// Calls `visit(fourcc, payload, size)` for each chunk from `at` to `end`, up to one that runs
// past it.
template <typename Visit>
void forEachChunk(const uint8_t* data, std::size_t at, std::size_t end, Visit&& visit) {
    while (end - at >= kChunkHeader) {
        const std::size_t length = littleEndian32(data + at + 4);
        if (length > end - at - kChunkHeader) return;
        visit(data + at, data + at + kChunkHeader, length);
        at += kChunkHeader + length + (length & 1);
        if (at > end) return;
    }
}

struct FrameData {
    bool lossy = false; // VP8; else VP8L
    bool alpha = false; // an ALPH chunk, or a VP8L header that says alpha is used
};

FrameData frameData(const uint8_t* data, std::size_t size) {
    FrameData frame;
    forEachChunk(data, 0, size, [&](const uint8_t* fourcc, const uint8_t* payload, std::size_t n) {
        if (std::memcmp(fourcc, "ALPH", 4) == 0) frame.alpha = true;
        if (std::memcmp(fourcc, "VP8 ", 4) == 0) frame.lossy = true;
        // The signature byte, then width - 1 and height - 1 in 14 bits each, the alpha bit.
        if (std::memcmp(fourcc, "VP8L", 4) == 0 && n >= 5 &&
            (littleEndian32(payload + 1) >> 28 & 1))
            frame.alpha = true;
    });
    return frame;
}

class AnimDecoder {
public:
    AnimDecoder(const std::vector<uint8_t>& bytes) {
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options)) return;
        options.color_mode = MODE_BGRA; // straight alpha, our byte order
        options.use_threads = 0;        // the frames are composed on a thread of their own already
        const WebPData data{bytes.data(), bytes.size()};
        decoder_ = WebPAnimDecoderNew(&data, &options);
        if (decoder_ && !WebPAnimDecoderGetInfo(decoder_, &info_)) {
            WebPAnimDecoderDelete(decoder_);
            decoder_ = nullptr;
        }
    }
    ~AnimDecoder() { WebPAnimDecoderDelete(decoder_); }
    AnimDecoder(const AnimDecoder&) = delete;
    AnimDecoder& operator=(const AnimDecoder&) = delete;
    WebPAnimDecoder* get() const { return decoder_; }
    const WebPAnimInfo& info() const { return info_; }

private:
    WebPAnimDecoder* decoder_ = nullptr;
    WebPAnimInfo info_{};
};

class WebpFrames final : public Animation {
public:
    WebpFrames(std::shared_ptr<const std::vector<uint8_t>> bytes, const WebpSequence& sequence)
        : bytes_(std::move(bytes)), alpha_(sequence.alpha) {
        for (const int delay : sequence.delays)
            delays_.push_back(playedDelay(delay));
        plays_ = sequence.plays;
        position_ = 1; // the first frame was decoded as a still
    }

    DecodeResult compose(Picture& picture) override {
        // The library's decoder (two canvases) is made on the composing thread, when the first
        // frame after the one decoded as a still is wanted.
        if (!decoder_) decoder_ = std::make_unique<AnimDecoder>(*bytes_);
        WebPAnimDecoder* decoder = decoder_->get();
        if (!decoder) return Refusal::Malformed;
        // The library composes in order from the first frame: a rewind or a loop starts it anew.
        if (position_ < next_) {
            WebPAnimDecoderReset(decoder);
            next_ = 0;
        }
        uint8_t* canvas = nullptr;
        int timestamp = 0;
        while (next_ <= position_) {
            if (!WebPAnimDecoderHasMoreFrames(decoder) ||
                !WebPAnimDecoderGetNext(decoder, &canvas, &timestamp))
                return Refusal::Malformed;
            ++next_;
        }
        const int width = int(decoder_->info().canvas_width);
        const int height = int(decoder_->info().canvas_height);
        position_ = (position_ + 1) % frameCount();
        return copyCanvas(canvas, width, height, alpha_, picture);
    }

    void rewind() override { position_ = 0; }

private:
    std::shared_ptr<const std::vector<uint8_t>> bytes_;
    const bool alpha_;
    std::unique_ptr<AnimDecoder> decoder_;
    int next_ = 0; // the frame the library's decoder gives next
};

} // namespace

void readWebpSequence(const uint8_t* data, std::size_t size, WebPDemuxer* demux, bool fileAlpha,
                      WebpSequence& sequence) {
    sequence = {};
    const uint64_t canvasWidth = WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH);
    const uint64_t canvasHeight = WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT);
    sequence.plays = int(std::min<uint32_t>(WebPDemuxGetI(demux, WEBP_FF_LOOP_COUNT), 65535));
    sequence.alpha = fileAlpha;
    const int frames = int(WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT));
    // The frames are read from their ANMF chunks in one walk (the demuxer has checked them): its
    // own iterator looks each frame up from the first, which costs minutes on 100,000 frames.
    uint64_t pixels = 0, samples = 0, producible = 0;
    bool ended = false;
    forEachChunk(data, kRiffHeader, size,
                 [&](const uint8_t* fourcc, const uint8_t* payload, std::size_t length) {
                     if (ended || std::memcmp(fourcc, "ANMF", 4) != 0 || length < kFrameHeader)
                         return;
                     const uint64_t width = littleEndian24(payload + 6) + 1;
                     const uint64_t height = littleEndian24(payload + 9) + 1;
                     const bool disposed = payload[15] & 1; // to the background; else kept
                     const FrameData kind =
                         frameData(payload + kFrameHeader, length - kFrameHeader);
                     // Each frame by its own data, and the frames so far by theirs: many small
                     // frames may each pass below the rule's floor yet claim far more together than
                     // the file holds.
                     const uint64_t area = width * height;
                     const uint64_t areaSamples = area * (kind.alpha ? 4 : 3);
                     const uint64_t bytes = length - kFrameHeader;
                     const uint64_t areaProducible =
                         kind.lossy ? webpLossyProducible(bytes) : webpLosslessProducible(bytes);
                     pixels += area;
                     samples += areaSamples;
                     producible += areaProducible;
                     if (!fitsItsData(area, areaSamples, areaProducible) ||
                         !fitsItsData(pixels, samples, producible)) {
                         ended = true;
                         return;
                     }
                     const bool first = sequence.delays.empty();
                     if (kind.alpha || (first && area != canvasWidth * canvasHeight) ||
                         (disposed && int(sequence.delays.size()) + 1 < frames))
                         sequence.alpha = true;
                     sequence.delays.push_back(int(littleEndian24(payload + 12)));
                 });
    if (int(sequence.delays.size()) > frames) sequence.delays.resize(std::size_t(frames));
}

std::shared_ptr<Animation> makeWebpFrames(std::shared_ptr<const std::vector<uint8_t>> bytes,
                                          const WebpSequence& sequence) {
    if (sequence.delays.size() < 2) return nullptr;
    return std::make_shared<WebpFrames>(std::move(bytes), sequence);
}

} // namespace vistrel
