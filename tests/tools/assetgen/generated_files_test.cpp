// The generated files beside the game binary, read back with independent tools (ImageMagick
// for bitmaps, sox for sounds, LAME's decoder for the music), and the generator's determinism.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "assetgen.h"
#include "image.h"
#include "textures.h"
#include "support/bin_dir.h"

namespace {

using voxatest::BinDir;

std::string AssetPath(const std::string& name) { return BinDir() + "/" + name; }

// Runs a shell command and returns its standard output; the exit status goes to *status.
std::string Shell(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    int rc = pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A bitmap decoded by ImageMagick into rows of RGB pixels, top row first.
struct Decoded {
    int width = 0, height = 0;
    std::string rgb;
    assetgen::Rgb At(int x, int y) const {
        size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return {static_cast<uint8_t>(rgb[i]), static_cast<uint8_t>(rgb[i + 1]), static_cast<uint8_t>(rgb[i + 2])};
    }
};

std::pair<int, int> SizeOf(const std::string& name) {
    std::istringstream size(Shell("/usr/bin/identify -format '%w %h' '" + AssetPath(name) + "' 2>/dev/null"));
    std::pair<int, int> wh{0, 0};
    size >> wh.first >> wh.second;
    return wh;
}

Decoded DecodeBmp(const std::string& name) {
    Decoded d;
    std::tie(d.width, d.height) = SizeOf(name);
    d.rgb = Shell("/usr/bin/convert '" + AssetPath(name) + "' -depth 8 rgb:- 2>/dev/null");
    return d;
}

bool IsKey(assetgen::Rgb c) { return c == assetgen::kColourKey; }
// A colour between the key and something else: what a soft edge drawn over the key leaves.
bool NearKey(assetgen::Rgb c) { return !IsKey(c) && c.r > 150 && c.g < 70 && c.b > 60; }

// The loading table of the game, file by file, and the music.
const std::set<std::string> kGameFiles = {
    "font.bmp",     "font_small.bmp", "font_mid.bmp",  "highlight.bmp", "click.wav",      "cork_pop.wav",
    "clong_3.wav",  "hit1.wav",       "beep.wav",      "zeiger.wav",    "punch.wav",      "reset.wav",
    "spiess.wav",   "table.ddd",      "table.bmp",     "sphere.ddd",    "sphere.bmp",     "sphere_1.bmp",
    "sphere_2.bmp", "zeiger.ddd",     "zeiger.bmp",    "back.ddd",      "back.bmp",       "back_bump.bmp",
    "rand.ddd",     "rand.bmp",       "tube3.ddd",     "tube.bmp",      "peak.ddd",       "peak.bmp",
    "stab.ddd",     "stab.bmp",       "sauger.ddd",    "start.bmp",     "day.bmp",        "maus.bmp",
    "test.bmp",     "pfeil_rechts.bmp", "pfeil_links.bmp", "voxa1.mp3"};

TEST(AssetCatalogue, HoldsEveryFileTheGameLoadsOnceAndTheMusic) {
    const auto& names = assetgen::AssetNames();
    std::set<std::string> unique(names.begin(), names.end());
    EXPECT_EQ(unique.size(), names.size());
    EXPECT_EQ(unique, kGameFiles);
    // The build's list (its custom command's outputs) names the same files.
    const char* built = std::getenv("VOXA_ASSET_FILES");
    ASSERT_NE(built, nullptr);
    std::set<std::string> listed;
    std::stringstream list(built);
    for (std::string name; std::getline(list, name, ',');) listed.insert(name);
    EXPECT_EQ(listed, kGameFiles);
    for (const std::string& name : names) {
        std::ifstream in(AssetPath(name), std::ios::binary);
        EXPECT_TRUE(in.good()) << name << " is not beside the game in " << BinDir();
    }
}

TEST(Bitmaps, ImageMagickReadsEachAs24BitBmpOfItsSize) {
    const std::map<std::string, std::pair<int, int>> sizes = {
        {"font.bmp", {512, 256}},      {"font_small.bmp", {160, 128}}, {"font_mid.bmp", {256, 128}},
        {"highlight.bmp", {32, 16}},   {"table.bmp", {256, 512}},      {"sphere.bmp", {128, 64}},
        {"sphere_1.bmp", {128, 64}},   {"sphere_2.bmp", {128, 64}},    {"zeiger.bmp", {64, 64}},
        {"back.bmp", {256, 128}},      {"back_bump.bmp", {256, 128}},  {"rand.bmp", {128, 32}},
        {"tube.bmp", {64, 64}},        {"peak.bmp", {32, 32}},         {"stab.bmp", {32, 64}},
        {"start.bmp", {640, 480}},     {"day.bmp", {16, 16}},          {"maus.bmp", {16, 16}},
        {"test.bmp", {8, 8}},          {"pfeil_rechts.bmp", {32, 16}}, {"pfeil_links.bmp", {32, 16}}};
    size_t bitmaps = 0;
    for (const std::string& name : kGameFiles)
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0) ++bitmaps;
    EXPECT_EQ(sizes.size(), bitmaps);
    for (const auto& [name, size] : sizes) {
        std::string info = Shell("/usr/bin/identify -format '%m %w %h %z %[channels]' '" + AssetPath(name) + "' 2>&1");
        std::istringstream in(info);
        std::string format, channels;
        int w = 0, h = 0, depth = 0;
        in >> format >> w >> h >> depth >> channels;
        EXPECT_TRUE(format == "BMP" || format == "BMP3") << name << ": " << info;
        EXPECT_EQ(w, size.first) << name;
        EXPECT_EQ(h, size.second) << name;
        EXPECT_EQ(depth, 8) << name;
        EXPECT_EQ(channels.substr(0, 4), "srgb") << name << ": " << info;  // no alpha: 24-bit
    }
}

// Font grids: 16 columns by 8 rows; codes 32..126 carry glyphs, the rest are pure black.
TEST(Fonts, GlyphsSitInTheirCellsOnOneBaseline) {
    for (const char* name : {"font.bmp", "font_mid.bmp", "font_small.bmp"}) {
        Decoded font = DecodeBmp(name);
        ASSERT_GT(font.width, 0) << name;
        const int cw = font.width / 16, ch = font.height / 8;
        std::map<int, int> lowestInk;  // code -> lowest non-black row within its cell
        for (int code = 0; code < 128; ++code) {
            int lowest = -1;
            for (int y = 0; y < ch; ++y)
                for (int x = 0; x < cw; ++x)
                    if (!(font.At((code % 16) * cw + x, (code / 16) * ch + y) == assetgen::Rgb{0, 0, 0}))
                        lowest = y;
            if (code < 33 || code == 127) {
                EXPECT_EQ(lowest, -1) << name << " code " << code;
            } else {
                EXPECT_GE(lowest, 0) << name << " code " << code;
            }
            lowestInk[code] = lowest;
        }
        for (int code = 'A'; code <= 'Z'; ++code) {
            if (code == 'J' || code == 'Q') continue;  // these may reach below the baseline
            EXPECT_NEAR(lowestInk[code], lowestInk['H'], 1) << name << " " << static_cast<char>(code);
        }
        EXPECT_GT(lowestInk['g'], lowestInk['a']) << name << ": descenders reach below the baseline";
    }
}

TEST(Fonts, CellSizesFitTheGameLayouts) {
    const int large = SizeOf("font.bmp").first / 16, mid = SizeOf("font_mid.bmp").first / 16;
    const int small = SizeOf("font_small.bmp").first / 16;
    EXPECT_EQ(large, 32);
    EXPECT_EQ(mid, 16);
    EXPECT_LE(200 + 9 * large, 640);  // "Game Over" at x 200
    EXPECT_LE(10 + static_cast<int>(std::string("right arrow :  move pointer right").size()) * mid, 640);
    EXPECT_LE(500 + 5 * mid, 600);    // "Game:" at 500, the ball count at 600
    EXPECT_LE(539 + 2 * mid, 577);    // a two-digit score at 539, ":" at 577
    EXPECT_LE(600 + 2 * mid, 640);    // "30" at 600
    EXPECT_LT(small, mid);
    EXPECT_GE((640 - 120) / small, 40);  // a credit line of 40 characters from x 120
}

TEST(StartScreen, WindowIsTheColourKeyAndNothingElseIs) {
    Decoded start = DecodeBmp("start.bmp");
    ASSERT_EQ(start.width, 640);
    ASSERT_EQ(start.height, 480);
    const assetgen::WindowRect w = assetgen::StartScreenWindow();
    const int corner = 20;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            assetgen::Rgb c = start.At(x, y);
            bool inside = x >= w.left && x < w.right && y >= w.top && y < w.bottom;
            bool core = x >= w.left + corner && x < w.right - corner && y >= w.top && y < w.bottom;
            bool coreV = x >= w.left && x < w.right && y >= w.top + corner && y < w.bottom - corner;
            if (core || coreV) {
                ASSERT_TRUE(IsKey(c)) << x << "," << y;
            }
            if (!inside) {
                ASSERT_FALSE(IsKey(c)) << x << "," << y;
            }
            ASSERT_FALSE(NearKey(c)) << "soft key edge at " << x << "," << y;
        }
    // The menu rows (x 235.., y 300..396) lie inside the window, the title rows above it.
    EXPECT_LT(w.top, 280);
    EXPECT_GT(w.bottom, 396);
    EXPECT_GT(w.top, 40 + 114 + 16);
    EXPECT_LT(w.bottom, 460);  // the credit line at y 460 stands on the backdrop
}

TEST(Sprites, KeyedSpritesHaveHardEdgesAndTheArrowsPointApart) {
    for (const char* name : {"pfeil_rechts.bmp", "pfeil_links.bmp", "maus.bmp"}) {
        Decoded d = DecodeBmp(name);
        int keyed = 0;
        for (int y = 0; y < d.height; ++y)
            for (int x = 0; x < d.width; ++x) {
                keyed += IsKey(d.At(x, y));
                EXPECT_FALSE(NearKey(d.At(x, y))) << name << " " << x << "," << y;
            }
        EXPECT_GT(keyed, d.width * d.height / 4) << name;
        EXPECT_LT(keyed, d.width * d.height) << name;
    }
    // The left arrow is the right one mirrored; the head (x 17..30) is taller than the shaft.
    Decoded right = DecodeBmp("pfeil_rechts.bmp"), left = DecodeBmp("pfeil_links.bmp");
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) ASSERT_TRUE(left.At(x, y) == right.At(31 - x, y)) << x << "," << y;
    auto opaqueRows = [&](int x) {
        int n = 0;
        for (int y = 0; y < right.height; ++y) n += !IsKey(right.At(x, y));
        return n;
    };
    EXPECT_GT(opaqueRows(20), opaqueRows(8) + 4);
    EXPECT_TRUE(IsKey(right.At(31, 0)));
    EXPECT_FALSE(IsKey(right.At(28, 8)));  // the tip points right
}

TEST(Textures, ObjectTexturesArePowersOfTwoAndSmallOnesSmall) {
    auto pow2 = [](int v) { return v >= 2 && (v & (v - 1)) == 0; };
    for (const char* name : {"table.bmp", "sphere.bmp", "sphere_1.bmp", "sphere_2.bmp", "zeiger.bmp", "back.bmp",
                             "back_bump.bmp", "rand.bmp", "tube.bmp", "peak.bmp", "stab.bmp"}) {
        auto [w, h] = SizeOf(name);
        EXPECT_TRUE(pow2(w) && pow2(h)) << name;
    }
    for (const char* name : {"highlight.bmp", "day.bmp", "maus.bmp", "test.bmp"}) {
        auto [w, h] = SizeOf(name);
        EXPECT_GT(w * h, 0) << name;
        EXPECT_LE(w * h, 32 * 32) << name;
    }
}

TEST(Textures, TheThreeBallsLookDifferent) {
    auto mean = [](const Decoded& d) {
        double r = 0, g = 0, b = 0;
        for (int y = 0; y < d.height; ++y)
            for (int x = 0; x < d.width; ++x) {
                r += d.At(x, y).r;
                g += d.At(x, y).g;
                b += d.At(x, y).b;
            }
        double n = static_cast<double>(d.width) * d.height;
        return std::vector<double>{r / n, g / n, b / n};
    };
    auto ball = mean(DecodeBmp("sphere.bmp")), striker = mean(DecodeBmp("sphere_1.bmp"));
    auto target = mean(DecodeBmp("sphere_2.bmp"));
    auto apart = [](const std::vector<double>& a, const std::vector<double>& b) {
        double most = 0;
        for (int i = 0; i < 3; ++i) most = std::max(most, std::fabs(a[i] - b[i]));
        return most;
    };
    EXPECT_GT(apart(ball, striker), 40);
    EXPECT_GT(apart(ball, target), 40);
    EXPECT_GT(apart(striker, target), 40);
}

TEST(Sounds, SoxReadsNineShortAudibleMonoWavs) {
    for (const char* name : {"click.wav", "cork_pop.wav", "clong_3.wav", "hit1.wav", "beep.wav", "zeiger.wav",
                             "punch.wav", "reset.wav", "spiess.wav"}) {
        const std::string path = AssetPath(name);
        EXPECT_EQ(Shell("soxi -t '" + path + "'"), "wav\n") << name;
        EXPECT_EQ(Shell("soxi -r '" + path + "'"), "44100\n") << name;
        EXPECT_EQ(Shell("soxi -c '" + path + "'"), "1\n") << name;
        EXPECT_EQ(Shell("soxi -b '" + path + "'"), "16\n") << name;
        double seconds = std::atof(Shell("soxi -D '" + path + "'").c_str());
        EXPECT_GT(seconds, 0.01) << name;
        EXPECT_LT(seconds, 1.0) << name;
        std::string stat = Shell("sox '" + path + "' -n stat 2>&1");
        size_t at = stat.find("Maximum amplitude:");
        ASSERT_NE(at, std::string::npos) << stat;
        double peak = std::atof(stat.c_str() + at + 18);
        EXPECT_GT(peak, 0.1) << name;
        EXPECT_LT(peak, 0.95) << name;  // headroom: the mixer adds many of them up
    }
}

TEST(Music, LameDecodesStereoOfAtLeastTwentySeconds) {
    char dir[] = "/tmp/voxa-music-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string wav = std::string(dir) + "/music.wav";
    int status = -1;
    Shell("lame --quiet --decode '" + AssetPath("voxa1.mp3") + "' '" + wav + "' 2>&1", &status);
    ASSERT_EQ(status, 0);
    EXPECT_GE(std::atof(Shell("soxi -D '" + wav + "'").c_str()), 20.0);
    EXPECT_EQ(Shell("soxi -c '" + wav + "'"), "2\n");
    std::string stat = Shell("sox '" + wav + "' -n stat 2>&1");
    size_t at = stat.find("RMS     amplitude:");
    ASSERT_NE(at, std::string::npos) << stat;
    EXPECT_GT(std::atof(stat.c_str() + at + 18), 0.05);  // music, not silence
    std::remove(wav.c_str());
    rmdir(dir);
}

TEST(Generation, TwoRunsWriteIdenticalBytesAndMatchTheBuild) {
    char first[] = "/tmp/voxa-assets-a-XXXXXX", second[] = "/tmp/voxa-assets-b-XXXXXX";
    ASSERT_NE(mkdtemp(first), nullptr);
    ASSERT_NE(mkdtemp(second), nullptr);
    int status = -1;
    Shell("'" + AssetPath("assetgen") + "' " + first + " 2>&1", &status);
    ASSERT_EQ(status, 0);
    Shell("'" + AssetPath("assetgen") + "' " + second + " 2>&1", &status);
    ASSERT_EQ(status, 0);
    for (const std::string& name : assetgen::AssetNames()) {
        std::string a = ReadFile(std::string(first) + "/" + name), b = ReadFile(std::string(second) + "/" + name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_TRUE(a == b) << name << " differs between two runs";
        EXPECT_TRUE(a == ReadFile(AssetPath(name))) << name << " differs from the build's copy";
    }
    Shell(std::string("rm -rf ") + first + " " + second);
}

TEST(Generation, RefusesUnknownNamesAndMissingDirectories) {
    char dir[] = "/tmp/voxa-assets-c-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    int status = 0;
    std::string err = Shell("'" + AssetPath("assetgen") + "' " + dir + " nosuch.bmp 2>&1", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find("nosuch.bmp"), std::string::npos) << err;
    Shell("'" + AssetPath("assetgen") + "' " + dir + "/missing/deeper test.bmp 2>&1", &status);
    EXPECT_EQ(status, 1);
    Shell("'" + AssetPath("assetgen") + "' 2>&1", &status);
    EXPECT_EQ(status, 2);
    // Nothing half-written is left behind.
    EXPECT_EQ(Shell(std::string("ls -A ") + dir), "");
    rmdir(dir);
}

}  // namespace
