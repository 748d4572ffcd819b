// The generated files beside the game binary, read back with independent tools (ImageMagick
// for bitmaps, sox for sounds, LAME's decoder for the music), the models with the runtime's own
// loader and the sounds and music with its players; the generator's determinism; the models'
// faces and the distances the game relies on finer than pixels show them.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>

#include "assetgen.h"
#include "gfx3d/objectstore.h"
#include "image.h"
#include "mesh.h"
#include "models.h"
#include "support/bin_dir.h"
#include "support/disk_audio.h"
#include "support/errorlog_lines.h"
#include "textures.h"
#include "support/scratch_files.h"
#include "voxa/gfx3d.h"
#include "voxa/testing.h"

namespace {

using voxatest::BinDir;

std::string AssetPath(const std::string& name) { return BinDir() + "/" + name; }
std::string Shell(const std::string& command) {  // its standard output
    std::string out;
    RunCommand(command, &out);
    return out;
}
double Number(const std::string& text, const std::string& after = "") {
    const size_t at = text.find(after);
    return at == std::string::npos ? -1 : std::atof(text.c_str() + at + after.size());
}

// A bitmap decoded by ImageMagick into rows of RGB pixels, top row first.
struct Decoded {
    int width = 0, height = 0;
    std::string rgb;
    assetgen::Rgb At(int x, int y) const {
        const size_t i = (size_t(y) * width + x) * 3;
        return {uint8_t(rgb[i]), uint8_t(rgb[i + 1]), uint8_t(rgb[i + 2])};
    }
    bool Key(int x, int y) const { return At(x, y) == assetgen::kColourKey; }
    // A colour between the key and something else: what a soft edge drawn over the key leaves.
    bool NearKey(int x, int y) const {
        const assetgen::Rgb c = At(x, y);
        return !Key(x, y) && c.r > 150 && c.g < 70 && c.b > 60;
    }
};
Decoded DecodeBmp(const std::string& name) {
    Decoded d;
    std::istringstream(Shell("/usr/bin/identify -format '%w %h' '" + AssetPath(name) + "' 2>/dev/null")) >> d.width >> d.height;
    d.rgb = Shell("/usr/bin/convert '" + AssetPath(name) + "' -depth 8 rgb:- 2>/dev/null");
    EXPECT_EQ(d.rgb.size(), size_t(d.width) * d.height * 3) << name;
    return d;
}

TEST(GeneratedFiles, TheBuildListsEachOnceAndEachIsBesideTheGameInItsFormat) {
    const auto& names = assetgen::AssetNames();
    const std::set<std::string> unique(names.begin(), names.end());
    EXPECT_EQ(unique.size(), names.size());
    const char* built = std::getenv("VOXA_ASSET_FILES");  // the build's custom command's outputs
    ASSERT_NE(built, nullptr);
    std::set<std::string> listed;
    std::stringstream list(built);
    for (std::string name; std::getline(list, name, ',');) listed.insert(name);
    EXPECT_EQ(listed, unique);
    for (const std::string& name : names) {
        const std::string path = AssetPath(name);  // there: the generator's second run matches it
        if (name.find(".bmp") != std::string::npos) {  // 24-bit: no alpha
            const std::string info = Shell("/usr/bin/identify -format '%m %z %[channels]' '" + path + "' 2>&1");
            EXPECT_TRUE(info == "BMP 8 srgb" || info == "BMP3 8 srgb") << name << ": " << info;
        } else if (name.find(".wav") != std::string::npos) {  // short, audible, with headroom for the mixer
            EXPECT_EQ(Shell("for f in t r c b; do soxi -$f '" + path + "'; done | tr '\\n' ' '"), "wav 44100 1 16 ") << name;
            const double seconds = Number(Shell("soxi -D '" + path + "'"));
            const double peak = Number(Shell("sox '" + path + "' -n stat 2>&1"), "Maximum amplitude:");
            EXPECT_TRUE(seconds > 0.01 && seconds < 1.0) << name << ": " << seconds;
            EXPECT_TRUE(peak > 0.1 && peak < 0.95) << name << ": " << peak;
        }
    }
    // The music: stereo, at least twenty seconds (how loud it plays: the next test).
    const ScratchDir scratch;
    const std::string wav = scratch / "music.wav";
    ASSERT_EQ(RunCommand("lame --quiet --decode '" + AssetPath("voxa1.mp3") + "' '" + wav + "' 2>&1"), 0);
    EXPECT_GE(Number(Shell("soxi -D '" + wav + "'")), 20.0);
    EXPECT_EQ(Shell("soxi -c '" + wav + "'"), "2\n");
}

// The sounds and the music through the runtime's own commands, heard through SDL's disk audio
// driver: each effect starts and ends, the music plays by its plain name from the game's
// directory and still plays after three quarters of a second, and both are loud.
using AssetSound = voxatest::DiskAudioTest;
TEST_F(AssetSound, EveryEffectAndTheMusicPlayAndAreHeard) {
    Open();
    const char* names[] = {"click.wav", "cork_pop.wav", "clong_3.wav", "hit1.wav", "beep.wav",
                           "zeiger.wav", "punch.wav", "reset.wav", "spiess.wav"};
    for (int slot = 0; slot < 9; ++slot)
        ASSERT_EQ(LoadSound(DynString(AssetPath(names[slot]).c_str()), slot, 1), 1) << names[slot];
    for (int slot = 0; slot < 9; ++slot) {
        voxatest::WithMixerHeld([&] {
            PlaySound(slot, 0, 1);
            EXPECT_EQ(Mix_Playing(-1), 1) << names[slot] << " did not start: its slot is empty";
        });
        ASSERT_TRUE(voxatest::Within([] { return Mix_Playing(-1) == 0; })) << names[slot] << " does not end";
    }
    ASSERT_TRUE(WaitForSilence());
    const size_t effects = voxatest::ReadFileBytes(output_).size() / 2;  // the samples before the music
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(BinDir().c_str()), 0);
    PlayMusic(DynString("voxa1.mp3"));
    ASSERT_TRUE(WaitForOutput(8));
    EXPECT_EQ(Mix_PlayingMusic(), 1);  // looping, still on
    StopMusic();
    ASSERT_EQ(chdir(cwd), 0);
    const std::vector<int16_t> samples = Output();
    int peak[2] = {0, 0};  // the effects', the music's
    for (size_t i = 0; i < samples.size(); ++i) peak[i >= effects] = std::max(peak[i >= effects], std::abs(int{samples[i]}));
    EXPECT_TRUE(peak[0] > 3000 && peak[1] > 3000) << peak[0] << ", " << peak[1];
    EXPECT_EQ(Log(), "");  // no failure, "PLAYMUSIC:" or other
}

// Font grids: 16 columns by 8 rows; codes 33..126 carry glyphs, the rest are black.
TEST(GeneratedFiles, FontGlyphsSitInTheirCellsOnOneBaseline) {
    for (const char* name : {"font.bmp", "font_mid.bmp", "font_small.bmp"}) {
        SCOPED_TRACE(name);
        const Decoded font = DecodeBmp(name);
        const int cw = font.width / 16, ch = font.height / 8;
        int lowest[128];  // the lowest row with ink in each code's cell
        for (int code = 0; code < 128; ++code) {
            lowest[code] = -1;
            for (int y = 0; y < ch; ++y)
                for (int x = 0; x < cw; ++x)
                    if (!(font.At((code % 16) * cw + x, (code / 16) * ch + y) == assetgen::Rgb{0, 0, 0})) lowest[code] = y;
            EXPECT_EQ(lowest[code] >= 0, code > 32 && code < 127) << code;
        }
        for (int code = 'A'; code <= 'Z'; ++code)
            EXPECT_TRUE(code == 'J' || code == 'Q' || std::abs(lowest[code] - lowest['H']) <= 1) << char(code);
        EXPECT_GT(lowest['g'], lowest['a']);  // descenders reach below the baseline
    }
}

TEST(GeneratedFiles, KeyedBitmapsHaveHardEdgesWhereTheGameNeedsThem) {
    // The start screen's window is the colour key and nothing else is; it holds the menu rows
    // (y 300..396) below the title and above the credit line at y 460.
    const Decoded start = DecodeBmp("start.bmp");
    ASSERT_EQ(start.width * start.height, 640 * 480);
    const assetgen::WindowRect w = assetgen::StartScreenWindow();
    const int corner = 20;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const bool inside = x >= w.left && x < w.right && y >= w.top && y < w.bottom;
            const bool core = inside && ((x >= w.left + corner && x < w.right - corner) ||
                                         (y >= w.top + corner && y < w.bottom - corner));
            ASSERT_TRUE(start.Key(x, y) == core || (inside && !core)) << x << "," << y;
            ASSERT_FALSE(start.NearKey(x, y)) << "soft key edge at " << x << "," << y;
        }
    EXPECT_TRUE(w.top > 40 + 114 + 16 && w.top < 280 && w.bottom > 396 && w.bottom < 460);
    // Sprites: partly keyed, without soft edges.
    for (const char* name : {"pfeil_rechts.bmp", "pfeil_links.bmp", "maus.bmp"}) {
        const Decoded d = DecodeBmp(name);
        int keyed = 0;
        for (int y = 0; y < d.height; ++y)
            for (int x = 0; x < d.width; ++x) {
                keyed += d.Key(x, y);
                EXPECT_FALSE(d.NearKey(x, y)) << name << " " << x << "," << y;
            }
        EXPECT_TRUE(keyed > d.width * d.height / 4 && keyed < d.width * d.height) << name;
    }
    // The left arrow is the right one mirrored; the right one's head (x 17..30) is taller than
    // its shaft, and its tip points right.
    const Decoded right = DecodeBmp("pfeil_rechts.bmp"), left = DecodeBmp("pfeil_links.bmp");
    int head = 0, shaft = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) ASSERT_TRUE(left.At(x, y) == right.At(31 - x, y)) << x << "," << y;
        head += !right.Key(20, y), shaft += !right.Key(8, y);
    }
    EXPECT_GT(head, shaft + 4);
    EXPECT_TRUE(right.Key(31, 0) && !right.Key(28, 8));
}

TEST(GeneratedFiles, TheThreeBallsLookDifferent) {
    double mean[3][3] = {};
    const char* names[] = {"sphere.bmp", "sphere_1.bmp", "sphere_2.bmp"};
    for (int i = 0; i < 3; ++i) {
        const Decoded d = DecodeBmp(names[i]);
        for (size_t p = 0; p < d.rgb.size(); ++p) mean[i][p % 3] += uint8_t(d.rgb[p]) * 3.0 / d.rgb.size();
    }
    for (int i = 0; i < 3; ++i) {
        double apart = 0;
        for (int c = 0; c < 3; ++c) apart = std::max(apart, std::abs(mean[i][c] - mean[(i + 1) % 3][c]));
        EXPECT_GT(apart, 40) << names[i] << " and " << names[(i + 1) % 3];
    }
}

TEST(GeneratedFiles, ASecondRunWritesTheBuildsBytesAndBadRunsWriteNothing) {
    const std::string gen = "'" + AssetPath("assetgen") + "' ";
    const ScratchDir again, bad;  // the build's run was the first
    ASSERT_EQ(RunCommand(gen + again.Path() + " 2>&1"), 0);
    for (const std::string& name : assetgen::AssetNames()) {
        const std::string a = ReadFile(again / name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_TRUE(a == ReadFile(AssetPath(name))) << name << " differs from the build's copy";
    }
    // An unknown name, a missing directory, no arguments: refused, nothing half-written left.
    const struct {
        std::string args;
        int status;
        const char* says;
    } cases[] = {{bad.Path() + " nosuch.bmp", 1, "nosuch.bmp"}, {bad / "missing/deeper test.bmp", 1, ""}, {"", 2, ""}};
    for (const auto& c : cases) {
        std::string says;
        EXPECT_EQ(RunCommand(gen + c.args + " 2>&1", &says), c.status) << c.args;
        EXPECT_NE(says.find(c.says), std::string::npos) << c.args;
    }
    EXPECT_TRUE(std::filesystem::is_empty(bad.Path()));
}

// Whether each closed model faces outward as a whole is the placement test's: drawn with the
// game's culling and without, it leaves the same depth.
using namespace assetgen;
const std::pair<const char*, Mesh (*)()> kModels[] = {
    {"table.ddd", MakeTableModel}, {"sphere.ddd", MakeSphereModel}, {"zeiger.ddd", MakePointerModel},
    {"back.ddd", MakeBackWallModel}, {"rand.ddd", MakeRimModel}, {"tube3.ddd", MakeTubeModel},
    {"peak.ddd", MakeSpikeModel}, {"stab.ddd", MakeRodModel}, {"sauger.ddd", MakeSuckerModel}};

// The least and greatest distance of a model's vertices from a point.
std::pair<double, double> Distances(const Mesh& mesh, Vec3 from) {
    std::pair<double, double> d{1e9, 0};
    for (const Vertex& v : mesh.Vertices()) {
        const double r = std::sqrt(Dot(v.pos - from, v.pos - from));
        d = {std::min(d.first, r), std::max(d.second, r)};
    }
    return d;
}

TEST(GeneratedModels, NormalsMatchTheFacesAndLoadObjectReadsEachAsTheGeneratorsMesh) {
    const std::string log = voxatest::PrivateLogPath("asset_models");
    SetErrorLogPathForTesting(log.c_str());
    int slot = 100;
    for (const auto& [file, make] : kModels) {
        SCOPED_TRACE(file);
        const Mesh mesh = make();
        const auto& want = mesh.Vertices();
        for (size_t i = 0; i < want.size(); i += 3) {  // the vertex normals on the side the triangle faces
            const Vec3 face = Cross(want[i + 1].pos - want[i].pos, want[i + 2].pos - want[i].pos);
            for (int k = 0; k < 3; ++k) ASSERT_GT(Dot(face, want[i + k].normal), 0) << "triangle " << i / 3;
        }
        DynString path(AssetPath(file).c_str());
        ASSERT_TRUE(LoadObject(path, slot));
        const MeshObjectX& obj = *gRenderer3D.Slot(slot++);
        ASSERT_EQ(obj.frames.Count(), 1);
        EXPECT_EQ(obj.normalsValid, 1u);
        const ModelFrame& frame = obj.frames[0];
        ASSERT_EQ(frame.triangles.Count(), int32_t(want.size()));
        for (size_t i = 0; i < want.size(); ++i) {
            const VertexRecord& got = frame.triangles[int32_t(i)];
            const double p[3] = {want[i].pos.x, want[i].pos.y, want[i].pos.z};
            const double n[3] = {want[i].normal.x, want[i].normal.y, want[i].normal.z};
            double dot = 0;
            for (int c = 0; c < 3; ++c) {
                ASSERT_NEAR(got.position[c], p[c], frame.scale[c] * 1.01) << "vertex " << i;
                dot += got.normal[c] * n[c];
            }
            ASSERT_GT(dot, 0.95) << "vertex " << i;
            ASSERT_NEAR(got.tex[0], want[i].u, 1e-5);
            ASSERT_NEAR(got.tex[1], -want[i].v, 1e-5);  // stored v, drawn as -v
        }
    }
    EXPECT_TRUE(voxatest::ReadLogLines(log).empty());
    std::remove(log.c_str());

    // The table's surface (facing up, nothing above it) covers x -340..340, z -700..900; the
    // ball's radius is 20 and the resting striker clears its tube; the rails' inner faces stand
    // just beyond a ball at the bounce line (x +/-296); the sucker's cup touches the carried
    // ball (30 below the rod's origin).
    double top[5] = {1e9, -1e9, 1e9, -1e9, -1e9};  // x from, to, z from, to; greatest y
    const Mesh table = MakeTableModel(), rim = MakeRimModel();
    for (const Vertex& v : table.Vertices()) {
        if (v.normal.y == 1) top[0] = std::min(top[0], v.pos.x), top[1] = std::max(top[1], v.pos.x),
                          top[2] = std::min(top[2], v.pos.z), top[3] = std::max(top[3], v.pos.z);
        top[4] = std::max(top[4], v.pos.y);
    }
    EXPECT_EQ(std::vector<double>(top, top + 5), (std::vector<double>{-340, 340, -700, 900, 0}));
    const auto ball = Distances(MakeSphereModel(), {0, 0, 0});
    EXPECT_NEAR(ball.first, 20, 1e-9);
    EXPECT_NEAR(ball.second, 20, 1e-9);
    EXPECT_GT(Distances(MakeTubeModel(), {0, 0, 0}).first, 20);
    double innerMost = 1e9;
    for (const Vertex& v : rim.Vertices())
        if (v.pos.z > -688) innerMost = std::min(innerMost, std::fabs(v.pos.x));
    EXPECT_TRUE(innerMost > 296 + 20 && innerMost < 296 + 20 + 5) << innerMost;
    const auto cup = Distances(MakeSuckerModel(), {0, -30, 0});
    EXPECT_TRUE(cup.first >= 20 - 1e-6 && cup.first < 20.5) << cup.first;
}

}  // namespace
