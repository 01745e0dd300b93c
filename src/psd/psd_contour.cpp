// Contours: a transfer curve given by up to 256 points, turned at once into a 256-entry table by
// Catmull-Rom segments (corner points break the tangent) traced with forward differences.
#include "psd_values.h"

#include <algorithm>

namespace {

// Rounds a traced coordinate to a table index: half up, then into 0..255.
int round_level(double v) {
    const int64_t r = psd_saturate(v + 0.5, 0, 255);
    return r < 1 ? 0 : int(r);
}

int clamp_level(double v) {
    if (v <= 0.0) return 0;
    if (v >= 255.0) return 255;
    return int(v);
}

void trace_segment(const double g[4][2], uint8_t table[256]) {
    // Catmull-Rom basis: rows are the coefficients of t^3, t^2, t and 1.
    static constexpr double M[4][4] = {{-0.5, 1.5, -1.5, 0.5},
                                       {1.0, -2.5, 2.0, -0.5},
                                       {-0.5, 0.0, 0.5, 0.0},
                                       {0.0, 1.0, 0.0, 0.0}};
    constexpr double h = 1.0 / 512.0;
    // Forward differences of the cubic at step h: start, first, second and third difference.
    static constexpr double F[4][4] = {{0, 0, 0, 1},
                                       {h * h * h, h * h, h, 0},
                                       {6 * h * h * h, 2 * h * h, 0, 0},
                                       {6 * h * h * h, 0, 0, 0}};
    double c[4][2] = {};
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k)
            for (int j = 0; j < 2; ++j)
                c[r][j] += M[r][k] * g[k][j];
    double d[4][2] = {};
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k)
            for (int j = 0; j < 2; ++j)
                d[r][j] += F[r][k] * c[k][j];

    double X = d[0][0], Y = d[0][1];
    double dX = d[1][0], dY = d[1][1];
    double ddX = d[2][0], ddY = d[2][1];
    const double dddX = d[3][0], dddY = d[3][1];
    int xi = clamp_level(X), yi = clamp_level(Y);
    table[xi] = uint8_t(yi);
    for (int step = 0; step < 512; ++step) {
        X += dX;
        dX += ddX;
        ddX += dddX;
        Y += dY;
        dY += ddY;
        ddY += dddY;
        const int a = round_level(X), b = round_level(Y);
        if (a != xi || b != yi) table[a] = uint8_t(b);
        xi = a;
        yi = b;
    }
}

} // namespace

void psd_contour_identity(PsdContour* contour) {
    for (int i = 0; i < 256; ++i)
        contour->table[i] = uint8_t(i);
}

void psd_build_contour_table(const uint8_t* x, const uint8_t* y, const uint8_t* corner, int n,
                             uint8_t table[256]) {
    if (n < 1) return;
    for (int i = 0; i < 256; ++i)
        table[i] = uint8_t(i);
    for (int i = 0; i < x[0]; ++i)
        table[i] = y[0];
    for (int i = x[n - 1]; i < 256; ++i)
        table[i] = y[n - 1];
    for (int s = 0; s + 1 < n; ++s) {
        int p0 = s == 0 ? 0 : s - 1;
        const int p1 = s, p2 = s + 1;
        int p3 = s + 2 < n ? s + 2 : n - 1;
        if (corner[p1]) p0 = p1;
        if (corner[p2]) p3 = p2;
        const int points[4] = {p0, p1, p2, p3};
        double g[4][2];
        for (int k = 0; k < 4; ++k) {
            g[k][0] = x[points[k]];
            g[k][1] = y[points[k]];
        }
        trace_segment(g, table);
    }
    for (int k = 0; k < n; ++k)
        table[x[k]] = y[k];
}

void psd_read_contour(PsdBlock& block, PsdContour* contour, int depth) {
    auto drop = [&](int n) {
        for (int i = 0; i < n; ++i)
            psd_read_u32(block.ctx);
    };
    psd_skip_unicode(block);
    drop(2);                            // class ID
    if (psd_read_u32(block.ctx) == 2) { // the curve's name comes first
        drop(3);
        psd_skip_unicode(block);
    }
    drop(3); // the curve list's key and type
    // A point is at least its element type, name, class ID and item count.
    const uint32_t n = block.bound(psd_read_u32(block.ctx), 16);
    uint8_t xs[kPsdMaxContourPoints], ys[kPsdMaxContourPoints], cs[kPsdMaxContourPoints];
    int stored = 0;
    for (uint32_t k = 0; k < n && block.left() > 0; ++k) {
        drop(1); // element type
        psd_skip_unicode(block);
        drop(2);
        const uint32_t m = block.bound(psd_read_u32(block.ctx), 12);
        uint8_t c = 0, h = 0, v = 0;
        for (uint32_t i = 0; i < m && block.left() > 0; ++i) {
            drop(1); // key length
            const uint32_t key = psd_read_u32(block.ctx);
            const uint32_t type = psd_read_u32(block.ctx);
            if (key == psd_key("Cnty")) {
                c = uint8_t(1 - psd_read_bool(block.ctx));
            } else if (key == psd_key("Hrzn")) {
                h = psd_double_to_u8(psd_read_f64(block.ctx));
            } else if (key == psd_key("Vrtc")) {
                v = psd_double_to_u8(psd_read_f64(block.ctx));
            } else if (!psd_skip_descriptor_value(block, type, depth + 2)) {
                break;
            }
        }
        // Points past the table's 256 are read (the walk stays in step) and dropped.
        if (stored < kPsdMaxContourPoints) {
            xs[stored] = h;
            ys[stored] = v;
            cs[stored] = c;
            ++stored;
        }
    }
    // A contour without points keeps what the table held (the identity by default).
    psd_build_contour_table(xs, ys, cs, stored, contour->table);
}
