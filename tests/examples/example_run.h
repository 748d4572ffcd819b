// Running the example programs as their users do: each in a process of its own, its output read
// line by line, its last frame read from the screenshot it saves or from its window on the X
// display, and real input sent to that window with xdotool. The pictures a run produces also
// become the gallery of examples/README.md.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace example {

// The longest wait for any state of a run (a line, a picture, the end): generous, since the
// machine may be loaded; a run that is healthy reaches each state long before.
constexpr int kWaitMs = 120000;

// A picture as the runtime's colour numbers, red + green * 256 + blue * 65536, rows from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

inline int Red(uint32_t c) { return int(c & 255); }
inline int Green(uint32_t c) { return int((c >> 8) & 255); }
inline int Blue(uint32_t c) { return int((c >> 16) & 255); }
bool Near(uint32_t colour, uint32_t wanted, int tolerance); // every channel within tolerance
int Brightness(uint32_t c);                                  // red + green + blue

Picture ReadBmp(const std::string& path); // a 24-bit BMP as the runtime writes it; empty when unreadable

// Writes the picture, scaled to 320 x 240, as examples/images/<name>.png for the gallery.
void AddToGallery(const Picture& picture, const std::string& name);

std::string ExamplePath(const std::string& name); // the built example program
std::string BinDir();                             // the game's directory with its generated assets

// One run of an example program: its standard input and output are pipes, standard error is the
// test's. The shell variable "_" names the program, as when a user starts it from a shell, so
// the runtime makes the example's directory the working directory.
class Program {
public:
    Program(const std::string& name, const std::vector<std::string>& args, const std::vector<std::string>& env = {});
    ~Program(); // ends the program if it still runs
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Waits for the next line starting with prefix (earlier lines are skipped); false on timeout
    // or when the program ended first. The whole line goes to *line.
    bool WaitForLine(const std::string& prefix, std::string* line = nullptr);
    const std::vector<std::string>& Lines() const { return lines_; } // every line read so far
    bool Write(const std::string& text);                              // to standard input
    int Finish(); // waits for the end and reads the rest of the output: the exit status, -1 when killed

private:
    bool ReadMore(int timeoutMs); // false when the output ended or nothing came in time

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string pending_;
    std::vector<std::string> lines_;
    size_t next_ = 0; // first line not yet matched by WaitForLine
};

// Runs an example for `frames` frames with the screenshot convention of the examples
// (EXAMPLE_FRAMES, EXAMPLE_SCREENSHOT) and returns its last frame; the output lines go to
// *output. The run must end with status 0.
Picture RunFrames(const std::string& name, int frames, const std::vector<std::string>& args = {},
                  const std::vector<std::string>& env = {}, std::vector<std::string>* output = nullptr);

// The top-level window of a running example on the X display (found by its caption), its
// pixels, and input at window coordinates through xdotool.
class Screen {
public:
    explicit Screen(const std::string& caption); // waits for the window; Found() tells
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;
    bool Found() const { return window_ != 0; }
    Picture Grab();                                 // the window's pixels as shown now
    void MoveMouse(int x, int y);
    void Key(const std::string& keysym, bool down); // xdotool key names: "a", "Shift_L", "Right", ...
    void Button(int button, bool down);             // 1 left, 2 middle, 3 right
    void Click(int button);                         // press and release together, as a wheel notch (4 up, 5 down)
    // Grabs, a moment apart, until the picture satisfies `done`; the last one goes to *last.
    template <class Predicate> bool WaitFor(Predicate done, Picture* last);

private:
    bool TimeLeft(long long startMs) const;
    void* display_ = nullptr;
    unsigned long window_ = 0;
    int originX_ = 0, originY_ = 0, width_ = 0, height_ = 0;
};

long long NowMs();
int LeftMs(long long startMs); // what is left of kWaitMs since startMs

template <class Predicate> bool Screen::WaitFor(Predicate done, Picture* last) {
    const long long start = NowMs();
    do {
        *last = Grab();
        if (last->width > 0 && done(*last)) return true;
    } while (TimeLeft(start));
    return false;
}

} // namespace example
