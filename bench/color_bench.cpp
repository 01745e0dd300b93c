// The colour path's cost on a large photo, measured beside the same photo without a profile in
// one interleaved run:
//   first frame   CachedPicture::load as the window's first frame makes it (a reduced decode and
//                 its screen copy for a 1920x1080 screen), plain and with its profile
//   full load     the same at full resolution, the whole picture converted
//   conversion    the conversion of the decoded picture alone: ours (in bands on every core)
//                 against lcms2 as transicc and jpgicc use it (the transform made, then one call
//                 over the picture in one thread)
// Usage: vistrel-bench-color PLAIN.jpg PROFILED.jpg [ROUNDS]. Prints medians and ratios.
#include "CachedPicture.h"
#include "ColorManagement.h"
#include "JpegDecoder.h"
#include "JpegMetadata.h"

#include <lcms2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <vector>

using namespace vistrel;

namespace {

double msOf(const std::function<void()>& run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<uint8_t> readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vistrel-bench-color PLAIN.jpg PROFILED.jpg [ROUNDS]\n");
        return 2;
    }
    const char* plain = argv[1];
    const char* profiled = argv[2];
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 15;

    ScreenCopyPolicy firstFrame;
    firstFrame.screen = {1920, 1080};
    firstFrame.windowExists = true;
    firstFrame.reduceLargeJpeg = true;
    ScreenCopyPolicy full = firstFrame;
    full.reduceLargeJpeg = false;

    // The decoded picture and its profile, for the conversion alone.
    const std::vector<uint8_t> bytes = readFile(profiled);
    PictureMetadata metadata;
    readJpegMetadata(bytes.data(), bytes.size(), metadata);
    Picture decoded, work;
    if (!decodeJpeg(bytes.data(), bytes.size(), decoded) || metadata.iccProfile.empty()) {
        std::fprintf(stderr, "cannot decode %s, or it has no profile\n", profiled);
        return 1;
    }
    work.copyFrom(decoded);

    std::vector<double> firstPlain, firstProfiled, fullPlain, fullProfiled, ours, single;
    CachedPicture record;
    auto load = [&](const char* file, const ScreenCopyPolicy& policy) {
        return msOf([&] {
            if (!record.load(file, policy)) std::exit(1);
        });
    };
    for (int round = -1; round < rounds; ++round) { // round -1 warms caches up
        const double a = load(plain, firstFrame), b = load(profiled, firstFrame);
        const double c = load(plain, full), d = load(profiled, full);
        const double e = msOf([&] { convertToTarget(work, metadata, {}); });
        const double f = msOf([&] {
            cmsHPROFILE in = cmsOpenProfileFromMem(metadata.iccProfile.data(),
                                                   cmsUInt32Number(metadata.iccProfile.size()));
            cmsHPROFILE out = cmsCreate_sRGBProfile();
            cmsHTRANSFORM t =
                cmsCreateTransform(in, TYPE_BGR_8, out, TYPE_BGR_8, INTENT_PERCEPTUAL, 0);
            cmsDoTransformLineStride(t, work.pixels(), work.pixels(), work.width(), work.height(),
                                     work.rowSize(), work.rowSize(), 0, 0);
            cmsDeleteTransform(t);
            cmsCloseProfile(in);
            cmsCloseProfile(out);
        });
        if (round < 0) continue;
        firstPlain.push_back(a), firstProfiled.push_back(b), fullPlain.push_back(c);
        fullProfiled.push_back(d), ours.push_back(e), single.push_back(f);
    }
    const double pixels = double(decoded.width()) * decoded.height() / 1e6;
    std::printf("%-40s %9s %9s %7s\n", "", "plain ms", "P3 ms", "ratio");
    std::printf("%-40s %9.1f %9.1f %7.3f  (target <= 1.1)\n", "first frame (reduced + screen copy)",
                median(firstPlain), median(firstProfiled),
                median(firstProfiled) / median(firstPlain));
    std::printf("%-40s %9.1f %9.1f %7.3f\n", "full load", median(fullPlain), median(fullProfiled),
                median(fullProfiled) / median(fullPlain));
    std::printf("%-40s %9s %9s %7s\n", "", "lcms2 ms", "ours ms", "ratio");
    std::printf("%-40s %9.1f %9.1f %7.3f  (target <= 1.0; %.1f MP)\n",
                "conversion alone, lcms2 in one thread", median(single), median(ours),
                median(ours) / median(single), pixels);
    return 0;
}
