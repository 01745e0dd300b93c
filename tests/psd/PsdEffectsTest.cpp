// Layer effects in both forms, on blocks built field by field: the old fixed layouts of "lrFX"
// and the descriptor items of "lfx2".
#include "PsdDescriptorSupport.h"

#include <gtest/gtest.h>

using namespace psdtest;

namespace {

// An RGB colour structure whose components' high bytes are r, g, b.
Desc& color(Desc& d, uint8_t r, uint8_t g, uint8_t b) {
    return d.u16(0).u16(r << 8).u16(g << 8).u16(b << 8).u16(0);
}

// A value as the old form stores it: signed 16.16 fixed point.
uint32_t fixed(double v) {
    return uint32_t(int32_t(v * 65536));
}

// An old-form shadow record (size and body) of `version`; `extra` spare bytes follow the layout.
// Blur 7.5, intensity 40, angle -170 and distance 2.5.
Desc& oldShadow(Desc& d, uint32_t version, int extra = 0) {
    d.u32(version == 2 ? 51 + extra : 41 + extra).u32(version);
    d.u32(fixed(7.5)).u32(fixed(40)).u32(fixed(-170)).u32(fixed(2.5));
    color(d, 0x11, 0x22, 0x33).text("8BIMscrn").u8(1).u8(0).u8(200);
    if (version == 2) color(d, 0x44, 0x55, 0x66);
    for (int i = 0; i < extra; ++i)
        d.u8(0xEE);
    return d;
}

Desc& oldInnerGlow(Desc& d, bool invert) {
    d.u32(43).u32(2).u32(fixed(12)).u32(fixed(30));
    color(d, 1, 2, 3).text("8BIMnorm").u8(1).u8(128).u8(invert);
    return color(d, 4, 5, 6);
}

PsdEffects* effects(const Layer& layer, int i = 0) {
    return layer.entry<PsdEffects>(i);
}

// "lfx2" header: versions, then the descriptor's name, class and item count.
Desc lfx2(uint32_t items) {
    Desc d;
    d.u32(0).u32(16).body("null", items);
    return d;
}

} // namespace

TEST(PsdOldEffects, ShadowsGlowsAndCommonState) {
    Desc d;
    d.u16(0).u16(4);
    d.text("8BIMcmnS").u32(7).u32(0).u8(1).u16(0);
    oldShadow(d.text("8BIMdsdw"), 0);
    oldShadow(d.text("8BIMisdw"), 2);
    oldInnerGlow(d.text("8BIMiglw"), true);
    Layer layer;
    uint64_t consumed = 0;
    ASSERT_EQ(parse(psd_parse_effects_old, layer, d.b, &consumed), PSD_OK);
    EXPECT_EQ(consumed, d.b.size());
    const PsdEffects* fx = effects(layer);
    EXPECT_EQ(fx->count, 4);
    EXPECT_EQ(fx->master_switch, 1);
    const PsdShadowEffect& drop = fx->drop_shadow;
    EXPECT_EQ(drop.size.value, 7.5);
    EXPECT_EQ(drop.choke.value, 40);
    EXPECT_EQ(drop.angle.value, -170);
    EXPECT_EQ(drop.distance.value, 2.5);
    EXPECT_EQ(drop.distance.unit, 0u); // the layout says pixels; the file gives no unit
    EXPECT_EQ(drop.color, 0xFF112233u);
    EXPECT_EQ(drop.native_color, 0xFF000000u); // version 0 has none: the default stays
    EXPECT_EQ(drop.blend_mode, PSD_BLEND_SCREEN);
    EXPECT_EQ(drop.enabled, 1);
    EXPECT_EQ(drop.use_global_angle, 0);
    EXPECT_EQ(drop.opacity, 200);
    EXPECT_EQ(drop.contour.table[100], 100);
    EXPECT_EQ(fx->inner_shadow.native_color, 0xFF445566u);
    EXPECT_EQ(fx->inner_glow.source, 0); // inverted: from the centre
    EXPECT_EQ(fx->inner_glow.size.value, 12);
    EXPECT_EQ(fx->inner_glow.choke.value, 30);
    EXPECT_EQ(fx->inner_glow.native_color, 0xFF040506u);
    EXPECT_EQ(fx->present[PSD_EFFECT_INNER_GLOW], 1);
    EXPECT_EQ(fx->present_again[PSD_EFFECT_INNER_SHADOW], 1);
    EXPECT_EQ(fx->present[PSD_EFFECT_OUTER_GLOW], 0);
    EXPECT_EQ(fx->outer_glow.size.value, 0); // absent: zero-filled, defaults unapplied

    Desc plain;
    plain.u16(0).u16(1);
    oldInnerGlow(plain.text("8BIMiglw"), false);
    Layer kept;
    ASSERT_EQ(parse(psd_parse_effects_old, kept, plain.b), PSD_OK);
    EXPECT_EQ(effects(kept)->inner_glow.source, 1);
}

TEST(PsdOldEffects, RecordsAreFoundBySizeAndBadBlocksAreRefused) {
    // A record longer than its version's layout, and one that stops at a bad signature: the
    // next record is still read from where the size says.
    Desc d;
    d.u16(0).u16(3);
    oldShadow(d.text("8BIMdsdw"), 0, 6);
    d.text("8BIMoglw").u32(32).u32(0).u32(fixed(3)).u32(fixed(4));
    color(d, 9, 9, 9).text("XXXXnorm").u8(1).u8(1);
    d.text("8BIMsofi").u32(34).u32(2).text("8BIMmul ");
    color(d, 0xAB, 0xCD, 0xEF).u8(255).u8(1);
    color(d, 1, 1, 1);
    Layer layer;
    ASSERT_EQ(parse(psd_parse_effects_old, layer, d.b), PSD_OK);
    const PsdEffects* fx = effects(layer);
    EXPECT_EQ(fx->outer_glow.size.value, 3);
    EXPECT_EQ(fx->outer_glow.enabled, 0); // stopped at the signature: the rest keeps defaults
    EXPECT_EQ(fx->outer_glow.blend_mode, PSD_BLEND_SCREEN);
    EXPECT_EQ(fx->color_overlay.color, 0xFFABCDEFu);
    EXPECT_EQ(fx->color_overlay.blend_mode, PSD_BLEND_MULTIPLY);

    Layer empty;
    ASSERT_EQ(parse(psd_parse_effects_old, empty, Desc().u16(0).u16(0).b), PSD_OK);
    PsdEffects zero{};
    EXPECT_EQ(std::memcmp(effects(empty), &zero, sizeof zero), 0);

    Layer a, b, c, e;
    EXPECT_EQ(parse(psd_parse_effects_old, a, Desc().u16(1).u16(1).b), PSD_ERR_EFFECTS_VERSION);
    EXPECT_EQ(parse(psd_parse_effects_old, b, Desc().u16(0).u16(1).text("8BIXdsdw").u32(0).b),
              PSD_ERR_EFFECT_SIGNATURE);
    EXPECT_EQ(parse(psd_parse_effects_old, c, Desc().u16(0).u16(1).text("8BIMxxxx").u32(0).b),
              PSD_ERR_EFFECT_KEY);
    EXPECT_EQ(
        parse(psd_parse_effects_old, e, Desc().u16(0).u16(1).text("8BIMcmnS").u32(7).u32(1).b),
        PSD_ERR_EFFECTS_COMMON_VERSION);
}

TEST(PsdEffects, DescriptorEffectsReadTheirItemsAndSkipTheRest) {
    Desc d = lfx2(4);
    d.untf("Scl ", 100.0).boolean("masterFXSwitch", true);
    d.objc("DrSh", "DrSh", 5).boolean("enab", true).boolean("unknownFlag", true);
    d.enumv("Md  ", "BlnM", "linearBurn").untf("Opct", 75.0);
    d.boolean("layerConceals", true);
    d.objc("ebbl", "ebbl", 5).enumv("bvlS", "BESl", "strokeEmboss").item("phase", "Objc");
    d.pointValue(10, 20).item("TrnS", "Objc").contourValue({{0, 255, false}, {255, 0, false}});
    d.untf("hglO", 100.0).rgb("sdwC", 1, 2, 3);
    Layer layer;
    uint64_t consumed = 0;
    ASSERT_EQ(parse(psd_parse_effects, layer, d.b, &consumed), PSD_OK);
    EXPECT_EQ(consumed, d.b.size());
    const PsdEffects* fx = effects(layer);
    EXPECT_EQ(fx->count, 2);
    EXPECT_EQ(fx->master_switch, 1);
    EXPECT_EQ(fx->drop_shadow.enabled, 1);
    EXPECT_EQ(fx->drop_shadow.blend_mode, PSD_BLEND_LINEAR_BURN);
    EXPECT_EQ(fx->drop_shadow.opacity, 191);
    EXPECT_EQ(fx->drop_shadow.layer_knocks_out, 1);
    EXPECT_EQ(fx->drop_shadow.distance.value, 5); // default
    EXPECT_EQ(fx->bevel.style, 4);
    EXPECT_EQ(fx->bevel.texture_phase_horizontal, 10); // the bevel keeps its phase
    EXPECT_EQ(fx->bevel.texture_phase_vertical, 20);
    EXPECT_EQ(fx->bevel.gloss_contour.table[0], 255);
    EXPECT_EQ(fx->bevel.highlight_opacity, 255);
    EXPECT_EQ(fx->bevel.shadow_color, 0xFF010203u);
    EXPECT_EQ(fx->bevel.shadow_native_color, 0xFF010203u);
    EXPECT_EQ(fx->present[PSD_EFFECT_BEVEL], 1);
    EXPECT_EQ(fx->present[PSD_EFFECT_STROKE], 0);
}

TEST(PsdEffects, StrokeScaleGoesToThePaintReadSoFar) {
    Desc d = lfx2(2);
    d.objc("FrFX", "FrFX", 5).untf("Scl ", 40.0).enumv("PntT", "FrFl", "GrFl");
    d.untf("Scl ", 60.0).enumv("Styl", "FStl", "CtrF").untf("Sz  ", 4.7, "#Pxl");
    d.objc("patternFill", "patternFill", 3).item("phase", "Objc").pointValue(10, 20);
    d.item("Ptrn", "Objc").patternValue("Dots", "abc").untf("Opct", 0.0);
    Layer layer;
    ASSERT_EQ(parse(psd_parse_effects, layer, d.b), PSD_OK);
    const PsdEffects* fx = effects(layer);
    EXPECT_EQ(fx->stroke.paint_type, 1);
    EXPECT_EQ(fx->stroke.gradient_scale.value, 60);
    EXPECT_EQ(fx->stroke.pattern_scale.value, 100);
    EXPECT_EQ(fx->stroke.position, 2);
    EXPECT_EQ(fx->stroke.size.value, 4.7);
    EXPECT_EQ(fx->pattern_overlay.phase_horizontal, 0); // read, then reset
    EXPECT_EQ(fx->pattern_overlay.phase_vertical, 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(fx->pattern_overlay.pattern.identifier), "abc");
    EXPECT_EQ(fx->pattern_overlay.opacity, 0);
    EXPECT_EQ(fx->present[PSD_EFFECT_PATTERN_OVERLAY], 1);
}

TEST(PsdEffects, ScaleAsTheLastItemStopsAtTheBlockEnd) {
    Desc d = lfx2(1);
    d.untf("Scl ", 100.0);
    const uint32_t length = uint32_t(d.b.size());
    d.u32(0).text("next").text("bool").u8(1); // the next block's bytes
    Stream s(d.b);
    Layer layer;
    ASSERT_EQ(psd_parse_effects(s.ctx, &layer, length), PSD_OK);
    EXPECT_EQ(s.consumed(), length);
    EXPECT_EQ(effects(layer)->master_switch, 0);

    Layer bad;
    EXPECT_EQ(parse(psd_parse_effects, bad, Desc().u32(0).u32(15).b), PSD_ERR_EFFECTS_VERSION);
}

TEST(PsdEffects, HostileItemCountsAndDeepValuesEndTheWalk) {
    Desc d = lfx2(0xFFFFFFFF);
    d.objc("OrGl", "OrGl", 0x7FFFFFFF).item("Grad", "Objc");
    d.body("Grdn", 0xFFFFFFFF).item("Clrs", "VlLs").u32(0xFFFFFFFF);
    for (int i = 0; i < 200; ++i)
        d.item("deep", "Objc").body("x", 1);
    Layer layer;
    ASSERT_EQ(parse(psd_parse_effects, layer, d.b), PSD_OK);
    EXPECT_EQ(effects(layer)->outer_glow.fill_type, 1);
    // The stops are read out of step from the deep items, as many as the block could hold.
    EXPECT_LE(effects(layer)->outer_glow.gradient.color_stop_count, int(d.b.size() / 64));
}

TEST(PsdEffects, BothBlocksOnOneLayerGiveTwoEntries) {
    Desc old;
    oldShadow(old.u16(0).u16(1).text("8BIMdsdw"), 2);
    Desc modern = lfx2(1);
    modern.objc("DrSh", "DrSh", 1).untf("Dstn", 33.0, "#Pxl");
    Layer layer;
    ASSERT_EQ(parse(psd_parse_effects_old, layer, old.b), PSD_OK);
    ASSERT_EQ(parse(psd_parse_effects, layer, modern.b), PSD_OK);
    ASSERT_EQ(layer.info_count, 2);
    EXPECT_EQ(layer.info_types[0], uint32_t(PSD_ENTRY_EFFECTS_OLD));
    EXPECT_EQ(layer.info_types[1], uint32_t(PSD_ENTRY_EFFECTS));
    EXPECT_EQ(effects(layer, 0)->drop_shadow.distance.value, 2.5);
    EXPECT_EQ(effects(layer, 1)->drop_shadow.distance.value, 33);
    EXPECT_EQ(layer.kind, 0);
}

TEST(PsdEffects, ColoursOfEveryClassKeepTheWalkInStep) {
    // Before each colour's item count was taken as three doubles, an HSB colour (a "UntF" hue)
    // threw every later item out of step.
    Desc d = lfx2(3);
    d.objc("DrSh", "DrSh", 3).item("Clr ", "Objc").body("HSBC", 3).untf("H   ", 240.0, "#Ang");
    d.doub("Strt", 100).doub("Brgh", 50).enumv("Md  ", "BlnM", "darkerColor").untf("Opct", 20);
    d.objc("IrGl", "IrGl", 3).item("Clr ", "Objc").body("CMYC", 4).doub("Cyn ", 100);
    d.doub("Mgnt", 0).doub("Ylw ", 0).doub("Blck", 0).enumv("GlwT", "BETE", "PrBL");
    d.enumv("bvlT", "bvlT", "Slmt");
    d.objc("ebbl", "ebbl", 3).enumv("bvlT", "bvlT", "PrBL").enumv("GlwT", "BETE", "Slmt");
    d.item("sdwC", "Objc").body("Grsc", 1).doub("Gry ", 100);
    Layer layer;
    uint64_t consumed = 0;
    ASSERT_EQ(parse(psd_parse_effects, layer, d.b, &consumed), PSD_OK);
    EXPECT_EQ(consumed, d.b.size());
    const PsdEffects* fx = effects(layer);
    EXPECT_EQ(fx->drop_shadow.color, 0xFF000080u); // hue 240: blue at half brightness
    EXPECT_EQ(fx->drop_shadow.color_model.model, PSD_COLOR_HSB);
    EXPECT_EQ(fx->drop_shadow.blend_mode, PSD_BLEND_DARKER_COLOR);
    EXPECT_EQ(fx->drop_shadow.opacity, 51);
    EXPECT_EQ(fx->inner_glow.color_model.components[0], 100);
    // Each effect takes only its own technique key.
    EXPECT_EQ(fx->inner_glow.technique, 1);
    EXPECT_EQ(fx->bevel.technique, 1);
    EXPECT_EQ(fx->bevel.shadow_color, 0xFF000000u);
    EXPECT_EQ(fx->bevel.shadow_color_model.model, PSD_COLOR_GRAY);
}
