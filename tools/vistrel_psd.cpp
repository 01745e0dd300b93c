// vistrel-psd: prints the document model the PSD reader makes of a file, as JSON, and writes its
// pictures as PNG.
//
//   vistrel-psd [--budget MB] [--composite OUT.png] [--export FOLDER] FILE
//
// The top-level object holds "header", "resources" (by resource id), "alphaChannels", "layers"
// (every layer record in file order, bottom first, group dividers included), "patterns" (and
// "failedPatterns", those refused and passed over), "composite" (whether the merged picture is
// real, and what the compositor leaves out) and, with --export, "export" (the files written).
// Every layer's and pattern's pixels are decoded, within the memory budget (default the viewer's:
// the smaller of 4 GiB and half the physical memory).
// --composite writes the layers composited; --export writes the merged picture, the composite,
// and each layer's pixels and mask.
// Exit status: 0 read, 1 the reader refused the file (its status on standard error) or the layers
// could not be composited, 2 bad usage or an output that cannot be written.

#include "JsonWriter.h"
#include "PngWriter.h"
#include "PsdEntriesJson.h"
#include "PsdExport.h"
#include "System.h"

#include "LargeBuffer.h"
#include "psd.h"
#include "psd_composite.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace vistrel;

namespace {

std::string fixedString(const char* text, size_t size) {
    return std::string(text, strnlen(text, size));
}

const char* colorModeName(uint32_t mode) {
    switch (mode) {
    case PSD_MODE_BITMAP:
        return "bitmap";
    case PSD_MODE_GRAYSCALE:
        return "grayscale";
    case PSD_MODE_INDEXED:
        return "indexed";
    case PSD_MODE_RGB:
        return "rgb";
    case PSD_MODE_CMYK:
        return "cmyk";
    case PSD_MODE_MULTICHANNEL:
        return "multichannel";
    case PSD_MODE_DUOTONE:
        return "duotone";
    case PSD_MODE_LAB:
        return "lab";
    default:
        return "unknown";
    }
}

const char* layerKindName(int32_t kind) {
    static const char* const kNames[] = {
        "layer",        "groupEnd",      "groupStart",
        "solidColor",   "gradientFill",  "unknown",
        "levels",       "curves",        "brightnessContrast",
        "colorBalance", "hueSaturation", "selectiveColor",
        "threshold",    "invert",        "posterize",
        "channelMixer", "gradientMap",   "photoFilter",
        "unknown",      "patternFill",
    };
    return kind >= 0 && kind < int32_t(std::size(kNames)) ? kNames[kind] : "unknown";
}

void writeRect(JsonWriter& j, const char* name, int32_t top, int32_t left, int32_t bottom,
               int32_t right) {
    j.key(name).beginObject().field("top", top).field("left", left).field("bottom", bottom);
    j.field("right", right).endObject();
}

// What a refused block or pattern shows: its block's key, the status and its reason.
JsonWriter& writeRefusal(JsonWriter& j, uint32_t key, int status) {
    const char text[5] = {char(key >> 24), char(key >> 16), char(key >> 8), char(key), 0};
    return j.field("key", text).field("status", status).field("reason", psd_status_text(status));
}

void writeHeader(JsonWriter& j, const PsdContext& psd) {
    j.key("header").beginObject().field("version", psd.version);
    j.field("width", psd.width).field("height", psd.height);
    j.field("channels", psd.channel_count).field("depth", psd.depth);
    j.field("colorMode", colorModeName(psd.color_mode)).field("paletteSize", psd.palette_count);
    j.endObject();
}

void writeResources(JsonWriter& j, const PsdContext& psd) {
    const PsdResources& r = psd.resources;
    j.key("resources").beginObject();
    if (r.resolution.present)
        j.key("1005")
            .beginObject()
            .field("horizontal", r.resolution.horizontal)
            .field("horizontalUnit", r.resolution.horizontal_unit)
            .field("vertical", r.resolution.vertical)
            .field("verticalUnit", r.resolution.vertical_unit)
            .endObject();
    if (r.display.present)
        j.key("1007")
            .beginObject()
            .key("color")
            .color(r.display.color)
            .field("opacity", r.display.opacity)
            .field("kind", r.display.kind)
            .endObject();
    if (r.caption_present) j.field("1008", fixedString(r.caption, sizeof r.caption));
    if (r.border.present)
        j.key("1009")
            .beginObject()
            .field("width", r.border.width)
            .field("unit", r.border.unit)
            .endObject();
    if (r.layer_state_present)
        j.key("1024").beginObject().field("targetLayer", r.target_layer).endObject();
    if (r.layer_groups.present) {
        j.key("1026").beginArray();
        for (int32_t i = 0; r.layer_groups.ids && i < r.layer_groups.count; ++i)
            j.value(int64_t(r.layer_groups.ids[i]));
        j.endArray();
    }
    if (r.grid.present) {
        j.key("1032")
            .beginObject()
            .field("horizontalCycle", r.grid.horizontal_cycle)
            .field("verticalCycle", r.grid.vertical_cycle)
            .key("guides")
            .beginArray();
        for (uint32_t i = 0; r.grid.locations && i < r.grid.guide_count; ++i)
            j.beginObject()
                .field("location", r.grid.locations[i])
                .field("direction", r.grid.directions[i])
                .endObject();
        j.endArray().endObject();
    }
    if (r.thumbnail.present)
        j.key("1036")
            .beginObject()
            .field("format", r.thumbnail.format)
            .field("width", r.thumbnail.width)
            .field("height", r.thumbnail.height)
            .field("size", r.thumbnail.data_size)
            .endObject();
    if (r.copyright_present) j.field("1034", r.copyright != 0);
    if (r.global_angle) j.field("1037", r.global_angle);
    if (r.effects_visible_present) j.field("1042", r.effects_visible != 0);
    if (r.indexed_color_count_present) j.field("1046", r.indexed_color_count);
    if (r.transparency_index_present) j.field("1047", r.transparency_index);
    if (r.global_altitude) j.field("1049", r.global_altitude);
    if (r.slices.present) j.key("1050").beginObject().field("count", r.slices.count).endObject();
    if (r.urls.present) j.key("1054").beginObject().field("count", r.urls.count).endObject();
    if (r.version.present)
        j.key("1057")
            .beginObject()
            .field("version", r.version.version)
            .field("hasRealMergedData", r.version.has_real_merged_data != 0)
            .field("writer", utf16beToUtf8(r.version.writer, r.version.writer_length))
            .field("reader", utf16beToUtf8(r.version.reader, r.version.reader_length))
            .field("fileVersion", r.version.file_version)
            .endObject();
    if (r.exif.present) j.key("1058").beginObject().field("size", r.exif.size).endObject();
    if (r.xmp.present) j.key("1060").beginObject().field("size", r.xmp.size).endObject();
    if (r.pixel_aspect_present) j.field("1064", r.pixel_aspect_ratio);
    for (int32_t i = 0; r.paths && i < r.path_count; ++i) {
        const PsdPath& path = r.paths[i];
        j.key(std::to_string(path.resource_id).c_str()).beginObject().key("subpaths").beginArray();
        for (int32_t s = 0; path.subpaths && s < path.subpath_count; ++s)
            j.beginObject()
                .field("closed", path.subpaths[s].closed != 0)
                .field("knots", path.subpaths[s].knots_read)
                .endObject();
        j.endArray().endObject();
    }
    j.endObject();
}

void writeAlphaChannels(JsonWriter& j, const PsdContext& psd) {
    j.key("alphaChannels").beginArray();
    for (int i = 0; psd.alpha_channels && i < psd.alpha_channel_count; ++i) {
        const PsdAlphaChannel& a = psd.alpha_channels[i];
        j.beginObject().field("name", fixedString(a.name, sizeof a.name));
        if (a.unicode_name)
            j.field("unicodeName", utf16beToUtf8(a.unicode_name, a.unicode_name_length));
        j.field("id", a.identifier).endObject();
    }
    j.endArray();
}

void writeLayer(JsonWriter& j, const PsdContext& psd, const PsdLayerRecord& l,
                const PsdExportFiles* files) {
    j.beginObject().field("name", fixedString(l.name, sizeof l.name));
    if (l.unicode_name)
        j.field("unicodeName", utf16beToUtf8(l.unicode_name, l.unicode_name_length));
    j.field("kind", layerKindName(l.kind));
    writeRect(j, "rect", l.top, l.left, l.bottom, l.right);
    j.field("blendMode", blendModeName(l.blend_mode)).field("opacity", l.opacity);
    j.field("fillOpacity", l.fill_opacity).field("clipping", l.clipping != 0);
    j.field("visible", l.visible != 0)
        .field("transparencyProtected", l.transparency_protected != 0);
    j.key("parent");
    if (l.parent)
        j.value(int64_t(l.parent - psd.layers));
    else
        j.null();
    if (l.kind == 1 || l.kind == 2)
        j.field("sectionType", l.section_type)
            .field("sectionBlendMode", blendModeName(l.section_blend_mode));
    j.key("channels").beginArray();
    for (int i = 0; l.channels && i < l.channel_count; ++i)
        j.beginObject()
            .field("id", l.channels[i].id)
            .field("length", l.channels[i].length)
            .endObject();
    j.endArray();
    if (l.mask_width > 0 && l.mask_height > 0) {
        j.key("mask").beginObject();
        writeRect(j, "rect", l.mask_top, l.mask_left, l.mask_bottom, l.mask_right);
        j.field("defaultColor", l.mask_default_color).field("disabled", l.mask_disabled != 0);
        j.field("relative", l.mask_relative != 0).field("inverted", l.mask_inverted != 0);
        if (l.mask_parameters & 1) j.field("density", l.mask_density);
        if (l.mask_parameters & 2) j.field("feather", l.mask_feather);
        if (l.mask_parameters & 4) j.field("vectorDensity", l.vector_mask_density);
        if (l.mask_parameters & 8) j.field("vectorFeather", l.vector_mask_feather);
        j.endObject();
    }
    if (l.has_real_mask) {
        j.key("realMask").beginObject();
        writeRect(j, "rect", l.real_mask_top, l.real_mask_left, l.real_mask_bottom,
                  l.real_mask_right);
        j.field("defaultColor", l.real_mask_default_color);
        j.field("disabled", l.real_mask_disabled != 0).field("relative", l.real_mask_relative != 0);
        j.field("inverted", l.real_mask_inverted != 0).endObject();
    }
    if (l.layer_id) j.field("id", l.layer_id);
    j.field("hasAdjustment", l.has_adjustment != 0);
    if (l.failed_block_count > 0) {
        j.key("failedBlocks").beginArray();
        for (int i = 0; i < l.failed_block_count && i < kPsdMaxFailedBlocks; ++i) {
            const PsdFailedBlock& f = l.failed_blocks[i];
            writeRefusal(j.beginObject(), f.key, f.status).endObject();
        }
        j.endArray();
    }
    j.key("entries").beginArray();
    for (int i = 0; i < l.info_count && i < kPsdMaxLayerInfo; ++i)
        writeLayerEntry(j, l.info_types[i], l.info_data[i]);
    j.endArray();
    const size_t index = size_t(&l - psd.layers);
    if (files && index < files->pixels.size() &&
        (!files->pixels[index].empty() || !files->masks[index].empty())) {
        j.key("files").beginObject();
        if (!files->pixels[index].empty()) j.field("pixels", files->pixels[index]);
        if (!files->masks[index].empty()) j.field("mask", files->masks[index]);
        j.endObject();
    }
    j.endObject();
}

void writeComposite(JsonWriter& j, const PsdContext& psd, const char* compositePath) {
    j.key("composite").beginObject().field("mergedIsReal", psd_merged_is_real(&psd));
    j.key("skipped").beginArray();
    const uint32_t unrendered = psd_composite_unrendered(&psd);
    for (int bit = 0; bit < kPsdUnrenderedCount; ++bit)
        if (unrendered & (1u << bit)) j.string(psd_unrendered_name(1u << bit));
    j.endArray();
    if (compositePath) j.field("file", std::string(compositePath));
    j.endObject();
}

struct Arguments {
    const char* file = nullptr;
    const char* composite = nullptr;
    const char* exportFolder = nullptr;
    uint64_t budget = 0; // bytes; 0 is the viewer's
};

// A budget in megabytes: a whole number from 1 to 2^40.
bool parseBudget(const char* text, uint64_t& bytes) {
    char* end = nullptr;
    const unsigned long long megabytes = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || megabytes == 0 || megabytes > (1ull << 40)) return false;
    bytes = uint64_t(megabytes) << 20;
    return true;
}

// `argv`: the arguments after the program's name, as UTF-8.
bool parseArguments(const std::vector<std::string>& argv, Arguments& args) {
    const std::size_t argc = argv.size();
    for (std::size_t i = 0; i < argc; ++i) {
        const char* a = argv[i].c_str();
        if ((!std::strcmp(a, "--composite") || !std::strcmp(a, "--export")) && i + 1 < argc) {
            (a[2] == 'c' ? args.composite : args.exportFolder) = argv[++i].c_str();
        } else if (!std::strcmp(a, "--budget") && i + 1 < argc) {
            if (!parseBudget(argv[++i].c_str(), args.budget)) return false;
        } else if (a[0] == '-' || args.file) {
            return false;
        } else {
            args.file = a;
        }
    }
    return args.file != nullptr;
}

// The composite's pixels, freed with the block size the compositor gives them.
struct CompositePixels {
    uint32_t* pixels = nullptr;
    uint64_t bytes = 0;
    ~CompositePixels() {
        if (pixels) freeLarge(pixels, size_t(bytes));
    }
};

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = vistrel::programArguments(argc, argv);
    Arguments args;
    if (!parseArguments(arguments, args)) {
        std::fprintf(stderr, "usage: vistrel-psd [--budget MB] [--composite OUT.png] "
                             "[--export FOLDER] FILE\n");
        return 2;
    }
    PsdOptions options{};
    options.memory_budget = args.budget;
    PsdContext* psd = nullptr;
    const int status = psd_open_with(&psd, args.file, &options);
    if (status != PSD_OK) {
        std::fprintf(stderr, "vistrel-psd: %s: %s (%d)\n", args.file, psd_status_text(status),
                     status);
        return 1;
    }
    CompositePixels composite;
    if (args.composite || args.exportFolder) {
        composite.bytes = psd_merged_block_size(psd);
        if (const int failed = psd_composite(psd, &composite.pixels)) {
            std::fprintf(stderr, "vistrel-psd: %s: cannot composite the layers: %s (%d)\n",
                         args.file, psd_status_text(failed), failed);
            psd_free(psd);
            return 1;
        }
    }
    int exitStatus = 0;
    if (args.composite &&
        !writePng(args.composite, int(psd->width), int(psd->height), composite.pixels, true)) {
        std::fprintf(stderr, "vistrel-psd: cannot write %s\n", args.composite);
        exitStatus = 2;
    }
    PsdExportFiles files;
    if (args.exportFolder && !exportDocument(*psd, composite.pixels, args.exportFolder, files))
        exitStatus = 2;

    JsonWriter j(stdout);
    j.beginObject();
    writeHeader(j, *psd);
    writeResources(j, *psd);
    writeAlphaChannels(j, *psd);
    j.key("layers").beginArray();
    for (int i = 0; psd->layers && i < psd->layer_count; ++i)
        writeLayer(j, *psd, psd->layers[i], args.exportFolder ? &files : nullptr);
    j.endArray();
    j.key("patterns").beginArray();
    for (int i = 0; psd->patterns && i < psd->pattern_count; ++i) {
        const PsdPattern& p = psd->patterns[i];
        j.beginObject().field("name", utf16beToUtf8(p.name, p.name_length));
        j.field("id", fixedString(p.id, sizeof p.id))
            .field("colorMode", colorModeName(p.image_mode));
        j.field("width", p.width).field("height", p.height);
        j.key("point").beginObject().field("vertical", p.point_vertical);
        j.field("horizontal", p.point_horizontal).endObject();
        writeRect(j, "rect", p.top, p.left, p.bottom, p.right);
        j.field("channelsRead", p.channels_read).endObject();
    }
    j.endArray();
    if (psd->failed_pattern_count > 0) {
        j.key("failedPatterns").beginArray();
        for (int i = 0; i < psd->failed_pattern_count && i < kPsdMaxFailedBlocks; ++i) {
            const PsdFailedPattern& f = psd->failed_patterns[i];
            writeRefusal(j.beginObject(), f.key, f.status).field("index", f.index).endObject();
        }
        j.endArray();
    }
    writeComposite(j, *psd, args.composite);
    if (args.exportFolder) {
        j.key("export").beginObject().field("folder", std::string(args.exportFolder));
        if (!files.merged.empty()) j.field("merged", files.merged);
        if (!files.composite.empty()) j.field("composite", files.composite);
        j.endObject();
    }
    j.endObject();
    psd_free(psd);
    return exitStatus;
}
