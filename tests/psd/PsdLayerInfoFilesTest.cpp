// Whole files from our generator (fixtures/make_layer_info.py) whose layers carry what ag-psd
// does not write: old-form effects beside descriptor effects, old-form type tool data, level and
// curve extensions, odd and hostile descriptors, more blocks than a layer keeps.
#include "PsdDescriptorSupport.h"

#include <gtest/gtest.h>

using namespace psdtest;

namespace {

const PsdLayerRecord& layerNamed(const PsdContext& psd, const char* name) {
    for (int i = 0; i < psd.layer_count; ++i)
        if (std::strcmp(psd.layers[i].name, name) == 0) return psd.layers[i];
    ADD_FAILURE() << "no layer " << name;
    static PsdLayerRecord none{};
    return none;
}

template <class T> const T* entry(const PsdLayerRecord& layer, int i) {
    return i < layer.info_count ? static_cast<const T*>(layer.info_data[i]) : nullptr;
}

} // namespace

TEST(PsdLayerInfoFiles, OldEffectsBesideDescriptorEffects) {
    auto [status, psd] = loadFile("gen_fx_old.psd");
    ASSERT_EQ(status, PSD_OK) << psd_status_text(status);
    const PsdLayerRecord& v0 = layerNamed(*psd, "old v0");
    ASSERT_EQ(v0.info_count, 1);
    const PsdEffects* old = entry<PsdEffects>(v0, 0);
    EXPECT_EQ(old->master_switch, 1);
    // Signed 16.16 fixed point: fractions and negative angles.
    EXPECT_EQ(old->drop_shadow.size.value, 7.5);
    EXPECT_EQ(old->drop_shadow.choke.value, 40);
    EXPECT_EQ(old->drop_shadow.angle.value, -170);
    EXPECT_EQ(old->drop_shadow.distance.value, 2.5);
    EXPECT_EQ(old->drop_shadow.color, 0xFF112233u);
    EXPECT_EQ(old->drop_shadow.native_color, 0xFF000000u);
    EXPECT_EQ(old->drop_shadow.blend_mode, PSD_BLEND_MULTIPLY);

    const PsdLayerRecord& both = layerNamed(*psd, "old v2 and lfx2");
    ASSERT_EQ(both.info_count, 2);
    const PsdEffects* v2 = entry<PsdEffects>(both, 0);
    const PsdEffects* modern = entry<PsdEffects>(both, 1);
    EXPECT_EQ(v2->drop_shadow.native_color, 0xFF040506u);
    EXPECT_EQ(v2->inner_glow.source, 0);
    EXPECT_EQ(v2->inner_glow.native_color, 0xFF070809u);
    EXPECT_EQ(v2->outer_glow.enabled, 0);
    EXPECT_EQ(v2->outer_glow.size.value, 5);
    EXPECT_EQ(v2->outer_glow.choke.value, 20);
    EXPECT_EQ(v2->inner_shadow.blend_mode, PSD_BLEND_DIVIDE);
    EXPECT_EQ(v2->bevel.style, 2);
    // The bevel's blur is the size; its strength (0.01) is kept apart.
    EXPECT_EQ(v2->bevel.angle.value, -60.5);
    EXPECT_EQ(v2->bevel.size.value, 3.25);
    EXPECT_NEAR(v2->bevel.strength.value, 0.01, 1e-4);
    EXPECT_EQ(v2->bevel.shadow_blend_mode, PSD_BLEND_MULTIPLY);
    EXPECT_EQ(v2->bevel.shadow_native_color, 0xFF050505u);
    EXPECT_EQ(v2->color_overlay.color, 0xFFC86432u);
    EXPECT_EQ(modern->master_switch, 1);
    EXPECT_EQ(modern->drop_shadow.opacity, 191);
    EXPECT_EQ(modern->drop_shadow.distance.value, 33);
    EXPECT_EQ(modern->present[PSD_EFFECT_INNER_GLOW], 0);
}

TEST(PsdLayerInfoFiles, OldTypeToolAndExtendedAdjustments) {
    auto [status, psd] = loadFile("gen_type_old.psd");
    ASSERT_EQ(status, PSD_OK) << psd_status_text(status);
    const PsdTypeTool* type = entry<PsdTypeTool>(layerNamed(*psd, "type"), 0);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->transform[4], 10.5);
    EXPECT_EQ(type->transform[5], 20.25);
    ASSERT_EQ(type->face_count, 1);
    EXPECT_STREQ(type->faces[0].style_name, "Regular");
    EXPECT_EQ(type->faces[0].design_vector[0], 400u);
    EXPECT_EQ(type->styles[0].size, 24u);
    EXPECT_EQ(type->color, 0xFF0000FFu);

    auto [status2, adjust] = loadFile("gen_adjust_ext.psd");
    ASSERT_EQ(status2, PSD_OK) << psd_status_text(status2);
    const PsdLevels* levels = entry<PsdLevels>(layerNamed(*adjust, "levels"), 0);
    ASSERT_NE(levels, nullptr);
    EXPECT_EQ(levels->extra_count, 2);
    EXPECT_EQ(levels->extra[1].input_floor, 201);
    const PsdLayerRecord& curves = layerNamed(*adjust, "curves");
    EXPECT_EQ(curves.has_adjustment, 1); // the extension agrees
    EXPECT_EQ(entry<PsdCurves>(curves, 0)->curves[1].channel, 2);
    EXPECT_EQ(entry<PsdPhotoFilter>(layerNamed(*adjust, "photo filter"), 0)->y, -1);
}

TEST(PsdLayerInfoFiles, OddAndHostileDescriptorsAndATwentyFirstBlock) {
    auto [status, psd] = loadFile("gen_descriptor_odd.psd");
    ASSERT_EQ(status, PSD_OK) << psd_status_text(status);
    // Lists, references and aliases are skipped in step; the 200-deep item ends the walk.
    const PsdEffects* odd = entry<PsdEffects>(layerNamed(*psd, "odd"), 0);
    EXPECT_EQ(odd->drop_shadow.blend_mode, PSD_BLEND_DIFFERENCE);
    EXPECT_EQ(odd->drop_shadow.distance.value, 12);
    EXPECT_EQ(entry<PsdEffects>(layerNamed(*psd, "hostile"), 0)->present[PSD_EFFECT_OUTER_GLOW], 1);
    const PsdLayerRecord& many = layerNamed(*psd, "many");
    EXPECT_EQ(many.info_count, kPsdMaxLayerInfo);
    EXPECT_EQ(entry<PsdThreshold>(many, 19)->level, 19);
    EXPECT_EQ(many.unicode_name_length, 4u); // read after the passed-over 21st block
}

TEST(PsdLayerInfoFiles, ColoursByClassUnitsThroughTheResolutionAndRefusedBlocksKept) {
    auto [status, psd] = loadFile("gen_colors.psd");
    ASSERT_EQ(status, PSD_OK) << psd_status_text(status);
    const PsdEffects* fx = entry<PsdEffects>(layerNamed(*psd, "colours"), 0);
    ASSERT_NE(fx, nullptr);
    EXPECT_EQ(fx->drop_shadow.color, 0xFFFFFFFFu);
    EXPECT_EQ(fx->drop_shadow.blend_mode, PSD_BLEND_SUBTRACT);
    // 10 points and 2.54 millimetres at 144 pixels per inch.
    EXPECT_EQ(fx->drop_shadow.distance.value, 20);
    EXPECT_EQ(fx->drop_shadow.distance.given, 10);
    EXPECT_NEAR(fx->drop_shadow.size.value, 14.4, 1e-9);
    EXPECT_EQ(fx->inner_glow.color, 0xFF000000u);
    EXPECT_EQ(fx->inner_glow.opacity, 128);
    EXPECT_EQ(fx->color_overlay.color_model.book, 1);
    EXPECT_EQ(fx->color_overlay.color, 0xFF000000u);
    EXPECT_EQ(fx->color_overlay.blend_mode, PSD_BLEND_LIGHTER_COLOR);

    // Each refused block is kept with its status, and the blocks after it are read.
    const PsdLayerRecord& refused = layerNamed(*psd, "refused");
    ASSERT_EQ(refused.failed_block_count, 3);
    EXPECT_EQ(
        values({refused.failed_blocks[0].status, refused.failed_blocks[1].status,
                refused.failed_blocks[2].status}),
        values({PSD_ERR_LEVELS_VERSION, PSD_ERR_PHOTO_FILTER_VERSION, PSD_ERR_SECTION_SIGNATURE}));
    EXPECT_EQ(refused.failed_blocks[1].key, psd_key_of("phfl"));
    EXPECT_EQ(refused.info_count, 0); // nothing of what the refused parsers had read is kept
    EXPECT_EQ(refused.unicode_name_length, 12u);
    EXPECT_EQ(refused.layer_id, 77u);
}

TEST(PsdLayerInfoFiles, AgPsdLevelsAndPhotoFiltersLoad) {
    // ag-psd writes levels as 63 plain records, without the "Lvls" extension header: the block
    // is refused on its layer, the document loads.
    auto levels = loadFile("ag_levels.psd");
    ASSERT_EQ(levels.status, PSD_OK);
    const PsdLayerRecord& l = levels.psd->layers[0];
    ASSERT_EQ(l.failed_block_count, 1);
    EXPECT_EQ(l.failed_blocks[0].status, PSD_ERR_LEVELS_EXTENSION_SIGNATURE);
    EXPECT_EQ(l.kind, PSD_KIND_LEVELS);
    // Version 2 photo filters: a colour structure (RGB 250, 100, 10 here) instead of XYZ.
    auto filter = loadFile("ag_photo_filter_rgb.psd");
    ASSERT_EQ(filter.status, PSD_OK);
    const PsdPhotoFilter* f = entry<PsdPhotoFilter>(filter.psd->layers[0], 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(
        values({f->version, f->color_space, f->components[0], f->density, f->preserve_luminosity}),
        values({2, 0, 0xFAFA, 60, 0}));
    EXPECT_EQ(f->color, 0xFFFA640Au);
}
