// The game's bitmaps. Every image is computed from coordinates, noise with fixed seeds and
// shapes, so the same program always produces the same pixels.
#include "textures.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace assetgen {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Table texture coordinates of a table position (see MakeTableTexture).
double TableColumn(double x) { return (340.0 - x) / 680.0 * 256.0; }
double TableRow(double z) { return (900.0 - z) / 1600.0 * 512.0; }

// A horizontal band of rows across the table texture between two z values.
void TableLine(Image& img, double z, double halfWidth, double fromX, double toX, Rgb c, double alpha) {
    double y0 = TableRow(z + halfWidth), y1 = TableRow(z - halfWidth);
    double x0 = TableColumn(fromX), x1 = TableColumn(toX);
    if (x0 > x1) std::swap(x0, x1);
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
            double cover = std::max(0.0, std::min(y + 1.0, y1) - std::max(static_cast<double>(y), y0)) *
                           std::max(0.0, std::min(x + 1.0, x1) - std::max(static_cast<double>(x), x0));
            if (cover > 0) img.Blend(x, y, c, alpha * cover);
        }
}

// A ring on the table around (x, z), radii in table units.
void TableRing(Image& img, double x, double z, double inner, double outer, Rgb c, double alpha) {
    double cx = TableColumn(x), cy = TableRow(z);
    double sx = 256.0 / 680.0, sy = 512.0 / 1600.0;
    img.FillShape(static_cast<int>(cx - outer * sx) - 1, static_cast<int>(cy - outer * sy) - 1,
                  static_cast<int>(cx + outer * sx) + 2, static_cast<int>(cy + outer * sy) + 2,
                  [=](double px, double py) {
                      double dx = (px - cx) / sx, dy = (py - cy) / sy;
                      double d2 = dx * dx + dy * dy;
                      return d2 <= outer * outer && d2 >= inner * inner;
                  },
                  c, alpha);
}

}  // namespace

Image MakeTableTexture() {
    Image img(256, 512);
    const Rgb felt{28, 112, 64}, feltDark{18, 84, 48}, wood{96, 58, 30};
    img.Shade([&](int x, int y) {
        double n = FractalNoise(x / 16.0, y / 16.0, 16, 4, 11);
        double fine = Hash01(x, y, 12);
        Rgb c = Mix(feltDark, felt, 0.35 + 0.5 * n + 0.15 * fine);
        // Beyond the rim's inner edge: the wooden border the rim and the table's sides show.
        double tableX = 340.0 - (x + 0.5) / 256.0 * 680.0;
        if (std::fabs(tableX) > 318) c = Mix(wood, Rgb{70, 40, 20}, FractalNoise(x / 4.0, y / 32.0, 64, 3, 13));
        return c;
    });
    const Rgb chalk{225, 235, 215}, gold{230, 190, 70};
    // Far end: the line the target ball must cross for a point.
    TableLine(img, 840, 4, -318, 318, gold, 0.8);
    // The row of holes the spikes rise from.
    for (int x = -300; x <= 300; x += 20) {
        img.FillCircle(TableColumn(x), TableRow(-440), 2.6, Rgb{8, 30, 16});
    }
    TableLine(img, -440, 1.5, -318, 318, chalk, 0.25);
    // The three bases and the ball's resting places in front of them.
    for (int base = -160; base <= 160; base += 160) {
        TableRing(img, base, -600, 26, 31, chalk, 0.55);
        TableRing(img, base, -500, 14, 18, chalk, 0.6);
        TableLine(img, -550, 1.2, base - 3, base + 3, chalk, 0.4);
    }
    TableLine(img, -500, 1.5, -318, 318, chalk, 0.2);
    // The centre circle and a few arrows up the table.
    TableRing(img, 0, 100, 76, 82, chalk, 0.45);
    TableRing(img, 0, 100, 10, 14, chalk, 0.45);
    for (int row = 0; row < 3; ++row) {
        double z = -250 + row * 60;
        for (int lane = -1; lane <= 1; ++lane) {
            double cx = TableColumn(lane * 160), cy = TableRow(z);
            img.FillPolygon({{cx - 8, cy + 5}, {cx, cy - 4}, {cx + 8, cy + 5}, {cx + 8, cy + 8}, {cx, cy - 1},
                             {cx - 8, cy + 8}},
                            Mix(felt, chalk, 0.35));
        }
    }
    return img;
}

namespace {

// Longitude 0..1 and latitude 0 (north pole) .. 1 (south pole) of a ball texture pixel.
template <typename Fn>
Image BallTexture(Fn colourAt) {
    Image img(128, 64);
    img.Shade([&](int x, int y) {
        // 2 x 2 supersampling keeps the pattern edges smooth.
        double r = 0, g = 0, b = 0;
        for (int s = 0; s < 4; ++s) {
            Rgb c = colourAt((x + 0.25 + 0.5 * (s % 2)) / 128.0, (y + 0.25 + 0.5 * (s / 2)) / 64.0);
            r += c.r;
            g += c.g;
            b += c.b;
        }
        return Rgb{static_cast<uint8_t>(r / 4), static_cast<uint8_t>(g / 4), static_cast<uint8_t>(b / 4)};
    });
    return img;
}

}  // namespace

Image MakePlayerBallTexture() {
    // A white ball with six blue gores and a blue cap, so that every roll shows.
    return BallTexture([](double u, double v) {
        if (v < 0.1) return Rgb{30, 70, 200};
        if (v > 0.9) return Rgb{245, 245, 235};
        int gore = static_cast<int>(u * 6);
        return gore % 2 == 0 ? Rgb{245, 245, 235} : Rgb{40, 90, 220};
    });
}

Image MakeStrikerTexture() {
    // Dark steel with a light checker.
    return BallTexture([](double u, double v) {
        int cu = static_cast<int>(u * 12), cv = static_cast<int>(v * 6);
        double shade = 0.85 + 0.15 * std::cos(v * kPi * 2);
        Rgb c = (cu + cv) % 2 == 0 ? Rgb{70, 76, 86} : Rgb{170, 178, 190};
        return Scale(c, shade);
    });
}

Image MakeTargetBallTexture() {
    // Red with a white equator band of black dots and yellow poles.
    return BallTexture([](double u, double v) {
        double lat = (0.5 - v) * 180;  // degrees
        if (std::fabs(lat) < 14) {
            double du = std::fmod(u * 8, 1.0) - 0.5, dv = lat / 28.0;
            if (du * du * 4 + dv * dv * 4 < 0.3) return Rgb{20, 20, 20};
            return Rgb{250, 250, 245};
        }
        if (std::fabs(lat) > 68) return Rgb{250, 210, 40};
        return Rgb{200, 28, 30};
    });
}

Image MakePointerTexture() {
    Image img(64, 64);
    img.Shade([](int x, int y) {
        Rgb c = Mix(Rgb{255, 236, 90}, Rgb{240, 120, 20}, y / 63.0);
        // Chevrons pointing to the tip (the top row).
        double phase = std::fmod(y / 10.0 + std::fabs(x - 31.5) / 10.0, 1.0);
        if (phase < 0.35) c = Scale(c, 0.8);
        if (x < 3 || x > 60) c = Scale(c, 0.55);
        return c;
    });
    return img;
}

namespace {

// Brick layout shared by the wall's colours and its height map: 8 bricks of 32 x 16 per row,
// alternate rows shifted by half a brick. Returns the distance from the pixel to the nearest
// mortar joint (0 in the mortar) and the brick's index for its colour.
double BrickEdge(int x, int y, int* brick) {
    int row = y / 16;
    int shifted = (x + (row % 2) * 16) % 256;
    int col = shifted / 32;
    *brick = row * 8 + col;
    double fx = shifted % 32 + 0.5, fy = y % 16 + 0.5;
    double edge = std::min({fx - 1.0, 31.0 - fx, fy - 1.0, 15.0 - fy});
    return std::max(0.0, edge);
}

}  // namespace

Image MakeBackWallTexture() {
    Image img(256, 128);
    img.Shade([](int x, int y) {
        int brick = 0;
        double edge = BrickEdge(x, y, &brick);
        if (edge <= 0) return Mix(Rgb{90, 88, 84}, Rgb{120, 118, 112}, Hash01(x, y, 21));
        Rgb base = Mix(Rgb{120, 44, 32}, Rgb{165, 80, 52}, Hash01(brick, 0, 22));
        double n = FractalNoise(x / 8.0, y / 8.0, 32, 3, 23);
        return Scale(base, 0.8 + 0.35 * n);
    });
    return img;
}

Image MakeBackWallHeightMap() {
    Image img(256, 128);
    img.Shade([](int x, int y) {
        int brick = 0;
        double edge = BrickEdge(x, y, &brick);
        double h = edge <= 0 ? 0.2 : 0.45 + 0.15 * std::min(edge, 3.0);
        h += 0.08 * (FractalNoise(x / 6.0, y / 6.0, 64, 3, 31) - 0.5);
        return Grey(h);
    });
    return img;
}

Image MakeRimTexture() {
    Image img(128, 32);
    img.Shade([](int x, int y) {
        double n = FractalNoise(x / 32.0, y / 4.0, 4, 3, 41);
        double grain = 0.5 + 0.5 * std::sin((y + 6 * n) * 1.3);
        return Mix(Rgb{104, 60, 28}, Rgb{168, 108, 58}, 0.25 + 0.6 * grain * (0.7 + 0.3 * Hash01(x, y, 42)));
    });
    return img;
}

Image MakeTubeTexture() {
    Image img(64, 64);
    img.Shade([](int x, int y) {
        double brushed = 0.9 + 0.1 * Hash01(x / 2, y, 51);
        double sheen = 0.75 + 0.25 * std::cos((x / 64.0) * 2 * kPi * 2);
        Rgb c = Scale(Rgb{206, 160, 74}, brushed * sheen);
        if (y % 16 < 3) c = Scale(Rgb{120, 86, 40}, brushed);  // rings
        return c;
    });
    return img;
}

Image MakeSpikeTexture() {
    Image img(32, 32);
    img.Shade([](int x, int y) {
        double sheen = 0.7 + 0.3 * std::cos((x / 32.0) * 2 * kPi);
        return Scale(Mix(Rgb{235, 240, 250}, Rgb{110, 118, 130}, y / 31.0), sheen);
    });
    return img;
}

Image MakeRodTexture() {
    Image img(32, 64);
    img.Shade([](int x, int y) {
        double a = (x / 32.0) * 2 * kPi;
        double light = 0.35 + 0.45 * std::pow(0.5 + 0.5 * std::cos(a), 3) + 0.2 * (0.5 + 0.5 * std::cos(3 * a));
        Rgb c = Grey(std::min(1.0, light));
        if (y % 32 < 2) c = Scale(c, 0.6);
        return Mix(c, Rgb{150, 190, 230}, 0.15);
    });
    return img;
}

WindowRect StartScreenWindow() { return {24, 190, 616, 448}; }

Image MakeStartScreen() {
    Image img(640, 480);
    const WindowRect w = StartScreenWindow();
    // Night-blue backdrop with a soft light behind the title.
    img.Shade([](int x, int y) {
        Rgb c = Mix(Rgb{10, 18, 46}, Rgb{34, 14, 52}, y / 479.0);
        double dx = (x - 320) / 300.0, dy = (y - 112) / 110.0;
        c = Mix(c, Rgb{70, 84, 160}, 0.55 * std::exp(-(dx * dx + dy * dy) * 1.6));
        if ((x + y) % 24 < 2) c = Scale(c, 1.12);
        return Scale(c, 0.94 + 0.12 * FractalNoise(x / 40.0, y / 40.0, 16, 3, 61));
    });
    // A thin golden rule above the title.
    const int rule = 58;
    for (int x = 40; x < 600; ++x) {
        double fade = std::min(1.0, std::min(x - 40, 599 - x) / 120.0);
        img.Blend(x, rule, Rgb{235, 190, 80}, 0.9 * fade);
        img.Blend(x, rule + 1, Rgb{120, 80, 20}, 0.6 * fade);
    }
    // Small stars.
    for (int i = 0; i < 60; ++i) {
        int sx = static_cast<int>(Hash01(i, 1, 62) * 640), sy = static_cast<int>(Hash01(i, 2, 62) * 186);
        img.Blend(sx, sy, Rgb{255, 255, 230}, 0.3 + 0.5 * Hash01(i, 3, 62));
    }
    // The window: a rounded rectangle with a golden frame; inside it every pixel is the colour
    // key, so the game's table scene shows through.
    const double radius = 18, frame = 4;
    auto roundedInside = [&](double px, double py, double grow) {
        double l = w.left - grow, t = w.top - grow, r = w.right + grow, b = w.bottom + grow, rad = radius + grow;
        double cx = std::clamp(px, l + rad, r - rad), cy = std::clamp(py, t + rad, b - rad);
        return px >= l && px <= r && py >= t && py <= b && (px - cx) * (px - cx) + (py - cy) * (py - cy) <= rad * rad;
    };
    img.FillShape(w.left - 8, w.top - 8, w.right + 8, w.bottom + 8,
                  [&](double px, double py) { return roundedInside(px, py, frame); }, Rgb{60, 40, 12});
    img.FillShape(w.left - 8, w.top - 8, w.right + 8, w.bottom + 8,
                  [&](double px, double py) { return roundedInside(px, py, frame - 1); }, Rgb{232, 188, 84});
    img.FillShape(w.left - 8, w.top - 8, w.right + 8, w.bottom + 8,
                  [&](double px, double py) { return roundedInside(px, py, 1); }, Rgb{150, 104, 30});
    // Hard edge for the key: a pixel is either the key or opaque, never a blend with the key.
    for (int y = w.top - 2; y < w.bottom + 2; ++y)
        for (int x = w.left - 2; x < w.right + 2; ++x)
            if (roundedInside(x + 0.5, y + 0.5, 0)) img.Set(x, y, kColourKey);
    return img;
}

Image MakeArrow(bool pointsRight) {
    Image img(32, 16, kColourKey);
    const std::vector<Pt> shape = {{2, 5}, {17, 5}, {17, 1}, {30, 8}, {17, 15}, {17, 11}, {2, 11}};
    // Hard-edged outline and fill over the key, so no pixel mixes with the key colour.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            double cx = x + 0.5, cy = y + 0.5;
            if (InsidePolygon(shape, cx, cy)) {
                img.Set(x, y, Mix(Rgb{255, 236, 120}, Rgb{240, 150, 30}, y / 15.0));
                continue;
            }
            bool near = false;
            for (int d = 0; d < 8 && !near; ++d) {
                static const int kDx[] = {-1, 0, 1, -1, 1, -1, 0, 1}, kDy[] = {-1, -1, -1, 0, 0, 1, 1, 1};
                near = InsidePolygon(shape, cx + kDx[d], cy + kDy[d]);
            }
            if (near) img.Set(x, y, Rgb{70, 36, 6});
        }
    if (pointsRight) return img;
    Image mirrored(32, 16);
    mirrored.Shade([&](int x, int y) { return img.Get(31 - x, y); });
    return mirrored;
}

Image MakeHighlight() {
    Image img(32, 16);
    img.Shade([](int x, int y) {
        double dx = (x - 15.5) / 16.0, dy = (y - 7.5) / 8.0;
        return Mix(Rgb{20, 10, 0}, Rgb{255, 220, 120}, std::exp(-(dx * dx + dy * dy) * 3));
    });
    return img;
}

Image MakeDayIcon() {
    Image img(16, 16, Rgb{110, 170, 235});
    for (int i = 0; i < 8; ++i) {
        double a = i * kPi / 4;
        img.FillCircle(7.5 + std::cos(a) * 6, 7.5 + std::sin(a) * 6, 1.2, Rgb{255, 200, 40});
    }
    img.FillCircle(8, 8, 4, Rgb{255, 230, 60});
    return img;
}

Image MakeMouseCursor() {
    Image img(16, 16, kColourKey);
    const std::vector<Pt> arrow = {{1, 1}, {1, 13}, {4, 10}, {7, 15}, {9, 14}, {6, 9}, {10, 9}};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            bool in = InsidePolygon(arrow, x + 0.5, y + 0.5);
            bool edge = !in && (InsidePolygon(arrow, x + 1.5, y + 0.5) || InsidePolygon(arrow, x - 0.5, y + 0.5) ||
                                InsidePolygon(arrow, x + 0.5, y + 1.5) || InsidePolygon(arrow, x + 0.5, y - 0.5));
            if (in) img.Set(x, y, Rgb{250, 250, 250});
            if (edge) img.Set(x, y, Rgb{10, 10, 10});
        }
    return img;
}

Image MakeTestPattern() {
    Image img(8, 8);
    const Rgb colours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    img.Shade([&](int x, int y) { return colours[(x / 4) + 2 * (y / 4)]; });
    return img;
}

}  // namespace assetgen
