#include "JpegDecoder.h"

#include "ByteOrder.h"
#include "ColorManagement.h"
#include "DecodeLimits.h"
#include "JpegMetadata.h"
#include "LargeBuffer.h"
#include "System.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>

namespace vistrel {

// The entry points of TurboJPEG's published C interface that the decoder uses, declared here so
// that neither its header nor its link library is needed to build.
struct JpegLibrary {
    using Handle = void*;
    void* module = nullptr;
    Handle (*initDecompress)() = nullptr;
    int (*decompressHeader3)(Handle, const unsigned char* jpeg, unsigned long size, int* width,
                             int* height, int* subsampling, int* colorspace) = nullptr;
    int (*decompress2)(Handle, const unsigned char* jpeg, unsigned long size, unsigned char* out,
                       int width, int pitch, int height, int pixelFormat, int flags) = nullptr;
    int (*destroy)(Handle) = nullptr;
    // The reduced DCT scales the library offers, as a set of eighths: bit n for n/8.
    unsigned reducedEighths = 0;
};

namespace {

#ifdef _WIN32
constexpr const char* kLibraryName = "turbojpeg.dll"; // beside the program
#else
constexpr const char* kLibraryName = "libturbojpeg.so.0";
#endif

// Values of TurboJPEG's published enumerations and flags.
constexpr int kPixelFormatBgr = 1;   // TJPF_BGR: blue, green, red, 3 bytes
constexpr int kPixelFormatCmyk = 11; // TJPF_CMYK: the file's four components as stored
constexpr int kColorspaceCmyk = 3;   // TJCS_CMYK
constexpr int kColorspaceYcck = 4;   // TJCS_YCCK
// TJFLAG_LIMITSCANS: a progressive file with an absurd number of scans is refused instead of
// keeping the decoder busy for minutes.
constexpr int kFlagLimitScans = 32768;

// Everything here is trivially destructible, so a decode still running on an abandoned worker
// while the process exits never meets a destroyed object.
JpegLibrary library;
bool available = false;
std::once_flag loadOnce;
std::atomic<bool> disabled{false};
// Decodes inside the library, and whether the module is being released at exit. A decode counts
// itself in before it looks at `closing`; the release looks at the count after setting
// `closing`; so the module is never unmapped under a running decode.
std::atomic<int> inFlight{0};
std::atomic<bool> closing{false};

struct ReleaseAtExit {
    ~ReleaseAtExit() {
        closing = true;
        if (inFlight == 0) closeLibrary(library.module);
    }
};

template <typename Function> bool lookUp(void* module, const char* name, Function& entry) {
    entry = reinterpret_cast<Function>(librarySymbol(module, name));
    return entry != nullptr;
}

// TurboJPEG scales in the inverse DCT by any eighth (3/8 takes a 24-megapixel photograph to just
// above a 1080p screen copy, where 1/4 falls short and 1/2 decodes twice the pixels). It says
// which scales it offers; a library that cannot say is held to the halvings every version has.
unsigned offeredReducedEighths(void* module) {
    struct ScalingFactor {
        int num, denom;
    };
    using GetScalingFactors = ScalingFactor* (*)(int*);
    GetScalingFactors get = nullptr;
    constexpr unsigned kHalvings = (1u << 1) | (1u << 2) | (1u << 4);
    if (!lookUp(module, "tjGetScalingFactors", get)) return kHalvings;
    int count = 0;
    const ScalingFactor* factors = get(&count);
    if (!factors || count <= 0) return kHalvings;
    unsigned eighths = 0;
    for (int i = 0; i < count; ++i) {
        const ScalingFactor f = factors[i];
        if (f.denom <= 0 || f.num <= 0 || (f.num * 8) % f.denom != 0) continue;
        if (const int n = f.num * 8 / f.denom; n < 8) eighths |= 1u << n;
    }
    return eighths;
}

void loadLibrary() {
    void* module = openLibrary(kLibraryName);
    if (!module) return;
    library.module = module;
    if (!lookUp(module, "tjInitDecompress", library.initDecompress) ||
        !lookUp(module, "tjDecompressHeader3", library.decompressHeader3) ||
        !lookUp(module, "tjDecompress2", library.decompress2) ||
        !lookUp(module, "tjDestroy", library.destroy))
        return; // released at exit like a complete one
    library.reducedEighths = offeredReducedEighths(module);
    available = true;
}

class InFlight {
public:
    InFlight() : usable_(((void)++inFlight, !closing)) {}
    ~InFlight() { --inFlight; }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;
    bool usable() const { return usable_; }

private:
    bool usable_;
};

class Decompressor {
public:
    explicit Decompressor(const JpegLibrary& lib) : lib_(lib), handle_(lib.initDecompress()) {}
    ~Decompressor() {
        if (handle_) lib_.destroy(handle_);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    JpegLibrary::Handle get() const { return handle_; }

private:
    const JpegLibrary& lib_;
    JpegLibrary::Handle handle_;
};

uint8_t scaleByInk(unsigned value, unsigned black) {
    return uint8_t((value * black + 127) / 255);
}

// CMYK and YCCK files hold inverted ink (255 = no ink), as Adobe's applications write them and
// every reader expects; red = C' * K' / 255 and so on. The library hands out the four
// components as stored, so they need a buffer of their own and one conversion pass.
DecodeResult decodeInk(const JpegLibrary& lib, JpegLibrary::Handle handle, const uint8_t* data,
                       std::size_t size, int width, int height, Picture& picture) {
    const std::size_t inkRow = std::size_t(width) * 4;
    LargeBuffer ink(inkRow * std::size_t(height), AfterUse::Release);
    if (!ink) return Refusal::OutOfMemory;
    if (const DecodeResult made = createPicture(picture, width, height, 24); !made) return made;
    // Damaged data still counts as decoded; unwritten rows stay zero (black) in the fresh buffer.
    lib.decompress2(handle, data, (unsigned long)size, ink.data(), width, int(inkRow), height,
                    kPixelFormatCmyk, kFlagLimitScans);
    const uint32_t row = picture.rowSize();
    uint8_t* bits = picture.pixels();
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = ink.data() + std::size_t(y) * inkRow;
        uint8_t* d = bits + std::size_t(y) * row;
        for (int x = 0; x < width; ++x, s += 4, d += 3) {
            d[0] = scaleByInk(s[2], s[3]);
            d[1] = scaleByInk(s[1], s[3]);
            d[2] = scaleByInk(s[0], s[3]);
        }
    }
    return kOk;
}

// Frame header markers: SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
bool isFrameHeader(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

struct FrameSize {
    uint64_t width = 0, height = 0;
    uint64_t blocks = 0; // 8x8 blocks of all components
};

// A frame header's payload: precision (1), height (2), width (2), component count (1), then per
// component its id, sampling factors (high nibble horizontal, low vertical) and quantisation
// table. A component sampled below the largest factors covers that fraction of the picture.
// Nothing when the payload is cut.
FrameSize frameSize(const uint8_t* frame, std::size_t length) {
    if (length < 6) return {};
    const uint64_t height = bigEndian16(frame + 1), width = bigEndian16(frame + 3);
    const std::size_t count = frame[5];
    if (length < 6 + 3 * count) return {};
    const uint8_t* components = frame + 6;
    uint64_t maxH = 1, maxV = 1;
    for (std::size_t i = 0; i < count; ++i) {
        maxH = std::max<uint64_t>(maxH, components[3 * i + 1] >> 4);
        maxV = std::max<uint64_t>(maxV, components[3 * i + 1] & 15);
    }
    auto blocksAlong = [](uint64_t side, uint64_t factor, uint64_t largest) {
        return ((side * factor + largest - 1) / largest + 7) / 8;
    };
    uint64_t blocks = 0;
    for (std::size_t i = 0; i < count; ++i)
        blocks += blocksAlong(width, components[3 * i + 1] >> 4, maxH) *
                  blocksAlong(height, components[3 * i + 1] & 15, maxV);
    return {width, height, blocks};
}

// What the walk over a file's segments finds up to the first scan.
struct Segments {
    bool found = false;      // a frame header
    bool arithmetic = false; // its entropy coding (SOF9 to SOF15)
    FrameSize frame;
    uint64_t scanAt = 0; // where the first scan's segment starts after its marker; 0: no scan
};

// Segments after the start of image: a marker (0xFF, any fill bytes, a code) and, but for the
// standalone ones, a big-endian length that counts itself. Stray bytes before a marker are
// skipped, as the library does. The frame header must come before the first scan.
DecodeResult walkSegments(ByteSource& source, Segments& segments) {
    SourceReader in(source);
    uint8_t start[2];
    const std::size_t got = in.read(start, 2);
    if ((got > 0 && start[0] != 0xFF) || (got > 1 && start[1] != 0xD8)) return Refusal::Malformed;
    if (got < 2) return Refusal::Truncated;
    for (;;) {
        int byte = in.next();
        if (byte < 0) break;
        if (byte != 0xFF) continue;
        while ((byte = in.next()) == 0xFF) {
        }
        if (byte < 0) break;
        const auto marker = uint8_t(byte);
        // 0x00 after 0xFF is no marker; TEM, RSTn and SOI have no length.
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;
        // The end of the image, or a scan, before any frame header.
        if ((marker == 0xD9 || marker == 0xDA) && !segments.found) return Refusal::Malformed;
        if (marker == 0xD9) break;
        if (marker == 0xDA) {
            segments.scanAt = in.position();
            break;
        }
        uint8_t field[2];
        if (in.read(field, 2) < 2) break;
        const std::size_t length = bigEndian16(field);
        if (length < 2) return Refusal::Malformed;
        if (!isFrameHeader(marker) || segments.found) {
            in.skip(length - 2);
            continue;
        }
        segments.found = true;
        segments.arithmetic = marker >= 0xC9;
        uint8_t payload[6 + 3 * 255]; // the most a frame header's payload describes
        const std::size_t held = in.read(payload, std::min(length - 2, sizeof payload));
        segments.frame = frameSize(payload, held);
        in.skip(length - 2 - held);
    }
    return segments.found ? kOk : Refusal::Truncated;
}

// Why the library refused a header (or read one of no size from a file that ended first): the
// walk's reason, or a frame header it found but could not read.
DecodeResult headerRefusal(const uint8_t* data, std::size_t size) {
    MemorySource source(data, size);
    Segments segments;
    const DecodeResult walked = walkSegments(source, segments);
    return walked ? DecodeResult(Refusal::Malformed) : walked;
}

// Where the segment whose length field starts at `at` ends (the end of the data when it is cut).
std::size_t segmentEnd(const uint8_t* data, std::size_t size, std::size_t at) {
    if (at + 2 > size) return size;
    return std::min(size, at + bigEndian16(data + at));
}

// Bytes of entropy-coded data from the first scan (whose header's length field is at `scanAt`)
// on: every scan's data, stuffed bytes and restart markers included, up to the end of the image,
// or of the file when it has none. The scans' headers, the tables between scans and whatever
// follows the end of the image (padding, a thumbnail, another file) are no scan data: counted,
// a few bytes of flat arithmetic-coded picture with padding after them would pass for data.
// Nor are zero bytes just before a marker in arithmetic-coded data: its coder never ends a scan
// or a restart interval with them (the decoder supplies zeros where the data ends), so they
// are padding too.
uint64_t scanDataBytes(const uint8_t* data, std::size_t size, std::size_t scanAt, bool arithmetic) {
    uint64_t counted = 0;
    std::size_t at = segmentEnd(data, size, scanAt);
    while (at < size) {
        const auto* marker = static_cast<const uint8_t*>(std::memchr(data + at, 0xFF, size - at));
        const std::size_t found = marker ? std::size_t(marker - data) : size;
        std::size_t end = found;
        while (arithmetic && end > at && data[end - 1] == 0)
            --end;
        counted += end - at;
        if (!marker) break;
        std::size_t code = found + 1;
        while (code < size && data[code] == 0xFF) // fill bytes before a marker
            ++code;
        if (code >= size || data[code] == 0xD9) break;
        if (data[code] == 0x00 || (data[code] >= 0xD0 && data[code] <= 0xD7)) {
            counted += code + 1 - found; // a stuffed 0xFF, or a restart marker: still the scan
            at = code + 1;
        } else {
            // Tables, another scan's header, or any segment between scans: passed over.
            const bool standalone = data[code] == 0x01 || data[code] == 0xD8;
            at = standalone ? code + 1 : segmentEnd(data, size, code + 1);
        }
    }
    return counted;
}

} // namespace

bool jpegDataCanFill(const uint8_t* data, std::size_t size) {
    MemorySource source(data, size);
    Segments segments;
    if (!walkSegments(source, segments)) return false;
    const uint64_t present =
        segments.scanAt ? scanDataBytes(data, size, segments.scanAt, segments.arithmetic) : 0;
    const FrameSize& frame = segments.frame;
    return fitsItsData(frame.width * frame.height, cappedProduct(frame.blocks, 64),
                       jpegProducible(present));
}

DecodeResult readJpegHeader(ByteSource& source, PictureHeader& header) {
    Segments segments;
    if (const DecodeResult walked = walkSegments(source, segments); !walked) return walked;
    if (!header.setSize(segments.frame.width, segments.frame.height)) return Refusal::Malformed;
    header.bitsPerPixel = 24; // grey, colour and CMYK files all become 24-bit pictures
    header.frames = 1;
    return kOk;
}

const JpegLibrary* jpegLibrary() {
    if (disabled) return nullptr;
    std::call_once(loadOnce, [] {
        loadLibrary();
        static ReleaseAtExit release;
    });
    return available ? &library : nullptr;
}

void disableJpegLibrary(bool disable) {
    disabled = disable;
}

DecodeResult jpegSize(const uint8_t* data, std::size_t size, int& width, int& height) {
    const JpegLibrary* lib = jpegLibrary();
    if (!lib) return Refusal::NoDecoder;
    if (!data || size == 0) return Refusal::Truncated;
    if (size > ULONG_MAX) return Refusal::TooLarge;
    InFlight use;
    if (!use.usable()) return Refusal::NoDecoder;
    Decompressor decompressor(*lib);
    if (!decompressor.get()) return Refusal::OutOfMemory;
    int subsampling = 0, colorspace = 0;
    if (lib->decompressHeader3(decompressor.get(), data, (unsigned long)size, &width, &height,
                               &subsampling, &colorspace) != 0 ||
        width <= 0 || height <= 0)
        return headerRefusal(data, size);
    return kOk;
}

int jpegScaledSide(int side, int eighths) {
    // The library's output side at n/8 is the side times n/8, rounded up.
    return int((int64_t(side) * eighths + 7) / 8);
}

int jpegScale(int width, int height, Size atLeast) {
    const JpegLibrary* lib = jpegLibrary();
    if (!lib) return 8;
    for (int n = 1; n < 8; ++n)
        if ((lib->reducedEighths >> n & 1) && jpegScaledSide(width, n) >= atLeast.width &&
            jpegScaledSide(height, n) >= atLeast.height)
            return n;
    return 8;
}

DecodeResult decodeJpeg(const uint8_t* data, std::size_t size, Picture& picture, uint64_t maxPixels,
                        int eighths, bool keepInks) {
    const JpegLibrary* lib = jpegLibrary();
    if (!lib) return Refusal::NoDecoder;
    if (!data || size == 0) return Refusal::Truncated;
    if (size > ULONG_MAX) return Refusal::TooLarge;
    InFlight use;
    if (!use.usable()) return Refusal::NoDecoder;
    Decompressor decompressor(*lib);
    if (!decompressor.get()) return Refusal::OutOfMemory;

    // Header first: the size is known and checked before anything is allocated.
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (lib->decompressHeader3(decompressor.get(), data, (unsigned long)size, &width, &height,
                               &subsampling, &colorspace) != 0)
        return headerRefusal(data, size);
    if (width <= 0 || height <= 0) return headerRefusal(data, size);
    if (uint64_t(width) * uint64_t(height) > maxPixels) return Refusal::TooLarge;
    if (!jpegDataCanFill(data, size)) return Refusal::SizeRule;
    if (eighths >= 1 && eighths < 8 && (lib->reducedEighths >> eighths & 1)) {
        // Scaled in the inverse DCT: given a reduced size, the library picks the largest scale
        // whose output fits it, which is this one (or one that comes out the same size).
        width = jpegScaledSide(width, eighths);
        height = jpegScaledSide(height, eighths);
    }

    const bool inks = colorspace == kColorspaceCmyk || colorspace == kColorspaceYcck;
    if (inks && keepInks) {
        if (const DecodeResult made = createPicture(picture, width, height, 32); !made) return made;
        lib->decompress2(decompressor.get(), data, (unsigned long)size, picture.pixels(), width,
                         int(picture.rowSize()), height, kPixelFormatCmyk, kFlagLimitScans);
        return kOk;
    }
    if (inks) return decodeInk(*lib, decompressor.get(), data, size, width, height, picture);

    if (const DecodeResult made = createPicture(picture, width, height, 24); !made) return made;
    // Straight into the pixel block at the picture's padded pitch; grey files are expanded to
    // blue = green = red by the library. A warning (data cut short) or an error part-way leaves
    // the rows not yet written as they were, and the picture still counts.
    lib->decompress2(decompressor.get(), data, (unsigned long)size, picture.pixels(), width,
                     int(picture.rowSize()), height, kPixelFormatBgr, kFlagLimitScans);
    return kOk;
}

DecodeResult decodeJpeg(const char* path, Picture& picture) {
    PictureMetadata unused;
    return decodeJpeg(path, picture, unused);
}

DecodeResult decodeJpeg(const char* path, Picture& picture, PictureMetadata& metadata) {
    if (!jpegLibrary()) return Refusal::NoDecoder;
    FileSource file;
    if (const DecodeResult opened = file.open(path); !opened) return opened;
    const uint64_t size = file.size();
    if (size == 0) return Refusal::Truncated;
    if (size > kMaxWholeFileBytes) return Refusal::TooLarge;
    // One read of the whole file; the library decodes from memory.
    LargeBuffer bytes{std::size_t(size), AfterUse::Release};
    if (!bytes) return Refusal::OutOfMemory;
    const std::size_t got = file.readAt(0, bytes.data(), bytes.size());
    const bool keepInks =
        readJpegMetadata(bytes.data(), got, metadata) == 4 && hasInkProfile(metadata);
    const DecodeResult decoded =
        decodeJpeg(bytes.data(), got, picture, kMaxPicturePixels, 8, keepInks);
    metadata.inks = decoded && picture.bitsPerPixel() == 32;
    return decoded;
}

} // namespace vistrel
