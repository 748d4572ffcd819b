// Fonts under real GL: the built-in font's cells, wide and tall font bitmaps, rounding of the
// text position, font slots and their clamping.
#include "gfx2d/renderer.h"
#include "gl_fixture.h"
#include "voxa/testing.h"

using namespace gltest;

namespace {

using Text = GL;

TEST_F(Text, BuiltinFontCellsAreSevenByEightAndPositionsRoundUp) {
    LoadFont(DynString(""), 0); // not found: the built-in font
    double w, h;
    GetFontSize(w, h);
    EXPECT_EQ(w * 100 + h, 708);
    PrintText(DynString("Loading..."), 100, 200);
    // Ten cells of 7 x 8 from (100, 200): the glyphs and their outlines stay inside, and the
    // first and last cells both have ink.
    const std::vector<int> box = InkBox(BackFrame());
    EXPECT_TRUE(box[0] >= 100 && box[0] <= 101 && box[1] >= 200 && box[2] >= 164 && box[2] <= 170 && box[3] <= 208);
    // The glyph pixels are white, their outline dark.
    bool white = false, dark = false;
    for (int y = 200; y < 208; ++y) {
        for (int x = 100; x < 107; ++x) {
            white |= Back(x, y) == Rgb(255, 255, 255);
            dark |= Back(x, y) == Rgb(8, 8, 8);
        }
    }
    EXPECT_TRUE(white && dark);
    glClear(GL_COLOR_BUFFER_BIT);
    PrintText(DynString("I"), 4, 10);
    const std::vector<uint32_t> atFour = BackFrame();
    glClear(GL_COLOR_BUFFER_BIT);
    PrintText(DynString("I"), 3.2, 9.01);
    EXPECT_EQ(BackFrame(), atFour);
    glClear(GL_COLOR_BUFFER_BIT);
    PrintText(DynString("I"), 3, 10);
    EXPECT_NE(BackFrame(), atFour);
    glClear(GL_COLOR_BUFFER_BIT);
    PrintText(DynString(""), 3, 10);
    PrintNumber(12345678, 300, 300); // "1.23457e+07": 11 cells
    const std::vector<int> number = InkBox(BackFrame());
    EXPECT_TRUE(number[0] >= 300 && number[2] >= 371 && number[2] <= 377) << number[0] << " " << number[2];
}

// A font bitmap whose cells are each filled with a colour that encodes the cell.
std::string CellFont(const std::string& name, int w, int h, int cw, int ch) {
    return MakeBitmap(name, w, h, [=](int x, int y) { return Rgb(10 + x / cw * 10, 10 + y / ch * 10, 77); });
}

TEST_F(Text, WideAndTallFontBitmaps) {
    static std::string wide = CellFont("wide.bmp", 256, 128, 16, 16);
    LoadFont(DynString(wide.c_str()), 3);
    EXPECT_EQ(CurrentFont(), 3);
    double w, h;
    GetFontSize(w, h);
    EXPECT_EQ(w * 100 + h, 1616);
    PrintText(DynString("A"), 0, 0); // code 65: column 1, row 4
    EXPECT_EQ(Back(8, 8), Rgb(20, 50, 77));
    const char high[2] = {char(193), 0}; // a 128-character font draws 193 as 65
    PrintText(DynString(high), 16, 0);
    EXPECT_EQ(Back(24, 8), Rgb(20, 50, 77));
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{0, 0, 32, 16}));

    static std::string tall = CellFont("tall.bmp", 128, 256, 8, 16);
    LoadFont(DynString(tall.c_str()), 4);
    GetFontSize(w, h);
    EXPECT_EQ(w * 100 + h, 832); // image height / 8, twice the drawn cell height
    glClear(GL_COLOR_BUFFER_BIT);
    PrintText(DynString(high), 0, 0); // its own glyph: column 1, row 12
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
    EXPECT_TRUE(box[0] >= 313 && box[0] <= 315 && box[2] <= 328 && box[1] >= 232 && box[3] <= 241);
    glClear(GL_COLOR_BUFFER_BIT);
    // Standing text: each glyph a square of 7 * size units from the point to the right and up.
    DrawText3D(0, "HH", 320, -240, 0, 2);
    box = InkBox(BackFrame());
    EXPECT_TRUE(box[0] >= 306 && box[2] <= 334 && box[1] >= 226 && box[3] <= 240 && box[2] - box[0] > 20);
    // Culling is switched off only while drawing: a clockwise polygon after it stays hidden.
    glClear(GL_COLOR_BUFFER_BIT);
    StartPoly(-1);
    for (int i = 0; i < 3; ++i) PolyVector(100 + 100 * (i > 0), 100 + 100 * (i > 1), 0, 0, 0xFF);
    EndPoly();
    EXPECT_EQ(InkBox(BackFrame())[2], 0);
}

TEST_F(Text, FontSlotsAreClamped) {
    const double slots[][2] = {{20, 15}, {-3, 0}, {2.9, 2}, {std::nan(""), 0}};
    for (const auto& s : slots) {
        SetFont(s[0]);
        EXPECT_EQ(CurrentFont(), s[1]) << s[0];
    }
    LoadFont(DynString("/no/such/font.bmp"), 99);
    EXPECT_EQ(CurrentFont(), 15); // clamped to 15, and built in as the file is missing
    double w, h;
    GetFontSize(w, h);
    EXPECT_EQ(w * 100 + h, 708);
    DrawText(16, "x", 0, 0, 0); // no such font: nothing
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
    // It re-runs this test from the start in a new process and finds the log path in the
    // environment the parent set.
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
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
