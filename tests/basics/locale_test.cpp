// Number texts stay in the C locale (point as decimal separator) even when the program has
// selected a locale whose decimal separator is a comma.
#include <gtest/gtest.h>

#include <locale.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "basics/basics.h"

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

} // namespace

TEST(CLocaleNumbers, ConversionsIgnoreTheProgramsLocale) {
    char tmpl[] = "/tmp/voxa_locale_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string dir = tmpl;
    if (!SelectCommaLocale(dir)) GTEST_SKIP() << "localedef could not build a test locale";
    char plain[32];
    std::snprintf(plain, sizeof plain, "%g", 2.5);
    EXPECT_STREQ(plain, "2,5"); // the locale is really in effect

    EXPECT_STREQ(DynString(2.5).CStr(), "2.5");
    EXPECT_STREQ((DynString("x") + 0.25).CStr(), "x0.25");
    EXPECT_EQ(ToNumber(DynString("2.5")), 2.5);
    EXPECT_EQ(DynString("1.5") == 1.5, 1.0);
    EXPECT_STREQ(FormatNumber(0, 2, 1.5).CStr(), "1.50");

    setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");
    std::filesystem::remove_all(dir);
}
