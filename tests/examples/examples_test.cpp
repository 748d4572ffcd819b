// Every example program run as its user runs it, checked for what it must show: its last frame,
// the lines it prints, the files and sound it makes. Input examples get real X events.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "example_run.h"
#include "support/free_port.h"

using namespace example;

namespace {

// The runtime's colour numbers in the examples' terms: red + green * 256 + blue * 65536.
constexpr uint32_t Rgb(int r, int g, int b) { return uint32_t(r + g * 256 + b * 65536); }

int CountColour(const Picture& p, uint32_t colour, int tolerance, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += Near(p.At(x, y), colour, tolerance);
    return n;
}

// The lines of an output that start with prefix, the prefix cut off.
std::vector<std::string> After(const std::vector<std::string>& lines, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& l : lines)
        if (l.compare(0, prefix.size(), prefix) == 0) found.push_back(l.substr(prefix.size()));
    return found;
}

} // namespace

// The ring's hole: the boxes overlap while no pixels touch, which only a pixel-exact test sees;
// the key colour of the saved bitmaps never reaches the screen.
TEST(Example, sprites) {
    std::vector<std::string> out;
    Picture shot = RunFrames("sprites", 70, {}, {}, &out);
    ASSERT_EQ(shot.width, 640);
    EXPECT_EQ(After(out, "ring.bmp: "), std::vector<std::string>{"128 x 128 pixels"});
    std::vector<std::string> states;
    for (const std::string& s : After(out, "frame ")) states.push_back(s.substr(s.find(": ") + 2));
    EXPECT_EQ(states, (std::vector<std::string>{"apart", "boxes overlap, pixels apart", "pixels touch",
                                                "boxes overlap, pixels apart"}));
    // Frame 70: the ball (blue, 32 x 32 at 320, 224) sits inside the ring (gold, 128 x 128 at 256, 176).
    EXPECT_EQ(CountColour(shot, Rgb(255, 0, 128), 0, 0, 0, 640, 480), 0) << "the colour key shows";
    EXPECT_TRUE(Near(shot.At(272, 240), Rgb(224, 160, 32), 12)) << "the ring's band";
    EXPECT_TRUE(Near(shot.At(336, 244), Rgb(32, 64, 208), 12)) << "the ball";
    for (auto [x, y] : {std::pair{259, 179}, {292, 240}, {380, 292}}) {
        uint32_t c = shot.At(x, y);
        EXPECT_TRUE(Blue(c) > Red(c) && Brightness(c) < 250) << "the board shows through at " << x << ", " << y;
    }
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
