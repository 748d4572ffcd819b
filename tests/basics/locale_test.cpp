// Number texts keep the decimal point when the program has selected a locale with a decimal comma:
// the two conversions every number text goes through (strings, the debug report, the text-file
// object), FormatNumber, and the text model reader, which reads its numbers with ToNumber.
#include <gtest/gtest.h>

#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "gfx3d/model.h"
#include "voxa/basics.h"

TEST(CLocaleNumbers, ConversionsIgnoreTheProgramsLocale) {
    // A locale "comma" that only defines a comma as the decimal separator, built in a private
    // directory that LOCPATH points at.
    char tmpl[] = "/tmp/voxa_locale_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    struct Restore { // also when a check below fails: the other tests run in the C locale
        std::string dir;
        ~Restore() {
            setlocale(LC_NUMERIC, "C");
            unsetenv("LOCPATH");
            std::filesystem::remove_all(dir);
        }
    } restore{dir};
    std::ofstream(dir + "/comma.def") << "comment_char %\nescape_char /\nLC_NUMERIC\ndecimal_point \",\"\n"
                                         "thousands_sep \"\"\ngrouping -1\nEND LC_NUMERIC\n";
    std::string cmd = "localedef -c -i " + dir + "/comma.def -f ANSI_X3.4-1968 " + dir + "/comma >/dev/null 2>&1";
    setenv("LOCPATH", dir.c_str(), 1);
    if (std::system(cmd.c_str()) == -1 || setlocale(LC_NUMERIC, "comma") == nullptr)
        GTEST_SKIP() << "localedef could not build a test locale";
    char plain[32];
    std::snprintf(plain, sizeof plain, "%g", 2.5);
    ASSERT_STREQ(plain, "2,5"); // the locale is really in effect

    EXPECT_STREQ(DynString(2.5).CStr(), "2.5");
    EXPECT_EQ(ToNumber(DynString("2.5")), 2.5);
    EXPECT_EQ(ToNumber("-0.75e1"), -7.5);
    EXPECT_STREQ(FormatNumber(0, 2, 1.5).CStr(), "1.50");

    std::string model = dir + "/tri.ddd"; // the text model reader: texture pairs are kept as read
    std::ofstream(model) << "DDDA 1.0\n3  0.25 0.75  0 0  0 0\n1\n255 0 0 3  0 0  1 1  2 2\n"
                            "1\n3  0 0 0  1 0 0  0 1 0\n";
    MeshObject m;
    ASSERT_EQ(m.ReadModel(model.c_str()), 1);
    bool pairRead = false;
    for (int i = 0; i < m.texU.Count(); ++i) pairRead = pairRead || (m.texU[i] == 0.25f && m.texV[i] == 0.75f);
    EXPECT_TRUE(pairRead);
}
