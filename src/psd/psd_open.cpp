// psd_open, the load state machine over the five sections of the file, and psd_free.
#include "psd_layer_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// A read-only stream over memory that behaves like a file: a seek may go past the end, and reads
// there deliver nothing (fmemopen refuses such seeks, which would make skips past the end of a
// file behave differently in the fuzzer than on disk).
struct MemoryFile {
    const uint8_t* data;
    uint64_t size;
    uint64_t position;
};

ssize_t memory_read(void* cookie, char* buffer, size_t size) {
    auto* m = static_cast<MemoryFile*>(cookie);
    if (m->position >= m->size) return 0;
    const uint64_t n = std::min<uint64_t>(size, m->size - m->position);
    std::memcpy(buffer, m->data + m->position, n);
    m->position += n;
    return ssize_t(n);
}

int memory_seek(void* cookie, off64_t* offset, int whence) {
    auto* m = static_cast<MemoryFile*>(cookie);
    int64_t base = 0;
    if (whence == SEEK_CUR)
        base = int64_t(m->position);
    else if (whence == SEEK_END)
        base = int64_t(m->size);
    const int64_t target = base + *offset;
    if (target < 0) return -1;
    m->position = uint64_t(target);
    *offset = target;
    return 0;
}

int memory_close(void* cookie) {
    delete static_cast<MemoryFile*>(cookie);
    return 0;
}

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
    if (s.file) std::fclose(s.file);
    s.file = nullptr;
    s.path = nullptr;
}

// Takes ownership of `file` (closing it on every path) and loads it into a new record.
int load(PsdContext** out, FILE* file, const char* path, PsdOptions* options) {
    auto* ctx = static_cast<PsdContext*>(std::calloc(1, sizeof(PsdContext)));
    if (!ctx) {
        std::fclose(file);
        return PSD_ERR_MEMORY;
    }
    ctx->stream.path = path;
    ctx->stream.file = file;
    ctx->state = 0;
    ctx->options = options;
    ctx->memory_budget =
        options && options->memory_budget ? options->memory_budget : psd_default_memory_budget();
    const off_t start = ftello(file);
    if (start >= 0 && fseeko(file, 0, SEEK_END) == 0) {
        ctx->stream.file_size = ftello(file);
        fseeko(file, start, SEEK_SET);
    }
    const int status = run_state_machine(ctx);
    ctx->options = nullptr;
    if (status != PSD_OK) {
        if (options) options->failed_state = ctx->state;
        psd_free(ctx);
        *out = nullptr;
        return status;
    }
    close_stream(ctx->stream);
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
    // Opened without blocking, and refused before any read unless it is a regular file: a FIFO
    // named like a picture would block the open (or the first read) for good, and a device such
    // as /dev/zero would never end.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return PSD_ERR_OPEN;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return PSD_ERR_NOT_FILE;
    }
    FILE* file = fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return PSD_ERR_OPEN;
    }
    return load(out, file, path, options);
}

int psd_open_memory(PsdContext** out, const void* data, size_t size, PsdOptions* options) {
    if (!out) return PSD_ERR_NO_RESULT;
    if (!data && size) return PSD_ERR_OPEN;
    auto* cookie = new (std::nothrow) MemoryFile{static_cast<const uint8_t*>(data), size, 0};
    if (!cookie) return PSD_ERR_MEMORY;
    FILE* file = fopencookie(cookie, "rb", {memory_read, nullptr, memory_seek, memory_close});
    if (!file) {
        delete cookie;
        return PSD_ERR_OPEN;
    }
    return load(out, file, nullptr, options);
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
