// The descriptor walker and the descriptor values, on byte blocks built field by field.
#include "PsdDescriptorSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace psdtest;

namespace {

uint64_t skipped(const Desc& value, const char* type) {
    Stream s(value.b);
    PsdBlock block = s.block();
    psd_skip_descriptor_value(block, psd_key_of(type), 0);
    return s.consumed();
}

std::vector<uint8_t> contour(const std::vector<Desc::Point>& points) {
    Desc d;
    d.contourValue(points);
    Stream s(d.b);
    PsdBlock block = s.block();
    PsdContour c;
    psd_contour_identity(&c);
    psd_read_contour(block, &c, 0);
    EXPECT_EQ(s.consumed(), d.b.size());
    return {c.table, c.table + 256};
}

} // namespace

TEST(PsdDescriptor, SkipsEachValueKindByItsEncoding) {
    EXPECT_EQ(skipped(Desc().unicode("abc"), "TEXT"), 4u + 6u);
    // A keyed type ID and a named value of 8 characters.
    EXPECT_EQ(skipped(Desc().id("Type").id("longName"), "enum"), 4u + 4u + 4u + 8u);
    Desc list;
    list.body("null", 1).item("list", "VlLs").u32(2).four("long").u32(1).four("long").u32(2);
    EXPECT_EQ(skipped(list, "Objc"), list.b.size());
    Desc reference;
    reference.u32(1).four("prop").unicode("ab").id("Lyr ").id("someProperty");
    EXPECT_EQ(skipped(reference, "obj "), reference.b.size());
    EXPECT_EQ(skipped(Desc().four("#Pxl").f64(2.5), "UntF"), 12u);
    EXPECT_EQ(skipped(Desc().u32(3).text("abc"), "alis"), 7u);
    // Raw data (a book colour's key), large integers and unit lists.
    EXPECT_EQ(skipped(Desc().u32(3).text("abc"), "tdta"), 7u);
    EXPECT_EQ(skipped(Desc().u32(1).u32(2), "comp"), 8u);
    EXPECT_EQ(skipped(Desc().four("#Pxl").u32(2).f64(1).f64(2), "UnFl"), 24u);
    // An unknown type consumes nothing: the walk goes on from the value's first byte.
    EXPECT_EQ(skipped(Desc().u32(7), "ObAr"), 0u);
}

TEST(PsdDescriptor, NestingDeeperThanTheLimitEndsTheValueWithoutRecursingFurther) {
    Desc nested;
    const int levels = 20000; // deep enough to overflow the stack without a limit
    for (int i = 0; i < levels; ++i)
        nested.body("deep", 1).item("next", "Objc");
    nested.body("deep", 0);
    Stream s(nested.b);
    PsdBlock block = s.block();
    EXPECT_TRUE(psd_skip_descriptor(block, 1));
    const uint64_t level_size = 4 + 8 + 4 + 8 + 4;
    EXPECT_EQ(s.consumed(), level_size * kPsdMaxDescriptorDepth);
}

TEST(PsdDescriptor, HostileCountsEndWithTheBlock) {
    // Counts of 2^32 - 1 at the end of a file: each loop stops once the bytes are used up.
    for (const char* type : {"Objc", "VlLs", "obj "}) {
        Desc d;
        if (std::strcmp(type, "Objc") == 0) d.unicode("").id("null");
        d.u32(0xFFFFFFFF).u32(0).u32(0);
        Stream s(d.b);
        PsdBlock block = s.block();
        psd_skip_descriptor_value(block, psd_key_of(type), 0);
        EXPECT_EQ(s.consumed(), d.b.size()) << type;
    }
    // A block ends before the file does: its counts are bounded by the block, not the file.
    Desc d;
    d.u32(0xFFFFFFFF);
    for (int i = 0; i < 1000; ++i)
        d.four("long").u32(i);
    Stream s(d.b);
    PsdBlock block = psd_block(s.ctx, 4 + 8 * 10);
    psd_skip_list(block, 0);
    EXPECT_EQ(s.consumed(), 4u + 8 * 10);
}

TEST(PsdDescriptor, NamesLongerThanTheBufferAreSkippedUnread) {
    Desc d;
    d.u32(300);
    for (int i = 0; i < 300; ++i)
        d.u8('a');
    d.four("next");
    Stream s(d.b);
    PsdBlock block = s.block();
    char name[kPsdMaxKeyName + 1];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(psd_read_id(block, name), 0u);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(psd_read_u32(s.ctx), psd_key("next"));
}

TEST(PsdDescriptor, DoublesBecomeIntegersBySaturation) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(psd_double_to_i32(nan), 0);
    EXPECT_EQ(psd_double_to_i32(1e300), INT32_MAX);
    EXPECT_EQ(psd_double_to_i32(-1e300), INT32_MIN);
    EXPECT_EQ(psd_double_to_i32(-7.9), -7);
    EXPECT_EQ(psd_double_to_i16(40000.0), INT16_MAX);
    EXPECT_EQ(psd_double_to_u8(255.9), 255);
    EXPECT_EQ(psd_double_to_u8(-3.0), 0);
    EXPECT_EQ(psd_opacity_byte(75.0), 191);
    EXPECT_EQ(psd_opacity_byte(100.0), 255);
    EXPECT_EQ(psd_opacity_byte(0.0), 0);
    EXPECT_EQ(psd_opacity_byte(50.0), 128); // 50 x 2.55 + 0.5 in doubles is just below 128
    EXPECT_EQ(psd_opacity_byte(90.0), 230);
    EXPECT_EQ(psd_opacity_byte(1e9), 255);
    EXPECT_EQ(psd_opacity_byte(nan), 0);
}

TEST(PsdContour, TablesFromPoints) {
    std::vector<uint8_t> identity(256);
    for (int i = 0; i < 256; ++i)
        identity[i] = uint8_t(i);
    EXPECT_EQ(contour({{0, 0, false}, {255, 255, false}}), identity);

    auto smooth = contour({{0, 0, false}, {128, 64, false}, {255, 255, false}});
    const int smooth_at[][2] = {{32, 12},   {64, 23},   {96, 39},   {128, 64},
                                {160, 104}, {192, 152}, {224, 205}, {255, 255}};
    for (auto [x, y] : smooth_at)
        EXPECT_EQ(smooth[x], y) << x;

    auto cornered = contour({{0, 0, false}, {128, 64, true}, {255, 255, false}});
    const int corner_at[][2] = {{32, 16},   {64, 32},   {96, 48},  {128, 64},
                                {160, 113}, {192, 161}, {224, 209}};
    for (auto [x, y] : corner_at)
        EXPECT_EQ(cornered[x], y) << x;

    auto falling = contour({{64, 255, false}, {192, 0, false}});
    for (int x = 0; x <= 64; ++x)
        EXPECT_EQ(falling[x], 255) << x;
    EXPECT_EQ(falling[96], 191);
    EXPECT_EQ(falling[128], 127);
    EXPECT_EQ(falling[160], 63);
    for (int x = 192; x < 256; ++x)
        EXPECT_EQ(falling[x], 0) << x;

    EXPECT_EQ(contour({{100, 30, false}}), std::vector<uint8_t>(256, 30));
    EXPECT_EQ(contour({}), identity); // no points: the default stays
}

TEST(PsdContour, PointsPastTheTableAndOutOfRangeCoordinatesStayInside) {
    std::vector<Desc::Point> many;
    for (int i = 0; i < 300; ++i)
        many.push_back({double(i % 256), 1e300, false});
    many.push_back({-5.0, std::nan(""), true});
    const auto table = contour(many); // reads all 301 points in step, keeps 256
    EXPECT_EQ(table[200], 255);

    Desc named;
    named.contourValue({{0, 255, false}, {255, 0, false}}, "Custom");
    Stream s(named.b);
    PsdBlock block = s.block();
    PsdContour c{};
    psd_read_contour(block, &c, 0);
    EXPECT_EQ(s.consumed(), named.b.size());
    EXPECT_EQ(c.table[0], 255);
    EXPECT_EQ(c.table[255], 0);
}

TEST(PsdValues, ColoursByTheirClassKeepTheirModelAndConsumeExactlyTheirItems) {
    auto color = [](const Desc& d, PsdModelColor* model = nullptr) {
        Stream s(d.b);
        PsdBlock block = s.block();
        const uint32_t argb = psd_read_color_object(block, model, 0);
        EXPECT_EQ(s.consumed(), d.b.size());
        return argb;
    };
    EXPECT_EQ(color(Desc().rgbValue(255.9, 0.4, 128.0)), 0xFFFF0080u);
    EXPECT_EQ(color(Desc().rgbValue(300.0, -4.0, std::nan(""))), 0xFFFF0000u);
    // Hue in degrees, saturation and brightness in percent; CMYK inks in percent.
    PsdModelColor hsb{};
    Desc h;
    h.body("HSBC", 3).untf("H   ", 120.0, "#Ang").doub("Strt", 50.0).doub("Brgh", 100.0);
    EXPECT_EQ(color(h, &hsb), 0xFF80FF80u);
    EXPECT_EQ(
        values({hsb.given, hsb.model, int64_t(hsb.components[0]), int64_t(hsb.components[1])}),
        values({1, PSD_COLOR_HSB, 120, 50}));
    Desc cmyk;
    cmyk.body("CMYC", 4).doub("Cyn ", 0).doub("Mgnt", 100).doub("Ylw ", 100).doub("Blck", 0);
    EXPECT_EQ(color(cmyk), 0xFFFF0101u);
    // Lab and grayscale as Photoshop writes them (doubles) and as ag-psd does (longs).
    EXPECT_EQ(color(Desc().body("LbCl", 3).doub("Lmnc", 100).doub("A   ", 0).doub("B   ", 0)),
              0xFFFFFFFFu);
    EXPECT_EQ(color(Desc().body("GRYC", 1).longv("Gry ", 25)), 0xFFBFBFBFu);
    PsdModelColor gray{};
    EXPECT_EQ(color(Desc().body("Grsc", 1).doub("Gry ", 100), &gray), 0xFF000000u);
    EXPECT_EQ(gray.model, PSD_COLOR_GRAY);
    // A book colour by the components it carries beside its book, name and key (raw data).
    Desc book;
    book.body("BkCl", 7).item("Bk  ", "TEXT").unicode("PANTONE+ Solid Coated");
    book.item("Nm  ", "TEXT").unicode("185 C").longv("bookID", 3060);
    book.item("bookKey", "tdta").u32(6).text("  185C");
    book.doub("Lmnc", 100).doub("A   ", 0).doub("B   ", 0);
    PsdModelColor booked{};
    EXPECT_EQ(color(book, &booked), 0xFFFFFFFFu);
    EXPECT_EQ(values({booked.book, booked.model}), values({1, PSD_COLOR_LAB}));
}

TEST(PsdValues, UnitValuesKeepTheirUnitAndLengthsBecomePixels) {
    auto unit = [](const char* code, double given, float ppi) {
        Desc d;
        d.four(code).f64(given);
        Stream s(d.b);
        s.ctx->resources.resolution.present = ppi > 0;
        s.ctx->resources.resolution.horizontal = ppi;
        PsdBlock block = s.block();
        const PsdUnitValue v = psd_read_unit_value(block);
        EXPECT_EQ(v.given, given);
        EXPECT_EQ(v.unit, psd_key_of(code));
        return v.value;
    };
    EXPECT_EQ(unit("#Pnt", 10, 144), 20);
    EXPECT_DOUBLE_EQ(unit("#Mlm", 25.4, 300), 300);
    EXPECT_EQ(unit("#Pnt", 9, 0), 9); // no resolution resource: 72 pixels per inch
    EXPECT_EQ(unit("#Pxl", 2.5, 300), 2.5);
    EXPECT_EQ(unit("#Prc", 50, 300), 50);
    EXPECT_EQ(unit("#Ang", -170, 300), -170);
}

TEST(PsdValues, Enumerations) {
    auto enumeration = [](const std::string& value, auto reader) {
        Desc d;
        d.id(value);
        Stream s(d.b);
        PsdBlock block = s.block();
        return int(reader(block));
    };
    EXPECT_EQ(enumeration("hardMix", psd_read_blend_enum), PSD_BLEND_HARD_MIX);
    EXPECT_EQ(enumeration("linearDodge", psd_read_blend_enum), PSD_BLEND_LINEAR_DODGE);
    EXPECT_EQ(enumeration("Xclu", psd_read_blend_enum), PSD_BLEND_EXCLUSION);
    EXPECT_EQ(enumeration("H   ", psd_read_blend_enum), PSD_BLEND_HUE);
    EXPECT_EQ(enumeration("Zzzz", psd_read_blend_enum), PSD_BLEND_NORMAL);
    EXPECT_EQ(enumeration("darkerColor", psd_read_blend_enum), PSD_BLEND_DARKER_COLOR);
    EXPECT_EQ(enumeration("lighterColor", psd_read_blend_enum), PSD_BLEND_LIGHTER_COLOR);
    EXPECT_EQ(enumeration("blendSubtraction", psd_read_blend_enum), PSD_BLEND_SUBTRACT);
    EXPECT_EQ(enumeration("blendDivide", psd_read_blend_enum), PSD_BLEND_DIVIDE);
    EXPECT_EQ(enumeration("Dmnd", psd_read_gradient_type), 4);
    EXPECT_EQ(enumeration("Rflc", psd_read_gradient_type), 3);
    EXPECT_EQ(enumeration("PrBL", psd_read_glow_technique), 1);
    EXPECT_EQ(enumeration("preciseMatte", psd_read_glow_technique), 0);
}

TEST(PsdValues, PatternReferenceIdentifierAndRepeatedName) {
    Desc d;
    d.body("Ptrn", 4).item("Nm  ", "TEXT").unicode("first").item("Nm  ", "TEXT").unicode("Dots");
    d.item("Idnt", "TEXT").unicode("b8a27d3c-1f39-11d9-a4f4-bd3c8a6e7f20"); // 36 units
    d.longv("Last", 1);
    Stream s(d.b);
    PsdBlock block = s.block();
    PsdPatternRef p{};
    psd_read_pattern_ref(block, &p, 0);
    EXPECT_EQ(s.consumed(), d.b.size());
    ASSERT_EQ(p.name_length, 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p.name), 8), std::string("\0D\0o\0t\0s", 8));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p.identifier)),
              "b8a27d3c-1f39-11d9-a4f4-bd3c8a6e7f20");
    EXPECT_EQ(p.identifier[36], 0);
    psd_free_pattern_ref(&p);

    // 300 identifier units fill the 256 bytes and the walk stays in step.
    Desc longer;
    longer.body("Ptrn", 2).item("Idnt", "TEXT").unicode(std::string(300, 'z'));
    longer.item("Nm  ", "TEXT").unicode("ok");
    Stream s2(longer.b);
    PsdBlock block2 = s2.block();
    psd_read_pattern_ref(block2, &p, 0);
    EXPECT_EQ(p.identifier[255], 'z');
    EXPECT_EQ(p.name_length, 2u);
    psd_free_pattern_ref(&p);

    // A name longer than the block ends the item loop without allocating for it.
    Desc hostile;
    hostile.body("Ptrn", 1).item("Nm  ", "TEXT").u32(0x7FFFFFFF);
    Stream s3(hostile.b);
    PsdBlock block3 = s3.block();
    psd_read_pattern_ref(block3, &p, 0);
    EXPECT_EQ(p.name, nullptr);
    EXPECT_EQ(p.name_length, 0u);
}

TEST(PsdValues, GradientWithStopsAndHostileCounts) {
    Desc d;
    d.gradientValue("Sunset", 4096.0, {{255, 0, 0, "UsrS", 0}, {0, 0, 255, "BckC", 4096}},
                    {{100.0, 0}, {37.6, 4096}});
    Stream s(d.b);
    PsdBlock block = s.block();
    PsdGradient g{};
    psd_read_gradient(block, &g, 0);
    EXPECT_EQ(s.consumed(), d.b.size());
    EXPECT_EQ(g.smoothness, 4096);
    EXPECT_EQ(g.name_length, 6u);
    ASSERT_EQ(g.color_stop_count, 2);
    EXPECT_EQ(g.color_stops[0].color, 0xFFFF0000u);
    EXPECT_EQ(g.color_stops[0].color_type, 2u);
    EXPECT_EQ(g.color_stops[1].color, 0xFF0000FFu);
    EXPECT_EQ(g.color_stops[1].color_type, 1u);
    EXPECT_EQ(g.color_stops[1].location, 4096u);
    EXPECT_EQ(g.color_stops[1].midpoint, 50u);
    ASSERT_EQ(g.opacity_stop_count, 2);
    EXPECT_EQ(g.opacity_stops[1].opacity, 37);
    EXPECT_EQ(g.opacity_stops[1].location, 4096u);

    // A second read replaces the first (the earlier stops and name are released).
    Desc hostile;
    hostile.body("Grdn", 2).item("Clrs", "VlLs").u32(0xFFFFFFFF);
    hostile.item("Trns", "VlLs").u32(0x00FFFFFF);
    Stream s2(hostile.b);
    PsdBlock block2 = s2.block();
    psd_read_gradient(block2, &g, 0);
    EXPECT_EQ(g.name, nullptr);
    EXPECT_EQ(g.color_stop_count, 0); // the block holds no whole stop
    EXPECT_EQ(g.opacity_stop_count, 0);
    psd_free_gradient(&g);
}
