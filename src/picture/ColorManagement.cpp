#include "ColorManagement.h"

#include "HdrTransfer.h"
#include "IccProfile.h"
#include "MatrixShaper.h"

#include <lcms2.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace vistrel {

namespace {

// Pictures of at least this many pixels are converted in bands on several cores.
constexpr uint64_t kBandedPixels = uint64_t(1) << 19;
constexpr unsigned kMostBands = 4;
// Profiles and transforms kept for reuse; the least recently used goes first.
constexpr std::size_t kKeptProfiles = 16;
constexpr std::size_t kKeptTransforms = 32;

// Pixel layouts of lcms2 that lcms2.h has no name for: a grey value followed by the other bytes
// of a blue-green-red(-alpha) pixel, whose first byte is read.
constexpr cmsUInt32Number kGrayIn24 =
    COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(2);
constexpr cmsUInt32Number kGrayIn32 =
    COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3);

uint64_t hashBytes(const uint8_t* data, std::size_t size) {
    uint64_t hash = 0xCBF29CE484222325u; // FNV-1a
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 0x100000001B3u;
    return hash;
}

void quiet(cmsContext, cmsUInt32Number, const char*) {}

struct Profile {
    // What the profile was made from: a profile's bytes, a description's numbers, or nothing for
    // the built-in sRGB.
    std::vector<uint8_t> key;
    uint64_t hash = 0;
    cmsHPROFILE handle = nullptr;
    ProfileSpace space = ProfileSpace::Other;
    cmsUInt32Number intent = INTENT_PERCEPTUAL;
    std::string description;
    // Converts to sRGB as it is, within a level: nothing to do.
    bool srgb = false;

    Profile() = default;
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;
    ~Profile() {
        if (handle) cmsCloseProfile(handle);
    }
};

} // namespace

class ColorTransform {
public:
    ColorTransform(std::shared_ptr<const Profile> source, std::shared_ptr<const Profile> target,
                   cmsUInt32Number in, cmsUInt32Number out, cmsHTRANSFORM handle)
        : source_(std::move(source)), target_(std::move(target)), in_(in), out_(out),
          handle_(handle) {
        // Blue-green-red pixels between matrix-shaper profiles take the tables' fast path.
        if ((in == TYPE_BGR_8 && out == TYPE_BGR_8) || (in == TYPE_BGRA_8 && out == TYPE_BGRA_8))
            shaper_ = MatrixShaper::make(source_->handle, target_->handle, source_->intent);
    }
    ColorTransform(const ColorTransform&) = delete;
    ColorTransform& operator=(const ColorTransform&) = delete;
    ~ColorTransform() { cmsDeleteTransform(handle_); }

    bool is(const Profile* source, const Profile* target, cmsUInt32Number in,
            cmsUInt32Number out) const {
        return source_.get() == source && target_.get() == target && in_ == in && out_ == out;
    }
    // Whether it converts pictures of `depth` bits: 3-byte pixels at 24, 4-byte pixels at 32 and
    // the 4-byte entries of a colour table below 9.
    bool reads(int depth) const {
        const bool threeBytes = out_ == TYPE_BGR_8;
        return depth == 24 ? threeBytes
                           : (depth == 32 || (depth >= 1 && depth <= 8)) && !threeBytes;
    }
    // Converts rows of `width` pixels; the input and output may be the same memory when their
    // pixels are equally large.
    void run(const uint8_t* in, std::size_t inStride, uint8_t* out, std::size_t outStride,
             int width, int height) const;

private:
    void band(const uint8_t* in, std::size_t inStride, uint8_t* out, std::size_t outStride,
              int width, int height) const {
        if (shaper_) {
            shaper_->run(in, inStride, out, outStride, width, height, in_ == TYPE_BGR_8 ? 3 : 4);
            return;
        }
        cmsDoTransformLineStride(handle_, in, out, cmsUInt32Number(width), cmsUInt32Number(height),
                                 cmsUInt32Number(inStride), cmsUInt32Number(outStride), 0, 0);
    }

    std::shared_ptr<const Profile> source_, target_;
    cmsUInt32Number in_, out_;
    cmsHTRANSFORM handle_;
    std::unique_ptr<MatrixShaper> shaper_;
};

void ColorTransform::run(const uint8_t* in, std::size_t inStride, uint8_t* out,
                         std::size_t outStride, int width, int height) const {
    if (width <= 0 || height <= 0) return;
    unsigned bands = 1;
    if (uint64_t(width) * uint64_t(height) >= kBandedPixels)
        bands = std::clamp(std::thread::hardware_concurrency(), 1u, kMostBands);
    bands = std::min(bands, unsigned(height));
    const int rowsPerBand = (height + int(bands) - 1) / int(bands);
    std::vector<std::thread> helpers;
    int first = rowsPerBand; // the rows this thread converts itself: the first band
    for (int y = rowsPerBand; y < height; y += rowsPerBand) {
        const int rows = std::min(rowsPerBand, height - y);
        const uint8_t* bandIn = in + std::size_t(y) * inStride;
        uint8_t* bandOut = out + std::size_t(y) * outStride;
        try {
            helpers.emplace_back(
                [=, this] { band(bandIn, inStride, bandOut, outStride, width, rows); });
        } catch (const std::system_error&) {
            band(bandIn, inStride, bandOut, outStride, width, rows); // no thread to be had
        }
    }
    band(in, inStride, out, outStride, width, std::min(first, height));
    for (std::thread& helper : helpers)
        helper.join();
}

namespace {

class Cache {
public:
    static Cache& shared() {
        // Never destroyed: a decode on an abandoned worker may still use it while the process
        // exits.
        static Cache* cache = new Cache;
        return *cache;
    }

    std::shared_ptr<const Profile> fromBytes(const std::vector<uint8_t>& bytes);
    std::shared_ptr<const Profile> fromDescription(const ColorDescription& description);
    std::shared_ptr<const Profile> srgb() { return srgb_; }
    // The target's display profile: sRGB where it has none, or one that is not a usable RGB
    // profile.
    std::shared_ptr<const Profile> display(const ColorTarget& target) {
        if (!target.displayProfile || target.displayProfile->empty()) return srgb_;
        std::shared_ptr<const Profile> profile = fromBytes(*target.displayProfile);
        return profile && profile->space == ProfileSpace::Rgb ? profile : srgb_;
    }
    std::shared_ptr<const ColorTransform> transform(const std::shared_ptr<const Profile>& source,
                                                    const std::shared_ptr<const Profile>& target,
                                                    cmsUInt32Number in, cmsUInt32Number out);

private:
    Cache() {
        cmsSetLogErrorHandler(quiet);
        auto profile = std::make_shared<Profile>();
        profile->handle = cmsCreate_sRGBProfile();
        // As a version 2 profile, as the sRGB profiles other programs convert to are: lcms2
        // compensates black points on its own for version 4 ones, and CMYK blacks would then
        // come out darker than everywhere else.
        cmsSetProfileVersion(profile->handle, 2.1);
        profile->space = ProfileSpace::Rgb;
        profile->description = "sRGB";
        profile->srgb = true;
        srgb_ = profile;
    }

    // The kept profile of `key`, or one `open` makes (then given its description and whether it
    // is sRGB), kept in place of the least recently used; null when it cannot be opened.
    std::shared_ptr<const Profile> profileFor(std::vector<uint8_t> key, uint64_t hash,
                                              const std::function<bool(Profile&)>& open);

    std::mutex mutex_;
    std::shared_ptr<const Profile> srgb_;
    std::vector<std::shared_ptr<const Profile>> profiles_;          // most recent last
    std::vector<std::shared_ptr<const ColorTransform>> transforms_; // most recent last
};

// Moves entry `i` to the end, where the most recently used entries stand.
template <typename T> void moveToMostRecent(std::vector<T>& list, std::size_t i) {
    std::rotate(list.begin() + long(i), list.begin() + long(i) + 1, list.end());
}

// Whether pixels in the profile's space come out of sRGB unchanged (within one level): a grid of
// colours (or the grey ramp) is converted and compared.
bool convertsAsSrgb(const Profile& profile, cmsHPROFILE srgb) {
    const bool gray = profile.space == ProfileSpace::Gray;
    cmsHTRANSFORM check =
        cmsCreateTransform(profile.handle, gray ? TYPE_GRAY_8 : TYPE_RGB_8, srgb, TYPE_RGB_8,
                           INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE);
    if (!check) return false;
    std::vector<uint8_t> in, out;
    if (gray) {
        for (int v = 0; v < 256; ++v)
            in.push_back(uint8_t(v));
    } else {
        for (int r = 0; r <= 255; r += 15)
            for (int g = 0; g <= 255; g += 15)
                for (int b = 0; b <= 255; b += 15)
                    in.insert(in.end(), {uint8_t(r), uint8_t(g), uint8_t(b)});
    }
    const std::size_t pixels = gray ? in.size() : in.size() / 3;
    out.resize(pixels * 3);
    cmsDoTransform(check, in.data(), out.data(), cmsUInt32Number(pixels));
    cmsDeleteTransform(check);
    for (std::size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < 3; ++c)
            if (std::abs(int(out[i * 3 + c]) - int(gray ? in[i] : in[i * 3 + c])) > 1) return false;
    return true;
}

std::shared_ptr<const Profile> Cache::profileFor(std::vector<uint8_t> key, uint64_t hash,
                                                 const std::function<bool(Profile&)>& open) {
    std::lock_guard guard(mutex_);
    for (std::size_t i = 0; i < profiles_.size(); ++i) {
        if (profiles_[i]->hash == hash && profiles_[i]->key == key) {
            moveToMostRecent(profiles_, i);
            return profiles_.back();
        }
    }
    auto profile = std::make_shared<Profile>();
    profile->key = std::move(key);
    profile->hash = hash;
    if (!open(*profile) || !profile->handle) return nullptr;
    char text[256] = {};
    cmsGetProfileInfoASCII(profile->handle, cmsInfoDescription, "en", "US", text, sizeof text);
    profile->description = text;
    if (profile->space == ProfileSpace::Rgb || profile->space == ProfileSpace::Gray)
        profile->srgb = convertsAsSrgb(*profile, srgb_->handle);
    if (profiles_.size() >= kKeptProfiles) profiles_.erase(profiles_.begin());
    profiles_.push_back(profile);
    return profile;
}

std::shared_ptr<const Profile> Cache::fromBytes(const std::vector<uint8_t>& bytes) {
    ProfileHeader header;
    if (!checkProfile(bytes.data(), bytes.size(), header)) return nullptr;
    std::vector<uint8_t> key(bytes.begin(), bytes.begin() + long(header.size));
    const uint64_t hash = hashBytes(key.data(), key.size());
    return profileFor(std::move(key), hash, [&](Profile& profile) {
        profile.handle =
            cmsOpenProfileFromMem(profile.key.data(), cmsUInt32Number(profile.key.size()));
        if (!profile.handle) return false;
        // The header's word against what lcms2 reads: both must agree on the pixels' layout.
        // Taken as a number: lcms2 returns whatever signature the file holds, also one its
        // enumeration does not name.
        const auto space = uint32_t(cmsGetColorSpace(profile.handle));
        profile.space = space == uint32_t(cmsSigRgbData)    ? ProfileSpace::Rgb
                        : space == uint32_t(cmsSigGrayData) ? ProfileSpace::Gray
                        : space == uint32_t(cmsSigCmykData) ? ProfileSpace::Cmyk
                                                            : ProfileSpace::Other;
        if (profile.space != header.space) profile.space = ProfileSpace::Other;
        profile.intent = header.intent;
        return true;
    });
}

// A high dynamic range curve, tone-mapped, as a table fine enough for PQ's steep dark end.
cmsToneCurve* hdrCurve(ColorDescription::Transfer transfer) {
    constexpr int kEntries = 4096;
    std::vector<cmsFloat32Number> table(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        const double signal = double(i) / (kEntries - 1);
        table[std::size_t(i)] = cmsFloat32Number(transfer == ColorDescription::Transfer::Pq
                                                     ? displayLightOfPq(signal)
                                                     : displayLightOfHlg(signal));
    }
    return cmsBuildTabulatedToneCurveFloat(nullptr, kEntries, table.data());
}

std::shared_ptr<const Profile> Cache::fromDescription(const ColorDescription& d) {
    std::vector<uint8_t> key(sizeof d);
    std::memcpy(key.data(), &d, sizeof d);
    key.insert(key.begin(), {'d', 'e', 's', 'c'});
    const uint64_t hash = hashBytes(key.data(), key.size());
    return profileFor(std::move(key), hash, [&](Profile& profile) {
        const cmsCIExyY white = {d.white[0], d.white[1], 1.0};
        const cmsCIExyYTRIPLE primaries = {
            {d.red[0], d.red[1], 1.0}, {d.green[0], d.green[1], 1.0}, {d.blue[0], d.blue[1], 1.0}};
        cmsToneCurve* curve = nullptr;
        if (d.transfer == ColorDescription::Transfer::Srgb) {
            const cmsFloat64Number srgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92,
                                                   0.04045};
            curve = cmsBuildParametricToneCurve(nullptr, 4, srgbCurve);
        } else if (d.transfer == ColorDescription::Transfer::Pq ||
                   d.transfer == ColorDescription::Transfer::Hlg) {
            curve = hdrCurve(d.transfer);
        } else if (d.gamma > 0.05 && d.gamma < 20) {
            curve = cmsBuildGamma(nullptr, d.gamma);
        }
        if (!curve) return false;
        cmsToneCurve* curves[3] = {curve, curve, curve};
        profile.handle = cmsCreateRGBProfile(&white, &primaries, curves);
        cmsFreeToneCurve(curve);
        profile.space = ProfileSpace::Rgb;
        return profile.handle != nullptr;
    });
}

std::shared_ptr<const ColorTransform> Cache::transform(const std::shared_ptr<const Profile>& source,
                                                       const std::shared_ptr<const Profile>& target,
                                                       cmsUInt32Number in, cmsUInt32Number out) {
    std::lock_guard guard(mutex_);
    for (std::size_t i = 0; i < transforms_.size(); ++i) {
        if (transforms_[i]->is(source.get(), target.get(), in, out)) {
            moveToMostRecent(transforms_, i);
            return transforms_.back();
        }
    }
    // The one-pixel cache helps only pictures of one colour; without it a transform is shared by
    // threads without a thought.
    // Grey and CMYK profiles go through tables lcms2 samples at 8 bits; sampled finer, their dark
    // tones stay within a level of a 16-bit conversion. RGB matrix profiles keep their exact
    // fast path.
    const cmsUInt32Number precision =
        source->space == ProfileSpace::Rgb && target->space == ProfileSpace::Rgb
            ? 0
            : cmsFLAGS_HIGHRESPRECALC;
    cmsHTRANSFORM handle = cmsCreateTransform(source->handle, in, target->handle, out,
                                              source->intent, cmsFLAGS_NOCACHE | precision);
    if (!handle) return nullptr;
    auto made = std::make_shared<const ColorTransform>(source, target, in, out, handle);
    if (transforms_.size() >= kKeptTransforms) transforms_.erase(transforms_.begin());
    transforms_.push_back(made);
    return made;
}

// The profile the metadata states, or null: none, or one that cannot be used.
std::shared_ptr<const Profile> statedProfile(const PictureMetadata& metadata) {
    if (!metadata.iccProfile.empty()) return Cache::shared().fromBytes(metadata.iccProfile);
    if (metadata.declaredSrgb) return Cache::shared().srgb();
    if (metadata.described) return Cache::shared().fromDescription(*metadata.described);
    return nullptr;
}

// The layout lcms2 reads a picture's pixels (or colour table entries) in.
cmsUInt32Number inputLayout(ProfileSpace space, int bytesPerPixel) {
    if (space == ProfileSpace::Gray) return bytesPerPixel == 3 ? kGrayIn24 : kGrayIn32;
    if (space == ProfileSpace::Rgb) return bytesPerPixel == 3 ? TYPE_BGR_8 : TYPE_BGRA_8;
    return 0;
}

// The transform from `source` to `target` for pictures of `depth` bits (a colour table's entries
// below 9); null when it cannot be made or the depth is not converted.
std::shared_ptr<const ColorTransform> transformFor(const std::shared_ptr<const Profile>& source,
                                                   const std::shared_ptr<const Profile>& target,
                                                   int depth) {
    if (!(depth <= 8 || depth == 24 || depth == 32)) return nullptr;
    const int bytesPerPixel = depth == 24 ? 3 : 4; // a colour table's entries are 4 bytes
    const cmsUInt32Number in = inputLayout(source->space, bytesPerPixel);
    if (!in) return nullptr;
    return Cache::shared().transform(source, target, in,
                                     bytesPerPixel == 3 ? TYPE_BGR_8 : TYPE_BGRA_8);
}

// Converts the picture in place from `source` to `target`.
bool convertPicture(Picture& picture, const std::shared_ptr<const Profile>& source,
                    const std::shared_ptr<const Profile>& target) {
    if (picture.empty()) return false;
    const std::shared_ptr<const ColorTransform> transform =
        transformFor(source, target, picture.bitsPerPixel());
    return transform && convertWith(*transform, picture);
}

} // namespace

bool ColorTarget::operator==(const ColorTarget& other) const {
    if (manage != other.manage) return false;
    const bool noProfile = !displayProfile || displayProfile->empty();
    const bool otherNoProfile = !other.displayProfile || other.displayProfile->empty();
    if (noProfile || otherNoProfile) return noProfile == otherNoProfile;
    return *displayProfile == *other.displayProfile;
}

std::string describeColorSpace(const PictureMetadata& metadata) {
    if (!metadata.iccProfile.empty()) {
        const std::shared_ptr<const Profile> profile = statedProfile(metadata);
        return profile ? profile->description : std::string();
    }
    if (metadata.declaredSrgb) return "sRGB";
    if (metadata.described) return "gAMA/cHRM";
    return {};
}

bool convertToTarget(Picture& picture, const PictureMetadata& metadata, const ColorTarget& target) {
    if (picture.empty()) return false;
    const std::shared_ptr<const ColorTransform> transform =
        targetTransform(metadata, target, picture.bitsPerPixel());
    return transform && convertWith(*transform, picture);
}

std::shared_ptr<const ColorTransform> targetTransform(const PictureMetadata& metadata,
                                                      const ColorTarget& target, int bitsPerPixel) {
    // Nothing stated (most pictures): no lookup, no lock.
    if (!target.manage || metadata.inks) return nullptr;
    if (metadata.iccProfile.empty() && !metadata.described) return nullptr;
    const std::shared_ptr<const Profile> source = statedProfile(metadata);
    // sRGB pictures stay as they are, whatever the display.
    if (!source || source->srgb) return nullptr;
    return transformFor(source, Cache::shared().display(target), bitsPerPixel);
}

bool convertWith(const ColorTransform& transform, Picture& picture) {
    const int depth = picture.bitsPerPixel();
    if (picture.empty() || !transform.reads(depth)) return false;
    if (depth <= 8) {
        auto* entries = reinterpret_cast<uint8_t*>(picture.colorTable());
        const int count = 1 << depth;
        transform.run(entries, std::size_t(count) * 4, entries, std::size_t(count) * 4, count, 1);
        return true;
    }
    transform.run(picture.pixels(), picture.rowSize(), picture.pixels(), picture.rowSize(),
                  picture.width(), picture.height());
    return true;
}

std::shared_ptr<const ColorTransform> inkTransform(const PictureMetadata& metadata,
                                                   const ColorTarget& target, int bitsPerPixel) {
    if (!target.manage || metadata.iccProfile.empty()) return nullptr;
    const std::shared_ptr<const Profile> source = statedProfile(metadata);
    if (!source || source->space != ProfileSpace::Cmyk) return nullptr;
    return Cache::shared().transform(source, Cache::shared().display(target), TYPE_CMYK_8_REV,
                                     bitsPerPixel == 32 ? TYPE_BGRA_8 : TYPE_BGR_8);
}

void convertInks(const ColorTransform& transform, const uint8_t* ink, std::size_t inkRowBytes,
                 Picture& picture) {
    const int width = picture.width(), height = picture.height();
    const uint32_t row = picture.rowSize();
    uint8_t* bits = picture.pixels();
    transform.run(ink, inkRowBytes, bits, row, width, height);
    if (picture.bitsPerPixel() != 32) return;
    // lcms2 leaves the fourth byte as it was: the black ink of pixels converted in place.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bits[std::size_t(y) * row + std::size_t(x) * 4 + 3] = 0xFF;
}

bool hasInkProfile(const PictureMetadata& metadata) {
    ProfileHeader header;
    return checkProfile(metadata.iccProfile.data(), metadata.iccProfile.size(), header) &&
           header.space == ProfileSpace::Cmyk;
}

bool convertInkPicture(Picture& picture, const PictureMetadata& metadata,
                       const ColorTarget& target) {
    if (picture.bitsPerPixel() != 32 || picture.empty()) return false;
    if (const std::shared_ptr<const ColorTransform> transform =
            inkTransform(metadata, target, 32)) {
        convertInks(*transform, picture.pixels(), picture.rowSize(), picture);
        return true;
    }
    // Without the profile: each colour is its ink's complement scaled by black's, as the
    // decoders convert CMYK files that have none.
    const uint32_t row = picture.rowSize();
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* p = picture.pixels() + std::size_t(y) * row;
        for (int x = 0; x < picture.width(); ++x, p += 4) {
            const unsigned c = p[0], m = p[1], yellow = p[2], k = p[3];
            p[0] = uint8_t((yellow * k + 127) / 255);
            p[1] = uint8_t((m * k + 127) / 255);
            p[2] = uint8_t((c * k + 127) / 255);
            p[3] = 0xFF;
        }
    }
    return false;
}

bool convertTargetToSrgb(Picture& picture, const ColorTarget& target) {
    if (!target.manage) return false;
    const std::shared_ptr<const Profile> display = Cache::shared().display(target);
    if (display->srgb) return false;
    return convertPicture(picture, display, Cache::shared().srgb());
}

} // namespace vistrel
