// The nine generated models in a real GL frame, each drawn by the game's own routine with the
// game's camera over a black background and without lights, in a plain colour of its own (a
// one-colour bitmap loaded into the game's texture slot). The pixels they cover are compared
// with where ProjectPoint puts the world-space extent the game's coordinates give them, and with
// the relations the game relies on: the table's area, the rails beside the bounce lines, the
// back wall closing the far end, the striker held inside its tube, the tube and pointer facing up
// the table, the spikes hidden or standing, the sucker's cup resting on a carried ball. A last
// case draws the whole play scene with the real assets and saves it as a screenshot.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "assets.h"
#include "base/errors.h"
#include "devices/lifecycle.h"
#include "game.h"
#include "gfx2d/gl_fixture.h"
#include "gfx3d/render.h"
#include "support/bin_dir.h"
#include "support/errorlog_lines.h"
#include "voxa/devices.h"
#include "voxa/runtime.h"
#include "voxa/testing.h"
#include "window/window.h"

namespace {

using gltest::Rgb;
using Frame = std::vector<uint32_t>;
using Pick = std::function<bool(uint32_t)>;

constexpr double kPi = 3.14159265358979323846;
constexpr int kTolerance = 2;  // pixels between a rendered edge and its projected place

struct P3 {
    double x, y, z;
};

// Inclusive pixel box {left, top, right, bottom}; empty when right < left.
struct Box {
    int l = 640, t = 480, r = -1, b = -1;
    bool Empty() const { return r < l; }
    Box Grown(int by) const { return {std::max(0, l - by), std::max(0, t - by), std::min(639, r + by), std::min(479, b + by)}; }
};
const Box kScreen{0, 0, 639, 479};

using voxatest::BinDir;

// ---- Colours: each model's texture slot gets a one-colour bitmap of its own.
const uint32_t kTable = Rgb(40, 90, 200), kRim = Rgb(200, 60, 40), kBall = Rgb(240, 240, 240),
               kStriker = Rgb(40, 220, 60), kTarget = Rgb(230, 130, 20), kTube = Rgb(150, 60, 200),
               kPointer = Rgb(250, 230, 0), kSpike = Rgb(220, 30, 30), kRod = Rgb(30, 200, 200),
               kSucker = Rgb(250, 120, 200), kWall = Rgb(200, 200, 40);

void Paint(double texture, uint32_t colour) {
    const std::string path = gltest::MakeBitmap("solid" + std::to_string(int(texture)) + ".bmp", 16, 16,
                                                [&](int, int) { return colour; });
    ASSERT_EQ(LoadSprite(DynString(path.c_str()), texture), 1);
    std::remove(path.c_str());
}

Pick Is(uint32_t colour) {
    return [colour](uint32_t c) {
        for (int shift : {0, 8, 16})
            if (std::abs(int((c >> shift) & 0xFF) - int((colour >> shift) & 0xFF)) > 12) return false;
        return true;
    };
}
bool Ink(uint32_t c) { return c != 0; }

uint32_t At(const Frame& f, int x, int y) { return f[size_t(y) * 640 + size_t(x)]; }

Box InkBox(const Frame& f, const Pick& pick, Box region = kScreen) {
    Box b;
    for (int y = region.t; y <= region.b; ++y)
        for (int x = region.l; x <= region.r; ++x)
            if (pick(At(f, x, y))) b = {std::min(b.l, x), std::min(b.t, y), std::max(b.r, x), std::max(b.b, y)};
    return b;
}

int Count(const Frame& f, const Pick& pick) {
    return int(std::count_if(f.begin(), f.end(), [&](uint32_t c) { return pick(c); }));
}

// ---- Where the game's camera puts world points.
bool Project(P3 p, double& sx, double& sy) {
    double sz = 0;
    return ProjectPoint(p.x, p.y, p.z, sx, sy, sz);
}

// The pixel a world point lands on (clamped to the screen).
std::pair<int, int> Pixel(P3 p) {
    double sx = -1, sy = -1;
    EXPECT_TRUE(Project(p, sx, sy));
    return {std::clamp(int(std::floor(sx)), 0, 639), std::clamp(int(std::floor(sy)), 0, 479)};
}
uint32_t At(const Frame& f, P3 p) {
    auto [x, y] = Pixel(p);
    return At(f, x, y);
}

bool OnScreen(P3 p) {
    double sx = -1, sy = -1;
    return Project(p, sx, sy) && sx >= 0 && sx < 640 && sy >= 0 && sy < 480;
}

// The pixel box of those projections of world points that land on the screen: for an extent
// that reaches beyond the screen, its points must sample it densely enough.
Box ScreenBox(const std::vector<P3>& points) {
    Box b;
    for (const P3& p : points) {
        double sx = 0, sy = 0;
        EXPECT_TRUE(Project(p, sx, sy));
        if (sx < 0 || sx >= 640 || sy < 0 || sy >= 480) continue;
        const int x = int(sx), y = int(sy);
        b = {std::min(b.l, x), std::min(b.t, y), std::max(b.r, x), std::max(b.b, y)};
    }
    return b;
}

void ExpectBoxNear(const Box& got, const Box& want, const std::string& what) {
    ASSERT_FALSE(got.Empty()) << what << ": nothing drawn";
    EXPECT_NEAR(got.l, want.l, kTolerance) << what << " left";
    EXPECT_NEAR(got.t, want.t, kTolerance) << what << " top";
    EXPECT_NEAR(got.r, want.r, kTolerance) << what << " right";
    EXPECT_NEAR(got.b, want.b, kTolerance) << what << " bottom";
    // The size on its own: a model a little too large or small shifts both edges outward.
    EXPECT_NEAR(got.r - got.l, want.r - want.l, kTolerance) << what << " width";
    EXPECT_NEAR(got.b - got.t, want.b - want.t, kTolerance) << what << " height";
}

// ---- World-space extents, as sample points.
// The surface of the box between two corners, sampled every `step` units.
std::vector<P3> BoxSurface(P3 lo, P3 hi, double step) {
    std::vector<P3> out;
    auto steps = [&](double a, double b) {
        std::vector<double> v;
        const int n = std::max(1, int(std::ceil((b - a) / step)));
        for (int i = 0; i <= n; ++i) v.push_back(a + (b - a) * i / n);
        return v;
    };
    for (double x : steps(lo.x, hi.x))
        for (double y : steps(lo.y, hi.y))
            for (double z : {lo.z, hi.z}) out.push_back({x, y, z});
    for (double x : steps(lo.x, hi.x))
        for (double z : steps(lo.z, hi.z))
            for (double y : {lo.y, hi.y}) out.push_back({x, y, z});
    for (double y : steps(lo.y, hi.y))
        for (double z : steps(lo.z, hi.z))
            for (double x : {lo.x, hi.x}) out.push_back({x, y, z});
    return out;
}

// A circle of the given radius about centre, in the plane across the axis 'y' or 'z'.
std::vector<P3> Ring(P3 c, double radius, char axis) {
    std::vector<P3> out;
    for (int i = 0; i < 180; ++i) {
        double a = 2 * kPi * i / 180, u = radius * std::cos(a), v = radius * std::sin(a);
        out.push_back(axis == 'y' ? P3{c.x + u, c.y, c.z + v} : P3{c.x + u, c.y + v, c.z});
    }
    return out;
}

// Points of a sphere's surface; keep(y) chooses a part of it by height.
std::vector<P3> SpherePoints(P3 c, double radius, const std::function<bool(double)>& keep = nullptr) {
    std::vector<P3> out;
    for (int i = 0; i <= 90; ++i) {
        double polar = kPi * i / 90;
        for (int j = 0; j < 180; ++j) {
            double a = 2 * kPi * j / 180;
            P3 p{c.x + radius * std::sin(polar) * std::cos(a), c.y + radius * std::cos(polar),
                 c.z + radius * std::sin(polar) * std::sin(a)};
            if (!keep || keep(p.y)) out.push_back(p);
        }
    }
    return out;
}

void Join(std::vector<P3>& to, const std::vector<P3>& more) { to.insert(to.end(), more.begin(), more.end()); }

// The columns in which a pixel of one colour lies directly above a pixel of another: where two
// objects meet on screen without a gap.
int TouchingColumns(const Frame& f, const Pick& upper, const Pick& lower) {
    int columns = 0;
    for (int x = 0; x < 640; ++x)
        for (int y = 0; y + 1 < 480; ++y)
            if (upper(At(f, x, y)) && lower(At(f, x, y + 1))) {
                ++columns;
                break;
            }
    return columns;
}

class ModelPlacement : public gltest::GL {
  protected:
    static void SetUpTestSuite() {
        GL::SetUpTestSuite();
        // The game loads its assets by plain name from its own directory.
        ASSERT_EQ(chdir(BinDir().c_str()), 0);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        CreateAudioDevice();
        CreateSoundSlots();
    }
    static void TearDownTestSuite() {
        FreeSoundSlots();
        DestroyAudioDevice();
    }
    void SetUp() override {
        GL::SetUp();
        log_ = voxatest::PrivateLogPath("model_placement");
        SetErrorLogPathForTesting(log_.c_str());
        LoadAssets();
        ResetGameGlobals(gGame);
        DimGameArrays(gGameArrays);
        // Play, with the clock stopped: the routines draw without moving anything.
        gGame.gameState = 1;
        gGame.frameStep = 0;
        gGame.tubeHeight = 20;
        gGame.pointerHeight = 20;
        gGame.spikeHeight = 0;
        gGame.spikeRising = 0;
    }
    void TearDown() override {
        Enter2DMode();
        EXPECT_TRUE(voxatest::ReadLogLines(log_).empty());
        std::remove(log_.c_str());
    }

    // A fresh frame with the game's projection and camera and the lit pass's culling, no lights.
    static void GameView() {
        Enter2DMode();
        Enter3DMode(1, 2000, 45);
        SetCamera(0, 400, -900, 0, 0, -340);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        SetCullMode(-1);
    }

    std::string log_;
};

TEST_F(ModelPlacement, TableCoversItsAreaAtHeightZero) {
    Paint(0, kTable);
    GameView();
    DrawTable();
    const Frame f = gltest::BackFrame();
    ExpectBoxNear(InkBox(f, Is(kTable)), ScreenBox(BoxSurface({-340, 0, -700}, {340, 0, 900}, 2)), "table");
    EXPECT_EQ(Count(f, Is(kTable)), Count(f, Ink));  // one colour: the surface, not its sides
    // Along its whole visible length each long edge is the line x = +/-340 at y = 0 (+x is on
    // the screen's left), and the far edge the line z = 900.
    int rows = 0;
    for (double z = -700; z <= 900; z += 50) {
        for (double side : {340.0, -340.0}) {
            double sx = 0, sy = 0;
            ASSERT_TRUE(Project({side, 0, z}, sx, sy));
            if (sx < 2 || sx > 637 || sy < 0 || sy >= 480) continue;
            const Box row = InkBox(f, Is(kTable), {0, int(sy), 639, int(sy)});
            EXPECT_NEAR(side > 0 ? row.l : row.r, sx, kTolerance) << "edge x = " << side << " at z = " << z;
            ++rows;
        }
    }
    EXPECT_GE(rows, 10);
}

TEST_F(ModelPlacement, BackWallStandsOnTheTableAndClosesTheFarEnd) {
    Paint(0, kTable);
    Paint(3, kWall);
    // x -342..342 (just over the table's width), from the table (y 0) up to 240, z 880..900.
    const std::vector<P3> wall = BoxSurface({-342, 0, 880}, {342, 240, 900}, 4);
    // The game's view ends short of it (its top edge meets the table near z 830): beyond the
    // target ball's start (z 840), the wall is out of sight in play.
    GameView();
    DrawBackWall();
    EXPECT_EQ(Count(gltest::BackFrame(), Ink), 0);
    for (const P3& p : wall) ASSERT_FALSE(OnScreen(p));
    ASSERT_TRUE(OnScreen({0, 0, 800}));
    // So it is looked at from above the middle of the table, with the game's projection:
    auto farEnd = [] {
        GameView();
        SetCamera(0, 400, 300, 0, 0, 880);
    };
    farEnd();
    DrawBackWall();
    Frame f = gltest::BackFrame();
    ExpectBoxNear(InkBox(f, Ink), ScreenBox(wall), "back wall");

    farEnd();
    DrawBackWall();
    DrawTable();
    f = gltest::BackFrame();
    // The wall's face stands at z 880 on the table: the table shows up to there, and straight
    // above the table's last row the wall begins, across the whole width.
    const Box table = InkBox(f, Is(kTable));
    EXPECT_NEAR(table.t, Pixel({0, 0, 880}).second, kTolerance);
    for (double x = -330; x <= 330; x += 30) {
        const int col = Pixel({x, 0, 880}).first;
        const Box column = InkBox(f, Is(kTable), {col, 0, col, 479});
        ASSERT_FALSE(column.Empty()) << x;
        const uint32_t above = At(f, col, column.t - 1);
        EXPECT_TRUE(Ink(above) && !Is(kTable)(above)) << "no wall above the table's end at x = " << x;
    }
}

TEST_F(ModelPlacement, RimRailsStandJustOutsideTheBounceLines) {
    Paint(5, kRim);
    Paint(1, kBall);
    GameView();
    DrawRim();
    const Frame f = gltest::BackFrame();
    // Two rails from the table (y 0) to 26, inner faces at x = +/-318, outer edges +/-342, the
    // table's length; a lower rail across the near end.
    std::vector<P3> rails = BoxSurface({318, 0, -700}, {342, 26, 900}, 2);
    Join(rails, BoxSurface({-342, 0, -700}, {-318, 26, 900}, 2));
    Join(rails, BoxSurface({-318, 0, -700}, {318, 18, -688}, 2));
    ExpectBoxNear(InkBox(f, Is(kRim)), ScreenBox(rails), "rim");
    // Inside each rail, 2 units beyond its inner face, is rail; the table at x = +/-316, where a
    // ball at the bounce line touches down, is not.
    int checked = 0;
    for (double z = -300; z <= 800; z += 50) {
        for (double s : {1.0, -1.0}) {
            if (!OnScreen({s * 340, 24, z})) continue;  // the rails leave the screen's sides
            ++checked;
            EXPECT_TRUE(Is(kRim)(At(f, {s * 320, 13, z}))) << "rail at x = " << s * 320 << ", z = " << z;
            EXPECT_TRUE(Is(kRim)(At(f, {s * 340, 24, z}))) << "rail at x = " << s * 340 << ", z = " << z;
            EXPECT_FALSE(Ink(At(f, {s * 316, 0, z}))) << "rail inside x = " << s * 316 << ", z = " << z;
        }
    }
    EXPECT_GE(checked, 30);
    // A ball at the bounce line (centre x = +/-296) is not cut by a rail: every pixel it covers
    // alone it still covers beside the rim.
    for (double s : {1.0, -1.0}) {
        for (double z : {-350.0, 400.0}) {
            gGame.ballX = s * 296;
            gGame.ballZ = z;
            GameView();
            UpdateBall();
            const Frame alone = gltest::BackFrame();
            GameView();
            DrawRim();
            UpdateBall();
            const Frame both = gltest::BackFrame();
            int lost = 0, covered = 0;
            for (size_t i = 0; i < alone.size(); ++i) {
                if (!Is(kBall)(alone[i])) continue;
                ++covered;
                if (!Is(kBall)(both[i])) ++lost;
            }
            EXPECT_GT(covered, 50);
            EXPECT_EQ(lost, 0) << "ball at x = " << s * 296 << ", z = " << z;
        }
    }
}

TEST_F(ModelPlacement, BallsRestOnTheTableWhereTheGameKeepsThem) {
    Paint(1, kBall);
    Paint(10, kStriker);
    Paint(20, kTarget);
    Paint(0, kTable);
    // The player's ball at its base, the striker at rest in the middle tube (x 0, 600 toward the
    // player), the target ball rolling down the table; all of radius 20 with centres at y 20.
    gGameArrays.targetX.At(0) = -120;
    gGameArrays.targetZ.At(0) = 300;
    gGameArrays.targetVX.At(0) = 0;
    gGameArrays.targetVZ.At(0) = 0;
    struct Case {
        const char* name;
        uint32_t colour;
        std::function<void()> draw;
        P3 centre;
    } cases[] = {{"ball", kBall, [] { UpdateBall(); }, {gGame.ballX, 20, gGame.ballZ}},
                 {"striker", kStriker, [] { UpdateStriker(); }, {gGame.strikerX, 20, -600}},
                 {"target ball", kTarget, [] { UpdateTarget(0); }, {-120, 20, 300}}};
    for (const Case& c : cases) {
        GameView();
        c.draw();
        Frame f = gltest::BackFrame();
        ExpectBoxNear(InkBox(f, Is(c.colour)), ScreenBox(SpherePoints(c.centre, 20)), c.name);
        const int alone = Count(f, Is(c.colour));
        // On the table it keeps every pixel: it touches the surface from above.
        GameView();
        DrawTable();
        c.draw();
        f = gltest::BackFrame();
        EXPECT_EQ(Count(f, Is(c.colour)), alone) << c.name;
    }
    // Lifted by 40 the ball's centre is at 60.
    gGame.ballLift = 40;
    GameView();
    UpdateBall();
    ExpectBoxNear(InkBox(gltest::BackFrame(), Is(kBall)), ScreenBox(SpherePoints({gGame.ballX, 60, gGame.ballZ}, 20)),
                  "lifted ball");
}

TEST_F(ModelPlacement, TubesHoldTheRestingStrikerAndOpenUpTheTable) {
    Paint(6, kTube);
    Paint(10, kStriker);
    GameView();
    UpdateTubes(-160, 0, 160, gGame.activeBase);
    Frame f = gltest::BackFrame();
    // Each tube: a barrel of radius 27 along the lane from its closed end 50 behind the resting
    // striker's centre (bevelled to 24 over the last 3) to a lip of radius 29 at its mouth 40
    // ahead of it.
    const double lanes[] = {-160, 0, 160};
    for (double x : lanes) {
        std::vector<P3> tube = Ring({x, 20, -650}, 24, 'z');
        Join(tube, Ring({x, 20, -647}, 27, 'z'));
        Join(tube, Ring({x, 20, -564}, 29, 'z'));
        Join(tube, Ring({x, 20, -560}, 29, 'z'));
        const Box want = ScreenBox(tube);
        ExpectBoxNear(InkBox(f, Is(kTube), want.Grown(20)), want, "tube at x = " + std::to_string(int(x)));
    }
    // The striker resting at the tube's origin is wholly inside: from the player's side the
    // closed end and the barrel hide it.
    GameView();
    UpdateStriker();
    EXPECT_GT(Count(gltest::BackFrame(), Is(kStriker)), 300);
    GameView();
    UpdateTubes(-160, 0, 160, gGame.activeBase);
    UpdateStriker();
    EXPECT_EQ(Count(gltest::BackFrame(), Is(kStriker)), 0);
    // Level with the barrel, looking down the table's axis at the middle tube: from up the table
    // the open mouth shows the whole front of the striker, centred; from behind, nothing of it.
    auto lookAtTube = [](double eyeZ) {
        GameView();
        SetCamera(0, 20, eyeZ, 0, 20, -600);
        UpdateTubes(-160, 0, 160, gGame.activeBase);
        UpdateStriker();
        return gltest::BackFrame();
    };
    f = lookAtTube(-300);
    ExpectBoxNear(InkBox(f, Is(kStriker)), ScreenBox(SpherePoints({0, 20, -600}, 20)), "striker through the mouth");
    f = lookAtTube(-900);
    EXPECT_GT(Count(f, Is(kTube)), 1000);
    EXPECT_EQ(Count(f, Is(kStriker)), 0);
}

TEST_F(ModelPlacement, PointersLieOnTheTubesAndPointTheWayOfTheShot) {
    Paint(2, kPointer);
    Paint(6, kTube);
    gGame.aimAngle = 20;  // the active (middle) pointer turned toward +x
    GameView();
    UpdatePointers(-160, 0, 160, gGame.activeBase);
    const Frame alone = gltest::BackFrame();
    const double lanes[] = {-160, 0, 160};
    for (int lane = 0; lane < 3; ++lane) {
        const double a = (lane == gGame.activeBase ? gGame.aimAngle : 0) * kPi / 180;
        const P3 dir{std::sin(a), 0, std::cos(a)}, across{std::cos(a), 0, -std::sin(a)};
        auto at = [&](double ahead, double side, double y) {
            return P3{lanes[lane] + dir.x * ahead + across.x * side, y, -600 + dir.z * ahead + across.z * side};
        };
        // A flat arrow 30..34 above the tube's axis (y 50..54): its tip 74 ahead of the base
        // line along the shot's direction, barbs 15 to each side 46 ahead, a shaft 10 wide to 32
        // behind.
        std::vector<P3> arrow;
        for (double y : {50.0, 54.0})
            for (P3 p : {at(74, 0, y), at(46, 15, y), at(46, -15, y), at(-32, 5, y), at(-32, -5, y)}) arrow.push_back(p);
        const Box want = ScreenBox(arrow);
        const std::string name = "pointer " + std::to_string(lane);
        ExpectBoxNear(InkBox(alone, Is(kPointer), want.Grown(20)), want, name);
        // Pointing the way of the shot, not back toward the player.
        EXPECT_TRUE(Is(kPointer)(At(alone, at(64, 0, 54)))) << name;
        EXPECT_FALSE(Ink(At(alone, at(84, 0, 54)))) << name;
        EXPECT_FALSE(Ink(At(alone, at(-60, 0, 54)))) << name;
    }
    // On top of the tubes, not sunk into them: every pointer pixel stays.
    GameView();
    UpdateTubes(-160, 0, 160, gGame.activeBase);
    UpdatePointers(-160, 0, 160, gGame.activeBase);
    const Frame both = gltest::BackFrame();
    EXPECT_EQ(Count(both, Is(kPointer)), Count(alone, Is(kPointer)));
    EXPECT_GT(Count(both, Is(kTube)), 300);
}

TEST_F(ModelPlacement, SpikesHideUnderTheTableAndStandAboutTwentyHighWhenUp) {
    Paint(8, kSpike);
    Paint(0, kTable);
    // Rising: the routine takes the row to its top (20) and starts it down again.
    gGame.spikeRising = 1;
    gGame.spikeHeight = 19;
    GameView();
    DrawTable();
    UpdateSpikes();
    const double height = gGame.spikeHeight;
    ASSERT_GT(height, 19);
    Frame f = gltest::BackFrame();
    // 31 cones along z = -440 from x -300 to 300, each standing about 20 above the table and
    // about 7 wide where it leaves it; below the surface the table hides them.
    std::vector<P3> row;
    for (double x = -300; x <= 300; x += 20) {
        Join(row, Ring({x, 0, -440}, 3.5, 'y'));
        row.push_back({x, 20, -440});
    }
    ExpectBoxNear(InkBox(f, Is(kSpike)), ScreenBox(row), "raised spikes");
    for (double x = -300; x <= 300; x += 20) {
        EXPECT_TRUE(Is(kSpike)(At(f, {x, 5, -440}))) << "spike at x = " << x;
        EXPECT_TRUE(Is(kTable)(At(f, {x + 10, 5, -440}))) << "gap after x = " << x;
    }
    // Narrow at the top, wide at the table: pointing up.
    const Box middle = InkBox(f, Is(kSpike), ScreenBox({{-10, 0, -440}, {10, 20, -440}}).Grown(2));
    const int top = middle.t, bottom = Pixel({0, 0, -440}).second - 2;
    const Box topRows = InkBox(f, Is(kSpike), {middle.l, top, middle.r, top + 3});
    const Box bottomRows = InkBox(f, Is(kSpike), {middle.l, bottom - 3, middle.r, bottom});
    EXPECT_LT(topRows.r - topRows.l, bottomRows.r - bottomRows.l);

    // Sinking, just above 0: still drawn, but under the table.
    auto lowered = [](bool withTable) {
        gGame.spikeRising = 0;
        gGame.spikeHeight = 0.3;
        GameView();
        if (withTable) DrawTable();
        UpdateSpikes();
        EXPECT_GT(gGame.spikeHeight, 0);
        return gltest::BackFrame();
    };
    EXPECT_GT(Count(lowered(false), Is(kSpike)), 100);  // drawn
    f = lowered(true);
    EXPECT_EQ(Count(f, Is(kSpike)), 0);                 // and hidden
    EXPECT_GT(Count(f, Is(kTable)), 100000);
}

TEST_F(ModelPlacement, RodRisesFromTheSuckerWhoseCupRestsOnTheCarriedBall) {
    Paint(9, kRod);
    Paint(11, kSucker);
    Paint(1, kBall);
    // The rod has reached the lost ball at (100, 200) and carries it: the game lifts it by 40.
    gGame.ballX = gGame.rodX = gGame.baseX = 100;
    gGame.ballZ = gGame.rodZ = 200;
    gGame.ballLost = 1;
    gGame.rodHasBall = 1;
    gGame.lastFrameTime = gGame.ballLostTime + 1000;
    GameView();
    UpdateRod();
    ASSERT_EQ(gGame.ballLift, 40);
    ASSERT_EQ(gGame.rodX, 100);
    ASSERT_EQ(gGame.rodZ, 200);
    UpdateBall();
    const Frame f = gltest::BackFrame();
    const double rodY = gGame.rodY;  // 90: the ball's top (80) is 10 below the rod's origin
    // The sucker: a cup over the ball, its rim (radius about 15) on the ball's surface at y 75,
    // its outer shell 1.5 over the ball, a neck of radius 4 up to 2 above the rod's origin.
    std::vector<P3> sucker = SpherePoints({100, 60, 200}, 21.5, [](double y) { return y >= 75; });
    Join(sucker, Ring({100, 75, 200}, 15.4, 'y'));
    Join(sucker, Ring({100, rodY + 2, 200}, 4, 'y'));
    ExpectBoxNear(InkBox(f, Is(kSucker)), ScreenBox(sucker), "sucker");
    // The rod: radius 3, rising out of the neck to 260 above the origin (beyond the screen's top).
    const Box rod = InkBox(f, Is(kRod));
    std::vector<P3> rodPoints;
    for (double y = rodY + 2; y <= rodY + 260; y += 1) Join(rodPoints, Ring({100, y, 200}, 3, 'y'));
    const Box rodWant = ScreenBox(rodPoints);
    ExpectBoxNear(rod, rodWant, "rod");
    EXPECT_GE(TouchingColumns(f, Is(kRod), Is(kSucker)), 3);  // out of the sucker's neck
    // The ball hangs under the cup without a gap, and the cup covers its top.
    EXPECT_GE(TouchingColumns(f, Is(kSucker), Is(kBall)), 15);
    GameView();
    UpdateBall();
    const Frame ball = gltest::BackFrame();
    ExpectBoxNear(InkBox(ball, Is(kBall)), ScreenBox(SpherePoints({100, 60, 200}, 20)), "carried ball");
    EXPECT_LT(Count(f, Is(kBall)), Count(ball, Is(kBall)) - 10);
    EXPECT_EQ(InkBox(f, Is(kBall)).b, InkBox(ball, Is(kBall)).b);
}

TEST_F(ModelPlacement, EveryModelShowsItsOutsideToTheCamera) {
    // With the lit pass's culling (counter-clockwise faces shown) each model leaves the same
    // nearest surface in the depth buffer as with no culling at all: the faces toward the viewer
    // are its outside, not the inside of its far wall.
    gGameArrays.targetX.At(0) = 100;
    gGameArrays.targetZ.At(0) = 0;
    gGameArrays.targetVX.At(0) = 0;
    gGameArrays.targetVZ.At(0) = 0;
    const struct {
        const char* name;
        std::function<void()> draw;
    } models[] = {{"table", [] { DrawTable(); }},
                  {"back wall", [] {
                       SetCamera(0, 400, 300, 0, 0, 880);  // it lies beyond the game's view
                       DrawBackWall();
                   }},
                  {"rim", [] { DrawRim(); }},
                  {"ball and striker", [] { UpdateBall(), UpdateStriker(); }},
                  {"target ball", [] { UpdateTarget(0); }},
                  {"tubes", [] { UpdateTubes(-160, 0, 160, gGame.activeBase); }},
                  {"pointers", [] { UpdatePointers(-160, 0, 160, gGame.activeBase); }},
                  {"spikes", [] {
                       gGame.spikeHeight = 10;
                       UpdateSpikes();
                   }},
                  {"rod and sucker", [] { UpdateRod(); }}};
    for (const auto& m : models) {
        auto depth = [&](double cull) {
            GameView();
            SetCullMode(cull);
            m.draw();
            std::vector<float> d(640 * 480);
            glReadPixels(0, 0, 640, 480, GL_DEPTH_COMPONENT, GL_FLOAT, d.data());
            return d;
        };
        const std::vector<float> culled = depth(-1), all = depth(0);
        int covered = 0, other = 0;
        for (size_t i = 0; i < all.size(); ++i) {
            if (all[i] < 1) ++covered;
            if (std::fabs(all[i] - culled[i]) > 1e-6f) ++other;
        }
        EXPECT_GT(covered, 200) << m.name;
        EXPECT_LE(other, covered / 1000) << m.name;  // a pixel or two where edges meet
    }
}

// A moment of play with the real textures and lights, drawn by the game's scene and HUD, shown
// and saved by SaveScreenshot beside the build's binaries for a look by eye; the saved file
// holds the frame as drawn.
TEST_F(ModelPlacement, PlaySceneScreenshotHoldsTheFrameAsDrawn) {
    gGameArrays.targetX.At(0) = 120;
    gGameArrays.targetZ.At(0) = 250;
    gGameArrays.targetVX.At(0) = 0;
    gGameArrays.targetVZ.At(0) = 0;
    gGame.spikeRising = 1;
    gGame.spikeHeight = 19;
    gGame.score = 3;
    gGame.ballsPlayed = 4;
    ShowScreen();  // as the runtime's start-up frame does: the frame begins with clear buffers
    DrawScene();
    DrawHudScore();
    DrawHudGame();
    const Frame drawn = gltest::BackFrame();
    EXPECT_GT(Count(drawn, Ink), 640 * 480 * 3 / 4);
    ShowScreen();
    const char* path = "../play_scene.bmp";  // in the build directory
    ASSERT_EQ(SaveScreenshot(DynString(path)), 1);

    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 54u);
    auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
               uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
    };
    ASSERT_EQ(bytes.substr(0, 2), "BM");
    ASSERT_EQ(u32(18), 640u);
    ASSERT_EQ(u32(22), 480u);  // rows from the bottom
    const size_t offset = u32(10), stride = 640 * 3;
    ASSERT_GE(bytes.size(), offset + stride * 480);
    int differ = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const char* p = &bytes[offset + size_t(479 - y) * stride + size_t(x) * 3];
            if (Rgb(uint8_t(p[2]), uint8_t(p[1]), uint8_t(p[0])) != At(drawn, x, y)) ++differ;
        }
    EXPECT_EQ(differ, 0);
}

// The frames of play (three moments of shots from different bases, the shadows of the tubes,
// pointers, balls and rod on the table) and of the menu over the idle scene are the same pixel
// for pixel with the shadow pass's shortcuts as without them: the far caps lie beyond the far
// plane and the darkening leaves exactly the stencil buffer a clear would, so the tolerance is
// 0. As in the game, a frame clears colour and depth only, and each moment is drawn twice with
// the shortcuts, so the second frame starts from the stencil buffer the first one left. Between
// the compared moments the game runs without GL.
TEST_F(ModelPlacement, ShadowPassShortcutsLeaveTheFramesAsTheyWere) {
    static uint8_t keys[kKeySymbolCount];
    SetKeyStateSourceForTesting(keys);
    gGame.frameStep = 5;
    gGame.previousStep = 5;
    // One frame of the saved moment, with the same random numbers every time.
    auto draw = [](const GameGlobals& globals, const GameArrays& arrays, bool shortcuts) {
        gGame = globals;
        gGameArrays = arrays;
        SeedRandom(7);
        scene3d::SetShadowShortcutsForTesting(shortcuts);
        Enter2DMode();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        DrawScene();
        DrawHudScore();
        if (gGame.gameState == 0) DrawMenus();
        DrawHudGame();
        Enter2DMode();
        scene3d::SetShadowShortcutsForTesting(true);
        return gltest::BackFrame();
    };
    auto compare = [&](const std::string& what) {
        const GameGlobals globals = gGame;
        const GameArrays arrays = gGameArrays;
        const Frame before = draw(globals, arrays, false);
        EXPECT_GT(Count(before, Ink), 640 * 480 * 3 / 4) << what;
        for (int k = 0; k < 2; ++k) {
            const Frame now = draw(globals, arrays, true);
            int differ = 0;
            for (size_t i = 0; i < now.size(); ++i) differ += now[i] != before[i];
            EXPECT_EQ(differ, 0) << what << ", drawing " << k;
        }
    };
    glClear(GL_STENCIL_BUFFER_BIT);
    for (long frame = 0; frame <= 900; ++frame) {
        std::fill(std::begin(keys), std::end(keys), uint8_t(0));
        if (frame % 400 == 0) keys[ScancodeKeySymbol(30 + int(frame / 400 % 3))] = 1; // A, S, D
        if (frame % 400 == 10) keys[ScancodeKeySymbol(57)] = 1;                        // space
        if (frame == 60 || frame == 470 || frame == 900) compare("play, frame " + std::to_string(frame));
        Window().ready = 0;
        DrawScene();
        DrawHudScore();
        DrawHudGame();
        Window().ready = 1;
    }
    std::fill(std::begin(keys), std::end(keys), uint8_t(0));
    gGame.gameState = 0;
    compare("menu");
    SetKeyStateSourceForTesting(nullptr);
}

}  // namespace
