// vistrel-bench-picture: times one picture operation and prints the median in milliseconds.
//
//   vistrel-bench-picture OPERATION FILE RUNS [WxH] [OUT.ppm]
//
// Operations on a JPEG file (RUNS timed runs after one warm-up run):
//   decode         decodeJpeg into the same Picture every run (its block is reused)
//   decode-fresh   decodeJpeg into a new Picture every run (fresh memory, as at start-up)
//   turbo          TurboJPEG's own decode, same flags, into one reused malloc'ed buffer
//   turbo-fresh    the same into a freshly malloc'ed buffer every run
//   smooth, sharp, average   resizePicture filter 1, filter 3, averagePicture from the decoded
//                  24-bit picture to a WxH 32-bit picture (24-bit for average); OUT.ppm gets it
//   convert        convertPicture of the decoded picture to 32 bits
//   prepare        prepareScreenCopy as the viewer runs it once its window exists, on a WxH
//                  screen: 24-to-32 conversion and the filter 1 reduction
//   prepare-startup   the same before the window exists (averaging when reducing over 15:1)
//   metadata       readJpegMetadata of the file's bytes (EXIF block and ICC profile)
// On a PNG file:
//   png            decodePng from memory into the same Picture every run
//   png-libpng     the same through libpng alone (the reference its bytes are held to)
// Prints "OPERATION median_ms=M min_ms=M runs=N".

#include "CachedPicture.h"
#include "JpegDecoder.h"
#include "JpegMetadata.h"
#include "Platform.h"
#include "PngDecoder.h"
#include "Resampler.h"
#include "Scaling.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace vistrel;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::vector<double> timeRuns(int runs, const std::function<void()>& run) {
    run(); // warm-up: page cache, library loading, code
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    return ms;
}

std::vector<uint8_t> readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// TurboJPEG straight, the way its own tools use it: the reference the decoder is held against.
struct Turbo {
    void* (*init)() = nullptr;
    int (*header)(void*, const unsigned char*, unsigned long, int*, int*, int*, int*) = nullptr;
    int (*decompress)(void*, const unsigned char*, unsigned long, unsigned char*, int, int, int,
                      int, int) = nullptr;
    int (*destroy)(void*) = nullptr;
    bool load() {
        void* m = dlopen("libturbojpeg.so.0", RTLD_NOW);
        if (!m) return false;
        init = reinterpret_cast<decltype(init)>(dlsym(m, "tjInitDecompress"));
        header = reinterpret_cast<decltype(header)>(dlsym(m, "tjDecompressHeader3"));
        decompress = reinterpret_cast<decltype(decompress)>(dlsym(m, "tjDecompress2"));
        destroy = reinterpret_cast<decltype(destroy)>(dlsym(m, "tjDestroy"));
        return init && header && decompress && destroy;
    }
};

bool writePpm(const char* path, Picture& p) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const int w = p.width(), h = p.height(), bytes = p.bitsPerPixel() / 8;
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    const uint8_t* bits = p.pixels();
    std::vector<uint8_t> row(std::size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = bits + std::size_t(y) * p.rowSize();
        for (int x = 0; x < w; ++x) {
            row[3 * x] = s[x * bytes + 2];
            row[3 * x + 1] = s[x * bytes + 1];
            row[3 * x + 2] = s[x * bytes];
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0;
}

int usage() {
    std::fprintf(stderr, "usage: vistrel-bench-picture OPERATION FILE RUNS [WxH] [OUT.ppm]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) return usage();
    const std::string op = argv[1];
    const char* file = argv[2];
    const int runs = std::atoi(argv[3]);
    int tw = 1620, th = 1080;
    if (argc > 4 && std::sscanf(argv[4], "%dx%d", &tw, &th) != 2) return usage();
    const char* out = argc > 5 ? argv[5] : nullptr;
    if (runs < 1 || !jpegLibrary()) return usage();

    std::vector<double> ms;
    Picture picture;
    Picture result;
    if (op == "decode") {
        ms = timeRuns(runs, [&] { decodeJpeg(file, picture); });
    } else if (op == "decode-fresh") {
        ms = timeRuns(runs, [&] {
            Picture fresh;
            decodeJpeg(file, fresh);
        });
    } else if (op == "turbo" || op == "turbo-fresh") {
        Turbo tj;
        if (!tj.load()) return 1;
        const std::vector<uint8_t> jpeg = readFile(file);
        void* handle = tj.init();
        int w = 0, h = 0, sub = 0, cs = 0;
        tj.header(handle, jpeg.data(), jpeg.size(), &w, &h, &sub, &cs);
        const int pitch = (w * 3 + 3) & ~3;
        const std::size_t bytes = std::size_t(pitch) * std::size_t(h);
        unsigned char* reused = static_cast<unsigned char*>(std::malloc(bytes));
        const bool fresh = op == "turbo-fresh";
        ms = timeRuns(runs, [&] {
            unsigned char* buffer =
                fresh ? static_cast<unsigned char*>(std::malloc(bytes)) : reused;
            tj.decompress(handle, jpeg.data(), jpeg.size(), buffer, w, pitch, h, 1, 32768);
            if (fresh) std::free(buffer);
        });
        std::free(reused);
        tj.destroy(handle);
    } else if (op == "smooth" || op == "sharp" || op == "average" || op == "convert") {
        if (!decodeJpeg(file, picture)) return 1;
        if (op == "convert") {
            tw = picture.width();
            th = picture.height();
        }
        if (!result.create(tw, th, op == "average" ? 24 : 32, false)) return 1;
        uint8_t* s = picture.pixels();
        uint8_t* d = result.pixels();
        ms = timeRuns(runs, [&] {
            if (op == "average")
                averagePicture(result.info(), d, picture.info(), s);
            else if (op == "convert")
                convertPicture(d, result.info(), s, picture.info());
            else
                resizePicture(d, result.info(), s, picture.info(),
                              op == "smooth" ? ResizeFilter::Triangle : ResizeFilter::Lanczos3);
        });
        if (out && !writePpm(out, result)) return 1;
    } else if (op == "prepare" || op == "prepare-startup") {
        ScreenCopyPolicy policy;
        policy.screen = {tw, th};
        policy.windowExists = op == "prepare";
        CachedPicture record;
        record.picture = std::make_unique<Picture>();
        if (!decodeJpeg(file, *record.picture)) return 1;
        ms = timeRuns(runs, [&] { record.prepareScreenCopy(policy); });
        if (out && record.fitted && !writePpm(out, *record.fitted)) return 1;
    } else if (op == "png" || op == "png-libpng") {
        const std::vector<uint8_t> png = readFile(file);
        const bool fast = op == "png";
        ms = timeRuns(runs, [&] {
            fast ? decodePng(png.data(), png.size(), picture)
                 : decodePngWithLibpng(png.data(), png.size(), picture);
        });
    } else if (op == "metadata") {
        const std::vector<uint8_t> jpeg = readFile(file);
        ms = timeRuns(runs, [&] {
            PictureMetadata metadata;
            readJpegMetadata(jpeg.data(), jpeg.size(), metadata);
        });
    } else {
        return usage();
    }
    std::printf("%s median_ms=%.4f min_ms=%.4f runs=%d\n", op.c_str(), median(ms),
                *std::min_element(ms.begin(), ms.end()), runs);
    return 0;
}
