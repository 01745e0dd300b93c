#include "PsdExport.h"

#include "Files.h"
#include "PngWriter.h"

#include <cstdio>
#include <thread>

namespace vistrel {

namespace {

bool hasTransparency(const uint32_t* pixels, uint64_t count) {
    for (uint64_t i = 0; i < count; ++i)
        if (pixels[i] >> 24 != 0xFF) return true;
    return false;
}

struct Job {
    std::string path;
    int width, height;
    const uint32_t* pixels; // RGB or RGBA words; null for a mask
    const uint8_t* samples; // a mask's bytes
    bool alpha;
};

bool run(const Job& job) {
    const bool written =
        job.pixels ? writePng(job.path.c_str(), job.width, job.height, job.pixels, job.alpha)
                   : writeGrayPng(job.path.c_str(), job.width, job.height, job.samples);
    if (!written) std::fprintf(stderr, "vistrel-psd: cannot write %s\n", job.path.c_str());
    return written;
}

} // namespace

bool exportDocument(const PsdContext& psd, const uint32_t* composite, const std::string& folder,
                    PsdExportFiles& files) {
    if (!makeFolder(folder.c_str())) {
        std::fprintf(stderr, "vistrel-psd: cannot make the folder %s\n", folder.c_str());
        return false;
    }
    const std::string prefix = folder + "/";
    const int width = int(psd.width), height = int(psd.height);
    std::vector<Job> jobs;
    if (psd.merged) {
        files.merged = "merged.png";
        jobs.push_back({prefix + files.merged, width, height, psd.merged, nullptr,
                        hasTransparency(psd.merged, uint64_t(psd.width) * psd.height)});
    }
    if (composite) {
        files.composite = "composite.png";
        jobs.push_back({prefix + files.composite, width, height, composite, nullptr, true});
    }
    files.pixels.assign(size_t(psd.layer_count > 0 ? psd.layer_count : 0), {});
    files.masks.assign(files.pixels.size(), {});
    for (int32_t i = 0; psd.layers && i < psd.layer_count; ++i) {
        const PsdLayerRecord& layer = psd.layers[i];
        const std::string name = "layer-" + std::to_string(i);
        if (layer.pixels && layer.width > 0 && layer.height > 0) {
            files.pixels[size_t(i)] = name + ".png";
            jobs.push_back({prefix + files.pixels[size_t(i)], layer.width, layer.height,
                            layer.pixels, nullptr, true});
        }
        if (layer.mask_pixels && layer.mask_width > 0 && layer.mask_height > 0) {
            files.masks[size_t(i)] = name + "-mask.png";
            jobs.push_back({prefix + files.masks[size_t(i)], layer.mask_width, layer.mask_height,
                            nullptr, layer.mask_pixels, false});
        }
    }
    // Compression is the work: two writers share the files.
    bool ok[2] = {true, true};
    auto share = [&](size_t first, bool* result) {
        for (size_t j = first; j < jobs.size(); j += 2)
            *result = run(jobs[j]) && *result;
    };
    std::thread second(share, 1, &ok[1]);
    share(0, &ok[0]);
    second.join();
    return ok[0] && ok[1];
}

} // namespace vistrel
