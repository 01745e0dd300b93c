// psd_open, the load state machine over the five sections of the file, and psd_free.
#include "psd_layer_reader.h"

#include "Files.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The load walks the five sections of the file in order; each reader's generic failure (-3) is
// reported as its own section's code.
struct Section {
    int (*read)(PsdContext*);
    int error;
};

constexpr Section kSections[] = {
    {psd_read_header, PSD_ERR_HEADER},
    {psd_read_color_mode_data, PSD_ERR_COLOR_MODE_DATA},
    {psd_read_image_resources, PSD_ERR_RESOURCES},
    {psd_read_layer_and_mask_info, PSD_ERR_LAYERS},
    {psd_read_image_data, PSD_ERR_IMAGE_DATA},
};
constexpr uint32_t kDone = sizeof kSections / sizeof kSections[0];

int run_state_machine(PsdContext* ctx) {
    for (;;) {
        if (ctx->stream.file_size < 1) return PSD_ERR_SHORT;
        if (ctx->state == kDone) return PSD_OK;
        if (ctx->state > kDone) return PSD_ERR_STATE;
        const Section& section = kSections[ctx->state];
        int status = section.read(ctx);
        if (status == PSD_ERR_STATE) return section.error;
        // A caller that will not take what the header describes stops here, before any pixel.
        if (status == PSD_OK && ctx->state == 0 && ctx->options && ctx->options->check_header)
            status = ctx->options->check_header(ctx);
        if (status != PSD_OK) return status;
        ++ctx->state;
    }
}

void close_stream(PsdStream& s) {
    std::free(s.buffer);
    s.buffer = nullptr;
    s.fill = s.position = 0;
    delete s.file;
    s.file = nullptr;
    s.memory = nullptr;
    s.path = nullptr;
}

// Layers drawn band by band from the file need it until psd_free.
bool keeps_file(const PsdContext* ctx) {
    for (int32_t i = 0; ctx->layers && i < ctx->layer_count; ++i)
        if (ctx->layers[i].bands) return true;
    return false;
}

// Loads a file (taking ownership of `file`, closed on every path) or the bytes held in memory into
// a new record.
int load(PsdContext** out, vistrel::InputFile* file, const uint8_t* memory, uint64_t size,
         const char* path, PsdOptions* options) {
    auto* ctx = static_cast<PsdContext*>(std::calloc(1, sizeof(PsdContext)));
    if (!ctx) {
        delete file;
        return PSD_ERR_MEMORY;
    }
    ctx->stream.path = path;
    ctx->stream.file = file;
    ctx->stream.memory = memory;
    ctx->stream.file_size = int64_t(size);
    ctx->state = 0;
    ctx->options = options;
    ctx->memory_budget =
        options && options->memory_budget ? options->memory_budget : psd_default_memory_budget();
    const int status = run_state_machine(ctx);
    ctx->options = nullptr;
    if (status != PSD_OK) {
        if (options) options->failed_state = ctx->state;
        psd_free(ctx);
        *out = nullptr;
        return status;
    }
    if (keeps_file(ctx)) {
        std::free(ctx->stream.buffer);
        ctx->stream.buffer = nullptr;
        ctx->stream.fill = ctx->stream.position = 0;
        ctx->stream.path = nullptr;
    } else {
        close_stream(ctx->stream);
    }
    *out = ctx;
    return PSD_OK;
}

void free_resources(PsdContext* ctx) {
    for (int i = 0; ctx->alpha_channels && i < ctx->alpha_channel_count; ++i) {
        PsdAlphaChannel& alpha = ctx->alpha_channels[i];
        psd_free_held(ctx, alpha.pixels, uint64_t(ctx->width) * ctx->height);
        std::free(alpha.unicode_name);
    }
    std::free(ctx->alpha_channels);
    ctx->alpha_channels = nullptr;

    PsdResources& r = ctx->resources;
    std::free(r.layer_groups.ids);
    std::free(r.grid.locations);
    std::free(r.grid.directions);
    std::free(r.thumbnail.data);
    std::free(r.color_samplers.samplers);
    std::free(r.slices.slices);
    std::free(r.version.writer);
    std::free(r.version.reader);
    std::free(r.exif.data);
    std::free(r.xmp.data);
    std::free(r.icc_profile.data);
    for (uint32_t i = 0; r.urls.entries && i < r.urls.count; ++i)
        std::free(r.urls.entries[i].url);
    std::free(r.urls.entries);
    psd_free_paths(&r);
    std::memset(&r, 0, sizeof r);
}

} // namespace

int psd_open(PsdContext** out, const char* path) {
    return psd_open_with(out, path, nullptr);
}

int psd_open_with(PsdContext** out, const char* path, PsdOptions* options) {
    if (!out) return PSD_ERR_NO_RESULT;
    if (!path) return PSD_ERR_OPEN;
    // Refused before any read unless it is a regular file: a FIFO named like a picture would
    // block the open (or the first read) for good, and a device such as /dev/zero would never end.
    auto* file = new (std::nothrow) vistrel::InputFile;
    if (!file) return PSD_ERR_MEMORY;
    const vistrel::DecodeResult opened = file->open(path);
    if (!opened) {
        delete file;
        return opened.refusal() == vistrel::Refusal::NotRegularFile ? PSD_ERR_NOT_FILE
                                                                    : PSD_ERR_OPEN;
    }
    return load(out, file, nullptr, file->size(), path, options);
}

int psd_open_memory(PsdContext** out, const void* data, size_t size, PsdOptions* options) {
    if (!out) return PSD_ERR_NO_RESULT;
    if (!data && size) return PSD_ERR_OPEN;
    return load(out, nullptr, static_cast<const uint8_t*>(data), size, nullptr, options);
}

int psd_free(PsdContext* ctx) {
    if (!ctx) return PSD_ERR_NO_RESULT;
    std::free(ctx->palette);
    free_resources(ctx);
    for (int32_t i = 0; ctx->layers && i < ctx->layer_count; ++i)
        psd_free_layer_record(nullptr, &ctx->layers[i]);
    std::free(ctx->layers);
    psd_free_large(ctx->layer_scratch, ctx->layer_scratch_capacity);
    psd_free_patterns(ctx);
    psd_free_held(ctx, ctx->merged, psd_merged_block_size(ctx));
    psd_free_held(ctx, ctx->planes, ctx->planes_size);
    close_stream(ctx->stream);
    std::free(ctx);
    return PSD_OK;
}
