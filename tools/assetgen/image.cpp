// RGB pixel buffers and drawing helpers.
#include "image.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

namespace {

uint8_t ClampByte(double v) {
    if (v <= 0) return 0;
    if (v >= 255) return 255;
    return static_cast<uint8_t>(std::lround(v));
}

uint32_t HashInt(uint32_t a) {
    a ^= a >> 16;
    a *= 0x7feb352dU;
    a ^= a >> 15;
    a *= 0x846ca68bU;
    a ^= a >> 16;
    return a;
}

double Smooth(double t) { return t * t * (3 - 2 * t); }

}  // namespace

Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {ClampByte(a.r + (b.r - a.r) * t), ClampByte(a.g + (b.g - a.g) * t),
            ClampByte(a.b + (b.b - a.b) * t)};
}

Rgb Scale(Rgb c, double k) { return {ClampByte(c.r * k), ClampByte(c.g * k), ClampByte(c.b * k)}; }

Rgb Grey(double v) {
    uint8_t g = ClampByte(v * 255);
    return {g, g, g};
}

Image::Image(int width, int height, Rgb fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

void Image::Set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<size_t>(y) * width_ + x] = c;
}

void Image::Blend(int x, int y, Rgb c, double alpha) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    Rgb& p = pixels_[static_cast<size_t>(y) * width_ + x];
    p = Mix(p, c, alpha);
}

void Image::FillRect(int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = std::max(0, y0); y < std::min(height_, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(width_, x1); ++x) Set(x, y, c);
}

void Image::Shade(const std::function<Rgb(int, int)>& fn) {
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) pixels_[static_cast<size_t>(y) * width_ + x] = fn(x, y);
}

void Image::FillShape(int x0, int y0, int x1, int y1, const std::function<bool(double, double)>& inside,
                      Rgb c, double alpha) {
    constexpr int kSub = 4;
    for (int y = std::max(0, y0); y < std::min(height_, y1); ++y) {
        for (int x = std::max(0, x0); x < std::min(width_, x1); ++x) {
            int hits = 0;
            for (int sy = 0; sy < kSub; ++sy)
                for (int sx = 0; sx < kSub; ++sx)
                    if (inside(x + (sx + 0.5) / kSub, y + (sy + 0.5) / kSub)) ++hits;
            if (hits > 0) Blend(x, y, c, alpha * hits / (kSub * kSub));
        }
    }
}

void Image::FillCircle(double cx, double cy, double radius, Rgb c, double alpha) {
    FillShape(static_cast<int>(std::floor(cx - radius)), static_cast<int>(std::floor(cy - radius)),
              static_cast<int>(std::ceil(cx + radius)) + 1, static_cast<int>(std::ceil(cy + radius)) + 1,
              [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius; },
              c, alpha);
}

void Image::FillPolygon(const std::vector<Pt>& points, Rgb c, double alpha) {
    double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
    for (const Pt& p : points) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    FillShape(static_cast<int>(std::floor(minX)), static_cast<int>(std::floor(minY)),
              static_cast<int>(std::ceil(maxX)) + 1, static_cast<int>(std::ceil(maxY)) + 1,
              [&](double x, double y) { return InsidePolygon(points, x, y); }, c, alpha);
}

bool InsidePolygon(const std::vector<Pt>& points, double x, double y) {
    bool inside = false;
    for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
        const Pt& a = points[i];
        const Pt& b = points[j];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
    return inside;
}

double Hash01(int x, int y, uint32_t seed) {
    uint32_t h = HashInt(static_cast<uint32_t>(x) * 73856093U ^ HashInt(static_cast<uint32_t>(y) + seed * 19349663U));
    return (h & 0xFFFFFF) / static_cast<double>(0xFFFFFF);
}

double ValueNoise(double x, double y, int period, uint32_t seed) {
    double fx = std::floor(x), fy = std::floor(y);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    double tx = Smooth(x - fx), ty = Smooth(y - fy);
    auto at = [&](int cx, int cy) {
        int px = ((cx % period) + period) % period;
        int py = ((cy % period) + period) % period;
        return Hash01(px, py, seed);
    };
    double top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * tx;
    double bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * tx;
    return top + (bottom - top) * ty;
}

double FractalNoise(double x, double y, int period, int octaves, uint32_t seed) {
    double sum = 0, amplitude = 0.5, total = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += ValueNoise(x, y, period, seed + o) * amplitude;
        total += amplitude;
        x *= 2;
        y *= 2;
        period *= 2;
        amplitude *= 0.5;
    }
    return sum / total;
}

}  // namespace assetgen
