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
#include <ctime>
#include <fstream>
#include <functional>
#include <vector>

using namespace vistrel;

namespace {

// The processor time of the whole process (every thread's) in milliseconds: on a machine busy
// with other work it still says what a run cost, where the wall clock says how long it waited.
double cpuMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double lastCpu = 0; // the processor time of the last msOf

double msOf(const std::function<void()>& run) {
    const double cpuStart = cpuMs();
    const auto start = std::chrono::steady_clock::now();
    run();
    lastCpu = cpuMs() - cpuStart;
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
    firstFrame.screenCopyOnly = true;
    ScreenCopyPolicy full = firstFrame;
    full.screenCopyOnly = false;

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
    std::vector<double> cpu[6]; // the same runs' processor time
    CachedPicture record;
    auto load = [&](const char* file, const ScreenCopyPolicy& policy) {
        return msOf([&] {
            if (!record.load(file, policy)) std::exit(1);
        });
    };
    for (int round = -1; round < rounds; ++round) { // round -1 warms caches up
        double spent[6];
        const double a = load(plain, firstFrame);
        spent[0] = lastCpu;
        const double b = load(profiled, firstFrame);
        spent[1] = lastCpu;
        const double c = load(plain, full);
        spent[2] = lastCpu;
        const double d = load(profiled, full);
        spent[3] = lastCpu;
        const double e = msOf([&] { convertToTarget(work, metadata, {}); });
        spent[5] = lastCpu; // ours after lcms2's, as the rows print them
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
        spent[4] = lastCpu;
        if (round < 0) continue;
        for (int i = 0; i < 6; ++i)
            cpu[i].push_back(spent[i]);
        firstPlain.push_back(a), firstProfiled.push_back(b), fullPlain.push_back(c);
        fullProfiled.push_back(d), ours.push_back(e), single.push_back(f);
    }
    // How far ours lies from lcms2's own result, over every pixel.
    Picture byLcms;
    byLcms.copyFrom(decoded);
    work.copyFrom(decoded);
    convertToTarget(work, metadata, {});
    {
        cmsHPROFILE in = cmsOpenProfileFromMem(metadata.iccProfile.data(),
                                               cmsUInt32Number(metadata.iccProfile.size()));
        cmsHPROFILE out = cmsCreate_sRGBProfile();
        cmsHTRANSFORM t = cmsCreateTransform(in, TYPE_BGR_8, out, TYPE_BGR_8, INTENT_PERCEPTUAL, 0);
        cmsDoTransformLineStride(t, byLcms.pixels(), byLcms.pixels(), byLcms.width(),
                                 byLcms.height(), byLcms.rowSize(), byLcms.rowSize(), 0, 0);
        cmsDeleteTransform(t);
        cmsCloseProfile(in);
        cmsCloseProfile(out);
    }
    int largest = 0;
    for (uint32_t i = 0; i < work.imageSize(); ++i)
        largest = std::max(largest, std::abs(int(work.pixels()[i]) - int(byLcms.pixels()[i])));
    auto row = [&](const char* what, const std::vector<double>& base,
                   const std::vector<double>& test, int cpuBase, const char* target) {
        std::printf("%-36s %8.1f %8.1f %6.3f | %8.1f %8.1f %6.3f  %s\n", what, median(base),
                    median(test), median(test) / median(base), median(cpu[cpuBase]),
                    median(cpu[cpuBase + 1]), median(cpu[cpuBase + 1]) / median(cpu[cpuBase]),
                    target);
    };
    std::printf("%-36s %8s %8s %6s | %8s %8s %6s   (medians of %d rounds)\n", "", "wall ms", "",
                "ratio", "cpu ms", "", "ratio", rounds);
    std::printf("%-36s %8s %8s\n", "first frame and full load:", "plain", "P3");
    row("first frame (reduced + screen copy)", firstPlain, firstProfiled, 0, "(target <= 1.1)");
    row("full load", fullPlain, fullProfiled, 2, "");
    std::printf("%-36s %8s %8s\n", "conversion of the decoded picture:", "lcms2", "ours");
    row("lcms2 in one thread, ours in bands", single, ours, 4, "(target <= 1.0)");
    std::printf("%.1f MP\n", double(decoded.width()) * decoded.height() / 1e6);
    std::printf("largest difference of ours from lcms2's result: %d levels\n", largest);
    return 0;
}
