// Helpers for the descriptor, adjustment and effect tests: a builder of descriptor encodings
// (every integer big-endian, items in the order the format's writers use) and a stream over a
// block of bytes.
#pragma once

#include "PsdTestSupport.h"
#include "psd_effects.h"
#include "psd_layer_info.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace psdtest {

inline uint32_t psd_key_of(const char* k) {
    return (uint32_t(uint8_t(k[0])) << 24) | (uint32_t(uint8_t(k[1])) << 16) |
           (uint32_t(uint8_t(k[2])) << 8) | uint8_t(k[3]);
}

struct Desc {
    Bytes b;
    Desc& u8(uint32_t v) { return b.push_back(uint8_t(v)), *this; }
    Desc& u16(uint32_t v) { return u8(v >> 8).u8(v); }
    Desc& u32(uint32_t v) { return u16(v >> 16).u16(v); }
    Desc& text(const std::string& s) {
        for (char c : s)
            u8(uint8_t(c));
        return *this;
    }
    Desc& f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        return u32(uint32_t(bits >> 32)).u32(uint32_t(bits));
    }
    Desc& put(const Bytes& bytes) { return b.insert(b.end(), bytes.begin(), bytes.end()), *this; }
    Desc& four(const char* k) { return text(k); }
    // Unicode string: count, then UTF-16 units (ASCII here).
    Desc& unicode(const std::string& s) {
        u32(uint32_t(s.size()));
        for (char c : s)
            u16(uint8_t(c));
        return *this;
    }
    // An ID: 4-character keys as length 0 and the key, anything else as a name.
    Desc& id(const std::string& k) {
        if (k.size() == 4) return u32(0).text(k);
        return u32(uint32_t(k.size())).text(k);
    }
    Desc& item(const std::string& key, const char* type) { return id(key).four(type); }
    // A descriptor body: name, class ID and item count (the items follow).
    Desc& body(const std::string& cls, uint32_t count) { return unicode("").id(cls).u32(count); }
    Desc& objc(const std::string& key, const std::string& cls, uint32_t count) {
        return item(key, "Objc").body(cls, count);
    }
    Desc& boolean(const std::string& key, bool v) { return item(key, "bool").u8(v); }
    Desc& doub(const std::string& key, double v) { return item(key, "doub").f64(v); }
    Desc& untf(const std::string& key, double v, const char* unit = "#Prc") {
        return item(key, "UntF").four(unit).f64(v);
    }
    Desc& longv(const std::string& key, uint32_t v) { return item(key, "long").u32(v); }
    Desc& enumv(const std::string& key, const std::string& type, const std::string& value) {
        return item(key, "enum").id(type).id(value);
    }
    // The value of an RGB colour item (after its key and type).
    Desc& rgbValue(double r, double g, double b) {
        body("RGBC", 3).doub("Rd  ", r).doub("Grn ", g);
        return doub("Bl  ", b);
    }
    Desc& rgb(const std::string& key, double r, double g, double b) {
        return item(key, "Objc").rgbValue(r, g, b);
    }
    // A contour's value: points (x, y, corner).
    struct Point {
        double x, y;
        bool corner;
    };
    Desc& contourValue(const std::vector<Point>& points, const char* name = nullptr) {
        body("ShpC", name ? 2 : 1);
        if (name) item("Nm  ", "TEXT").unicode(name);
        item("Crv ", "VlLs").u32(uint32_t(points.size()));
        for (const Point& p : points) {
            four("Objc").body("CrPt", 3).doub("Hrzn", p.x).doub("Vrtc", p.y);
            boolean("Cnty", !p.corner);
        }
        return *this;
    }
    // A gradient's value: a name, smoothness, colour stops (r, g, b, location) and opacity
    // stops (percent, location).
    struct ColorStop {
        double r, g, b;
        const char* type;
        uint32_t location;
    };
    struct OpacityStop {
        double percent;
        uint32_t location;
    };
    Desc& gradientValue(const char* name, double smoothness, const std::vector<ColorStop>& colors,
                        const std::vector<OpacityStop>& opacities) {
        body("Grdn", 5).enumv("GrdF", "GrdF", "CstS");
        item("Nm  ", "TEXT").unicode(name);
        doub("Intr", smoothness);
        item("Clrs", "VlLs").u32(uint32_t(colors.size()));
        for (const ColorStop& c : colors) {
            four("Objc").body("Clrt", 4).rgb("Clr ", c.r, c.g, c.b);
            enumv("Type", "Clry", c.type).longv("Lctn", c.location).longv("Mdpn", 50);
        }
        item("Trns", "VlLs").u32(uint32_t(opacities.size()));
        for (const OpacityStop& o : opacities) {
            four("Objc").body("TrnS", 3).untf("Opct", o.percent);
            longv("Lctn", o.location).longv("Mdpn", 50);
        }
        return *this;
    }
    // A pattern reference's value: name and identifier.
    Desc& patternValue(const char* name, const std::string& identifier) {
        body("Ptrn", 2).item("Nm  ", "TEXT").unicode(name);
        return item("Idnt", "TEXT").unicode(identifier);
    }
    Desc& pointValue(double h, double v) {
        body("Pnt ", 2).untf("Hrzn", h);
        return untf("Vrtc", v);
    }
};

// A record whose stream reads a copy of `bytes`, as the layer reader's would read its file.
struct Stream {
    Bytes held;
    PsdContext* ctx;
    uint64_t size;
    explicit Stream(const Bytes& bytes) : held(bytes), size(bytes.size()) {
        ctx = static_cast<PsdContext*>(std::calloc(1, sizeof(PsdContext)));
        ctx->stream.memory = held.data();
        ctx->stream.file_size = int64_t(held.size());
    }
    ~Stream() { psd_free(ctx); }
    PsdBlock block() { return psd_block(ctx, size); }
    uint64_t consumed() const { return ctx->stream.consumed; }
};

// A layer record that releases its entries.
struct Layer : PsdLayerRecord {
    Layer() : PsdLayerRecord{} {}
    ~Layer() {
        for (int i = 0; i < info_count; ++i)
            psd_free_layer_entry(info_types[i], info_data[i]);
    }
    template <class T> T* entry(int i) const { return static_cast<T*>(info_data[i]); }
};

// Runs a parser over `bytes` as one block of that length.
inline int parse(PsdLayerInfoParser parser, Layer& layer, const Bytes& bytes,
                 uint64_t* consumed = nullptr) {
    Stream s(bytes);
    const int status = parser(s.ctx, &layer, uint32_t(bytes.size()));
    if (consumed) *consumed = s.consumed();
    return status;
}

} // namespace psdtest
