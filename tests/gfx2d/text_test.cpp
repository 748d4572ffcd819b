// Fonts under real GL: the built-in font's cells, wide and tall font bitmaps, rounding of the
// text position, font slots and their clamping.
#include <algorithm>

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
    // Ten cells of 7 x 8 from (100, 200): the glyphs (white) and their outlines (dark) stay
    // inside, and the first and last cells both have ink.
    const std::vector<uint32_t> loading = Drawn([] { PrintText(DynString("Loading..."), 100, 200); });
    const std::vector<int> box = InkBox(loading);
    EXPECT_TRUE(box[0] >= 100 && box[0] <= 101 && box[1] >= 200 && box[2] >= 164 && box[2] <= 170 && box[3] <= 208);
    EXPECT_NE(std::count(loading.begin(), loading.end(), Rgb(255, 255, 255)), 0);
    EXPECT_NE(std::count(loading.begin(), loading.end(), Rgb(8, 8, 8)), 0);
    // Positions round up: (3.2, 9.01) draws at (4, 10).
    const std::vector<uint32_t> atFour = Drawn([] { PrintText(DynString("I"), 4, 10); });
    EXPECT_EQ(Drawn([] { PrintText(DynString("I"), 3.2, 9.01); }), atFour);
    EXPECT_NE(Drawn([] { PrintText(DynString("I"), 3, 10); }), atFour);
    const std::vector<int> number = InkBox(Drawn([] {
        PrintText(DynString(""), 3, 10);
        PrintNumber(12345678, 300, 300); // "1.23457e+07": 11 cells
    }));
    EXPECT_TRUE(number[0] >= 300 && number[2] >= 371 && number[2] <= 377) << number[0] << " " << number[2];
}

// Font bitmaps whose cells are each filled with a colour that encodes the cell: code 193 in a
// 128-character font of 16 x 16 cells is drawn as 65 (column 1, row 4); a tall font of 8 x 16
// cells has its own glyph (column 1, row 12), and its size reads 8 x 32 (image height / 8,
// twice the drawn cell height).
TEST_F(Text, WideAndTallFontBitmaps) {
    const char high[2] = {char(193), 0};
    const struct {
        int w, h, cw, ch;
        double size;
        uint32_t colour;
    } fonts[] = {{256, 128, 16, 16, 1616, Rgb(20, 50, 77)}, {128, 256, 8, 16, 832, Rgb(20, 130, 77)}};
    for (int i = 0; i < 2; ++i) {
        const auto& f = fonts[i];
        const std::string path = MakeBitmap("font" + std::to_string(i) + ".bmp", f.w, f.h, [&](int x, int y) {
            return Rgb(10 + x / f.cw * 10, 10 + y / f.ch * 10, 77);
        });
        LoadFont(DynString(path.c_str()), 3 + i);
        double w, h;
        GetFontSize(w, h);
        EXPECT_EQ(w * 100 + h, f.size);
        const std::vector<uint32_t> frame = Drawn([&] { PrintText(DynString(high), 0, 0); });
        EXPECT_EQ(frame[8 * 640 + f.cw / 2], f.colour) << i;
        EXPECT_EQ(InkBox(frame), (std::vector<int>{0, 0, f.cw, 16})) << i;
    }
}

TEST_F(Text, Text3DAtAPointIsCentredAboveIt) {
    MakeBuiltinFont(0);
    // With the 2D projection and an identity modelview, GL point (320, -240) is pixel (320, 240):
    // two cells of 7 x 8 centred on x = 320, their lower edge at y = 240 (the projected position
    // carries rounding, which the upward rounding of text positions may turn into one pixel).
    std::vector<int> box = InkBox(Drawn([] { DrawText3D(0, "HH", 320, -240, 0, 0); }));
    EXPECT_TRUE(box[0] >= 313 && box[0] <= 315 && box[2] <= 328 && box[1] >= 232 && box[3] <= 241);
    // Standing text: each glyph a square of 7 * size units from the point to the right and up.
    box = InkBox(Drawn([] { DrawText3D(0, "HH", 320, -240, 0, 2); }));
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
    const std::string bad = TempPath("badfont.bmp");
    WriteFile(bad, "this is not a bitmap");
    // The child re-runs this test from the start in a new process and finds the log path in the
    // environment the parent set.
    if (std::getenv("VOXA_FONT_TEST_LOG") == nullptr) setenv("VOXA_FONT_TEST_LOG", TempPath("log.txt").c_str(), 1);
    const std::string logPath = std::getenv("VOXA_FONT_TEST_LOG");
    std::remove(logPath.c_str());
    SetErrorLogPathForTesting(logPath.c_str());
    gSettings.debugMode = 1;
    EXPECT_EXIT(LoadFont(DynString(bad.c_str()), 1), ::testing::ExitedWithCode(0), "");
    gSettings.debugMode = 0;
    EXPECT_EQ(ReadFile(logPath), "-End On Line\r\n3\r\n-1\r\n0\r\n0\r\n");
    std::remove(logPath.c_str());
}

} // namespace
