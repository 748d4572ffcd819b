// The game's nine models.
//
// Where the game puts them (world coordinates, from the game's drawing calls):
// - table at (0, 0, 0); back wall at (0, -10, 400); rim at (0, 10, 0), all unrotated;
// - balls at height 20 (radius 20, so they rest on the table surface y = 0);
// - tubes and pointers at (lane x, 20, -600) turned by 180 degrees (+ aim) about y, so their
//   model's -z side faces up the table; the striker rests inside the tube at its origin;
// - spikes at (x, height - 10, -440) with height 0 (down) to 20 (up);
// - rod and sucker at the rod's position, rod height 90; a carried ball's centre is 30 below.
#include "models.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace assetgen {

namespace {

using UV = std::pair<double, double>;

// The table's texture coordinates for a point of its surface (see MakeTableTexture).
UV TableUV(Vec3 p) { return {(340.0 - p.x) / 680.0, (900.0 - p.z) / 1600.0}; }

}  // namespace

Mesh MakeTableModel() {
    Mesh table = Panel({-340, 0, -700}, {680, 0, 0}, {0, 0, 1600}, 20, 40, {0, 1, 0}, TableUV);
    // The sides show the texture's wooden border (the outermost columns).
    auto side = [](Vec3 p) { return UV{p.x > 0 ? 0.01 : 0.99, (900.0 - p.z) / 1600.0 + p.y / 400.0}; };
    auto end = [](Vec3 p) { return UV{0.01 + p.y / -4000.0, (900.0 - p.z) / 1600.0}; };
    table.Append(Panel({-340, -40, -700}, {0, 0, 1600}, {0, 40, 0}, 20, 1, {-1, 0, 0}, side));
    table.Append(Panel({340, -40, -700}, {0, 0, 1600}, {0, 40, 0}, 20, 1, {1, 0, 0}, side));
    table.Append(Panel({-340, -40, -700}, {680, 0, 0}, {0, 40, 0}, 10, 1, {0, 0, -1}, end));
    table.Append(Panel({-340, -40, 900}, {680, 0, 0}, {0, 40, 0}, 10, 1, {0, 0, 1}, end));
    return table;
}

Mesh MakeSphereModel() { return Sphere(kBallRadius, 24, 16); }

Mesh MakePointerModel() {
    // Lies on top of the tube (its mouth ring reaches 29 above the axis), from behind the
    // breech to beyond the muzzle; the tip is at -z.
    const std::vector<UV> outline = {{0, -74}, {15, -46}, {5, -46}, {5, 32}, {-5, 32}, {-5, -46}, {-15, -46}};
    return Prism(outline, {0, -46}, 30, 34, [](Vec3 p) { return UV{(p.x + 16) / 32.0, (p.z + 74) / 106.0}; });
}

Mesh MakeBackWallModel() {
    // World: x -342..342, y 0..240, z 880..900; the model sits 10 lower and 400 nearer.
    const Vec3 lo{-342, 10, 480}, hi{342, 250, 500};
    return Box(lo, hi, 24, [&](Vec3 p, Vec3 n) {
        if (std::fabs(n.x) > 0.5) return UV{(p.z - lo.z) / 171.0, (hi.y - p.y) / 160.0};
        if (std::fabs(n.y) > 0.5) return UV{(hi.x - p.x) / 342.0, (p.z - lo.z) / 160.0};
        return UV{(hi.x - p.x) / 342.0, (hi.y - p.y) / 160.0};
    });
}

Mesh MakeRimModel() {
    // World: rails from the table (y 0) to y 26; the model is drawn 10 higher. A ball bounces
    // when its centre reaches x = +/-296, its edge then at +/-316: the rails' inner faces stand
    // at +/-318, their outer faces at the table's edge +/-340 plus a lip.
    auto wood = [](Vec3 p, Vec3 n) {
        if (std::fabs(n.x) > 0.5) return UV{p.z / 200.0, 0.5 + (16 - p.y) / 52.0};
        if (std::fabs(n.z) > 0.5) return UV{p.x / 200.0, 0.5 + (16 - p.y) / 52.0};
        return UV{p.z / 200.0 + p.x / 200.0, (std::fabs(p.x) - 318) / 48.0};
    };
    Mesh rim = Box({318, -10, -700}, {342, 16, 900}, 40, wood);
    rim.Append(Box({-342, -10, -700}, {-318, 16, 900}, 40, wood));
    // The near rail closes the player's end behind the tubes.
    rim.Append(Box({-318, -10, -700}, {318, 8, -688}, 32, wood));
    return rim;
}

Mesh MakeTubeModel() {
    // Built around the y axis (muzzle up), then laid along z with the muzzle toward -z.
    // Inner radius 23 holds the striker (radius 20) resting at the origin.
    const double outer = 27, inner = 23, muzzle = 40, breech = -50, floor = -24;
    Mesh tube = Lathe({{{0, breech, 1.0}, {outer - 3, breech, 0.95}},
                       {{outer - 3, breech, 0.95}, {outer, breech + 3, 0.9}},
                       {{outer, breech + 3, 0.9}, {outer, muzzle - 6, 0.2}},
                       {{outer, muzzle - 6, 0.2}, {outer + 2, muzzle - 4, 0.15}, {outer + 2, muzzle, 0.1}},
                       {{outer + 2, muzzle, 0.1}, {inner, muzzle, 0.05}},
                       {{inner, muzzle, 0.05}, {inner, floor, 0.6}},
                       {{inner, floor, 0.6}, {0, floor, 0.7}}},
                      20);
    tube.Transform([](Vec3 p) { return Vec3{p.x, p.z, -p.y}; }, [](Vec3 n) { return Vec3{n.x, n.z, -n.y}; });
    return tube;
}

Mesh MakeSpikeModel() {
    // Down (drawn at y -10) the apex stays below the table surface; up (drawn at y 10) it
    // stands 19.5 above it.
    const double apex = 9.5, base = -30, radius = 7;
    const double slant = std::hypot(apex - base, radius);
    const double nr = (apex - base) / slant, nh = radius / slant;
    return Lathe({{{0, base, 1.0}, {radius, base, 1.0}}, {{radius, base, 1.0, nr, nh}, {0, apex, 0.0, nr, nh}}}, 12);
}

Mesh MakeRodModel() {
    const double radius = 3, top = 260, bottom = -2;
    return Lathe({{{0, bottom, 4.05}, {radius, bottom, 4.0}},
                  {{radius, bottom, 4.0}, {radius, top, 0.05}},
                  {{radius, top, 0.05}, {0, top, 0}}},
                 10);
}

Mesh MakeSuckerModel() {
    // A cup of two spherical caps about the carried ball's centre, 30 below the origin: the
    // inner cap has the ball's radius, so the rim rests on the ball's top.
    const double centre = -30, rimHeight = -15, neck = 4, shell = 21.5;
    const double innerRim = std::sqrt(kBallRadius * kBallRadius - (rimHeight - centre) * (rimHeight - centre));
    const double outerRim = std::sqrt(shell * shell - (rimHeight - centre) * (rimHeight - centre));
    const double neckBase = centre + std::sqrt(shell * shell - neck * neck);
    auto capPoint = [&](double radius, double r, double v, bool inward) {
        double h = centre + std::sqrt(std::max(0.0, radius * radius - r * r));
        double nr = r / radius, nh = (h - centre) / radius;
        return inward ? ProfilePoint{r, h, v, -nr, -nh} : ProfilePoint{r, h, v, nr, nh};
    };
    // Walked around the cup's cross-section with the solid on the left: the inner cap from
    // the axis out to the rim, the rim, the outer cap up to the neck, the neck, its top.
    std::vector<ProfilePoint> innerCap, outerCap;
    for (int i = 0; i <= 6; ++i) {
        double t = i / 6.0;
        innerCap.push_back(capPoint(kBallRadius, innerRim * t, 1.0 - 0.15 * t, true));
        outerCap.push_back(capPoint(shell, outerRim + (neck - outerRim) * t, 0.8 - 0.5 * t, false));
    }
    return Lathe({innerCap,
                  {{innerRim, rimHeight, 0.85}, {outerRim, rimHeight, 0.8}},
                  outerCap,
                  {{neck, neckBase, 0.3}, {neck, 2, 0.05}},
                  {{neck, 2, 0.05}, {0, 2, 0.0}}},
                 16);
}

}  // namespace assetgen
