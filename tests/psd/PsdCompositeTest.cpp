// The layer compositor: its blend functions where the published definitions and psd-tools part,
// when a merged picture stands for the document, the memory budget, and the viewer's picture of a
// CMYK document saved without a merged picture. (Blend modes, masks, groups and clipping are
// compared with psd-tools' composite() by compare_composite.py.)
#include "LargeBuffer.h"
#include "PsdDecoder.h"
#include "PsdTestSupport.h"
#include "psd_blend_rows.h"
#include "psd_composite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace psdtest;

namespace {

void expectBlend(PsdBlendMode mode, std::array<int, 3> backdrop, std::array<int, 3> source,
                 std::array<int, 3> expected) {
    float b[3], s[3], r[3];
    for (int c = 0; c < 3; ++c)
        b[c] = float(backdrop[c]) / 255.0f, s[c] = float(source[c]) / 255.0f;
    psd_blend_pixel(mode, b, s, r);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(r[c] * 255.0f, float(expected[c]), 1.0f) << "mode " << mode << " channel " << c;
}

TEST(PsdComposite, BlendFunctionsFollowTheirDefinitions) {
    // Vivid light burns by twice the source below one half.
    expectBlend(PSD_BLEND_VIVID_LIGHT, {113, 113, 255}, {102, 102, 0}, {78, 78, 255});
    // Hard mix is full where backdrop and source sum to 255 or more.
    expectBlend(PSD_BLEND_HARD_MIX, {123, 120, 0}, {132, 134, 0}, {255, 0, 0});
    // Hue keeps the source's hue at the backdrop's saturation and luminosity.
    expectBlend(PSD_BLEND_HUE, {50, 113, 161}, {156, 150, 146}, {151, 84, 40});
    // The four keys newer writers use.
    expectBlend(PSD_BLEND_SUBTRACT, {200, 10, 90}, {50, 20, 90}, {150, 0, 0});
    expectBlend(PSD_BLEND_DIVIDE, {100, 0, 80}, {200, 0, 40}, {128, 0, 255});
    expectBlend(PSD_BLEND_DARKER_COLOR, {200, 200, 200}, {10, 250, 10}, {10, 250, 10});
    expectBlend(PSD_BLEND_LIGHTER_COLOR, {200, 200, 200}, {10, 250, 10}, {200, 200, 200});
}

// A document held in memory: `width` x `height`, its merged picture filled with `merged`, and one
// layer per given pixel value covering the whole document.
Psd document(uint32_t width, uint32_t height, uint32_t merged, std::vector<uint32_t> layers) {
    auto* ctx = static_cast<PsdContext*>(std::calloc(1, sizeof(PsdContext)));
    ctx->width = width, ctx->height = height, ctx->channel_count = 3, ctx->depth = 8;
    ctx->color_mode = PSD_MODE_RGB;
    ctx->memory_budget = uint64_t(1) << 30;
    ctx->merged = static_cast<uint32_t*>(psd_alloc_large(psd_merged_block_size(ctx)));
    for (uint64_t i = 0; i < uint64_t(width) * height; ++i)
        ctx->merged[i] = merged;
    ctx->layer_count = int32_t(layers.size());
    ctx->layers =
        static_cast<PsdLayerRecord*>(std::calloc(layers.size() + 1, sizeof(PsdLayerRecord)));
    for (size_t k = 0; k < layers.size(); ++k) {
        PsdLayerRecord& l = ctx->layers[k];
        l.right = l.width = int32_t(width), l.bottom = l.height = int32_t(height);
        l.opacity = l.fill_opacity = 255, l.visible = 1, l.mask_disabled = 1;
        l.pixels_size = uint64_t(width) * height * 4;
        l.pixels = static_cast<uint32_t*>(psd_alloc_large(l.pixels_size));
        for (uint64_t i = 0; i < uint64_t(width) * height; ++i)
            l.pixels[i] = layers[k];
    }
    return Psd(ctx);
}

TEST(PsdComposite, MergedPictureStandsForTheDocumentUnlessMarkedOrBlank) {
    EXPECT_TRUE(psd_merged_is_real(document(4, 3, 0xFF102030, {0xFFFFFFFF}).get()));
    // Blank (transparent, black or white) while a visible layer holds pixels: not real.
    for (uint32_t blank : {0x00000000u, 0xFF000000u, 0xFFFFFFFFu})
        EXPECT_FALSE(psd_merged_is_real(document(4, 3, blank, {0xFF102030}).get()));
    // A blank picture of a document whose layers show nothing is what it is.
    Psd hidden = document(4, 3, 0xFFFFFFFF, {0xFF102030});
    hidden->layers[0].visible = 0;
    EXPECT_TRUE(psd_merged_is_real(hidden.get()));
    // The version-info resource has the last word.
    Psd marked = document(4, 3, 0xFF102030, {0xFF102030});
    marked->resources.version.present = 1;
    EXPECT_FALSE(psd_merged_is_real(marked.get()));
}

TEST(PsdComposite, LayersDrawInOrderAndCanvasesStayWithinTheBudget) {
    Psd psd = document(64, 48, 0, {0xFF0000FF, 0x80FF0000});
    uint32_t* pixels = nullptr;
    ASSERT_EQ(psd_composite(psd.get(), &pixels), PSD_OK);
    EXPECT_EQ(pixels[0], 0xFF80007Fu); // half red over blue
    vistrel::freeLarge(pixels, size_t(psd_merged_block_size(psd.get())));

    // An isolated group needs a canvas of its own: past the budget the composite is refused and
    // every byte it held is given back.
    Psd grouped = document(64, 48, 0, {0xFF0000FF, 0xFFFF0000, 0});
    grouped->layers[0].kind = 1; // the group's end divider, then a member, then the group
    grouped->layers[2].kind = 2;
    grouped->layers[2].blend_mode = PSD_BLEND_MULTIPLY;
    const uint64_t held = grouped->memory_held;
    grouped->memory_budget = held + 64 * 48 * 16 + 64 * 48 * 4 + 100; // the document's canvas only
    EXPECT_EQ(psd_composite(grouped.get(), &pixels), PSD_ERR_BUDGET);
    EXPECT_EQ(pixels, nullptr);
    EXPECT_EQ(grouped->memory_held, held);
}

// One layer of a generated document: its place in rows [top, bottom) (all columns from `left`),
// and a user mask over rows [mask_top, mask_bottom) when mask_bottom > mask_top.
struct LayerSpec {
    int32_t kind;
    PsdBlendMode mode;
    uint8_t opacity, fill;
    bool clipping, visible;
    int32_t top, bottom, left;
    int32_t mask_top = 0, mask_bottom = 0;
    uint8_t mask_outside = 255;
};

uint32_t mixed(uint32_t x, uint32_t y, uint32_t k) {
    uint32_t h = (x * 0x9E3779B1u) ^ (y * 0x85EBCA77u) ^ (k * 0xC2B2AE3Du);
    h ^= h >> 13;
    h *= 0x27D4EB2Fu;
    return h ^ (h >> 16);
}

// Rows [y0, y0 + rows) of the document the specs describe, as a document of their own: each
// layer and mask cut to those rows, with the same pixels as in the whole document.
Psd documentRows(const std::vector<LayerSpec>& specs, uint32_t width, uint32_t y0, uint32_t rows) {
    Psd psd = document(width, rows, 0, {});
    PsdContext* ctx = psd.get();
    std::free(ctx->layers);
    ctx->layer_count = int32_t(specs.size());
    ctx->layers =
        static_cast<PsdLayerRecord*>(std::calloc(specs.size() + 1, sizeof(PsdLayerRecord)));
    const int32_t from = int32_t(y0), to = int32_t(y0 + rows);
    for (size_t k = 0; k < specs.size(); ++k) {
        const LayerSpec& spec = specs[k];
        PsdLayerRecord& l = ctx->layers[k];
        l.kind = spec.kind, l.blend_mode = spec.mode, l.opacity = spec.opacity;
        l.fill_opacity = spec.fill, l.clipping = spec.clipping, l.visible = spec.visible;
        l.mask_disabled = spec.mask_bottom <= spec.mask_top;
        l.mask_default_color = spec.mask_outside;
        const int32_t top = std::max(spec.top, from), bottom = std::min(spec.bottom, to);
        if (spec.kind == 0 && top < bottom) {
            l.top = top - from, l.bottom = bottom - from, l.left = spec.left;
            l.right = int32_t(width), l.width = l.right - l.left, l.height = l.bottom - l.top;
            l.pixels_size = uint64_t(l.width) * uint64_t(l.height) * 4;
            l.pixels = static_cast<uint32_t*>(psd_alloc_large(l.pixels_size));
            for (int32_t y = 0; y < l.height; ++y)
                for (int32_t x = 0; x < l.width; ++x)
                    l.pixels[y * l.width + x] = mixed(uint32_t(x + l.left), uint32_t(y + top), k);
        }
        const int32_t mask_top = std::max(spec.mask_top, from);
        const int32_t mask_bottom = std::min(spec.mask_bottom, to);
        if (!l.mask_disabled && mask_top < mask_bottom) {
            l.mask_top = mask_top - from, l.mask_bottom = mask_bottom - from;
            l.mask_right = l.mask_width = int32_t(width), l.mask_height = mask_bottom - mask_top;
            l.mask_pixels_size = uint64_t(width) * uint64_t(l.mask_height);
            l.mask_pixels = static_cast<uint8_t*>(psd_alloc_large(l.mask_pixels_size));
            for (int32_t y = 0; y < l.mask_height; ++y)
                for (uint32_t x = 0; x < width; ++x)
                    l.mask_pixels[uint32_t(y) * width + x] =
                        uint8_t(mixed(x, uint32_t(y + mask_top), 99 + k) >> 24);
        }
    }
    return psd;
}

TEST(PsdComposite, WideDocumentsDrawnInBandsMatchEachRowDrawnAlone) {
    // 4096 columns of float canvas make bands of a few rows: groups, clipping groups, masks and
    // layers that start and end inside bands must come out as each row composited on its own.
    const uint32_t width = 4096, height = 19;
    const std::vector<LayerSpec> specs = {
        {0, PSD_BLEND_NORMAL, 255, 255, false, true, 0, 19, 0},
        {0, PSD_BLEND_MULTIPLY, 200, 255, false, true, 3, 13, 100, 5, 9, 255},
        {1, PSD_BLEND_NORMAL, 255, 255, false, true, 0, 0, 0},                 // group A's members:
        {0, PSD_BLEND_SCREEN, 255, 128, false, true, 1, 7, 7},                 //   fill opacity
        {0, PSD_BLEND_NORMAL, 230, 200, false, true, 2, 15, 0},                //   clipping base
        {0, PSD_BLEND_OVERLAY, 255, 255, true, true, 0, 19, 0},                //   clipped
        {0, PSD_BLEND_NORMAL, 255, 255, false, false, 0, 19, 0},               //   hidden
        {2, PSD_BLEND_PASS_THROUGH, 180, 255, false, true, 0, 0, 0, 6, 11, 0}, // group A
        {1, PSD_BLEND_NORMAL, 255, 255, false, true, 0, 0, 0},                 // group B's members:
        {0, PSD_BLEND_DIFFERENCE, 150, 255, false, true, 4, 12, 0},            //   translucent
        {0, PSD_BLEND_COLOR, 255, 255, false, true, 8, 19, 30},                //   colour
        {2, PSD_BLEND_SOFT_LIGHT, 230, 255, false, true, 0, 0, 0},             // group B, isolated
    };
    Psd whole = documentRows(specs, width, 0, height);
    uint32_t* pixels = nullptr;
    ASSERT_EQ(psd_composite(whole.get(), &pixels), PSD_OK);
    for (uint32_t y = 0; y < height; ++y) {
        Psd row = documentRows(specs, width, y, 1);
        uint32_t* alone = nullptr;
        ASSERT_EQ(psd_composite(row.get(), &alone), PSD_OK);
        EXPECT_EQ(std::memcmp(alone, pixels + uint64_t(y) * width, width * 4), 0) << "row " << y;
        vistrel::freeLarge(alone, size_t(psd_merged_block_size(row.get())));
    }
    vistrel::freeLarge(pixels, size_t(psd_merged_block_size(whole.get())));
}

// PackBits of `row`: literal runs, and one repeat run where four or more equal bytes begin.
Bytes packBits(const Bytes& row) {
    Bytes out;
    for (size_t i = 0; i < row.size();) {
        size_t same = 1;
        while (i + same < row.size() && same < 128 && row[i + same] == row[i])
            ++same;
        if (same >= 4) {
            out.push_back(uint8_t(257 - same));
            out.push_back(row[i]);
            i += same;
            continue;
        }
        const size_t n = std::min<size_t>(128, row.size() - i);
        out.push_back(uint8_t(n - 1));
        out.insert(out.end(), row.begin() + long(i), row.begin() + long(i + n));
        i += n;
    }
    return out;
}

struct Channel {
    int16_t id;
    Bytes data; // compression field included
};

// A PackBits channel of `rows` rows of `width` bytes whose rows are not what the layer's width
// says: one unpacks 300 bytes long (they run on into the next row), one short, one whose last
// literal run reaches 50 bytes past its count, and the data ends in the middle of the last rows.
Bytes unevenChannel(uint32_t width, uint32_t rows, int seed) {
    std::vector<Bytes> packed;
    for (uint32_t y = 0; y < rows; ++y) {
        Bytes row(y == 1 ? width + 300 : y == 4 ? width - 200 : width);
        for (size_t x = 0; x < row.size(); ++x)
            row[x] = x % 97 < 9 ? uint8_t(seed * 40) : uint8_t(x * 7 + y * 31 + seed * 11);
        packed.push_back(packBits(row));
    }
    Builder c;
    c.u16(1);
    for (uint32_t y = 0; y < rows; ++y)
        c.u16(uint32_t(packed[y].size() - (y == 6 ? 50 : 0)));
    for (const Bytes& row : packed)
        c.raw(row);
    c.b.resize(c.b.size() - packed.back().size() - packed[rows - 2].size() / 2);
    return c.b;
}

Bytes rleChannel(uint32_t width, uint32_t rows, int seed) {
    Builder c;
    std::vector<Bytes> packed;
    for (uint32_t y = 0; y < rows; ++y) {
        Bytes row(width);
        for (uint32_t x = 0; x < width; ++x)
            row[x] = x % 50 < 20 ? uint8_t(seed * 60 + y) : uint8_t(x * 3 + y * 17 + seed);
        packed.push_back(packBits(row));
    }
    c.u16(1);
    for (const Bytes& row : packed)
        c.u16(uint32_t(row.size()));
    for (const Bytes& row : packed)
        c.raw(row);
    return c.b;
}

// An RGB document of four layers at `path`: uneven PackBits rows, raw data short of its plane
// and a channel of only its compression field (drawn from the file); PackBits and a ZIP channel
// (decoded whole), with a user mask; a layer far wider than the document.
void writeAwkwardDocument(const std::string& path, uint32_t width, uint32_t height) {
    struct Layer {
        int32_t top, left, bottom, right;
        const char* mode;
        uint8_t opacity;
        std::vector<Channel> channels;
        Bytes mask; // top, left, bottom, right, default colour, flags; empty: none
    };
    const uint32_t w2 = width - 700, h2 = height - 5;
    Bytes shortRaw{0, 0};
    for (uint32_t i = 0; i < width * height / 2; ++i)
        shortRaw.push_back(uint8_t(i * 5));
    Bytes plane(uint64_t(w2) * h2);
    for (size_t i = 0; i < plane.size(); ++i)
        plane[i] = uint8_t(i * 13 / 7);
    Builder zip;
    zip.u16(2).raw(zipped(plane));
    Builder mask;
    mask.u32(1).u32(2).u32(h2 - 2).u32(w2 / 2).u8(255).u8(0).u16(0);
    std::vector<Layer> layers{
        {0,
         0,
         int32_t(height),
         int32_t(width),
         "norm",
         255,
         {{-1, rleChannel(width, height, 3)},
          {0, unevenChannel(width, height, 1)},
          {1, shortRaw},
          {2, Bytes{0, 1}}},
         {}},
        {3,
         500,
         int32_t(3 + h2),
         int32_t(500 + w2),
         "mul ",
         200,
         {{-1, rleChannel(w2, h2, 5)},
          {0, rleChannel(w2, h2, 2)},
          {1, unevenChannel(w2, h2, 4)},
          {2, rleChannel(w2, h2, 6)},
          {-2, rleChannel(w2 / 2 - 2, h2 - 3, 7)}},
         mask.b},
        {2,
         100,
         int32_t(2 + h2),
         int32_t(100 + w2),
         "scrn",
         180,
         {{0, rleChannel(w2, h2, 8)}, {1, zip.b}, {2, rleChannel(w2, h2, 9)}},
         {}},
        // Far wider than the document: its rows are decoded a few at a time.
        {4,
         -9000,
         11,
         21000,
         "norm",
         150,
         {{0, rleChannel(30000, 7, 10)}, {1, unevenChannel(30000, 7, 11)}, {2, Bytes{0, 0}}},
         {}},
    };
    Builder info;
    info.u16(uint32_t(layers.size()));
    for (const Layer& l : layers) {
        info.u32(uint32_t(l.top))
            .u32(uint32_t(l.left))
            .u32(uint32_t(l.bottom))
            .u32(uint32_t(l.right));
        info.u16(uint32_t(l.channels.size()));
        for (const Channel& c : l.channels)
            info.u16(uint16_t(c.id)).u32(uint32_t(c.data.size()));
        info.text("8BIM").text(l.mode).u8(l.opacity).u8(0).u8(0).u8(0);
        info.u32(uint32_t(4 + l.mask.size() + 4 + 4)).u32(uint32_t(l.mask.size())).raw(l.mask);
        info.u32(0).u8(0).u8(0).u8(0).u8(0); // no blending ranges; an empty name, padded
    }
    for (const Layer& l : layers)
        for (const Channel& c : l.channels)
            info.raw(c.data);
    if (info.b.size() % 2) info.u8(0);
    Builder f;
    f.header(PSD_MODE_RGB, 8, 3, width, height).u32(0).u32(0);
    f.u32(uint32_t(4 + info.b.size() + 4)).u32(uint32_t(info.b.size())).raw(info.b).u32(0);
    f.u16(0).raw(Bytes(uint64_t(width) * height * 3, 0)); // a blank merged picture
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(f.b.data()), std::streamsize(f.b.size()));
}

struct Composite {
    int status = PSD_OK;
    std::vector<uint32_t> pixels;
    int deferredLayers = 0;
};

Composite compositeOf(const std::string& path, bool deferred) {
    PsdOptions options{};
    options.defer_layer_pixels = uint8_t(deferred);
    PsdContext* ctx = nullptr;
    Composite result;
    result.status = psd_open_with(&ctx, path.c_str(), &options);
    Psd psd(ctx);
    uint32_t* pixels = nullptr;
    if (result.status == PSD_OK) result.status = psd_composite(ctx, &pixels);
    if (result.status != PSD_OK) return result;
    for (int32_t i = 0; i < ctx->layer_count; ++i)
        result.deferredLayers += ctx->layers[i].bands != nullptr;
    const uint64_t count = uint64_t(ctx->width) * ctx->height;
    result.pixels.assign(pixels, pixels + count);
    vistrel::freeLarge(pixels, size_t(psd_merged_block_size(ctx)));
    // A second composite of the same load reads the file from the start again.
    if (deferred && psd_composite(ctx, &pixels) == PSD_OK) {
        EXPECT_TRUE(std::equal(pixels, pixels + count, result.pixels.begin())) << path;
        vistrel::freeLarge(pixels, size_t(psd_merged_block_size(ctx)));
    }
    return result;
}

// Layers left in the file and decoded band by band as they are drawn give the same composite, to
// the bit, as layers decoded whole: on every generated file with layers, and on a document whose
// rows run on into each other, stop short or end with the data, in bands of three rows.
TEST(PsdComposite, EveryBlendModeDrawsAPixelAlikeAtEveryColumn) {
    // The blend loops draw most of a row on vectors of pixels and its last few one by one: a pixel
    // must come out the same either way. Each row holds one backdrop and one source in every
    // column (translucent, opaque, empty, saturated colours that the colour modes clip).
    const uint32_t width = 23, height = 48;
    for (int mode = PSD_BLEND_NORMAL; mode <= PSD_BLEND_DIVIDE; ++mode) {
        if (mode == PSD_BLEND_DISSOLVE) continue; // scatters by position
        Psd psd = document(width, height, 0, {0, 0});
        PsdLayerRecord* layers = psd->layers;
        layers[1].blend_mode = PsdBlendMode(mode);
        layers[1].opacity = 200;
        for (uint32_t y = 0; y < height; ++y) {
            const uint32_t saturated[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFF00};
            const uint32_t backdrop = y < 4 ? saturated[3 - y] : y < 6 ? 0 : mixed(0, y, 1);
            const uint32_t source = y < 4 ? saturated[y] : mixed(0, y, 2) | (y & 1) << 31;
            std::fill_n(layers[0].pixels + y * width, width, backdrop);
            std::fill_n(layers[1].pixels + y * width, width, source);
        }
        uint32_t* pixels = nullptr;
        ASSERT_EQ(psd_composite(psd.get(), &pixels), PSD_OK);
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 1; x < width; ++x)
                ASSERT_EQ(pixels[y * width + x], pixels[y * width])
                    << "mode " << mode << " row " << y << " column " << x;
        vistrel::freeLarge(pixels, size_t(psd_merged_block_size(psd.get())));
    }
}

TEST(PsdComposite, LayersDrawnFromTheFileMatchLayersDecodedWhole) {
    const std::string awkward = dataPath("composite_awkward_rows.psd");
    writeAwkwardDocument(awkward, 4200, 12);
    std::vector<std::string> paths{awkward};
    for (const auto& entry : std::filesystem::directory_iterator(dataPath("")))
        if ((entry.path().extension() == ".psd" || entry.path().extension() == ".psb") &&
            entry.path().filename().string().rfind("cost_", 0) != 0) // hostile, no layers
            paths.push_back(entry.path().string());
    int deferred = 0;
    for (const std::string& path : paths) {
        const Composite whole = compositeOf(path, false);
        if (path == awkward) {
            ASSERT_EQ(whole.status, PSD_OK);
        }
        if (whole.status != PSD_OK) continue;
        const Composite banded = compositeOf(path, true);
        ASSERT_EQ(banded.status, PSD_OK) << path;
        EXPECT_TRUE(banded.pixels == whole.pixels) << path;
        deferred += banded.deferredLayers;
        if (path == awkward) {
            EXPECT_EQ(banded.deferredLayers, 3);
        }
    }
    EXPECT_GT(deferred, 20);
    std::filesystem::remove(awkward);
}

TEST(PsdComposite, ViewerShowsTheLayersOfACmykDocumentWithoutMergedPicture) {
    const std::string path = dataPath("comp_cmyk8.psd");
    Loaded file = loadFile("comp_cmyk8.psd");
    ASSERT_EQ(file.status, PSD_OK);
    ASSERT_FALSE(psd_merged_is_real(file.psd.get()));
    uint32_t* composite = nullptr;
    ASSERT_EQ(psd_composite(file.psd.get(), &composite), PSD_OK);
    const PsdLayerRecord& background = file.psd->layers[0];
    const PsdLayerRecord& half = file.psd->layers[1]; // opacity 128 from (8, 4)
    EXPECT_EQ(composite[0], background.pixels[0]);
    const uint32_t under = background.pixels[5 * 20 + 10], over = half.pixels[1 * 12 + 2];
    for (int shift : {0, 8, 16}) {
        const int expected =
            (int(under >> shift & 0xFF) * 127 + int(over >> shift & 0xFF) * 128 + 127) / 255;
        EXPECT_NEAR(int(composite[5 * 20 + 10] >> shift & 0xFF), expected, 1);
    }

    vistrel::Picture picture;
    ASSERT_TRUE(vistrel::decodePsd(path.c_str(), picture).ok());
    ASSERT_EQ(picture.bitsPerPixel(), 32);
    const uint8_t* row = picture.pixels() + 5 * picture.rowSize();
    uint32_t shown = 0;
    std::memcpy(&shown, row + 10 * 4, 4);
    EXPECT_EQ(shown, composite[5 * 20 + 10]);
    vistrel::freeLarge(composite, size_t(psd_merged_block_size(file.psd.get())));
}

} // namespace
