// The adjustment, fill and type parsers on blocks built field by field: what they store, the
// lengths and versions they check, and the bounds they keep.
#include "PsdDescriptorSupport.h"
#include "psd_layer_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

using namespace psdtest;

namespace {

// Version 2 levels with 29 records; record i has input floor i and gamma `gamma`.
Desc levels(int16_t gamma) {
    Desc d;
    d.u16(2);
    for (int i = 0; i < 29; ++i)
        d.u16(i).u16(255).u16(0).u16(255).u16(uint16_t(gamma));
    return d;
}

Desc curves(uint32_t mask, int points) {
    Desc d;
    d.u8(0).u16(1).u32(mask);
    for (int c = 0; c < std::popcount(mask); ++c) {
        d.u16(points);
        for (int p = 0; p < points; ++p)
            d.u16(p * 10 + c).u16(p * 10);
    }
    return d;
}

} // namespace

TEST(PsdLevels, LengthDecidesTheExtensionAndMustBeConsumedExactly) {
    Layer layer;
    Desc exact = levels(100);
    ASSERT_EQ(exact.b.size(), 292u);
    ASSERT_EQ(parse(psd_parse_levels, layer, exact.b), PSD_OK);
    auto* r = layer.entry<PsdLevels>(0);
    EXPECT_EQ(r->records[28].input_floor, 28);
    EXPECT_FLOAT_EQ(r->records[0].gamma, 1.0f);
    EXPECT_EQ(layer.kind, PSD_KIND_LEVELS);
    EXPECT_EQ(layer.has_adjustment, 1);

    Layer negative;
    ASSERT_EQ(parse(psd_parse_levels, negative, levels(-1).b), PSD_OK);
    EXPECT_FLOAT_EQ(negative.entry<PsdLevels>(0)->records[0].gamma, -0.01f);

    Layer short_by_two, past_four;
    EXPECT_EQ(parse(psd_parse_levels, short_by_two, levels(100).u16(0).b), PSD_ERR_LEVELS_LENGTH);
    EXPECT_EQ(parse(psd_parse_levels, past_four, levels(100).u16(0).u32(0).b),
              PSD_ERR_LEVELS_EXTENSION_SIGNATURE);

    Layer extended;
    Desc ext = levels(100);
    ext.text("Lvls").u16(3).u16(31);
    for (int i = 0; i < 2; ++i)
        ext.u16(100 + i).u16(200).u16(0).u16(255).u16(150);
    ASSERT_EQ(parse(psd_parse_levels, extended, ext.b), PSD_OK);
    ASSERT_EQ(extended.entry<PsdLevels>(0)->extra_count, 2);
    EXPECT_EQ(extended.entry<PsdLevels>(0)->extra[1].input_floor, 101);
    EXPECT_FLOAT_EQ(extended.entry<PsdLevels>(0)->extra[1].gamma, 1.5f);

    // The total must count the records the block holds: below 29, or more records than follow,
    // even where the block's length is then used exactly.
    Layer wrapped, fewer;
    Desc wrap = levels(100);
    wrap.text("Lvls").u16(3).u16(0).u32(0);
    EXPECT_EQ(parse(psd_parse_levels, wrapped, wrap.b), PSD_ERR_LEVELS_LENGTH);
    Desc more = levels(100);
    more.text("Lvls").u16(3).u16(40).u16(100).u16(200).u16(0).u16(255).u16(150);
    EXPECT_EQ(parse(psd_parse_levels, fewer, more.b), PSD_ERR_LEVELS_LENGTH);
}

TEST(PsdCurves, OneCurvePerMaskBitWithPointsKeptInsideTheRecord) {
    Layer three;
    ASSERT_EQ(parse(psd_parse_curves, three, curves(0x7, 2).b), PSD_OK);
    auto* r = three.entry<PsdCurves>(0);
    ASSERT_EQ(r->count, 3);
    EXPECT_EQ(r->curves[2].channel, 2);
    EXPECT_EQ(r->curves[2].output[1], 12);
    EXPECT_EQ(r->curves[2].input[1], 10);
    EXPECT_EQ(three.has_adjustment, 1);

    Layer ends;
    ASSERT_EQ(parse(psd_parse_curves, ends, curves(0x80000001, 1).b), PSD_OK);
    EXPECT_EQ(ends.entry<PsdCurves>(0)->curves[0].channel, 0);
    EXPECT_EQ(ends.entry<PsdCurves>(0)->curves[1].channel, 31);

    // 25 points: 19 kept, the rest read so that the next curve is in step.
    Layer many;
    ASSERT_EQ(parse(psd_parse_curves, many, curves(0x3, 25).b), PSD_OK);
    EXPECT_EQ(many.entry<PsdCurves>(0)->curves[0].point_count, kPsdMaxCurvePoints);
    EXPECT_EQ(many.entry<PsdCurves>(0)->curves[1].output[18], 181);

    // An extension that disagrees keeps the curves as first read, without the flag.
    Layer disagree;
    Desc d = curves(0x7, 2);
    d.text("Crv ").u16(4).u32(2).u32(0);
    ASSERT_EQ(parse(psd_parse_curves, disagree, d.b), PSD_OK);
    EXPECT_EQ(disagree.kind, PSD_KIND_CURVES);
    EXPECT_EQ(disagree.has_adjustment, 0);
    EXPECT_EQ(disagree.entry<PsdCurves>(0)->count, 3);

    Layer agree;
    Desc a = curves(0x1, 1);
    a.text("Crv ").u16(4).u32(1).u16(5).u16(1).u16(0).u16(0);
    ASSERT_EQ(parse(psd_parse_curves, agree, a.b), PSD_OK);
    EXPECT_EQ(agree.entry<PsdCurves>(0)->curves[0].channel, 5);
    EXPECT_EQ(agree.has_adjustment, 1);

    Layer bad;
    Desc v = curves(0x1, 1);
    v.b[2] = 2;
    EXPECT_EQ(parse(psd_parse_curves, bad, v.b), PSD_ERR_CURVES_VERSION);
}

TEST(PsdAdjustments, FixedLayoutsAndVersionChecks) {
    Layer filter;
    Desc phfl;
    phfl.u16(3).u32(0x00012345).u32(0xFFFFFF00).u32(0x80000000).u32(25).u8(1).u8(0);
    ASSERT_EQ(parse(psd_parse_photo_filter, filter, phfl.b), PSD_OK);
    auto* f = filter.entry<PsdPhotoFilter>(0);
    EXPECT_EQ(f->x, 0x123);
    EXPECT_EQ(f->y, -1);
    EXPECT_EQ(f->z, -0x800000);
    EXPECT_EQ(f->density, 25u);
    EXPECT_EQ(f->preserve_luminosity, 1);
    // Version 2: a colour structure (Lab here) instead of XYZ.
    Layer v2;
    ASSERT_EQ(parse(psd_parse_photo_filter, v2,
                    Desc().u16(2).u16(7).u16(0xFF00).u16(0x8000).u16(0x8000).u16(0).u32(30).b),
              PSD_OK);
    EXPECT_EQ(v2.entry<PsdPhotoFilter>(0)->color_space, 7);
    EXPECT_EQ(v2.entry<PsdPhotoFilter>(0)->density, 30u);
    Layer v4;
    EXPECT_EQ(parse(psd_parse_photo_filter, v4, Desc().u16(4).b), PSD_ERR_PHOTO_FILTER_VERSION);

    Layer balance;
    Desc blnc;
    blnc.u16(10).u16(0xFFFB).u16(3).u16(1).u16(2).u16(3).u16(0xFFFF).u16(0xFFFE).u16(0xFFFD);
    blnc.u16(0x0100); // the flag in the high byte, as ag-psd writes it
    ASSERT_EQ(parse(psd_parse_color_balance, balance, blnc.b), PSD_OK);
    EXPECT_EQ(balance.entry<PsdColorBalance>(0)->magenta_green[0], 0xFFFB);
    EXPECT_EQ(balance.entry<PsdColorBalance>(0)->yellow_blue[2], 0xFFFD);
    EXPECT_EQ(balance.entry<PsdColorBalance>(0)->preserve_luminosity, 1);

    const struct {
        PsdLayerInfoParser parser;
        int status;
    } versions[] = {{psd_parse_hue_saturation, PSD_ERR_HUE_SATURATION_VERSION},
                    {psd_parse_selective_color, PSD_ERR_SELECTIVE_COLOR_VERSION},
                    {psd_parse_channel_mixer, PSD_ERR_CHANNEL_MIXER_VERSION},
                    {psd_parse_gradient_map, PSD_ERR_GRADIENT_MAP_VERSION}};
    for (const auto& v : versions) {
        Layer layer;
        EXPECT_EQ(parse(v.parser, layer, Desc().u16(9).b), v.status);
        EXPECT_EQ(layer.has_adjustment, 0);
    }

    Layer invert;
    ASSERT_EQ(parse(psd_parse_invert, invert, {}), PSD_OK);
    EXPECT_EQ(invert.info_count, 1);
    EXPECT_EQ(invert.info_data[0], nullptr);
    EXPECT_EQ(invert.kind, PSD_KIND_INVERT);
}

TEST(PsdAdjustments, GradientMapCountsAndNamesAreCheckedAgainstTheBlock) {
    Desc good;
    good.u16(1).u8(1).u8(0).u32(2).u16('M').u16('a').u16(2);
    good.u32(0).u32(50).u16(0).u16(0xFF00).u16(0x8000).u16(0).u16(0).u16(0); // RGB stop
    good.u32(4096).u32(50).u16(0).u16(0).u16(0).u16(0xFF00).u16(0).u16(0);
    good.u16(1).u32(0).u32(50).u16(100);
    good.u16(1).u16(0).u16(32).u16(1).u32(7).u16(0).u16(1).u32(2048);
    good.u16(0).u16(0x0100).u16(0x0200).u16(0x0300).u16(0); // minimum colour, RGB
    good.u16(0xFF00).u16(0xFF00).u16(0xFF00).u16(0).u16(0);
    Layer layer;
    ASSERT_EQ(parse(psd_parse_gradient_map, layer, good.b), PSD_OK);
    auto* m = layer.entry<PsdGradientMap>(0);
    EXPECT_EQ(m->name_length, 2u);
    ASSERT_EQ(m->color_stop_count, 2);
    EXPECT_EQ(m->color_stops[0].color, 0xFFFF8000u);
    EXPECT_EQ(m->color_stops[1].color_type, 2u);
    ASSERT_EQ(m->opacity_stop_count, 1);
    EXPECT_EQ(m->roughness, 2048u);
    EXPECT_EQ(m->minimum_color, 0xFF010203u);
    EXPECT_EQ(m->maximum_color, 0xFFFFFFFFu);

    Layer negative, long_name, many_stops;
    EXPECT_EQ(parse(psd_parse_gradient_map, negative, Desc().u16(1).u16(0).u32(0).u16(0x8000).b),
              PSD_ERR_NEGATIVE_COUNT);
    EXPECT_EQ(parse(psd_parse_gradient_map, long_name, Desc().u16(1).u16(0).u32(0x40000000).b),
              PSD_ERR_SHORT);
    EXPECT_EQ(parse(psd_parse_gradient_map, many_stops, Desc().u16(1).u16(0).u32(0).u16(30000).b),
              PSD_ERR_SHORT);
}

TEST(PsdTypeTool, FacesStylesAndLinesWithCheckedCounts) {
    Desc d;
    d.u16(1);
    for (int i = 0; i < 6; ++i)
        d.f64(i + 0.5);
    d.u16(6).u16(1); // one face
    d.u16(3).u32(1).u8(5).text("Arial").u8(0).u8(7).text("Regular").u16(0).u32(2).u32(7).u32(9);
    d.u16(1).u16(3).u16(3).u32(12).u32(0).u32(0).u32(14).u32(0).u8(1).u8(0).u8(0); // one style
    d.u16(0).u32(100).u32(5).u32(0).u32(0).u32(0).u32(5);
    d.u16(1).u32(5).u16(0).u16(1).u16(0).u16(0);     // one line
    d.u16(0).u16(0xFF00).u16(0).u16(0).u16(0).u8(1); // red, anti-aliased
    Layer layer;
    uint64_t consumed = 0;
    ASSERT_EQ(parse(psd_parse_type_tool, layer, d.b, &consumed), PSD_OK);
    EXPECT_EQ(consumed, d.b.size());
    auto* t = layer.entry<PsdTypeTool>(0);
    EXPECT_EQ(t->transform[5], 5.5);
    ASSERT_EQ(t->face_count, 1);
    EXPECT_STREQ(t->faces[0].font_name, "Arial");
    EXPECT_STREQ(t->faces[0].style_name, "Regular");
    ASSERT_EQ(t->faces[0].axis_count, 2u);
    EXPECT_EQ(t->faces[0].design_vector[1], 9u);
    EXPECT_EQ(t->styles[0].size, 12u);
    EXPECT_EQ(t->styles[0].auto_kern, 1);
    EXPECT_EQ(t->lines[0].char_count, 5u);
    EXPECT_EQ(t->color, 0xFFFF0000u);
    EXPECT_EQ(t->anti_alias, 1);
    EXPECT_EQ(layer.kind, 0);
    EXPECT_EQ(layer.has_adjustment, 0);

    Desc head;
    head.u16(1);
    for (int i = 0; i < 6; ++i)
        head.f64(0);
    head.u16(6);
    Layer negative, axes;
    EXPECT_EQ(parse(psd_parse_type_tool, negative, Desc(head).u16(0xFFFF).b),
              PSD_ERR_NEGATIVE_COUNT);
    Desc huge = head;
    huge.u16(1).u16(0).u32(0).u8(0).u8(0).u8(0).u16(0).u32(0x40000000);
    EXPECT_EQ(parse(psd_parse_type_tool, axes, huge.b), PSD_ERR_SHORT);
}

TEST(PsdFills, SolidGradientAndPatternFills) {
    Desc soco;
    soco.u32(16).body("null", 1).rgb("Clr ", 12, 34, 56);
    Layer solid;
    ASSERT_EQ(parse(psd_parse_solid_color, solid, soco.b), PSD_OK);
    EXPECT_EQ(solid.entry<PsdSolidColorFill>(0)->color, 0xFF0C2238u);
    EXPECT_EQ(solid.entry<PsdSolidColorFill>(0)->class_id, psd_key("null"));
    EXPECT_EQ(solid.kind, PSD_KIND_SOLID_COLOR);

    Desc gdfl;
    gdfl.u32(16).body("gradientLayer", 7).boolean("Dthr", true).untf("Angl", -45.0, "#Ang");
    gdfl.enumv("Type", "GrdT", "Dmnd").untf("Scl ", std::nan(""));
    gdfl.longv("Unkn", 7).boolean("Algn", false);
    gdfl.item("Grad", "Objc").gradientValue("G", 4096, {{1, 2, 3, "UsrS", 0}}, {{100, 0}});
    Layer gradient;
    ASSERT_EQ(parse(psd_parse_gradient_fill, gradient, gdfl.b), PSD_OK);
    auto* g = gradient.entry<PsdGradientFill>(0);
    EXPECT_EQ(g->class_id, 0u); // a named class
    EXPECT_EQ(g->dither, 1);
    EXPECT_EQ(g->angle, -45.0);
    EXPECT_EQ(g->type, 4);
    EXPECT_EQ(g->scale, 0); // NaN saturates to 0
    EXPECT_EQ(g->align, 0);
    EXPECT_EQ(g->reverse, 0);
    EXPECT_EQ(g->gradient.color_stops[0].color, 0xFF010203u);
    EXPECT_EQ(gradient.kind, PSD_KIND_GRADIENT_FILL);

    Desc ptfl;
    ptfl.u32(16).body("null", 3).untf("Scl ", 250.0);
    ptfl.item("Ptrn", "Objc").patternValue("Old", "id-1");
    ptfl.item("Ptrn", "Objc").patternValue("Dots", "id-2"); // a repeated item replaces the first
    Layer pattern;
    ASSERT_EQ(parse(psd_parse_pattern_fill, pattern, ptfl.b), PSD_OK);
    auto* p = pattern.entry<PsdPatternFill>(0);
    EXPECT_EQ(p->scale, 250);
    EXPECT_EQ(p->pattern.name_length, 4u);
    EXPECT_STREQ(reinterpret_cast<char*>(p->pattern.identifier), "id-2");
    EXPECT_EQ(pattern.kind, PSD_KIND_PATTERN_FILL);
    for (const Layer* l : {&solid, &gradient, &pattern})
        EXPECT_EQ(l->has_adjustment, 0);

    const struct {
        PsdLayerInfoParser parser;
        int status;
    } versions[] = {{psd_parse_solid_color, PSD_ERR_SOLID_COLOR_VERSION},
                    {psd_parse_gradient_fill, PSD_ERR_GRADIENT_FILL_VERSION},
                    {psd_parse_pattern_fill, PSD_ERR_PATTERN_FILL_VERSION}};
    for (const auto& v : versions) {
        Layer layer;
        EXPECT_EQ(parse(v.parser, layer, Desc().u32(15).b), v.status);
    }
}

TEST(PsdLayerEntries, ATwentyFirstBlockIsPassedOverAndTheLayerKept) {
    Layer layer;
    for (int i = 0; i < kPsdMaxLayerInfo; ++i)
        ASSERT_EQ(parse(psd_parse_threshold, layer, Desc().u16(i).u16(0).b), PSD_OK);
    layer.has_adjustment = 0;
    uint64_t consumed = 1;
    EXPECT_EQ(parse(psd_parse_levels, layer, levels(100).b, &consumed), PSD_OK);
    EXPECT_EQ(consumed, 0u);
    EXPECT_EQ(layer.info_count, kPsdMaxLayerInfo);
    EXPECT_EQ(layer.kind, PSD_KIND_THRESHOLD);
    EXPECT_EQ(layer.has_adjustment, 0);
    EXPECT_EQ(layer.entry<PsdThreshold>(19)->level, 19);
    EXPECT_EQ(psd_layer_key_parser(psd_key("lfx2")), psd_parse_effects);
    EXPECT_STREQ(psd_status_text(PSD_ERR_LEVELS_LENGTH), "levels block not consumed exactly");
}
