#include "ApngFrames.h"

#include "ByteOrder.h"
#include "DebugLog.h"
#include "DecodeLimits.h"
#include "PngDecoder.h"
#include "PngFastPath.h"

#include <libdeflate.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace vistrel {

namespace {

constexpr std::size_t kSignatureBytes = 8;
// A chunk: a big-endian length, a four-letter type, the data, a CRC of type and data.
constexpr std::size_t kChunkOverhead = 12;
constexpr uint32_t kLongestChunk = 0x7FFFFFFF;
constexpr uint32_t kAnimationControlBytes = 8; // frame count, play count
constexpr uint32_t kFrameControlBytes = 26;    // sequence, size, offset, delay, ops
constexpr uint32_t kSequenceBytes = 4;         // before an fdAT chunk's image data

enum class Dispose : uint8_t { None, Background, Previous };
enum class Blend : uint8_t { Source, Over };

struct Piece {
    std::size_t at; // offset of the image data in the file
    uint32_t bytes;
};

struct Frame {
    uint32_t x = 0, y = 0, width = 0, height = 0;
    int delay = 0; // milliseconds as stored
    Dispose dispose = Dispose::None;
    Blend blend = Blend::Source;
    bool isDefaultImage = false; // its pixels are the IDAT image's
    std::vector<Piece> data;     // its fdAT chunks' image data
    uint64_t dataBytes = 0;
};

struct Index {
    uint32_t width = 0, height = 0;
    uint8_t depth = 0, colorType = 0, interlace = 0;
    std::size_t header = 0;                    // the IHDR chunk's data
    std::size_t palette = 0, paletteChunk = 0; // the whole PLTE chunk, copied into each frame
    std::size_t transparency = 0, transparencyBytes = 0; // tRNS data, applied to each frame
    uint64_t imageDataBytes = 0;
    std::size_t imageDataEnd = 0; // where the last IDAT chunk ends
    uint32_t declaredFrames = 0;
    int plays = 1;
    std::vector<Frame> frames;
    const char* cut = nullptr; // why the sequence ended before its declared end
};

void putBigEndian32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

bool is(const uint8_t* type, const char* name) {
    return std::memcmp(type, name, 4) == 0;
}

bool checksumHolds(const uint8_t* chunk, uint32_t length) {
    return libdeflate_crc32(0, chunk + 4, std::size_t(length) + 4) ==
           bigEndian32(chunk + 8 + length);
}

uint64_t filteredBytes(const Index& index, uint64_t width, uint64_t height) {
    const unsigned channels = index.colorType == 2   ? 3
                              : index.colorType == 4 ? 2
                              : index.colorType == 6 ? 4
                                                     : 1;
    return cappedProduct((width * channels * index.depth + 7) / 8 + 1, height);
}

Frame readFrameControl(const uint8_t* body) {
    Frame f;
    f.width = bigEndian32(body + 4);
    f.height = bigEndian32(body + 8);
    f.x = bigEndian32(body + 12);
    f.y = bigEndian32(body + 16);
    // The delay is a fraction of a second; a denominator of 0 means hundredths.
    const uint32_t numerator = bigEndian16(body + 20);
    const uint32_t denominator = bigEndian16(body + 22) == 0 ? 100 : bigEndian16(body + 22);
    f.delay = int((numerator * 1000 + denominator / 2) / denominator);
    f.dispose = Dispose(body[24]);
    f.blend = Blend(body[25]);
    return f;
}

// Why a frame control cannot stand in the sequence, or null.
const char* frameControlFault(const Frame& f, const Index& index, bool beforeImageData) {
    if (f.width == 0 || f.height == 0) return "an empty frame";
    if (uint64_t(f.x) + f.width > index.width || uint64_t(f.y) + f.height > index.height)
        return "a frame outside the canvas";
    if (uint8_t(f.dispose) > 2 || uint8_t(f.blend) > 1) return "an unknown dispose or blend op";
    // A control before the image data makes that image the first frame: it covers the canvas.
    if (beforeImageData &&
        (f.x != 0 || f.y != 0 || f.width != index.width || f.height != index.height))
        return "a first frame other than the image";
    return nullptr;
}

// Walks the chunks once. True for an animation of at least one frame; the sequence ends at the
// first chunk that breaks its rules, and where the file does (the last frame then as far as its
// data goes).
bool indexApng(const uint8_t* data, std::size_t size, Index& index) {
    bool imageDataSeen = false, controlled = false;
    uint32_t nextSequence = 0;
    std::size_t at = kSignatureBytes;
    auto cut = [&](const char* why, bool dropLast) {
        index.cut = why;
        if (dropLast && !index.frames.empty()) index.frames.pop_back();
    };
    while (size - at >= kChunkOverhead) {
        const uint8_t* chunk = data + at;
        const uint32_t length = bigEndian32(chunk);
        if (length > kLongestChunk || length > size - at - kChunkOverhead) break;
        const uint8_t* type = chunk + 4;
        const uint8_t* body = chunk + 8;
        if (is(type, "IHDR")) {
            if (length != 13 || at != kSignatureBytes) return false;
            index.header = at + 8;
            index.width = bigEndian32(body);
            index.height = bigEndian32(body + 4);
            index.depth = body[8];
            index.colorType = body[9];
            index.interlace = body[12];
        } else if (is(type, "PLTE")) {
            index.palette = at;
            index.paletteChunk = length + kChunkOverhead;
        } else if (is(type, "tRNS")) {
            index.transparency = at + 8;
            index.transparencyBytes = length;
        } else if (is(type, "IDAT")) {
            imageDataSeen = true;
            index.imageDataBytes += length;
            index.imageDataEnd = at + kChunkOverhead + length;
        } else if (is(type, "IEND")) {
            break;
        } else if (is(type, "acTL")) {
            // Only the first, and only before the image data, counts.
            if (!imageDataSeen && !controlled && length == kAnimationControlBytes &&
                checksumHolds(chunk, length)) {
                index.declaredFrames = bigEndian32(body);
                index.plays = int(std::min<uint32_t>(bigEndian32(body + 4), INT_MAX));
                controlled = index.declaredFrames > 0;
            }
        } else if (controlled && (is(type, "fcTL") || is(type, "fdAT"))) {
            const bool control = is(type, "fcTL");
            if (length < (control ? kFrameControlBytes : kSequenceBytes) ||
                (control && length != kFrameControlBytes) || !checksumHolds(chunk, length)) {
                cut("a damaged animation chunk", !control);
                break;
            }
            if (bigEndian32(body) != nextSequence++) {
                cut("a sequence number out of order", !control);
                break;
            }
            if (control) {
                if (index.frames.size() == index.declaredFrames) break;
                if (!index.frames.empty() && index.frames.back().dataBytes == 0 &&
                    !index.frames.back().isDefaultImage) {
                    cut("a frame without image data", true);
                    break;
                }
                if (!imageDataSeen && !index.frames.empty()) {
                    cut("two frame controls before the image data", true);
                    break;
                }
                Frame f = readFrameControl(body);
                if (const char* fault = frameControlFault(f, index, !imageDataSeen)) {
                    cut(fault, false);
                    break;
                }
                f.isDefaultImage = !imageDataSeen;
                index.frames.push_back(std::move(f));
            } else {
                if (index.frames.empty() || index.frames.back().isDefaultImage) {
                    cut("frame data without its control", false);
                    break;
                }
                Frame& f = index.frames.back();
                f.data.push_back({at + 8 + kSequenceBytes, length - kSequenceBytes});
                f.dataBytes += length - kSequenceBytes;
            }
        }
        at += kChunkOverhead + length;
    }
    if (!index.frames.empty() && index.frames.back().dataBytes == 0 &&
        !index.frames.back().isDefaultImage)
        index.frames.pop_back();
    if (!controlled || index.frames.empty() || index.header == 0 || index.interlace != 0)
        return false;
    // A header the PNG reader refuses is the still's to refuse, with its reason.
    const bool knownDepth = index.depth == 1 || index.depth == 2 || index.depth == 4 ||
                            index.depth == 8 || index.depth == 16;
    if (index.width == 0 || index.height == 0 || !knownDepth || index.colorType > 6 ||
        index.colorType == 1 || index.colorType == 5 ||
        uint64_t(index.width) * index.height > kMaxPicturePixels)
        return false;
    // The canvas is held to the image data, as the still is; each frame to its own data.
    if (!fitsItsData(uint64_t(index.width) * index.height,
                     filteredBytes(index, index.width, index.height),
                     deflateProducible(index.imageDataBytes)))
        return false;
    for (std::size_t i = 0; i < index.frames.size(); ++i) {
        const Frame& f = index.frames[i];
        if (!f.isDefaultImage &&
            !fitsItsData(uint64_t(f.width) * f.height, filteredBytes(index, f.width, f.height),
                         deflateProducible(f.dataBytes))) {
            index.frames.resize(i);
            index.cut = "a frame past what its data can fill";
            break;
        }
    }
    return !index.frames.empty();
}

// Whether the canvas can ever hold a pixel that is not opaque: samples with alpha, a transparent
// colour or palette entries, a first frame that leaves part of the canvas empty, or a frame
// cleared to nothing before another is drawn.
bool needsAlpha(const Index& index) {
    if ((index.colorType & 4) || index.transparencyBytes > 0) return true;
    const Frame& first = index.frames.front();
    if (first.width != index.width || first.height != index.height) return true;
    for (std::size_t i = 0; i + 1 < index.frames.size(); ++i)
        if (index.frames[i].dispose == Dispose::Background ||
            (i == 0 && index.frames[i].dispose == Dispose::Previous))
            return true;
    return false;
}

void appendChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* body,
                 uint32_t length) {
    const std::size_t start = out.size();
    out.resize(start + kChunkOverhead + length);
    uint8_t* chunk = out.data() + start;
    putBigEndian32(chunk, length);
    std::memcpy(chunk + 4, type, 4);
    if (length > 0) std::memcpy(chunk + 8, body, length);
    putBigEndian32(chunk + 8 + length, libdeflate_crc32(0, chunk + 4, std::size_t(length) + 4));
}

// The composition of an APNG's frames onto its canvas (blue, green, red, alpha words, alpha not
// premultiplied), one frame at a time.
class ApngFrames final : public Animation {
public:
    ApngFrames(std::shared_ptr<const std::vector<uint8_t>> bytes, Index index)
        : bytes_(std::move(bytes)), index_(std::move(index)), alpha_(needsAlpha(index_)) {
        for (const Frame& f : index_.frames)
            delays_.push_back(playedDelay(f.delay));
        plays_ = index_.plays;
    }

    DecodeResult compose(Picture& picture) override {
        if (position_ == 0) {
            canvas_.clear();
            last_ = -1;
            if (!looped_ && composeFirstDirectly(picture)) {
                position_ = 1 % frameCount();
                return kOk;
            }
        }
        if (canvas_.empty()) {
            canvas_.assign(std::size_t(index_.width) * index_.height, 0);
            // The first frame went straight into its picture: it is laid on the canvas now.
            if (position_ != 0) drawOnCanvas(0);
        }
        drawOnCanvas(position_);
        position_ = (position_ + 1) % frameCount();
        looped_ = looped_ || position_ == 0;
        return copyTo(picture);
    }

    void rewind() override {
        position_ = 0;
        last_ = -1;
    }

    // Whether the frame composed last was decoded (a frame that was not leaves the canvas as the
    // frames before it made it).
    const DecodeResult& drawn() const { return drawn_; }

private:
    // The image data decoded straight into the picture, when it is the first frame and the
    // picture's depth is the canvas's: on an empty canvas either blend op gives its pixels as
    // they are, and the first frame costs what the still would. (Later rounds lay it on the
    // canvas, which the next frame needs, in the same decode.)
    bool composeFirstDirectly(Picture& picture) {
        const Frame& first = index_.frames.front();
        if (!first.isDefaultImage || index_.transparencyBytes > 0 ||
            pngPictureDepth(index_.colorType, index_.depth) != (alpha_ ? 32 : 24))
            return false;
        drawn_ = decodeFrame(first, picture);
        return true;
    }

    void drawOnCanvas(int position) {
        disposeLast();
        const Frame& frame = index_.frames[std::size_t(position)];
        // A first frame's "previous" restores the empty canvas: it clears, as the format says.
        if (frame.dispose == Dispose::Previous) save(frame);
        drawn_ = draw(frame);
        last_ = position;
    }

    void disposeLast() {
        if (last_ < 0) return;
        const Frame& f = index_.frames[std::size_t(last_)];
        if (f.dispose == Dispose::Background) {
            for (uint32_t y = f.y; y < f.y + f.height; ++y)
                std::fill_n(canvasRow(y) + f.x, f.width, 0u);
        } else if (f.dispose == Dispose::Previous) {
            for (uint32_t y = 0; y < f.height; ++y)
                std::copy_n(saved_.data() + std::size_t(y) * f.width, f.width,
                            canvasRow(f.y + y) + f.x);
        }
    }

    void save(const Frame& f) {
        saved_.resize(std::size_t(f.width) * f.height);
        for (uint32_t y = 0; y < f.height; ++y)
            std::copy_n(canvasRow(f.y + y) + f.x, f.width,
                        saved_.data() + std::size_t(y) * f.width);
    }

    uint32_t* canvasRow(uint32_t y) { return canvas_.data() + std::size_t(y) * index_.width; }

    // The frame's pixels as a PNG of their own: the file's header at the frame's size, its
    // palette and transparency, and the fdAT data as IDAT chunks. The PNG reader then holds them to
    // every rule it holds a still to. Only the chunks' data is copied, which costs little beside
    // its inflating.
    DecodeResult decodeFrame(const Frame& f, Picture& into) {
        const uint8_t* file = bytes_->data();
        if (f.isDefaultImage) {
            // The file up to its image data's end: one cut short in a later frame still has its
            // first.
            if (index_.imageDataEnd == 0) return decodePng(file, bytes_->size(), into);
            png_.assign(file, file + index_.imageDataEnd);
            appendChunk(png_, "IEND", nullptr, 0);
            return decodePng(png_.data(), png_.size(), into);
        }
        png_.clear();
        png_.insert(png_.end(), file, file + kSignatureBytes);
        uint8_t header[13];
        std::memcpy(header, file + index_.header, sizeof header);
        putBigEndian32(header, f.width);
        putBigEndian32(header + 4, f.height);
        appendChunk(png_, "IHDR", header, sizeof header);
        if (index_.paletteChunk)
            png_.insert(png_.end(), file + index_.palette,
                        file + index_.palette + index_.paletteChunk);
        if (index_.transparency)
            appendChunk(png_, "tRNS", file + index_.transparency,
                        uint32_t(index_.transparencyBytes));
        for (const Piece& piece : f.data)
            appendChunk(png_, "IDAT", file + piece.at, piece.bytes);
        appendChunk(png_, "IEND", nullptr, 0);
        return decodePng(png_.data(), png_.size(), into);
    }

    DecodeResult draw(const Frame& f) {
        if (const DecodeResult decoded = decodeFrame(f, pixels_); !decoded) return decoded;
        if (uint32_t(pixels_.width()) != f.width || uint32_t(pixels_.height()) != f.height)
            return Refusal::Malformed;
        row_.resize(f.width);
        for (uint32_t y = 0; y < f.height; ++y) {
            readRow(y);
            uint32_t* to = canvasRow(f.y + y) + f.x;
            if (f.blend == Blend::Source) {
                std::copy_n(row_.data(), f.width, to);
                continue;
            }
            for (uint32_t x = 0; x < f.width; ++x)
                to[x] = over(row_[x], to[x]);
        }
        return kOk;
    }

    // Row `y` of the decoded frame as canvas words, with the palette entries' alpha. (A single
    // transparent grey level or colour the PNG reader has made alpha already, compared before 16
    // bits are cut.)
    void readRow(uint32_t y) {
        const uint8_t* in = pixels_.pixels() + std::size_t(y) * pixels_.rowSize();
        const uint32_t width = uint32_t(pixels_.width());
        const int bits = pixels_.bitsPerPixel();
        if (bits == 32) {
            std::memcpy(row_.data(), in, std::size_t(width) * 4);
        } else if (bits == 24) {
            for (uint32_t x = 0; x < width; ++x, in += 3)
                row_[x] = 0xFF000000u | uint32_t(in[2]) << 16 | uint32_t(in[1]) << 8 | in[0];
        } else {
            const RgbQuad* table = pixels_.colorTable();
            const bool palette = index_.colorType == 3;
            const uint8_t* trns = bytes_->data() + index_.transparency;
            const std::size_t trnsBytes = index_.transparency ? index_.transparencyBytes : 0;
            const unsigned mask = (1u << bits) - 1;
            for (uint32_t x = 0; x < width; ++x) {
                const std::size_t bit = std::size_t(x) * unsigned(bits);
                const unsigned sample = (in[bit / 8] >> (8 - bits - bit % 8)) & mask;
                const RgbQuad c = table[sample];
                const uint32_t alpha = palette && sample < trnsBytes ? trns[sample] : 255;
                row_[x] = alpha << 24 | uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
            }
        }
    }

    // A pixel drawn over another, both alpha not premultiplied, in whole numbers.
    static uint32_t over(uint32_t source, uint32_t destination) {
        const uint32_t sa = source >> 24, da = destination >> 24;
        if (sa == 255 || da == 0) return source;
        if (sa == 0) return destination;
        const uint32_t u = sa * 255, v = (255 - sa) * da, total = u + v;
        uint32_t out = (total / 255) << 24;
        for (int shift = 0; shift < 24; shift += 8) {
            const uint32_t s = (source >> shift) & 0xFF, d = (destination >> shift) & 0xFF;
            out |= ((s * u + d * v) / total) << shift;
        }
        return out;
    }

    DecodeResult copyTo(Picture& picture) const {
        return copyCanvas(reinterpret_cast<const uint8_t*>(canvas_.data()), int(index_.width),
                          int(index_.height), alpha_, picture);
    }

    std::shared_ptr<const std::vector<uint8_t>> bytes_;
    Index index_;
    bool alpha_;
    std::vector<uint32_t> canvas_;
    std::vector<uint32_t> saved_; // the rectangle a "previous" frame restores
    std::vector<uint32_t> row_;
    std::vector<uint8_t> png_; // the frame's own PNG
    Picture pixels_;           // the frame decoded
    DecodeResult drawn_ = kOk;
    bool looped_ = false; // the last frame was composed once
    int last_ = -1;
};

} // namespace

bool pngIsAnimated(const uint8_t* data, std::size_t size) {
    if (size < kSignatureBytes) return false;
    std::size_t at = kSignatureBytes;
    while (size - at >= kChunkOverhead) {
        const uint32_t length = bigEndian32(data + at);
        const uint8_t* type = data + at + 4;
        if (is(type, "acTL")) return true;
        if (is(type, "IDAT") || is(type, "IEND") || length > size - at - kChunkOverhead)
            return false;
        at += kChunkOverhead + length;
    }
    return false;
}

std::optional<DecodeResult> decodeApng(std::shared_ptr<const std::vector<uint8_t>> bytes,
                                       Picture& picture, std::shared_ptr<Animation>* animation) {
    if (!checkPngSignature(bytes->data(), bytes->size()) ||
        !pngIsAnimated(bytes->data(), bytes->size()))
        return std::nullopt;
    Index index;
    const bool animated = indexApng(bytes->data(), bytes->size(), index);
    if (index.cut)
        debugLog("APNG: the sequence ends after %u frames: %s", unsigned(index.frames.size()),
                 index.cut);
    if (!animated) return std::nullopt;
    auto frames = std::make_shared<ApngFrames>(std::move(bytes), std::move(index));
    if (const DecodeResult first = frames->composeNext(picture); !first) return first;
    // The first frame must be there; a later one that breaks shows the frames before it.
    if (!frames->drawn()) return frames->drawn();
    if (animation) *animation = frames->frameCount() > 1 ? frames : nullptr;
    return kOk;
}

} // namespace vistrel
