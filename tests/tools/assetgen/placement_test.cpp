// The generated assets in a real GL window through the runtime's loaders and the game's own
// routines. LoadAssets fills every slot the game uses at the sizes it draws them with. Each of the
// nine models, drawn with the game's camera without lights in a plain colour of its own (a
// one-colour bitmap in its texture slot), covers where ProjectPoint puts the extent the game's
// coordinates give it, shows its outside to the camera, and meets the others as the game needs.
// The shadow pass's shortcuts leave the frames of play as they were.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "assets.h"
#include "base/errors.h"
#include "devices/lifecycle.h"
#include "game.h"
#include "gfx2d/gl_fixture.h"
#include "gfx3d/objectstore.h"
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

struct P3 {
    double x, y, z;
};
using Points = std::vector<P3>;
// Inclusive pixel box; empty when r < l.
struct Box {
    int l = 640, t = 480, r = -1, b = -1;
    Box Grown(int by) const { return {std::max(0, l - by), std::max(0, t - by), std::min(639, r + by), std::min(479, b + by)}; }
};
const Box kScreen{0, 0, 639, 479};

// Each model's texture slot gets a colour of its own.
const uint32_t kTable = Rgb(40, 90, 200), kRim = Rgb(200, 60, 40), kBall = Rgb(240, 240, 240), kStriker = Rgb(40, 220, 60),
               kTarget = Rgb(230, 130, 20), kTube = Rgb(150, 60, 200), kPointer = Rgb(250, 230, 0), kSpike = Rgb(220, 30, 30),
               kRod = Rgb(30, 200, 200), kSucker = Rgb(250, 120, 200);
const std::pair<double, uint32_t> kPaints[] = {{0, kTable}, {1, kBall}, {2, kPointer}, {5, kRim},     {6, kTube},
                                               {8, kSpike}, {9, kRod},  {10, kStriker}, {11, kSucker}, {20, kTarget}};

Pick Is(uint32_t colour) {
    return [colour](uint32_t c) {
        for (int shift : {0, 8, 16})
            if (std::abs(int((c >> shift) & 0xFF) - int((colour >> shift) & 0xFF)) > 12) return false;
        return true;
    };
}
bool Ink(uint32_t c) { return c != 0; }
Box InkBox(const Frame& f, const Pick& pick, Box region = kScreen) {
    Box b;
    for (int y = region.t; y <= region.b; ++y)
        for (int x = region.l; x <= region.r; ++x)
            if (pick(f[size_t(y) * 640 + x])) b = {std::min(b.l, x), std::min(b.t, y), std::max(b.r, x), std::max(b.b, y)};
    return b;
}
int Count(const Frame& f, const Pick& pick) { return int(std::count_if(f.begin(), f.end(), pick)); }

// Where the game's camera puts a world point.
std::pair<double, double> Project(P3 p) {
    double sx = -1, sy = -1, sz = 0;
    EXPECT_TRUE(ProjectPoint(p.x, p.y, p.z, sx, sy, sz));
    return {sx, sy};
}
// The pixel box of the projections that land on the screen (an extent reaching beyond the
// screen must be sampled densely).
Box ScreenBox(const Points& points) {
    Box b;
    for (const P3& p : points) {
        const auto [sx, sy] = Project(p);
        if (sx >= 0 && sx < 640 && sy >= 0 && sy < 480)
            b = {std::min(b.l, int(sx)), std::min(b.t, int(sy)), std::max(b.r, int(sx)), std::max(b.b, int(sy))};
    }
    return b;
}
// The edges to within 2 pixels, and the size on its own: a model a little too large shifts both
// edges outward.
void ExpectBoxNear(const Box& got, const Box& want, const std::string& what) {
    ASSERT_LE(got.l, got.r) << what << ": nothing drawn";
    const int g[6] = {got.l, got.t, got.r, got.b, got.r - got.l, got.b - got.t};
    const int w[6] = {want.l, want.t, want.r, want.b, want.r - want.l, want.b - want.t};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(g[i], w[i], 2) << what << " " << "ltrbwh"[i];
}

// World-space extents as sample points: boxes every `step` units, circles about c across the
// axis 'y' or 'z', spheres (at and above the height `from`).
Points Cat(std::initializer_list<Points> parts) {
    Points out;
    for (const Points& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Points BoxPoints(P3 lo, P3 hi, double step) {
    Points out;
    const auto n = [&](double a, double b) { return std::max(1, int(std::ceil((b - a) / step))); };
    const int nx = n(lo.x, hi.x), ny = n(lo.y, hi.y), nz = n(lo.z, hi.z);
    for (int i = 0; i <= nx; ++i)
        for (int j = 0; j <= ny; ++j)
            for (int k = 0; k <= nz; ++k)
                out.push_back({lo.x + (hi.x - lo.x) * i / nx, lo.y + (hi.y - lo.y) * j / ny, lo.z + (hi.z - lo.z) * k / nz});
    return out;
}
Points Ring(P3 c, double radius, char axis) {
    Points out;
    for (int i = 0; i < 180; ++i) {
        const double u = radius * std::cos(kPi * i / 90), v = radius * std::sin(kPi * i / 90);
        out.push_back(axis == 'y' ? P3{c.x + u, c.y, c.z + v} : P3{c.x + u, c.y + v, c.z});
    }
    return out;
}
Points Sphere(P3 c, double radius, double from = -1e9) {
    Points out;
    for (int i = 0; i <= 90; ++i)
        for (const P3& p : Ring({c.x, c.y + radius * std::cos(kPi * i / 90), c.z}, radius * std::sin(kPi * i / 90), 'y'))
            if (p.y >= from) out.push_back(p);
    return out;
}

// The columns in which a pixel of one colour lies directly above one of another: where two
// objects meet on screen without a gap.
int TouchingColumns(const Frame& f, const Pick& upper, const Pick& lower) {
    int columns = 0;
    for (int x = 0; x < 640; ++x) {
        int y = 0;
        while (y + 1 < 480 && !(upper(f[size_t(y) * 640 + x]) && lower(f[size_t(y + 1) * 640 + x]))) ++y;
        columns += y + 1 < 480;
    }
    return columns;
}

class ModelPlacement : public gltest::GL {
  protected:
    static void SetUpTestSuite() {
        GL::SetUpTestSuite();
        // The game loads its assets by plain name from its own directory.
        ASSERT_EQ(chdir(voxatest::BinDir().c_str()), 0);
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
        // Play, with the clock stopped: the routines draw without moving anything. A target
        // ball rests at (-120, 300).
        gGame.gameState = 1;
        gGame.frameStep = 0;
        gGame.tubeHeight = gGame.pointerHeight = 20;
        gGame.spikeHeight = gGame.spikeRising = 0;
        gGameArrays.targetX.At(0) = -120;
        gGameArrays.targetZ.At(0) = 300;
        gGameArrays.targetVX.At(0) = gGameArrays.targetVZ.At(0) = 0;
        for (const auto& [slot, colour] : kPaints) {
            const std::string path = gltest::MakeBitmap("solid.bmp", 16, 16, [c = colour](int, int) { return c; });
            ASSERT_EQ(LoadSprite(DynString(path.c_str()), slot), 1);
            std::remove(path.c_str());
        }
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
    static Frame Drawn(const std::function<void()>& draw) {
        GameView();
        draw();
        return gltest::BackFrame();
    }
    // With the lit pass's culling (counter-clockwise faces shown) draw leaves the same nearest
    // surface in the depth buffer as with none (but for a pixel or two where edges meet): the
    // faces toward the viewer are the model's outside, not the inside of its far wall.
    static void ExpectOutsideShown(const std::function<void()>& draw, const char* what) {
        std::vector<float> culled(640 * 480), all(640 * 480);
        for (std::vector<float>* depth : {&culled, &all}) {
            GameView();
            SetCullMode(depth == &culled ? -1 : 0);
            draw();
            glReadPixels(0, 0, 640, 480, GL_DEPTH_COMPONENT, GL_FLOAT, depth->data());
        }
        int covered = 0, other = 0;
        for (size_t i = 0; i < all.size(); ++i) {
            covered += all[i] < 1;
            other += std::fabs(all[i] - culled[i]) > 1e-6f;
        }
        EXPECT_GT(covered, 200) << what;
        EXPECT_LE(other, covered / 1000) << what;
    }
    // The game's own view ends short of the back wall: it is looked at from over the table.
    static void FarEnd() { SetCamera(0, 400, 300, 0, 0, 880); }
    // The rod has reached the lost ball at (100, 200) and carries it 40 up (centre y 60), rod at 90.
    static void CarriedBall() {
        gGame.ballX = gGame.rodX = gGame.baseX = 100;
        gGame.ballZ = gGame.rodZ = 200;
        gGame.ballLost = gGame.rodHasBall = 1;
        gGame.lastFrameTime = gGame.ballLostTime + 1000;
        UpdateRod();
        UpdateBall();
    }

    std::string log_;
};

TEST_F(ModelPlacement, LoadAssetsFillsEverySlotAtItsSizeAgainAtARestart) {
    LoadAssets();  // once in SetUp, once more here over the plain colours
    // Sprite slots and the back wall's bump texture (4), width and height.
    const double sprites[][3] = {{0, 256, 512},  {1, 128, 64},   {10, 128, 64},  {20, 128, 64},   {2, 64, 64},
                                 {3, 256, 128},  {4, 256, 128},  {5, 128, 32},   {6, 64, 64},     {8, 32, 32},
                                 {9, 32, 64},    {11, 32, 64},   {99, 640, 480}, {100, 16, 16},   {101, 16, 16},
                                 {1000, 8, 8},   {1002, 32, 16}, {1003, 32, 16}, {2000, 32, 16}};
    double w = 0, h = 0;
    for (const auto& [id, width, height] : sprites) {
        GetSpriteSize(id, w, h);
        EXPECT_TRUE(w == width && h == height) << "texture " << id << ": " << w << " x " << h;
    }
    for (double id : {0, 1, 2, 3, 5, 6, 8, 9, 10, 11, 20}) {
        const MeshObjectX* slot = gRenderer3D.Slot(id);
        ASSERT_TRUE(slot && slot->frames.Count() == 1) << "object " << id;
        EXPECT_GE(slot->frames[0].triangles.Count(), 3) << "object " << id;
    }
    // The fonts are 16-column grids of these cells; the last loaded (2, the menu font) is current.
    const double fonts[][2] = {{16, 16}, {32, 32}, {10, 16}, {16, 16}};
    for (int n = -1; n < 3; ++n) {
        if (n >= 0) SetFont(n);
        GetFontSize(w, h);
        EXPECT_TRUE(w == fonts[n + 1][0] && h == fonts[n + 1][1]) << "font " << n << ": " << w << " x " << h;
    }
}

TEST_F(ModelPlacement, EachModelCoversWhereTheGamesCoordinatesProjectIt) {
    // Tubes 'height' up: a barrel of radius 27 from the closed end 50 behind the resting striker's
    // centre (bevelled to 24 over the last 3) to a lip of radius 29 at its mouth 40 ahead of it.
    // Pointers (the middle one turned 'turn' degrees toward +x): a flat arrow 30..34 above the
    // tube's axis, its tip 74 ahead along the shot, barbs 15 aside 46 ahead, a shaft 10 wide to
    // 32 behind. Spikes: 31 cones along z -440 from x -300 to 300, 20 high, 7 wide at the table.
    const auto tubes = [](double height) {
        std::vector<Points> parts;
        for (double x : {-160, 0, 160})
            parts.push_back(Cat({Ring({x, height, -650}, 24, 'z'), Ring({x, height, -647}, 27, 'z'),
                                 Ring({x, height, -564}, 29, 'z'), Ring({x, height, -560}, 29, 'z')}));
        return parts;
    };
    const auto pointers = [](double height, double turn) {
        const std::pair<double, double> arrow[] = {{74, 0}, {46, 15}, {46, -15}, {-32, 5}, {-32, -5}};  // ahead, aside
        std::vector<Points> parts;
        for (double x : {-160, 0, 160}) {
            const double a = (x == 0 ? turn : 0) * kPi / 180;
            parts.emplace_back();
            for (double y : {height + 30, height + 34})
                for (const auto& [ahead, side] : arrow)
                    parts.back().push_back({x + std::sin(a) * ahead + std::cos(a) * side, y,
                                            -600 + std::cos(a) * ahead - std::sin(a) * side});
        }
        return parts;
    };
    Points spikes;
    for (double x = -300; x <= 300; x += 20) spikes = Cat({spikes, Ring({x, 0, -440}, 3.5, 'y'), Points{P3{x, 20, -440}}});
    const double rodY = 90;  // the carried ball's top (80) is 10 below the rod's origin
    Points rod;
    for (double y = rodY + 2; y <= rodY + 260; y += 1) rod = Cat({rod, Ring({100, y, 200}, 3, 'y')});
    const struct {
        const char* name;
        Pick pick;
        std::function<void()> draw;
        std::vector<Points> parts;  // each checked in its own neighbourhood
        std::function<void()> under = nullptr;  // what it rests on: drawn with that it keeps every pixel
    } cases[] = {
        {"table", Is(kTable), [] { DrawTable(); }, {BoxPoints({-340, 0, -700}, {340, 0, 900}, 2)}},
        // x -342..342, from the table up to 240, z 880..900.
        {"back wall", Ink,  // bump-mapped: not of one colour
         [] { FarEnd(), DrawBackWall(); }, {BoxPoints({-342, 0, 880}, {342, 240, 900}, 4)}},
        // Rails 0..26 high, inner faces at x +/-318, outer +/-342; a lower rail across the near end.
        {"rim", Is(kRim), [] { DrawRim(); },
         {Cat({BoxPoints({318, 0, -700}, {342, 26, 900}, 2), BoxPoints({-342, 0, -700}, {-318, 26, 900}, 2),
               BoxPoints({-318, 0, -700}, {318, 18, -688}, 2)})}},
        {"ball", Is(kBall), [] { UpdateBall(); }, {Sphere({gGame.ballX, 20, gGame.ballZ}, 20)}, DrawTable},
        {"striker", Is(kStriker), [] { UpdateStriker(); }, {Sphere({gGame.strikerX, 20, -600}, 20)}, DrawTable},
        {"target ball", Is(kTarget), [] { UpdateTarget(0); }, {Sphere({-120, 20, 300}, 20)}, DrawTable},
        {"tubes", Is(kTube), [] { UpdateTubes(-160, 0, 160, gGame.activeBase); }, tubes(20)},
        {"pointers", Is(kPointer), [] { gGame.aimAngle = 20, UpdatePointers(-160, 0, 160, gGame.activeBase); }, pointers(20, 20),
         [] { UpdateTubes(-160, 0, 160, gGame.activeBase); }},
        {"raised spikes", Is(kSpike), [] { gGame.spikeRising = 1, gGame.spikeHeight = 19, DrawTable(), UpdateSpikes(); }, {spikes}},
        // The sucker: a cup over the ball, its rim (radius about 15) on the ball at y 75, its
        // shell 1.5 over the ball, a neck of radius 4 up to 2 above the rod's origin; the rod of
        // radius 3 rising from the neck to 260 above it.
        {"carried ball", Is(kBall), [] { CarriedBall(), glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT), UpdateBall(); },
         {Sphere({100, 60, 200}, 20)}},
        {"sucker", Is(kSucker), CarriedBall,
         {Cat({Sphere({100, 60, 200}, 21.5, 75), Ring({100, 75, 200}, 15.4, 'y'), Ring({100, rodY + 2, 200}, 4, 'y')})}},
        {"rod", Is(kRod), CarriedBall, {rod}},
        // A game starts in the menu with the tubes and pointers hanging 200 up; play brings them down.
        {"tubes in the menu", Is(kTube), [] { ResetGameGlobals(gGame), UpdateTubes(-160, 0, 160, gGame.activeBase); },
         tubes(200)},
        {"pointers in the menu", Is(kPointer), [] { ResetGameGlobals(gGame), UpdatePointers(-160, 0, 160, gGame.activeBase); },
         pointers(200, 0)},
    };
    for (const auto& c : cases) {
        const Frame f = Drawn(c.draw);
        for (const Points& part : c.parts) {
            const Box want = ScreenBox(part);
            ExpectBoxNear(InkBox(f, c.pick, c.parts.size() > 1 ? want.Grown(20) : kScreen), want, c.name);
        }
        EXPECT_TRUE(!c.under || Count(Drawn([&] { c.under(), c.draw(); }), c.pick) == Count(f, c.pick)) << c.name;
        ExpectOutsideShown(c.draw, c.name);
    }
}

TEST_F(ModelPlacement, ModelsMeetWhereTheGameNeedsThem) {
    EXPECT_EQ(Count(Drawn(DrawBackWall), Ink), 0);  // out of the game's sight
    // The resting striker is wholly inside its tube seen from the player's side; level with the
    // barrel, the mouth shows its whole front from up the table and nothing from behind.
    const auto tubesAndStriker = [] { UpdateTubes(-160, 0, 160, gGame.activeBase), UpdateStriker(); };
    EXPECT_EQ(Count(Drawn(tubesAndStriker), Is(kStriker)), 0);
    Frame f = Drawn([&] { SetCamera(0, 20, -300, 0, 20, -600), tubesAndStriker(); });
    ExpectBoxNear(InkBox(f, Is(kStriker)), ScreenBox(Sphere({0, 20, -600}, 20)), "striker through the mouth");
    f = Drawn([&] { SetCamera(0, 20, -900, 0, 20, -600), tubesAndStriker(); });
    EXPECT_GT(Count(f, Is(kTube)), 1000);
    EXPECT_EQ(Count(f, Is(kStriker)), 0);

    // Raised spikes are narrow at the top and wide at the table; sinking, just above 0, they
    // are still drawn but under the table.
    gGame.spikeHeight = 20;
    f = Drawn([] { DrawTable(), UpdateSpikes(); });
    const Box middle = InkBox(f, Is(kSpike), ScreenBox({{-10, 0, -440}, {10, 20, -440}}).Grown(2));
    const int bottom = int(Project({0, 0, -440}).second) - 2;
    const Box topRows = InkBox(f, Is(kSpike), {middle.l, middle.t, middle.r, middle.t + 3});
    const Box bottomRows = InkBox(f, Is(kSpike), {middle.l, bottom - 3, middle.r, bottom});
    EXPECT_LT(topRows.r - topRows.l, bottomRows.r - bottomRows.l);
    gGame.spikeHeight = 0.3;
    EXPECT_GT(Count(Drawn(UpdateSpikes), Is(kSpike)), 100);
    EXPECT_EQ(Count(Drawn([] { DrawTable(), UpdateSpikes(); }), Is(kSpike)), 0);

    // The rod leaves the sucker's neck, the carried ball hangs under the cup, which covers its top.
    f = Drawn(CarriedBall);
    const Frame ball = Drawn(UpdateBall);
    EXPECT_GE(TouchingColumns(f, Is(kRod), Is(kSucker)), 3);
    EXPECT_GE(TouchingColumns(f, Is(kSucker), Is(kBall)), 15);
    EXPECT_LT(Count(f, Is(kBall)), Count(ball, Is(kBall)) - 10);
    EXPECT_EQ(InkBox(f, Is(kBall)).b, InkBox(ball, Is(kBall)).b);
}

// The frames of play (three moments of shots from different bases, with the shadows of tubes,
// pointers, balls and rod) and of the menu are the same pixel for pixel with the shadow pass's
// shortcuts as without: the far caps lie beyond the far plane and the darkening leaves the stencil
// buffer a clear would. As in the game a frame clears colour and depth only; each moment is drawn
// twice with the shortcuts, the second from the stencil the first left. Between the moments the
// game runs without GL. The last frame is saved as play_scene.bmp in the build directory.
TEST_F(ModelPlacement, ShadowPassShortcutsLeaveTheFramesAsTheyWere) {
    LoadAssets();  // the real textures
    static uint8_t keys[kKeySymbolCount];
    SetKeyStateSourceForTesting(keys);
    gGame.frameStep = gGame.previousStep = 5;
    const auto play = [] {
        DrawScene();
        DrawHudScore();
        if (gGame.gameState == 0) DrawMenus();
        DrawHudGame();
    };
    const auto compare = [&](const std::string& what) {
        const GameGlobals globals = gGame;
        const GameArrays arrays = gGameArrays;
        Frame before;
        for (int k = 0; k < 3; ++k) {  // without the shortcuts, then twice with them
            gGame = globals;
            gGameArrays = arrays;
            SeedRandom(7);
            scene3d::SetShadowShortcutsForTesting(k > 0);
            Enter2DMode();
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            play();
            Enter2DMode();
            const Frame f = gltest::BackFrame();
            EXPECT_TRUE(k == 0 ? Count(f, Ink) > 640 * 480 * 3 / 4 : f == before) << what << ", drawing " << k;
            if (k == 0) before = f;
        }
    };
    glClear(GL_STENCIL_BUFFER_BIT);
    for (long frame = 0; frame <= 900; ++frame) {
        std::fill(std::begin(keys), std::end(keys), uint8_t(0));
        if (frame % 400 == 0) keys[ScancodeKeySymbol(30 + int(frame / 400 % 3))] = 1;  // A, S, D
        if (frame % 400 == 10) keys[ScancodeKeySymbol(57)] = 1;                         // space
        if (frame == 60 || frame == 470 || frame == 900) compare("play, frame " + std::to_string(frame));
        Window().ready = 0;
        play();
        Window().ready = 1;
    }
    ShowScreen();
    EXPECT_EQ(SaveScreenshot(DynString("../play_scene.bmp")), 1);
    std::fill(std::begin(keys), std::end(keys), uint8_t(0));
    gGame.gameState = 0;
    compare("menu");
    SetKeyStateSourceForTesting(nullptr);
}

}  // namespace
