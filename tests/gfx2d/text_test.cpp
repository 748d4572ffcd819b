// Fonts under real GL: the built-in font's cells, wide and tall font bitmaps, rounding of the
// text position, font slots and their clamping.
#include "gfx2d/renderer.h"
#include "gl_fixture.h"
#include "voxa/testing.h"

using namespace gltest;

namespace {

using Text = GL;

TEST_F(Text, BuiltinFontCellsAreSevenByEight) {
    LoadFont(DynString(""), 0);  // not found: the built-in font
    double w, h;
    GetFontSize(w, h);
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 8);
    PrintText(DynString("Loading..."), 100, 200);
    std::vector<int> box = InkBox(BackFrame());
    // Ten cells of 7 x 8 from (100, 200): the glyphs and their outlines stay inside, and the
    // first and last cells both have ink.
    EXPECT_GE(box[0], 100);
    EXPECT_GE(box[1], 200);
    EXPECT_LE(box[2], 170);
    EXPECT_LE(box[3], 208);
    EXPECT_LE(box[0], 101);
    EXPECT_GE(box[2], 163 + 1);
    // The glyph pixels are white, their outline dark.
    bool white = false, dark = false;
    for (int y = 200; y < 208; ++y) {
        for (int x = 100; x < 107; ++x) {
            white |= Back(x, y) == Rgb(255, 255, 255);
            dark |= Back(x, y) == Rgb(8, 8, 8);
        }
    }
    EXPECT_TRUE(white);
    EXPECT_TRUE(dark);
}

TEST_F(Text, PositionsRoundUpAndAnEmptyTextDrawsNothing) {
    MakeBuiltinFont(0);
    SetFont(0);
    PrintText(DynString("I"), 4, 10);
    std::vector<uint32_t> atFour = BackFrame();
    glClear(GL_COLOR_BUFFER_BIT);
    PrintText(DynString("I"), 3.2, 9.01);
    EXPECT_EQ(BackFrame(), atFour);
    glClear(GL_COLOR_BUFFER_BIT);
    PrintText(DynString("I"), 3, 10);
    EXPECT_NE(BackFrame(), atFour);
    glClear(GL_COLOR_BUFFER_BIT);
    PrintText(DynString(""), 3, 10);
    PrintNumber(12345678, 300, 300);  // "1.23457e+07": 11 cells
    std::vector<int> box = InkBox(BackFrame());
    EXPECT_GE(box[0], 300);
    EXPECT_LE(box[2], 300 + 77);
    EXPECT_GE(box[2], 300 + 70 + 1);
}

// A font bitmap whose cells are each filled with a colour that encodes the cell; black
// (transparent in fonts) elsewhere.
std::string CellFont(const std::string& name, int w, int h, int cw, int ch) {
    return MakeBitmap(name, w, h, [=](int x, int y) {
        int column = x / cw, row = y / ch;
        return Rgb(10 + column * 10, 10 + row * 10, 77);
    });
}

TEST_F(Text, WideAndTallFontBitmaps) {
    static std::string wide = CellFont("wide.bmp", 256, 128, 16, 16);
    LoadFont(DynString(wide.c_str()), 3);
    EXPECT_EQ(CurrentFont(), 3);
    double w, h;
    GetFontSize(w, h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 16);
    PrintText(DynString("A"), 0, 0);  // code 65: column 1, row 4
    EXPECT_EQ(Back(8, 8), Rgb(20, 50, 77));
    char high[2] = {char(193), 0};  // a 128-character font draws 193 as 65
    PrintText(DynString(high), 16, 0);
    EXPECT_EQ(Back(24, 8), Rgb(20, 50, 77));
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{0, 0, 32, 16}));

    static std::string tall = CellFont("tall.bmp", 128, 256, 8, 16);
    LoadFont(DynString(tall.c_str()), 4);
    GetFontSize(w, h);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 32);  // image height / 8, twice the drawn cell height
    glClear(GL_COLOR_BUFFER_BIT);
    PrintText(DynString(high), 0, 0);  // its own glyph: column 1, row 12
    EXPECT_EQ(Back(4, 8), Rgb(20, 130, 77));
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{0, 0, 8, 16}));
}

TEST_F(Text, Text3DAtAPointIsCentredAboveIt) {
    MakeBuiltinFont(0);
    // With the 2D projection and an identity modelview, GL point (320, -240) is pixel (320, 240):
    // two cells of 7 x 8 centred on x = 320, their lower edge at y = 240 (the projected position
    // carries rounding, which the upward rounding of text positions may turn into one pixel).
    DrawText3D(0, "HH", 320, -240, 0, 0);
    std::vector<int> box = InkBox(BackFrame());
    EXPECT_GE(box[0], 313);
    EXPECT_LE(box[0], 315);
    EXPECT_LE(box[2], 328);
    EXPECT_GE(box[1], 232);
    EXPECT_LE(box[3], 241);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));  // switched off only while drawing
    glClear(GL_COLOR_BUFFER_BIT);
    // Standing text: each glyph a square of 7 * size units from the point to the right and up.
    DrawText3D(0, "HH", 320, -240, 0, 2);
    box = InkBox(BackFrame());
    EXPECT_GE(box[0], 306);
    EXPECT_LE(box[2], 334);
    EXPECT_GE(box[1], 226);
    EXPECT_LE(box[3], 240);
    EXPECT_GT(box[2] - box[0], 20);
}

TEST_F(Text, FontSlotsAreClamped) {
    SetFont(20);
    EXPECT_EQ(CurrentFont(), 15);
    SetFont(-3);
    EXPECT_EQ(CurrentFont(), 0);
    SetFont(2.9);
    EXPECT_EQ(CurrentFont(), 2);
    SetFont(std::nan(""));
    EXPECT_EQ(CurrentFont(), 0);
    LoadFont(DynString("/no/such/font.bmp"), 99);  // clamped to 15, built-in
    EXPECT_EQ(CurrentFont(), 15);
    EXPECT_EQ(gRenderer2D.textures[kFontTextureBase + 15].imageWidth, 112);
    DrawText(16, "x", 0, 0, 0);   // no such font: nothing
    DrawText(-1, "x", 0, 0, 0);
    DrawText(0, nullptr, 0, 0, 0);
    EXPECT_EQ(InkBox(BackFrame())[2], 0);
}

TEST_F(Text, UnreadableFontFileEndsTheProgramWithCodeThree) {
    std::string bad = TempPath("badfont.bmp");
    FILE* f = std::fopen(bad.c_str(), "wb");
    std::fputs("this is not a bitmap", f);
    std::fclose(f);
    // The child re-executes rather than forks: a fork would share the parent's X connection.
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    // The child re-runs this test from the start in a new process: it finds the log path in
    // the environment the parent set.
    if (std::getenv("VOXA_FONT_TEST_LOG") == nullptr) setenv("VOXA_FONT_TEST_LOG", TempPath("log.txt").c_str(), 1);
    const std::string logPath = std::getenv("VOXA_FONT_TEST_LOG");
    std::remove(logPath.c_str());
    SetErrorLogPathForTesting(logPath.c_str());
    gSettings.debugMode = 1;
    EXPECT_EXIT(LoadFont(DynString(bad.c_str()), 1), ::testing::ExitedWithCode(0), "");
    gSettings.debugMode = 0;
    std::FILE* log = std::fopen(logPath.c_str(), "rb");
    ASSERT_NE(log, nullptr);
    char text[64] = {};
    std::fread(text, 1, sizeof text - 1, log);
    std::fclose(log);
    EXPECT_EQ(std::string(text), "-End On Line\r\n3\r\n-1\r\n0\r\n0\r\n");
    std::remove(logPath.c_str());
}

} // namespace
