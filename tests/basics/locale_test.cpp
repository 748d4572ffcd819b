// Number texts stay in the C locale (point as decimal separator) even when the program has
// selected a locale whose decimal separator is a comma: strings, the debug report, the
// text-file object's number form and the text model reader.
#include <gtest/gtest.h>

#include <locale.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/errors.h"
#include "files/files_local.h"
#include "gfx3d/model.h"
#include "support/errorlog_lines.h"
#include "voxa/basics.h"
#include "voxa/files.h"
#include "voxa/testing.h"
#include "voxa/window.h"

namespace {

// Builds a locale "comma" that only defines a comma as the decimal separator, in a private
// directory that LOCPATH points at. Returns false when localedef is not available.
bool SelectCommaLocale(const std::string& dir) {
    std::ofstream(dir + "/comma.def") << "comment_char %\nescape_char /\nLC_NUMERIC\n"
                                         "decimal_point \",\"\nthousands_sep \"\"\ngrouping -1\n"
                                         "END LC_NUMERIC\n";
    std::string cmd = "localedef -c -i " + dir + "/comma.def -f ANSI_X3.4-1968 " + dir +
                      "/comma >/dev/null 2>&1";
    if (std::system(cmd.c_str()) == -1) return false;
    setenv("LOCPATH", dir.c_str(), 1);
    return setlocale(LC_NUMERIC, "comma") != nullptr;
}

class CLocaleNumbers : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/voxa_locale_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        if (!SelectCommaLocale(dir_)) GTEST_SKIP() << "localedef could not build a test locale";
        char plain[32];
        std::snprintf(plain, sizeof plain, "%g", 2.5);
        ASSERT_STREQ(plain, "2,5"); // the locale is really in effect
    }
    void TearDown() override {
        setlocale(LC_NUMERIC, "C");
        unsetenv("LOCPATH");
        DiscardFileObjectsForTesting();
        std::filesystem::remove_all(dir_);
    }
    std::string dir_;
};

} // namespace

TEST_F(CLocaleNumbers, ConversionsIgnoreTheProgramsLocale) {
    EXPECT_STREQ(DynString(2.5).CStr(), "2.5");
    EXPECT_STREQ((DynString("x") + 0.25).CStr(), "x0.25");
    EXPECT_EQ(ToNumber(DynString("2.5")), 2.5);
    EXPECT_EQ(ToNumber("-0.75e1"), -7.5);
    EXPECT_EQ(DynString("1.5") == 1.5, 1.0);
    EXPECT_STREQ(FormatNumber(0, 2, 1.5).CStr(), "1.50");

    // The debug report at the end of the program.
    std::string log = voxatest::PrivateLogPath("locale_report");
    EXPECT_EXIT(
        {
            SetErrorLogPathForTesting(log.c_str());
            gSettings.debugMode = 1;
            SetLinePosition(0.5, 3.5);
            SetErrorCode(1.5);
            EndProgram();
        },
        ::testing::ExitedWithCode(0), "");
    std::vector<std::string> report = {"-End On Line", "1.5", "2.5", "3.5", "0.5"};
    EXPECT_EQ(voxatest::ReadLogLines(log), report);
    std::remove(log.c_str());

    // A number written into a text file, and read back.
    DynString file((dir_ + "/numbers.txt").c_str());
    WriteTextLine(file, 0, 2.5);
    WriteBackFileObjects();
    EXPECT_EQ(voxatest::ReadFileBytes(file.CStr()), "2.5\r\n");
    DiscardFileObjectsForTesting();
    double number = 0;
    ReadTextLine(file, 0, number);
    EXPECT_EQ(number, 2.5);

    // The text model reader: texture pairs are kept as read.
    std::string model = dir_ + "/tri.ddd";
    std::ofstream(model) << "DDDA 1.0\n3  0.25 0.75  0 0  0 0\n1\n255 0 0 3  0 0  1 1  2 2\n1\n3  0 0 0  1 0 0  0 1 0\n";
    MeshObject m;
    ASSERT_EQ(m.ReadModel(model.c_str()), 1);
    bool pairRead = false;
    for (int i = 0; i < m.texU.Count(); ++i) pairRead = pairRead || (m.texU[i] == 0.25f && m.texV[i] == 0.75f);
    EXPECT_TRUE(pairRead);
}
