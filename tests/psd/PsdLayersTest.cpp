// The layer and mask information section: layer records, channel image data, groups, "Lr16" and
// patterns, on files from our generator (fixtures/make_layered.py), ImageMagick and ag-psd.
#include "PsdTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace psdtest;

namespace {

// Sample of channel number c of layer (or pattern) k: the generator's rule.
uint8_t sample(int c, int k, int x, int y) {
    return pattern(c + 3 * k, x, y);
}

// An RGB layer's pixel from its channel numbers (-1: none, a zero sample; alpha -1: opaque).
uint32_t rgbPixel(int k, int x, int y, int r, int g, int b, int a) {
    auto s = [&](int c) { return c < 0 ? 0u : uint32_t(sample(c, k, x, y)); };
    return psd_pack_argb(a < 0 ? 255 : s(a), s(r), s(g), s(b));
}

// Counts the values of a width x height block that differ from expected(x, y); -1 for none.
template <typename T, typename F> int wrong(const T* data, int width, int height, F expected) {
    if (!data) return -1;
    int count = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            count += data[y * width + x] != expected(x, y);
    return count;
}
int wrongPixels(const PsdLayerRecord& l, int k, int r, int g, int b, int a, uint32_t keep = ~0u) {
    return wrong(l.pixels, l.width, l.height,
                 [&](int x, int y) { return rgbPixel(k, x, y, r, g, b, a) & keep; });
}
int wrongMask(const PsdLayerRecord& l, int c, int k) {
    return wrong(l.mask_pixels, l.mask_width, l.mask_height,
                 [&](int x, int y) { return sample(c, k, x, y); });
}

// Largest channel difference between 0xAARRGGBB pixels and RGBA bytes; 1000 for a size mismatch.
int maxDifference(const uint32_t* pixels, std::size_t count, const Bytes& rgba) {
    if (!pixels || rgba.size() != count * 4) return 1000;
    int worst = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        const int ours[4] = {int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF), int(p >> 24)};
        for (int c = 0; c < 4; ++c)
            worst = std::max(worst, std::abs(ours[c] - int(rgba[i * 4 + c])));
    }
    return worst;
}

// Bytes as lower-case hex, "-" for none (the ag-psd dump's form).
std::string hex(const uint8_t* bytes, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i)
        out += digits[bytes[i] >> 4], out += digits[bytes[i] & 15];
    return out.empty() ? "-" : out;
}

int blendOfName(const std::string& name) {
    std::istringstream names(
        "normal dissolve darken multiply color_burn linear_burn lighten screen color_dodge "
        "linear_dodge overlay soft_light hard_light vivid_light linear_light pin_light hard_mix "
        "difference exclusion hue saturation color luminosity pass_through darker_color "
        "lighter_color subtract divide");
    std::string candidate;
    for (int i = 0; names >> candidate; ++i)
        if (candidate == name) return i;
    return -1;
}

} // namespace

TEST(PsdLayers, RecordsOfTheGeneratedFile) {
    auto [status, psd] = loadFile("gen_lay_rgb8.psd");
    ASSERT_EQ(status, PSD_OK) << psd_status_text(status);
    ASSERT_EQ(psd->layer_count, 7); // stored as -7
    const PsdLayerRecord* l = psd->layers;
    EXPECT_STREQ(l[5].name, "with parameters");
    // Rectangle, flags 0x0A (hidden; bit 4 counts only with bit 3) and 0x18.
    EXPECT_EQ(values({l[2].top, l[2].left, l[2].width, l[2].height, l[2].clipping, l[2].visible,
                      l[2].pixel_data_irrelevant, l[3].pixel_data_irrelevant}),
              values({-3, -4, 10, 12, 1, 0, 0, 1}));

    // Every simple key, an unknown odd-length block, a skipped fill block and an "8B64" block
    // (its layer version, 8, comes last); then the defaults of a layer without blocks.
    const PsdLayerRecord& k = l[1];
    EXPECT_EQ(std::string(reinterpret_cast<char*>(k.unicode_name), k.unicode_name_length * 2),
              std::string("\0L\0\xE4\0y\0e\0r", 10));
    EXPECT_EQ(
        values({k.layer_id, k.name_source, k.layer_version, k.fill_opacity, k.protect_transparency,
                k.protect_composite, k.protect_position, k.sheet_color, k.reference_x,
                k.reference_y, k.blend_clipped_elements, k.blend_interior_elements, k.knockout,
                k.transparency_shapes_layer, k.layer_mask_hides_effects,
                k.vector_mask_hides_effects, k.channels[1].restricted, k.channels[2].restricted}),
        values({42, 0x636F6E74, 8, 77, 1, 0, 1, 0xFF010203, 12, -3, 0, 1, 1, 0, 1, 1, 0, 1}));
    EXPECT_EQ(values({l[0].fill_opacity, l[0].blend_clipped_elements, l[0].section_blend_mode}),
              values({255, 1, PSD_BLEND_PASS_THROUGH}));

    // Blending ranges of 40, 12 and 0 bytes: four ranges, none, none; each block ends where its
    // length says (the names after them are intact).
    ASSERT_EQ(k.channel_range_count, 4);
    EXPECT_EQ(
        values({k.composite_gray_ranges[3], k.channel_ranges[1][3], k.channel_ranges[2][2],
                l[4].channel_range_count, l[4].composite_gray_ranges[1], l[0].channel_range_count}),
        values({0xF000, 0xFF03, 4, 0, 0xFFFF, 0}));

    // Masks of 20 bytes, 36 bytes (the user mask, then the real one with its own rectangle, flags
    // and colour) and 30 bytes (with density and feather parameters); none (the defaults).
    const PsdLayerRecord& r = l[4];
    EXPECT_EQ(values({k.mask_width, k.mask_height, k.mask_disabled, k.has_real_mask, r.mask_left,
                      r.mask_width, r.mask_height, r.mask_default_color, r.mask_disabled,
                      r.has_real_mask, r.real_mask_left, r.real_mask_width, r.real_mask_height,
                      r.real_mask_default_color, r.real_mask_relative, r.real_mask_disabled}),
              values({25, 14, 0, 0, 12, 8, 3, 0, 1, 1, 11, 18, 5, 200, 1, 0}));
    EXPECT_EQ(
        values({l[5].mask_width, l[5].mask_default_color, l[5].mask_parameters, l[5].mask_density,
                int64_t(l[5].mask_feather * 10), l[5].has_real_mask, l[6].mask_disabled}),
        values({3, 0, 3, 128, 25, 0, 1}));

    // The merged picture follows the section where its length says.
    EXPECT_EQ(pixel(*psd, 36, 22), rgbPixel(0, 36, 22, 0, 1, 2, -1));
}

TEST(PsdLayers, ChannelsDecodeByIdInEveryCompression) {
    auto [status, psd] = loadFile("gen_lay_rgb8.psd");
    ASSERT_EQ(status, PSD_OK);
    const PsdLayerRecord* l = psd->layers;
    // Raw; ZIP with transparency; ZIP with prediction, channels out of order and channel 0 listed
    // twice (the later one counts); PackBits without green and with a transparency channel that
    // holds nothing (zero samples); raw.
    EXPECT_EQ(wrongPixels(l[0], 0, 0, 1, 2, -1), 0);
    EXPECT_EQ(wrongPixels(l[1], 1, 0, 1, 2, 3), 0);
    EXPECT_EQ(wrongPixels(l[2], 2, 0, 1, 2, 3), 0);
    EXPECT_EQ(wrongPixels(l[3], 3, 0, -1, 2, -1, 0xFFFFFF), 0);
    EXPECT_EQ(wrongPixels(l[4], 4, 0, 1, 2, -1), 0);
    // A transparency channel of only its compression field (an unknown method): zero samples.
    EXPECT_EQ(wrongPixels(l[5], 5, 0, 1, 2, -1, 0xFFFFFF), 0);
    EXPECT_EQ(l[5].pixels[0] >> 24, 0u);
    // User masks: larger than their layer (ZIP), beside a real mask (PackBits; each with its own
    // rectangle), raw.
    EXPECT_EQ(wrongMask(l[1], 4, 1), 0);
    EXPECT_EQ(wrongMask(l[4], 4, 4), 0);
    EXPECT_EQ(wrong(l[4].real_mask_pixels, l[4].real_mask_width, l[4].real_mask_height,
                    [](int x, int y) { return sample(5, 4, x, y); }),
              0);
    EXPECT_EQ(wrongMask(l[5], 4, 5), 0);
    // An empty rectangle: no pixels, and its channels (0, 1 and 2 bytes) consumed.
    EXPECT_EQ(l[6].pixels, nullptr);
    EXPECT_EQ(l[0].mask_pixels, nullptr);
}

TEST(PsdLayers, NestedGroupsKeepTheirParents) {
    // File order: end O, A, end I, B, I, C, O, top; then an odd global block left unpadded.
    auto [status, psd] = loadFile("gen_lay_groups.psd");
    ASSERT_EQ(status, PSD_OK);
    ASSERT_EQ(psd->layer_count, 8);
    const PsdLayerRecord* l = psd->layers;
    const int kinds[] = {1, 0, 1, 0, 2, 0, 2, 0};
    const int parents[] = {-1, 6, -1, 4, 6, 6, -1, -1};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(l[i].kind, kinds[i]) << i;
        EXPECT_EQ(l[i].parent ? int(l[i].parent - l) : -1, parents[i]) << i;
    }
    EXPECT_EQ(l[4].section_type, 2u);
    EXPECT_EQ(l[4].section_blend_mode, PSD_BLEND_MULTIPLY);
    EXPECT_EQ(l[6].section_blend_mode, PSD_BLEND_PASS_THROUGH); // a 16-byte divider block
    EXPECT_EQ(pixel(*psd, 36, 22),
              psd_pack_argb(255, pattern(0, 36, 22), pattern(1, 36, 22), pattern(2, 36, 22)));
}

TEST(PsdLayers, SixteenBitLayersFromLr16ReplaceTheLayerInfo) {
    auto [status, psd] = loadFile("gen_lay_lr16.psd");
    ASSERT_EQ(status, PSD_OK) << psd_status_text(status);
    ASSERT_EQ(psd->layer_count, 3);
    const PsdLayerRecord* l = psd->layers;
    EXPECT_STREQ(l[0].name, "raw16");
    // 16-bit samples count by their high byte; raw, PackBits and ZIP with prediction.
    const int alpha[] = {3, 3, -1};
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(wrongPixels(l[k], k, 0, 1, 2, alpha[k]), 0) << k;
    EXPECT_EQ(l[1].mask_pixels, nullptr); // a mask block without a mask channel
    EXPECT_EQ(wrongMask(l[2], 4, 2), 0);
}

TEST(PsdLayers, OtherColourModesConvertAsTheMergedImage) {
    for (const char* name :
         {"gen_lay_cmyk8.psd", "gen_lay_gray8.psd", "gen_lay_lab8.psd", "gen_lay_duotone8.psd"}) {
        auto [status, psd] = loadFile(name);
        ASSERT_EQ(status, PSD_OK) << name;
        ASSERT_EQ(psd->layer_count, 1) << name;
        EXPECT_TRUE(
            std::equal(psd->merged, psd->merged + kGenWidth * kGenHeight, psd->layers[0].pixels))
            << name;
    }
}

TEST(PsdPatterns, EveryImageModeConvertsAsAFlatFileOfTheSamePlanes) {
    auto [status, psd] = loadFile("gen_patterns.psd");
    ASSERT_EQ(status, PSD_OK) << psd_status_text(status);
    ASSERT_EQ(psd->pattern_count, 15); // twelve in "Patt", two in "Pat2", one in "Pat3"
    for (int p : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14}) {
        const PsdPattern& pattern = psd->patterns[p];
        auto flat = loadFile("gen_patterns." + std::to_string(p) + ".psd");
        ASSERT_EQ(flat.status, PSD_OK) << p;
        ASSERT_EQ(pattern.width * pattern.height, flat.psd->width * flat.psd->height) << p;
        EXPECT_TRUE(std::equal(pattern.pixels, pattern.pixels + pattern.width * pattern.height,
                               flat.psd->merged))
            << "pattern " << p << " mode " << pattern.image_mode;
    }
    // Entries without data, as the format marks them, and a short one are passed over; the
    // palette's padding is not the array list; a point of 0, 0 is no size (the rectangle is).
    EXPECT_EQ(psd->patterns[11].channels_read, 3);
    EXPECT_STREQ(psd->patterns[3].id, "id");
    EXPECT_EQ(psd->patterns[14].point_vertical, 0);
    EXPECT_EQ(psd->patterns[14].width, 4u);
    // Sides are unsigned: 0x8001 wide, not negative.
    const PsdPattern& wide = psd->patterns[13];
    ASSERT_EQ(wide.width, 0x8001);
    EXPECT_EQ(wide.pixels[0x7FFF], 0xFFFFFFFFu);
    EXPECT_EQ(wide.pixels[0x8000], 0xFF000000u);

    auto deep = loadFile("gen_patterns16.psd"); // read at the file's depth
    ASSERT_EQ(deep.status, PSD_OK);
    ASSERT_EQ(deep.psd->pattern_count, 1);
    EXPECT_EQ(deep.psd->patterns[0].pixels[7],
              psd_pack_argb(255, sample(0, 0, 1, 1), sample(1, 0, 1, 1), sample(2, 0, 1, 1)));
}

TEST(PsdIndependentReaders, ImageMagickLayersMatchItsOwnDecode) {
    // 16-bit samples: we take the high byte, ImageMagick rounds; CMYK: its own conversion.
    const struct {
        const char* name;
        int layers, tolerance;
    } files[] = {{"im_lay_rgb8", 2, 0},   {"im_lay_rgb16", 1, 1}, {"im_lay_cmyk8", 1, 2},
                 {"im_lay_cmyk16", 1, 2}, {"im_lay_gray8", 1, 0}, {"im_lay_gray16", 1, 1}};
    for (const auto& file : files) {
        auto [status, psd] = loadFile(std::string(file.name) + ".psd");
        ASSERT_EQ(status, PSD_OK) << file.name;
        ASSERT_EQ(psd->layer_count, file.layers) << file.name;
        for (int i = 0; i < file.layers; ++i) {
            const PsdLayerRecord& layer = psd->layers[i];
            const Bytes theirs =
                readBytes(dataPath(std::string(file.name) + "." + std::to_string(i + 1) + ".rgba"));
            EXPECT_LE(maxDifference(layer.pixels, std::size_t(layer.width) * layer.height, theirs),
                      file.tolerance)
                << file.name << " layer " << i;
        }
    }
}

// ag-psd's reading of its files: one line per layer record in file order (see agpsd_layers.js),
// with the layers' pixels, masks and real masks, and the patterns' sizes. The groups file comes
// as PSD and as PSB.
TEST(PsdIndependentReaders, AgPsdReadsTheSameDocument) {
    for (const char* file :
         {"ag_lay_groups.psd", "ag_layers.psd", "ag_lay_patterns.psd", "ag_lay_groups.psb"}) {
        auto [status, psd] = loadFile(file);
        ASSERT_EQ(status, PSD_OK) << file;
        std::string name = file;
        if (name.ends_with(".psd")) name.resize(name.size() - 4);
        const std::string prefix = dataPath(name + ".dump");
        std::ifstream lines(prefix + ".txt");
        std::string line;
        int i = 0;
        for (; std::getline(lines, line) && !line.empty(); ++i) {
            ASSERT_LT(i, psd->layer_count) << file;
            const PsdLayerRecord& l = psd->layers[i];
            const std::string where = std::string(file) + " layer " + std::to_string(i);
            std::istringstream in(line);
            std::string name16, blend;
            int64_t t[24];
            in >> t[0] >> name16 >> t[1] >> t[2] >> t[3] >> t[4] >> blend;
            for (int f = 5; f < 24; ++f)
                in >> t[f];
            ASSERT_EQ(l.kind, t[0]) << where;
            if (l.kind == 1) continue; // ag-psd keeps no record of a group's end
            // A group's blend mode is its divider's.
            const int mode = l.kind == 2 ? l.section_blend_mode : l.blend_mode;
            EXPECT_EQ(hex(l.unicode_name, l.unicode_name_length * 2u), name16) << where;
            EXPECT_EQ(
                values({l.top, l.left, l.bottom, l.right, mode, l.opacity, l.fill_opacity,
                        !l.visible, l.clipping, l.parent ? l.parent - psd->layers : -1}),
                values({t[1], t[2], t[3], t[4], blendOfName(blend), t[5], t[6], t[7], t[8], t[9]}))
                << where;
            if (t[12] > t[10]) { // a mask
                EXPECT_EQ(values({l.mask_top, l.mask_left, l.mask_bottom, l.mask_right,
                                  l.mask_default_color, l.mask_disabled}),
                          values({t[10], t[11], t[12], t[13], t[14], t[15]}))
                    << where;
            }
            const std::string file = prefix + "." + std::to_string(i);
            const std::size_t size = std::size_t(l.width) * l.height;
            if (t[16]) {
                EXPECT_EQ(maxDifference(l.pixels, size, readBytes(file + ".rgba")), 0) << where;
            }
            if (t[17]) {
                EXPECT_EQ(readBytes(file + ".mask"),
                          Bytes(l.mask_pixels, l.mask_pixels + l.mask_pixels_size))
                    << where;
            }
            EXPECT_EQ(l.has_real_mask, t[20] > t[18]) << where;
            if (l.has_real_mask) {
                EXPECT_EQ(values({l.real_mask_top, l.real_mask_left, l.real_mask_bottom,
                                  l.real_mask_right, l.real_mask_default_color}),
                          values({t[18], t[19], t[20], t[21], t[22]}))
                    << where;
            }
            if (t[23]) {
                EXPECT_EQ(readBytes(file + ".realmask"),
                          Bytes(l.real_mask_pixels, l.real_mask_pixels + l.real_mask_pixels_size))
                    << where;
            }
        }
        EXPECT_EQ(i, psd->layer_count) << file;

        // Patterns: their sizes as ag-psd reads them, their pixels as they were given to it.
        std::ifstream patterns(prefix + ".patterns");
        int p = 0;
        for (int w, h; patterns >> w >> h; ++p) {
            ASSERT_LT(p, psd->pattern_count) << file;
            const PsdPattern& pat = psd->patterns[p];
            EXPECT_EQ(pat.width, w);
            EXPECT_EQ(pat.height, h);
            const std::string given = name + ".p" + std::to_string(p) + ".expected.rgba";
            EXPECT_EQ(maxDifference(pat.pixels, std::size_t(w) * h, readBytes(dataPath(given))), 0)
                << given;
        }
        EXPECT_EQ(p, psd->pattern_count) << file;
    }
}

TEST(PsdIndependentReaders, MaskParametersWithoutARealMaskAsAgPsdWritesThem) {
    // All four parameters and no real mask: 39 bytes, more than a real mask needs, yet its
    // reading would have a default colour of 128. ag-psd's own reader refuses the file; the mask
    // is compared with what ag-psd was given.
    auto [status, psd] = loadFile("ag_mask_parameters.psd");
    ASSERT_EQ(status, PSD_OK) << psd_status_text(status);
    const PsdLayerRecord& l = psd->layers[0];
    EXPECT_EQ(values({l.mask_top, l.mask_left, l.mask_bottom, l.mask_right, l.has_real_mask,
                      l.mask_parameters, l.mask_density, l.vector_mask_density}),
              values({4, 5, 9, 11, 0, 0x0F, 128, 64}));
    EXPECT_EQ(values({int64_t(l.mask_feather * 100), int64_t(l.vector_mask_feather * 100)}),
              values({250, 150}));
    EXPECT_EQ(readBytes(dataPath("ag_mask_parameters.expected.mask")),
              Bytes(l.mask_pixels, l.mask_pixels + l.mask_pixels_size));
}
