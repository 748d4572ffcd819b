// String commands: Len, Asc, Chr, MidText, case, FormatNumber, HexBytes, ReplaceText,
// SplitText, ToNumber and End.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/fatal_report.h"
#include "voxa/basics.h"
#include "voxa/testing.h"

TEST(StringLengths, LenOfTextsAndNumbers) {
    EXPECT_EQ(Len(DynString("hello")), 5.0);
    EXPECT_EQ(Len(DynString("")), 0.0);
    EXPECT_EQ(Len(1234567.0), 11.0); // "1.23457e+06"
    EXPECT_EQ(Len(2.5), 3.0);
    EXPECT_EQ(Len(-3.0), 2.0);
}

TEST(StringCharacters, AscIsTheFirstByteSigned) {
    EXPECT_EQ(Asc(DynString("A")), 65.0);
    EXPECT_EQ(Asc(DynString("\xC8xyz")), -56.0);
    EXPECT_EQ(Asc(DynString("")), 0.0);
}

TEST(StringCharacters, ChrTakesTheLowByteOfTheTruncatedCode) {
    EXPECT_STREQ(Chr(65).CStr(), "A");
    EXPECT_STREQ(Chr(321).CStr(), "A");
    EXPECT_STREQ(Chr(65.9).CStr(), "A");
    EXPECT_STREQ(Chr(-191).CStr(), "A"); // two's complement low byte 0x41
    EXPECT_EQ(Chr(200).CharAt(0), -56);
    EXPECT_EQ(Chr(200).Length(), 1u);
    EXPECT_STREQ(Chr(0).CStr(), "");
    EXPECT_EQ(Chr(256).Length(), 0u);
    EXPECT_EQ(Chr(NAN).Length(), 0u);
    EXPECT_EQ(Chr(1e300).Length(), 1u); // saturates instead of overflowing the conversion
}

TEST(StringMidText, CutsWithinTheText) {
    DynString hello("hello");
    EXPECT_STREQ(MidText(hello, 1, 3).CStr(), "ell");
    EXPECT_STREQ(MidText(hello, 3, 10).CStr(), "lo");
    EXPECT_STREQ(MidText(hello, 0, 5).CStr(), "hello");
    EXPECT_STREQ(MidText(hello, 1.9, 2.9).CStr(), "el");
    EXPECT_STREQ(MidText(hello, 4, 1e300).CStr(), "o");
}

TEST(StringMidText, OutOfRangeGivesTheEmptyText) {
    DynString hello("hello");
    EXPECT_STREQ(MidText(hello, 5, 1).CStr(), "");
    EXPECT_STREQ(MidText(hello, -1, 2).CStr(), "");
    EXPECT_STREQ(MidText(hello, 6, 2).CStr(), "");
    EXPECT_STREQ(MidText(hello, 1, 0).CStr(), "");
    EXPECT_STREQ(MidText(hello, 1, -3).CStr(), "");
    EXPECT_STREQ(MidText(hello, 1e300, 1).CStr(), "");
    EXPECT_STREQ(MidText(hello, NAN, 2).CStr(), "he"); // a NaN position truncates to 0
    EXPECT_STREQ(MidText(DynString(""), 0, 3).CStr(), "");
}

TEST(StringMidText, StaleLengthNeverReadsPastTheText) {
    DynString line("ab\r\n");
    line.TrimControlEnd(); // length field 4, text "ab"
    EXPECT_STREQ(MidText(line, 1, 3).CStr(), "b");
}

TEST(StringCase, OnlyAsciiLettersChange) {
    EXPECT_STREQ(UpperCase(DynString("Hello, World 9\xE9")).CStr(), "HELLO, WORLD 9\xE9");
    EXPECT_STREQ(LowerCase(DynString("Hello, World 9\xC9")).CStr(), "hello, world 9\xC9");
    DynString original("MiXed");
    DynString upper = UpperCase(original);
    EXPECT_STREQ(original.CStr(), "MiXed");
    EXPECT_STREQ(upper.CStr(), "MIXED");
    EXPECT_EQ(upper.Length(), 5u);
}

TEST(StringFormatNumber, FixedPointWithWidthAndDecimals) {
    EXPECT_STREQ(FormatNumber(8, 2, 3.14159).CStr(), "    3.14");
    EXPECT_STREQ(FormatNumber(0, 0, 2.5).CStr(), "2"); // halves round to even
    EXPECT_STREQ(FormatNumber(0, 0, 3.5).CStr(), "4");
    EXPECT_STREQ(FormatNumber(5.9, 1.9, -1.25).CStr(), " -1.2");
    EXPECT_STREQ(FormatNumber(-6, 1, 2).CStr(), "2.0   "); // a negative width left-justifies
    EXPECT_STREQ(FormatNumber(0, -3, 2.7).CStr(), "3");      // negative decimals: none
    EXPECT_STREQ(FormatNumber(NAN, NAN, 1.5).CStr(), "2");
    EXPECT_EQ(FormatNumber(0, 2, 1e6).Length(), 10u);
}

TEST(StringFormatNumber, ResultNeverExceeds511Characters) {
    DynString wide = FormatNumber(100000, 2, 1);
    EXPECT_EQ(wide.Length(), 511u);
    EXPECT_STREQ(wide.CStr() + 507, "1.00");

    DynString huge = FormatNumber(0, 400, 1e300);
    EXPECT_EQ(huge.Length(), 511u);
    EXPECT_EQ(huge.CStr()[0], '1');

    DynString extreme = FormatNumber(2147483647.0 * 4, 1e12, -1e308);
    EXPECT_EQ(extreme.Length(), 511u);
    EXPECT_EQ(extreme.CStr()[0], '-'); // the text is wider than the clamped field
}

TEST(StringHexBytes, UpperCaseHighNibbleFirst) {
    const unsigned char two[] = {0x1F, 0xA0};
    EXPECT_STREQ(HexBytes(two, 2).CStr(), "1FA0");
    const unsigned char all[] = {0x00, 0x09, 0xFF, 0x5C};
    EXPECT_STREQ(HexBytes(all, 4).CStr(), "0009FF5C");
    EXPECT_STREQ(HexBytes(all, 1.9).CStr(), "00");
    EXPECT_STREQ(HexBytes(all, 0).CStr(), "");
    EXPECT_STREQ(HexBytes(all, -2).CStr(), "");
    EXPECT_STREQ(HexBytes(nullptr, 4).CStr(), "");
}

TEST(StringReplaceText, ReplacesEveryOccurrenceInPlace) {
    DynString text("abca");
    DynString result = ReplaceText(text, DynString("a"), DynString("b"));
    EXPECT_STREQ(text.CStr(), "bbcb");
    EXPECT_STREQ(result.CStr(), "bbcb");

    DynString grow("a-b-c");
    ReplaceText(grow, DynString("-"), DynString(" - "));
    EXPECT_STREQ(grow.CStr(), "a - b - c");
    EXPECT_EQ(grow.Length(), 9u);

    DynString none("nothing here");
    EXPECT_STREQ(ReplaceText(none, DynString("zz"), DynString("y")).CStr(), "nothing here");
}

TEST(StringReplaceText, SearchRestartsInsideTheReplacedPart) {
    DynString text("aaaa");
    ReplaceText(text, DynString("aa"), DynString("a"));
    EXPECT_STREQ(text.CStr(), "a");
    EXPECT_EQ(text.Length(), 1u);

    DynString doubling("aaa");
    ReplaceText(doubling, DynString("a"), DynString("aa")); // terminates: never re-finds its own output
    EXPECT_STREQ(doubling.CStr(), "aaaaaa");
}

TEST(StringReplaceText, RemovalNearTheStartDoesNotSearchBeforeTheText) {
    DynString text("xabcabc");
    ReplaceText(text, DynString("abc"), DynString(""));
    EXPECT_STREQ(text.CStr(), "x");
    DynString nested("aabcbc");
    ReplaceText(nested, DynString("abc"), DynString(""));
    EXPECT_STREQ(nested.CStr(), "");
}

TEST(StringReplaceText, EmptyFindTextChangesNothing) {
    DynString text("abc");
    DynString result = ReplaceText(text, DynString(""), DynString("x"));
    EXPECT_STREQ(text.CStr(), "abc");
    EXPECT_STREQ(result.CStr(), "abc");
}

TEST(StringReplaceText, FindOrReplaceMayBeTheTextItself) {
    DynString text("abc");
    ReplaceText(text, text, DynString("xy"));
    EXPECT_STREQ(text.CStr(), "xy");
    DynString again("ab");
    ReplaceText(again, DynString("b"), again);
    EXPECT_STREQ(again.CStr(), "aab");
}

TEST(StringSplitText, RunsOfDelimitersGiveNoEmptyFields) {
    DynStringArray fields;
    EXPECT_EQ(SplitText(DynString("a,,b,"), fields, DynString(",")), 2.0);
    EXPECT_EQ(fields.Bounds(0), 2.0);
    EXPECT_STREQ(fields.At(0).CStr(), "a");
    EXPECT_STREQ(fields.At(1).CStr(), "b");

    EXPECT_EQ(SplitText(DynString(" ;one; two  three;"), fields, DynString(" ;")), 3.0);
    EXPECT_STREQ(fields.At(0).CStr(), "one");
    EXPECT_STREQ(fields.At(1).CStr(), "two");
    EXPECT_STREQ(fields.At(2).CStr(), "three");
}

TEST(StringSplitText, NoDelimiterEmptyTextAndEmptyDelimiterSet) {
    DynStringArray fields;
    EXPECT_EQ(SplitText(DynString("whole text"), fields, DynString(",")), 1.0);
    EXPECT_STREQ(fields.At(0).CStr(), "whole text");
    EXPECT_EQ(SplitText(DynString("a b"), fields, DynString("")), 1.0);
    EXPECT_STREQ(fields.At(0).CStr(), "a b");
    EXPECT_EQ(SplitText(DynString(""), fields, DynString(",")), 0.0);
    EXPECT_EQ(fields.Bounds(0), 0.0);
    EXPECT_EQ(SplitText(DynString(",,,"), fields, DynString(",")), 0.0);
}

TEST(StringSplitText, LeavesTheCallersTextUntouched) {
    DynString text("x=1;y=2");
    DynStringArray fields;
    SplitText(text, fields, DynString(";"));
    EXPECT_STREQ(text.CStr(), "x=1;y=2");
    EXPECT_EQ(text.Length(), 7u);
}

TEST(StringSplitText, TheTextMayBeAnElementOfTheResult) {
    DynStringArray fields;
    fields.Dim(1);
    fields.At(0) = "p q r";
    EXPECT_EQ(SplitText(fields.At(0), fields, DynString(" ")), 3.0);
    EXPECT_STREQ(fields.At(0).CStr(), "p");
    EXPECT_STREQ(fields.At(2).CStr(), "r");
}

TEST(StringSplitText, ManyFields) {
    std::string csv;
    for (int i = 0; i < 1000; ++i) csv += std::to_string(i) + ",";
    DynStringArray fields;
    ASSERT_EQ(SplitText(DynString(csv.c_str()), fields, DynString(",")), 1000.0);
    EXPECT_STREQ(fields.At(0).CStr(), "0");
    EXPECT_STREQ(fields.At(999).CStr(), "999");
}

TEST(StringToNumber, StrtodOfTheText) {
    EXPECT_EQ(ToNumber(DynString("3.25")), 3.25);
    EXPECT_EQ(ToNumber(DynString("  -7e2 rest")), -700.0);
    EXPECT_EQ(ToNumber(DynString("0x10")), 16.0);
    EXPECT_EQ(ToNumber(DynString("abc")), 0.0);
    EXPECT_EQ(ToNumber(DynString("")), 0.0);
}

TEST(StringEnd, EndsTheProgramNormally) {
    // The debug report of a normal end: code 0 recorded at line 0.
    std::string log = voxatest::PrivateLogPath("end");
    EXPECT_EXIT(
        {
            SetErrorLogPathForTesting(log.c_str());
            gSettings.debugMode = 1;
            End();
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(voxatest::ReadLogLines(log),
              (std::vector<std::string>{"-End On Line", "0", "-1", "0", "0"}));
    std::remove(log.c_str());
}

TEST(StringEnd, RecordsCodeZeroAtTheCurrentLine) {
    voxatest::ExpectEndWithCode([] { End(); }, 0, "end_line");
}
