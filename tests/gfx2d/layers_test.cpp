// Background layers, frame presentation and screen capture under real GL: tiles of loaded and
// grabbed pictures, the background under every frame, the crossfade's frame count, GetPixel of
// the last shown frame, screenshots and sprite dumps read by ImageMagick, the extension probe
// and quit requests met while waiting for the frame slot.
#include <SDL/SDL.h>

#include <filesystem>
#include <regex>

#include "gfx2d/renderer.h"
#include "gl_fixture.h"
#include "voxa/testing.h"
#include "window/window.h"

using namespace gltest;

namespace {

using Layers = GL;

TEST_F(Layers, LoadedAndGrabbedPicturesLieUnderEveryFrame) {
    std::string path = MakeBitmap("back.bmp", 100, 70, [](int x, int y) {
        return x == 99 && y == 69 ? Rgb(255, 255, 0) : Rgb(0, 100, 0);
    });
    ASSERT_EQ(LoadBmp(DynString(path.c_str())), 1.0);
    ShowScreen();
    // The next frame starts with the picture, cut into tiles of 64; beyond 100 x 70 the cleared
    // black shows.
    EXPECT_EQ(Back(99, 69), Rgb(255, 255, 0));
    EXPECT_EQ(Back(64, 64), Rgb(0, 100, 0));
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{0, 0, 100, 70}));
    BlackScreen();
    ShowScreen();
    EXPECT_EQ(InkBox(BackFrame())[2], 0);
    EXPECT_EQ(LoadBmp(DynString("/no/such/background.bmp")), 0.0);
    // The screen grabbed: tiles of 1024 wide and 256, 128, 64 and 32 high cover it exactly.
    DrawRect(600, 470, 639, 479, Rgb(0, 0, 255));
    DrawRect(0, 0, 9, 9, Rgb(255, 0, 0));
    const std::vector<uint32_t> grabbed = BackFrame();
    UseScreenAsBmp();
    ShowScreen();
    EXPECT_TRUE(BackFrame() == grabbed);
    BlackScreen();
}

TEST_F(Layers, GetPixelReadsTheFrameLastShown) {
    DrawRect(10, 10, 20, 20, Rgb(255, 0, 0));
    ShowScreen();
    DrawRect(10, 10, 20, 20, Rgb(0, 255, 0));  // drawn since, not shown
    EXPECT_EQ(GetPixel(15, 15), double(Rgb(255, 0, 0)));
    EXPECT_EQ(GetPixel(0, 0), 0.0);
    EXPECT_EQ(GetPixel(-1, 5), 0.0);
    EXPECT_EQ(GetPixel(640, 5), 0.0);
    // The read buffer is the back buffer again: a grab takes the frame being drawn.
    GrabSprite(60, 10, 10, 4, 4);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawSprite(60, 0, 0);
    EXPECT_EQ(Back(1, 1), Rgb(0, 255, 0));
}

TEST_F(Layers, ScreenshotsAndSpriteDumpsAreReadByImageMagick) {
    DrawRect(0, 0, 0, 0, Rgb(255, 0, 0));         // top-left
    DrawRect(639, 479, 639, 479, Rgb(0, 0, 255)); // bottom-right
    ShowScreen();
    const std::string shot = TempPath("shot.bmp"), dump = TempPath("dump_out.bmp");
    EXPECT_EQ(SaveScreenshot(DynString(shot.c_str())), 1.0);
    EXPECT_EQ(ReadFile(shot).size(), 921654u);
    std::vector<uint8_t> rgb = Magick(shot + " -depth 8 rgb:-");
    ASSERT_EQ(rgb.size(), 640u * 480 * 3);
    EXPECT_EQ(Rgb(rgb[0], rgb[1], rgb[2]), Rgb(255, 0, 0));
    EXPECT_EQ(Rgb(rgb[rgb.size() - 3], rgb[rgb.size() - 2], rgb[rgb.size() - 1]), Rgb(0, 0, 255));
    EXPECT_EQ(SaveScreenshot(DynString("/no/such/dir/shot.bmp")), 1.0); // still 1
    std::remove(shot.c_str());

    std::string path = MakeBitmap("dump.bmp", 5, 3, [](int x, int y) { return Rgb(40 * x, 80 * y, 7); });
    ASSERT_EQ(LoadSprite(DynString(path.c_str()), 61), 1.0);
    EXPECT_EQ(SaveSprite(61, DynString(dump.c_str())), 1.0);
    EXPECT_EQ(ReadFile(dump).size(), 54u + 16 * 3); // rows of 16 bytes (15 rounded up)
    rgb = Magick(dump + " -depth 8 rgb:-");
    ASSERT_EQ(rgb.size(), 45u);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(Rgb(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]), Rgb(40 * (i % 5), 80 * (i / 5), 7)) << i;
    EXPECT_EQ(SaveSprite(61, DynString("/no/such/dir/x.bmp")), 0.0);
    EXPECT_EQ(SaveSprite(70000, DynString(dump.c_str())), 0.0);
    EXPECT_EQ(SaveSprite(62, DynString(dump.c_str())), 0.0); // never loaded
    std::remove(dump.c_str());
}

// A clock that moves one millisecond per reading, so every frame waits a known number of ticks.
uint32_t gTicks = 0;
uint32_t Spin() { return gTicks++; }

TEST_F(Layers, CrossfadePresentsFiftyTwoFramesAndLeavesThePicture) {
    std::string path = MakeBitmap("fade.bmp", 64, 64, [](int, int) { return Rgb(0, 0, 200); });
    SetTickSource(Spin);
    Window().frameInterval = 1000;
    Window().nextFrameTime = gTicks;
    double before = Window().nextFrameTime;
    LoadBmpFade(DynString(path.c_str()));
    EXPECT_EQ((Window().nextFrameTime - before) / 1000, 52);
    SetTickSource(nullptr);
    Window().SetFrameRate(-1);
    Window().nextFrameTime = 0;
    EXPECT_EQ(Back(10, 10), Rgb(0, 0, 200));  // drawn again after the fade
    ShowScreen();
    EXPECT_EQ(Back(10, 10), Rgb(0, 0, 200));  // and the background from now on
    BlackScreen();
}

TEST_F(Layers, DamagedBackgroundEndsTheProgram) {
    // A header that promises 30,000 pixel bytes that are not there.
    const std::string bad = MakeBitmap("bad_back.bmp", 100, 100, [](int, int) { return 0; });
    std::filesystem::resize_file(bad, 54);
    EXPECT_EXIT(LoadBmp(DynString(bad.c_str())), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(LoadLayer(0, bad.c_str()), 0);
    EXPECT_EQ(LoadLayer(16, bad.c_str()), 0);
    GrabLayer(-1);
    DrawLayer(99);
    ReleaseLayer(16);
    std::remove(bad.c_str());
}

TEST_F(Layers, TheProbePrintsOneLinePerEntryPoint) {
    const std::string& out = ProbeOutput();
    std::regex line("ext: (gl[A-Za-z0-9]+)   \\[( OK |FAIL)\\]\n");
    std::vector<std::string> names;
    for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it) names.push_back((*it)[1]);
    EXPECT_EQ(names, (std::vector<std::string>{"glActiveTextureARB", "glMultiTexCoord2fARB", "glClientActiveTextureARB",
                                               "glGenBuffersARB", "glBindBufferARB", "glBufferDataARB",
                                               "glDeleteBuffersARB", "glMapBufferARB", "glUnmapBufferARB"}));
    EXPECT_NE(gWindow.gl.multiTexCoord2f, nullptr);
    EXPECT_NE(gWindow.gl.genBuffers, nullptr);
    ::testing::internal::CaptureStdout();
    PrintExtensionLine("glAVeryLongEntryPointNameOfMoreThan35Characters", false);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "ext: glAVeryLongEntryPointNameOfMoreThan   [FAIL]\n");
}

TEST_F(Layers, QuitRequestsWhileWaitingEndThePresent) {
    SDL_Event quit;
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 0);
    EXPECT_EQ(Window().PresentFrame(), 0.0);
    SDL_Event key = {};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_ESCAPE;
    ASSERT_EQ(SDL_PushEvent(&key), 0);
    EXPECT_EQ(Window().PresentFrame(), 0.0);
    key.key.keysym.sym = SDLK_a;  // other events are dropped
    ASSERT_EQ(SDL_PushEvent(&key), 0);
    EXPECT_GE(Window().PresentFrame(), 1.0);
    // ShowScreen ends the program with status 0 on a close request.
    EXPECT_EXIT(
        {
            SDL_PushEvent(&quit);
            ShowScreen();
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
