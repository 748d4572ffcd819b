// Shared set-up of the GL tests: one 640 x 480 window for the whole executable, bitmaps made
// on the fly, and reading pixels back from the frame being drawn.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "files.h"
#include "gfx2d/bmp.h"
#include "gfx2d/renderer.h"
#include "voxa/runtime.h"
#include "window/state.h"
#include "window/window.h"

namespace gltest {

// Writes a 24-bit bitmap whose pixel (x, y from the top) has colour(x, y) (red + green*256 +
// blue*65536).
inline std::string MakeBitmap(const std::string& name, int w, int h,
                              const std::function<uint32_t(int, int)>& colour) {
    std::vector<uint8_t> pixels(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t c = colour(x, y);
            uint8_t* p = &pixels[(size_t(h - 1 - y) * w + x) * 3];
            p[0] = uint8_t(c >> 16), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c);
        }
    }
    std::string path = TempPath(name);
    EXPECT_EQ(WriteBmp24(path.c_str(), pixels.data(), w, h, w, false), 1);
    return path;
}

inline uint32_t Rgb(int r, int g, int b) { return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16; }
inline int Red(uint32_t c) { return int(c & 0xFF); }
inline int Green(uint32_t c) { return int((c >> 8) & 0xFF); }
inline int Blue(uint32_t c) { return int((c >> 16) & 0xFF); }

// A pixel of the frame being drawn (the back buffer), as a colour integer; y from the top. GL
// gives RGBA bytes, which on this little-endian machine read as red + green * 256 + ... .
inline uint32_t Back(int x, int y) {
    uint32_t rgba = 0;
    glReadBuffer(GL_BACK);
    glReadPixels(x, 480 - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &rgba);
    return rgba & 0xFFFFFF;
}

// Every pixel of the back buffer, rows from the top.
inline std::vector<uint32_t> BackFrame() {
    std::vector<uint32_t> out(640 * 480);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    for (uint32_t& c : out) c &= 0xFFFFFF;
    // GL's rows run from the bottom.
    for (size_t y = 0; y < 240; ++y) std::swap_ranges(&out[y * 640], &out[y * 640 + 640], &out[(479 - y) * 640]);
    return out;
}

// Every pixel of the back buffer after draw on a cleared frame.
inline std::vector<uint32_t> Drawn(const std::function<void()>& draw) {
    glClear(GL_COLOR_BUFFER_BIT);
    draw();
    return BackFrame();
}

// The bounding box of the pixels that are not black: {left, top, right, bottom} exclusive.
inline std::vector<int> InkBox(const std::vector<uint32_t>& frame) {
    int l = 640, t = 480, r = -1, b = -1;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            if (frame[size_t(y) * 640 + x] == 0) continue;
            l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
        }
    }
    return {l, t, r + 1, b + 1};
}

// What the window printed on standard output when it opened (the extension probe).
inline std::string& ProbeOutput() {
    static std::string output;
    return output;
}

class GL : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Death tests re-execute the program rather than fork: a fork would share the parent's X
        // connection.
        ::testing::FLAGS_gtest_death_test_style = "threadsafe";
        static bool opened = false;
        if (!opened) {
            gSettings.screenWidth = 640;
            gSettings.screenHeight = 480;
            ::testing::internal::CaptureStdout();
            opened = Window().OpenWindow(640, 480, 0, -1);
            ProbeOutput() = ::testing::internal::GetCapturedStdout();
            ASSERT_TRUE(opened);
        }
    }
    void SetUp() override {
        Window().Setup2D(0, 0, 0, 0);
        SetAlphaMode(0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
};

} // namespace gltest
