// Every example program run as its user runs it, checked for what it must show: its last frame,
// the lines it prints, the files and sound it makes. Input examples get real X events (xdotool)
// in their window. The pictures the runs produce become the gallery of examples/README.md.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "support/bin_dir.h"
#include "support/free_port.h"
#include "support/piped_program.h"
#include "support/scratch_files.h"
#include "support/within.h"

namespace {

// The longest wait for any state of a run (a line, a picture, the end): generous, since the
// machine may be loaded; a healthy run reaches each state long before.
constexpr int kWaitMs = 120000;

std::string Env(const char* name, const char* fallback) { return std::getenv(name) ? std::getenv(name) : fallback; }
std::string ExamplePath(const std::string& name) { return Env("VOXA_EXAMPLES_DIR", "build/examples") + "/" + name; }
using voxatest::BinDir;
using Lines = std::vector<std::string>;
bool Shell(const std::string& command) { return RunCommand(command) == 0; }

// A picture as the runtime's colour numbers, red + green * 256 + blue * 65536, rows from the top.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};
constexpr uint32_t Rgb(int r, int g, int b) { return uint32_t(r + g * 256 + b * 65536); }
int Red(uint32_t c) { return int(c & 255); }
int Green(uint32_t c) { return int((c >> 8) & 255); }
int Blue(uint32_t c) { return int((c >> 16) & 255); }
int Brightness(uint32_t c) { return Red(c) + Green(c) + Blue(c); }
bool Near(uint32_t c, uint32_t wanted, int tolerance) {
    return std::abs(Red(c) - Red(wanted)) <= tolerance && std::abs(Green(c) - Green(wanted)) <= tolerance &&
           std::abs(Blue(c) - Blue(wanted)) <= tolerance;
}
template <class Test> int Count(const Picture& p, int x0, int y0, int x1, int y1, Test test) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += test(p.At(x, y));
    return n;
}
int CountNear(const Picture& p, uint32_t colour, int tolerance, int x0, int y0, int x1, int y1) {
    return Count(p, x0, y0, x1, y1, [&](uint32_t c) { return Near(c, colour, tolerance); });
}

// A picture through ImageMagick: any picture file, or "x:<id>" for a window on the X display;
// empty when unreadable.
Picture ReadPicture(const std::string& source) {
    std::string ppm;
    RunCommand("/usr/bin/convert '" + source + "' -depth 8 ppm:- 2>/dev/null", &ppm);
    Picture p;
    int offset = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d 255%n", &p.width, &p.height, &offset) != 2) return p;
    const size_t count = size_t(p.width) * size_t(p.height), start = size_t(offset) + 1; // one blank after 255
    if (ppm.size() < start + 3 * count) return Picture();
    for (size_t i = start; i < start + 3 * count; i += 3) p.pixels.push_back(Rgb(uint8_t(ppm[i]), uint8_t(ppm[i + 1]), uint8_t(ppm[i + 2])));
    return p;
}

// The picture, scaled to 320 x 240, as examples/images/<name>.png for the gallery. Written beside
// the target and renamed over it, so runs side by side never leave half a file; without dates in
// the file, an unchanged picture gives unchanged bytes.
void AddToGallery(const Picture& picture, const std::string& name) {
    const std::string dir = Env("VOXA_EXAMPLE_GALLERY", "examples/images");
    const std::string part = dir + "/." + name + std::to_string(getpid()), png = dir + "/" + name + ".png";
    FILE* convert = popen(("mkdir -p '" + dir + "' && /usr/bin/convert ppm:- -resize 320x240 -strip " +
                           "-define png:exclude-chunks=date,time 'png:" + part + "' && mv '" + part + "' '" + png + "'").c_str(), "w");
    ASSERT_NE(convert, nullptr);
    std::fprintf(convert, "P6 %d %d 255\n", picture.width, picture.height);
    for (uint32_t c : picture.pixels) std::fprintf(convert, "%c%c%c", Red(c), Green(c), Blue(c));
    EXPECT_EQ(pclose(convert), 0) << name << ": no picture for the gallery";
}

// One run of an example program: its standard input and output are pipes, standard error is the
// test's. The shell variable "_" names the program, as when a user starts it from a shell, so
// the runtime makes the example's directory the working directory.
class Program {
public:
    Program(const std::string& name, Lines args, Lines env = {}) {
        const std::string path = ExamplePath(name);
        args.insert(args.begin(), path);
        env.insert(env.end(), {"_=" + path, "SDL_AUDIODRIVER=dummy"}); // after the caller's, which count
        program_ = std::make_unique<voxatest::PipedProgram>(path, args, env);
    }
    // Waits for the next line starting with prefix (earlier lines are skipped); false on timeout
    // or when the program ended first. The whole line goes to *line.
    bool WaitForLine(const std::string& prefix, std::string* line = nullptr) {
        for (;; ++next_) {
            if (next_ == lines_.size() && !ReadMore()) return false;
            if (lines_[next_].compare(0, prefix.size(), prefix) != 0) continue;
            if (line) *line = lines_[next_];
            ++next_;
            return true;
        }
    }
    const std::vector<std::string>& Lines() const { return lines_; } // every line read so far
    bool Write(const std::string& text) { return program_->Write(text); }
    // Waits for the end, reading the rest of the output: the exit status, -1 when killed.
    int Finish() {
        while (ReadMore()) {
        }
        return program_->Finish(kWaitMs);
    }

private:
    bool ReadMore() { // false when the output ended or nothing came in time
        std::string line;
        if (program_->ReadLine(kWaitMs, &line) <= 0) return false;
        lines_.push_back(line);
        return true;
    }
    std::unique_ptr<voxatest::PipedProgram> program_;
    std::vector<std::string> lines_;
    size_t next_ = 0; // first line not yet matched by WaitForLine
};

// Runs an example for `frames` frames with the examples' screenshot convention (EXAMPLE_FRAMES,
// EXAMPLE_SCREENSHOT), puts its last frame in the gallery and returns it with the lines the
// program printed. The run must end with status 0.
struct Run {
    Picture shot;
    Lines out;
};
Run RunFrames(const std::string& name, int frames, const Lines& args = {}, Lines env = {}) {
    ScratchDir scratch;
    env.push_back("EXAMPLE_FRAMES=" + std::to_string(frames));
    env.push_back("EXAMPLE_SCREENSHOT=" + scratch / "shot.bmp");
    Program run(name, args, env);
    EXPECT_EQ(run.Finish(), 0) << name << " did not end well";
    Picture shot = ReadPicture(scratch / "shot.bmp");
    EXPECT_TRUE(shot.width == 640 && shot.height == 480) << name << ": no screenshot";
    if (shot.width == 640 && shot.height == 480) AddToGallery(shot, name);
    else shot = Picture{640, 480, std::vector<uint32_t>(640 * 480)}; // black: the checks fail without reading past its end
    return {shot, run.Lines()};
}

// The window of a running example on the X display, found by its caption, which takes the
// keyboard (where the user would have clicked); its pixels, and input at window coordinates.
class ExampleWindow {
public:
    explicit ExampleWindow(const std::string& caption) {
        RunCommand("timeout 120 xdotool search --sync --onlyvisible --name '^" + caption + "$' | head -1 | tr -d '\\n'", &id_);
        EXPECT_TRUE(Found() && Shell("xdotool windowfocus " + id_));
    }
    bool Found() const { return !id_.empty(); }
    // Grabs, a moment apart, until the picture satisfies `done`; the last one goes to *last.
    template <class Done> bool WaitFor(Done done, Picture* last) {
        return voxatest::Within([&] { return (*last = ReadPicture("x:" + id_)).width > 0 && done(*last); }, kWaitMs, 20);
    }
    void MoveMouse(int x, int y) { Xdotool("mousemove --window " + id_ + " --sync " + std::to_string(x) + " " + std::to_string(y)); }
    // Holds a key or a mouse button ("button 1") down while f runs; f's result.
    template <class F> auto Holding(const std::string& input, F f) {
        const bool button = input.rfind("button ", 0) == 0;
        Xdotool((button ? "mousedown " : "keydown ") + input.substr(button ? 7 : 0));
        const auto result = f();
        Xdotool((button ? "mouseup " : "keyup ") + input.substr(button ? 7 : 0));
        return result;
    }
    void Click(int button) { Xdotool("click " + std::to_string(button)); } // press and release, as a wheel notch

private:
    static void Xdotool(const std::string& arguments) { EXPECT_TRUE(Shell("xdotool " + arguments)) << arguments; }
    std::string id_;
};

// The lines of an output that start with prefix, the prefix cut off.
Lines After(const Lines& lines, const std::string& prefix) {
    Lines found;
    for (const std::string& l : lines)
        if (l.compare(0, prefix.size(), prefix) == 0) found.push_back(l.substr(prefix.size()));
    return found;
}

// The first and the last column holding a pixel brighter than `brightness` in rows y0..y1-1;
// -1, -1 when there is none.
std::pair<int, int> LitColumns(const Picture& p, int y0, int y1, int brightness) {
    std::pair<int, int> span{-1, -1};
    for (int x = 0; x < p.width; ++x)
        if (Count(p, x, y0, x + 1, y1, [&](uint32_t c) { return Brightness(c) > brightness; }) > 0)
            span = {span.first < 0 ? x : span.first, x};
    return span;
}

// The path as the pathfinding example draws it on its 32 x 24 cells of 20 pixels: `cells`
// cells from the green start (2, 12) through yellow ones to the red goal, each next to the one
// before (a walk over the yellow cells from the start reaches the goal).
bool PathShown(const Picture& p, int goalX, int goalY, int cells) {
    auto colour = [&](int x, int y) { return p.At(x * 20 + 10, y * 20 + 10); };
    auto path = [&](int x, int y) { return x >= 0 && y >= 0 && x < 32 && y < 24 && Near(colour(x, y), Rgb(240, 224, 48), 8); };
    int yellow = 0;
    for (int i = 0; i < 32 * 24; ++i) yellow += path(i % 32, i / 32);
    if (!Near(colour(2, 12), Rgb(48, 192, 48), 8) || !Near(colour(goalX, goalY), Rgb(240, 48, 48), 8) || yellow != cells - 2)
        return false;
    std::vector<std::pair<int, int>> todo = {{2, 12}};
    std::vector<bool> seen(32 * 24);
    while (!todo.empty()) {
        auto [x, y] = todo.back();
        todo.pop_back();
        for (auto [nx, ny] : {std::pair{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}}) {
            if (nx == goalX && ny == goalY) return true;
            if (path(nx, ny) && !seen[size_t(ny * 32 + nx)]) seen[size_t(ny * 32 + nx)] = true, todo.push_back({nx, ny});
        }
    }
    return false;
}

// N of a line "path to X, Y: N cells".
int Cells(const std::string& line) { return std::stoi(line.substr(line.find(": ") + 2)); }

// A character in cell `cell` of a line of the built-in font (7 x 8 cells) at (x, y): white
// pixels in the cell's rows above the one where the line editor's "_" cursor blinks.
bool CharacterShown(const Picture& p, int x, int y, int cell) {
    return CountNear(p, Rgb(255, 255, 255), 40, x + 7 * cell, y, x + 7 * cell + 7, y + 6) > 0;
}

} // namespace

// The ring's hole: the boxes overlap while no pixels touch, which only a pixel-exact test sees;
// the key colour of the saved bitmaps never reaches the screen.
TEST(Example, sprites) {
    const auto [shot, out] = RunFrames("sprites", 70);
    Lines states;
    EXPECT_EQ(After(out, "ring.bmp: "), Lines{"128 x 128 pixels"});
    for (const std::string& s : After(out, "frame ")) states.push_back(s.substr(s.find(": ") + 2));
    EXPECT_EQ(states, (Lines{"apart", "boxes overlap, pixels apart", "pixels touch", "boxes overlap, pixels apart"}));
    // Frame 70: the ball (blue, 32 x 32 at 320, 224) sits inside the ring (gold, 128 x 128 at 256, 176).
    EXPECT_EQ(CountNear(shot, Rgb(255, 0, 128), 0, 0, 0, 640, 480), 0) << "the colour key shows";
    EXPECT_TRUE(Near(shot.At(272, 240), Rgb(224, 160, 32), 12)) << "the ring's band";
    EXPECT_TRUE(Near(shot.At(336, 244), Rgb(32, 64, 208), 12)) << "the ball";
    for (auto [x, y] : {std::pair{259, 179}, {292, 240}, {380, 292}})
        EXPECT_TRUE(Blue(shot.At(x, y)) > Red(shot.At(x, y)) && Brightness(shot.At(x, y)) < 250) << "the board at " << x << ", " << y;
}

// A host and a client exchange lines through their standard input and output; an empty line
// leaves the chat with status 0.
TEST(Example, net_chat) {
    std::string line;
    for (int attempt = 0; attempt < 5; ++attempt) {
        // Another program may take the free port first; the host then ends at once.
        const std::string port = std::to_string(voxatest::FreePort());
        Program host("net_chat", {"host", port, "Ann"});
        if (!host.WaitForLine("you are player ", &line)) continue;
        EXPECT_EQ(line, "you are player 101; 1 in the game");
        Program client("net_chat", {"join", "127.0.0.1", port, "Bob"});
        ASSERT_TRUE(client.WaitForLine("you are player ", &line));
        EXPECT_NE(line.find("; 2 in the game"), std::string::npos) << line;
        ASSERT_TRUE(host.WaitForLine("> Bob joined"));
        ASSERT_TRUE(client.Write("hello from Bob\n"));
        EXPECT_TRUE(host.WaitForLine("> Bob: hello from Bob"));
        EXPECT_TRUE(client.WaitForLine("> Bob: hello from Bob")) << "a line to all reaches its sender too";
        ASSERT_TRUE(host.Write("hi Bob\n"));
        EXPECT_TRUE(client.WaitForLine("> Ann: hi Bob"));
        ASSERT_TRUE(client.Write("\n"));
        EXPECT_EQ(client.Finish(), 0);
        ASSERT_TRUE(host.Write("\n"));
        EXPECT_EQ(host.Finish(), 0);
        return;
    }
    FAIL() << "the host found no free port";
}

// The fonts' cell sizes as loaded from the game's bitmaps, a missing font replaced by the
// built-in one, every line centred, and the two blending modes on text.
TEST(Example, text) {
    const auto [shot, out] = RunFrames("text", 60, {BinDir()});
    EXPECT_EQ(After(out, "font "), (Lines{"0: cells of 7 x 8 pixels", "1: cells of 32 x 32 pixels", "2: cells of 16 x 16 pixels",
                                          "3: cells of 10 x 16 pixels", "4: cells of 7 x 8 pixels"}));
    // The title, the two file fonts' lines and the built-in font's line, each centred on x 320.
    for (auto [top, bottom] : {std::pair{24, 56}, {90, 106}, {120, 136}, {150, 158}}) {
        auto [left, right] = LitColumns(shot, top, bottom, 400);
        EXPECT_TRUE(right - left > 200 && std::abs(left + right - 640) <= 32) << "rows " << top << ": " << left << ".." << right;
    }
    // Over the orange boxes: translucent text leaves no pixel white, additive text saturates.
    EXPECT_GT(Count(shot, 80, 290, 260, 310, [](uint32_t c) { return !Near(c, Rgb(192, 96, 32), 30); }), 100);
    EXPECT_EQ(Count(shot, 80, 290, 260, 310, [](uint32_t c) { return Red(c) > 220; }), 0);
    EXPECT_GT(Count(shot, 400, 290, 540, 310, [](uint32_t c) { return Red(c) == 255 && Green(c) > 220; }), 100);
}

// Exact colours where the blending arithmetic is known: blue at strength 0.5 over red,
// translucent (half of it, weighted by alpha 0.5) and additive; the Gouraud triangle's corners;
// the viewport's moved origin. The arithmetic over other colours, clipping and the shading
// between corners are the 2D drawing tests' matter.
TEST(Example, primitives) {
    const Picture shot = RunFrames("primitives", 60).shot;
    const struct {
        int x, y;
        uint32_t colour;
        const char* what;
    } probes[] = {{300, 60, Rgb(255, 0, 0), "opaque red"},       {300, 100, Rgb(128, 0, 63), "translucent blue over red"},
                  {500, 100, Rgb(255, 0, 127), "additive blue over red"}, {110, 200, Rgb(255, 192, 64), "the lines' common end"},
                  {465, 305, Rgb(64, 64, 64), "the viewport's rectangle"}};
    for (const auto& p : probes) EXPECT_TRUE(Near(shot.At(p.x, p.y), p.colour, 3)) << p.what << ": " << std::hex << shot.At(p.x, p.y);
    EXPECT_TRUE(Red(shot.At(50, 455)) > 200 && Green(shot.At(190, 455)) > 200 && Blue(shot.At(120, 312)) > 200) << "the triangle's corners";
    EXPECT_GT(CountNear(shot, Rgb(255, 255, 255), 0, 0, 0, 640, 40), 10) << "the star field";
}

// Before the night falls the day picture is the background; after it the faded-in night picture
// is, for good. The frame layer stays on top with its key-coloured window transparent.
TEST(Example, layers) {
    const auto [night, out] = RunFrames("layers", 180);
    EXPECT_EQ(After(out, "frame "), Lines{"120: night.bmp faded in and is the background now"});
    const Picture day = RunFrames("layers", 60).shot; // the gallery shows the day
    for (const Picture* p : {&day, &night})
        EXPECT_TRUE(Near(p->At(5, 5), Rgb(96, 64, 32), 4) && Near(p->At(634, 474), Rgb(96, 64, 32), 4)) << "the frame";
    EXPECT_TRUE(Blue(day.At(320, 40)) > 220 && Red(day.At(320, 40)) < 150) << "a blue day sky";
    EXPECT_TRUE(Near(day.At(470, 130), Rgb(255, 224, 64), 8)) << "the sun";
    EXPECT_TRUE(Near(day.At(120, 265), Rgb(208, 32, 32), 8)) << "the balloon over the day";
    EXPECT_GT(Green(day.At(320, 450)), 120) << "the day's hills";
    EXPECT_TRUE(Blue(night.At(320, 40)) > Red(night.At(320, 40)) && Brightness(night.At(320, 40)) < 200) << "a dark night sky";
    EXPECT_TRUE(Near(night.At(470, 130), Rgb(240, 224, 192), 8)) << "the moon";
}

// The game's models in a fixed scene: each ball where its label says, a stencil shadow at half the
// brightness of the table beside it, and the far end of the table fading into blue fog.
TEST(Example, scene3d) {
    const Picture shot = RunFrames("scene3d", 60, {BinDir()}).shot;
    EXPECT_GT(Count(shot, 460, 240, 510, 290, [](uint32_t c) { return Blue(c) > 150 && Red(c) < 100; }), 100) << "blue ball";
    EXPECT_GT(Count(shot, 0, 300, 70, 370, [](uint32_t c) { return Red(c) > 150 && Green(c) < 80; }), 200) << "red target";
    EXPECT_GT(Count(shot, 260, 170, 300, 210, [](uint32_t c) { return Brightness(c) > 300; }), 100) << "the grey striker";
    EXPECT_GT(Count(shot, 440, 215, 530, 235, [](uint32_t c) { return Brightness(c) > 600; }), 20) << "the ball's label";
    // The blue ball's shadow falls to its right on screen (the light is to the left, x 260).
    const int lit = (Green(shot.At(570, 250)) + Green(shot.At(570, 300))) / 2;
    for (auto [x, y] : {std::pair{540, 278}, {570, 275}, {600, 272}})
        EXPECT_LT(Green(shot.At(x, y)), lit * 0.7) << "no shadow at " << x << ", " << y << " (table beside it: " << lit << ")";
    EXPECT_GT(Green(shot.At(320, 350)), 1.5 * Blue(shot.At(320, 350))) << "the green table near the camera";
    EXPECT_GT(Blue(shot.At(320, 60)), Green(shot.At(320, 60))) << "the table's far end in the blue fog";
}

// The gem built in code and the one loaded from the file it saved: the same distance for a ray
// cast down onto each (the table 0.6 above the middle, the ray starting at 5), and the same size
// on screen, one in each half.
TEST(Example, model_code) {
    const auto [shot, out] = RunFrames("model_code", 60);
    const Lines rays = After(out, "slot ");
    ASSERT_EQ(rays.size(), 2u);
    for (const std::string& r : rays) {
        ASSERT_NE(r.find("meets the gem "), std::string::npos) << r;
        EXPECT_NEAR(std::stod(r.substr(r.find("meets the gem ") + 14)), 4.4, 0.03) << r;
    }
    EXPECT_EQ(rays[0].substr(1), rays[1].substr(1)) << "the loaded gem answers as the built one";
    EXPECT_GT(ReadFile(ExamplePath("gem.ddd")).size(), 100u) << "gem.ddd beside the program";
    const int left = 320 * 340 - CountNear(shot, 0, 8, 0, 20, 320, 360), right = 320 * 340 - CountNear(shot, 0, 8, 320, 20, 640, 360);
    EXPECT_GT(left, 15000);
    EXPECT_NEAR(right, left, left / 5) << "the two gems cover about the same area";
}

// The sound device's output, heard through SDL's disk driver: the tone alone first, whole and at
// the amplitude the program wrote (volume 1 mixes a lone sound unchanged), then the music.
TEST(Example, sound) {
    ScratchDir scratch;
    const auto [shot, out] = RunFrames("sound", 150, {BinDir()},
                                       {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + scratch / "out.raw", "SDL_DISKAUDIODELAY=10"});
    EXPECT_EQ(After(out, "frame "), (Lines{"10: tone", "60: music on"}));
    const std::string raw = ReadFile(scratch / "out.raw"); // 16-bit stereo samples
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    const auto first = std::find_if(samples.begin(), samples.end(), [](int16_t s) { return s != 0; });
    const auto tone = std::find_if(first, samples.end(), [](int16_t s) { return std::abs(s) != 8000; });
    EXPECT_GE(tone - first, 26460) << "0.3 s of the tone in stereo, alone";
    EXPECT_GT(std::count_if(tone, samples.end(), [](int16_t s) { return s % 8000 != 0; }), 44100)
        << "half a second of music after the tone";
    EXPECT_TRUE(Near(shot.At(400, 338), Rgb(64, 192, 96), 0)) << "the music's bars";
}

// A pack made with voxapack from the game's files and a text of the test's: every name the program
// asks for (in any letter case) comes out of the pack, the missing one does not, and the frame
// shows the packed background, the greeting and an arrow beside each entry found.
TEST(Example, pack) {
    ScratchDir scratch;
    WriteFile(scratch / "greeting.txt", "Hello from inside the pack\r\n");
    ASSERT_TRUE(Shell(BinDir() + "/voxapack create '" + scratch / "demo.pak" + "' -C '" + scratch.path + "' greeting.txt -C '" +
                    BinDir() + "' start.bmp font_mid.bmp pfeil_rechts.bmp click.wav"));
    const auto [shot, out] = RunFrames("pack", 30, {scratch / "demo.pak"});
    for (auto [asked, entry] : {std::pair{"START.BMP", "start.bmp"}, {"font_mid.bmp", "font_mid.bmp"},
                                {"Pfeil_Rechts.BMP", "pfeil_rechts.bmp"}, {"click.wav", "click.wav"}, {"greeting.txt", "greeting.txt"}}) {
        const Lines resolved = After(out, std::string(asked) + ": ");
        ASSERT_EQ(resolved.size(), 1u) << asked;
        // Unpacked under its entry's name; the rest of the temporary name is the files tests' matter.
        EXPECT_TRUE(std::regex_match(resolved[0], std::regex("/tmp/~dud.*" + std::string(entry)))) << asked << ": " << resolved[0];
    }
    EXPECT_EQ(After(out, "level9.txt: "), Lines{"not found"});
    EXPECT_EQ(After(out, "loaded: "), Lines{"sprite 1, sound 1"});
    EXPECT_EQ(After(out, "greeting: "), Lines{"Hello from inside the pack"});
    const Picture background = ReadPicture(BinDir() + "/start.bmp");
    ASSERT_EQ(background.width, 640);
    for (auto [x, y] : {std::pair{320, 20}, {10, 470}, {630, 150}, {100, 170}})
        EXPECT_TRUE(Near(shot.At(x, y), background.At(x, y), 2)) << "start.bmp as the background at " << x << ", " << y;
    auto [left, right] = LitColumns(shot, 100, 116, 400);
    EXPECT_NEAR((left + right) / 2.0, 320, 16) << "the greeting, centred";
    for (int row = 0; row < 6; ++row) // an arrow beside each entry found, none beside the missing file
        EXPECT_EQ(CountNear(shot, Rgb(255, 192, 64), 80, 40, 212 + row * 36, 90, 228 + row * 36) > 20, row < 5) << "row " << row;
}

// Real pointer motion and clicks: the path follows the mouse and ends under it; a click makes a
// floor cell a wall, which no path can enter, and a second click makes it floor again.
TEST(Example, pathfinding) {
    Program run("pathfinding", {});
    ExampleWindow screen("FindPath on a grid");
    ASSERT_TRUE(screen.Found());
    std::string line;
    for (const std::string now : {"wall", "floor"}) {
        screen.MoveMouse(5 * 20 + 10, 5 * 20 + 10);
        ASSERT_TRUE(run.WaitForLine("path to 5, 5: ", &line));
        EXPECT_EQ(Cells(line) > 0, now == "wall") << line;
        EXPECT_TRUE(screen.Holding("button 1", [&] { return run.WaitForLine(now + " at 5, 5"); }));
        ASSERT_TRUE(run.WaitForLine("path to 5, 5: ", &line));
        EXPECT_EQ(Cells(line) > 0, now == "floor") << line;
        // The release comes before the motion, so the frame that sees the mouse in the next cell
        // has seen the button up.
        screen.MoveMouse(6 * 20 + 10, 5 * 20 + 10);
        ASSERT_TRUE(run.WaitForLine("path to 6, 5: "));
    }
    screen.MoveMouse(25 * 20 + 10, 12 * 20 + 10);
    ASSERT_TRUE(run.WaitForLine("path to 25, 12: ", &line));
    Picture shown;
    EXPECT_TRUE(screen.WaitFor([&](const Picture& p) { return PathShown(p, 25, 12, Cells(line)); }, &shown)) << line;
    EXPECT_FALSE(Near(shown.At(5 * 20 + 10, 5 * 20 + 10), Rgb(240, 48, 48), 8)) << "the old goal is no goal any more";
    AddToGallery(shown, "pathfinding");
    EXPECT_EQ(screen.Holding("Escape", [&] { return run.Finish(); }), 0);
}

// Real key and pointer events: a name typed into the line editor (Shift makes a capital), an arrow
// key held to move the box, keys read one press at a time, a click that drops a mark where the
// pointer is, and a wheel notch that resizes the marks.
TEST(Example, input) {
    Program run("input", {BinDir()});
    ExampleWindow screen("Keyboard, mouse and the line editor");
    ASSERT_TRUE(screen.Found());
    ASSERT_TRUE(run.WaitForLine("line editor:"));
    // The editor samples the keys once a frame: each key is held until its character shows, the
    // first inside a hold of Shift.
    Picture shown;
    for (int k = 0; k < 3; ++k) {
        auto typed = [&, k] { return screen.WaitFor([k](const Picture& p) { return CharacterShown(p, 40, 90, k); }, &shown); };
        auto stroke = [&] { return screen.Holding(k == 1 ? "d" : "a", typed); };
        EXPECT_TRUE(k == 0 ? screen.Holding("Shift_L", stroke) : stroke()) << k;
    }
    std::string line;
    EXPECT_TRUE(screen.Holding("Return", [&] { return run.WaitForLine("name: ", &line); }));
    EXPECT_EQ(line, "name: Ada");
    // The box moves while the arrow is held, and stops at the screen's edge.
    EXPECT_TRUE(screen.Holding("Right", [&] { return run.WaitForLine("box at 620, 200"); }));
    EXPECT_EQ(After(run.Lines(), "box at ").size(), 80u) << "4 pixels a frame from 300 to 620";
    for (const std::string key : {"h", "i"}) EXPECT_TRUE(screen.Holding(key, [&] { return run.WaitForLine("key: " + key); }));
    screen.MoveMouse(400, 300);
    EXPECT_TRUE(screen.Holding("button 1", [&] { return run.WaitForLine("mark at ", &line); }));
    EXPECT_EQ(line, "mark at 400, 300");
    screen.Click(4); // a wheel notch: the press and the release at once
    EXPECT_TRUE(run.WaitForLine("wheel: ", &line));
    EXPECT_EQ(line, "wheel: +1, marks of 15 pixels");
    // The frame after all that: the greeting in font_mid.bmp, the box, the mark, the typed keys.
    EXPECT_TRUE(screen.WaitFor(
        [&](const Picture& p) {
            auto [left, right] = LitColumns(p, 40, 56, 400);
            return left >= 40 && left < 50 && right > 180 && right < 230 && Near(p.At(620, 200), Rgb(240, 160, 32), 8) &&
                   Near(p.At(405, 305), Rgb(240, 64, 64), 8) && !Near(p.At(409, 309), Rgb(240, 64, 64), 8) &&
                   CharacterShown(p, 40, 440, 7) && CharacterShown(p, 40, 440, 8);
        },
        &shown));
    AddToGallery(shown, "input");
    EXPECT_EQ(screen.Holding("Escape", [&] { return run.Finish(); }), 0);
}

// A textured cube written as OBJ + MTL + PNG, converted by voxamodel as a user would, then drawn:
// the texture's red fills the middle of the screen.
TEST(Example, imported_model) {
    ScratchDir scratch;
    ASSERT_TRUE(Shell("/usr/bin/convert -size 16x16 xc:'#e02020' " + scratch / "red.png"));
    WriteFile(scratch / "cube.mtl", "newmtl paint\nmap_Kd red.png\n");
    WriteFile(scratch / "cube.obj",
              "mtllib cube.mtl\nv -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
              "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nusemtl paint\nf 1/1 4/2 3/3 2/4\nf 5/1 6/2 7/3 8/4\nf 1/1 2/2 6/3 5/4\n"
              "f 2/1 3/2 7/3 6/4\nf 3/1 4/2 8/3 7/4\nf 4/1 1/2 5/3 8/4\n");
    ASSERT_TRUE(Shell(BinDir() + "/voxamodel import " + scratch / "cube.obj" + " " + scratch / "cube.ddd" + " --center > /dev/null"));
    const Picture shot = RunFrames("imported_model", 10, {scratch / "cube.ddd"}).shot;
    const uint32_t centre = shot.At(320, 240);
    EXPECT_TRUE(Red(centre) > 100 && Green(centre) < 60 && Blue(centre) < 60) << "the texture's red at the centre";
    EXPECT_EQ(CountNear(shot, 0, 8, 300, 220, 340, 260), 0) << "the cube covers the middle";
}
