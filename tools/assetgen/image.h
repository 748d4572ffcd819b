// RGB pixel buffers and the drawing helpers the texture generators share: fills, gradients,
// anti-aliased shapes by supersampling, and deterministic value noise.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace assetgen {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

inline bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// The colour key of sprite bitmaps: pixels of exactly this colour are transparent in the game.
constexpr Rgb kColourKey{255, 0, 128};

Rgb Mix(Rgb a, Rgb b, double t);         // a at t = 0, b at t = 1; t is clamped to 0..1
Rgb Scale(Rgb c, double k);              // every channel times k, clamped to 0..255
Rgb Grey(double v);                      // v in 0..1

// A 2D point for shape tests.
struct Pt {
    double x, y;
};

// An image with rows top-down; (0, 0) is the top-left pixel.
class Image {
  public:
    Image(int width, int height, Rgb fill = {});
    int Width() const { return width_; }
    int Height() const { return height_; }
    Rgb Get(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    void Set(int x, int y, Rgb c);                    // ignores pixels outside the image
    void Blend(int x, int y, Rgb c, double alpha);    // alpha 0..1 over the current pixel
    void FillRect(int x0, int y0, int x1, int y1, Rgb c);  // x1, y1 exclusive, clipped
    // Runs fn(x, y) for every pixel and stores its result.
    void Shade(const std::function<Rgb(int x, int y)>& fn);
    // Covers the shape given by inside(px, py) (pixel-space coordinates) with colour c,
    // anti-aliased by 4 x 4 supersampling within the box [x0, x1) x [y0, y1).
    // alpha is the opacity of a fully covered pixel.
    void FillShape(int x0, int y0, int x1, int y1, const std::function<bool(double, double)>& inside,
                   Rgb c, double alpha = 1.0);
    void FillCircle(double cx, double cy, double radius, Rgb c, double alpha = 1.0);
    void FillPolygon(const std::vector<Pt>& points, Rgb c, double alpha = 1.0);  // even-odd rule
    const std::vector<Rgb>& Pixels() const { return pixels_; }

  private:
    int width_, height_;
    std::vector<Rgb> pixels_;
};

// Point-in-polygon by the even-odd rule.
bool InsidePolygon(const std::vector<Pt>& points, double x, double y);

// Smooth value noise in 0..1, periodic with the given period in both axes (so textures tile),
// fully determined by the seed.
double ValueNoise(double x, double y, int period, uint32_t seed);
// Sum of octaves of ValueNoise, each of twice the frequency and half the amplitude; 0..1.
double FractalNoise(double x, double y, int period, int octaves, uint32_t seed);
// A deterministic hash of integers to 0..1.
double Hash01(int x, int y, uint32_t seed);

}  // namespace assetgen
