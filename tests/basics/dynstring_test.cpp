// DynString: growth rule, number texts, concatenation, comparisons and the members the runtime's
// loaders rely on.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "voxa/dynstring.h"

TEST(DynStringGrowth, DefaultHasCapacityFourAndGrowsTo512OnFirstAppend) {
    DynString s;
    EXPECT_EQ(s.Capacity(), 4u);
    EXPECT_STREQ(s.CStr(), "");
    EXPECT_EQ(s.Length(), 0u);
    s += "x";
    EXPECT_EQ(s.Capacity(), 512u);
    EXPECT_EQ(s.Length(), 1u);
    EXPECT_STREQ(s.CStr(), "x");
}

TEST(DynStringGrowth, CapacityIsNextMultipleOf512AboveLength) {
    EXPECT_EQ(DynString("").Capacity(), 512u);
    EXPECT_EQ(DynString(std::string(511, 'a').c_str()).Capacity(), 512u);
    EXPECT_EQ(DynString(std::string(512, 'a').c_str()).Capacity(), 1024u);
    EXPECT_EQ(DynString(std::string(1023, 'a').c_str()).Capacity(), 1024u);
    EXPECT_EQ(DynString(std::string(1024, 'a').c_str()).Capacity(), 1536u);
}

TEST(DynStringGrowth, AppendsGrowAcrossBoundariesAndKeepTheText) {
    DynString s;
    std::string expected;
    for (int i = 0; i < 1500; ++i) {
        char c[2] = {static_cast<char>('a' + i % 26), 0};
        s += c;
        expected += c;
        ASSERT_LT(s.Length(), s.Capacity());
        ASSERT_EQ(s.Capacity() % 512, 0u);
    }
    EXPECT_EQ(s.Capacity(), 1536u);
    EXPECT_EQ(std::string(s.CStr()), expected);
}

TEST(DynStringGrowth, ReserveNeverShrinksAndAssignmentKeepsALargeBuffer) {
    DynString s(std::string(2000, 'q').c_str());
    EXPECT_EQ(s.Capacity(), 2048u);
    s.Reserve(10);
    EXPECT_EQ(s.Capacity(), 2048u);
    s = "short";
    EXPECT_EQ(s.Capacity(), 2048u);
    EXPECT_STREQ(s.CStr(), "short");
    EXPECT_EQ(s.Length(), 5u);
    s = DynString("other");
    EXPECT_STREQ(s.CStr(), "other");
}

TEST(DynStringGrowth, AssignExactAllocatesLengthPlusOne) {
    DynString s("some text");
    s.AssignExact("abc");
    EXPECT_EQ(s.Capacity(), 4u);
    EXPECT_EQ(s.Length(), 3u);
    EXPECT_STREQ(s.CStr(), "abc");
    s += "d"; // the next growth follows the rule again
    EXPECT_EQ(s.Capacity(), 512u);
    EXPECT_STREQ(s.CStr(), "abcd");
}

TEST(DynStringMembers, LoaderIdiomWritesThroughGetBufferThenUpdatesLength) {
    DynString s;
    s.Reserve(1024);
    EXPECT_EQ(s.Capacity(), 1536u);
    char* buf = s.GetBuffer(512);
    EXPECT_EQ(s.Length(), 0u); // GetBuffer leaves the length alone
    std::strcpy(buf, "/tmp/resolved.bmp");
    EXPECT_EQ(s.UpdateLength(), 17u);
    EXPECT_EQ(s.Length(), 17u);
    EXPECT_STREQ(s.CStr(), "/tmp/resolved.bmp");
}

TEST(DynStringMembers, GetBufferGrowthKeepsTextWrittenBeforeUpdateLength) {
    DynString s;
    std::strcpy(s.GetBuffer(3), "abc");
    s.GetBuffer(600); // the text is copied up to its NUL, even with the length field still 0
    EXPECT_EQ(s.UpdateLength(), 3u);
    EXPECT_STREQ(s.CStr(), "abc");
}

TEST(DynStringMembers, TrimControlEndClearsTrailingControlBytesButNotTheLength) {
    DynString line("value\r\n");
    line.TrimControlEnd();
    EXPECT_STREQ(line.CStr(), "value");
    EXPECT_EQ(line.Length(), 7u);
    EXPECT_EQ(line.UpdateLength(), 5u);

    DynString high("ab\xC3\xA9");  // bytes 128..255 are negative as signed chars
    high.TrimControlEnd();
    EXPECT_STREQ(high.CStr(), "ab");

    DynString inner("a\tb \t\n"); // stops at the first byte above 31, a blank here
    inner.TrimControlEnd();
    EXPECT_STREQ(inner.CStr(), "a\tb ");

    DynString all("\r\n");
    all.TrimControlEnd();
    EXPECT_STREQ(all.CStr(), "");
}

TEST(DynStringMembers, CharAtIsSignedAndTruncateCuts) {
    DynString s("A\xC8z");
    EXPECT_EQ(s.CharAt(0), 65);
    EXPECT_EQ(s.CharAt(1), -56);
    s.Truncate(1);
    EXPECT_EQ(s.Length(), 1u);
    EXPECT_STREQ(s.CStr(), "A");
    s.Truncate(0);
    EXPECT_EQ(s.Length(), 0u);
}

TEST(DynStringMembers, CopiesAndMovesOwnTheirBuffers) {
    DynString a("original");
    DynString b(a);
    b += "!";
    EXPECT_STREQ(a.CStr(), "original");
    EXPECT_STREQ(b.CStr(), "original!");
    DynString c(std::move(b));
    EXPECT_STREQ(c.CStr(), "original!");
    EXPECT_EQ(b.Length(), 0u);
    EXPECT_STREQ(b.CStr(), "");
    b = "reused"; // a moved-from string can be assigned again
    EXPECT_STREQ(b.CStr(), "reused");
    const DynString& same = a;
    a = same; // self-assignment keeps the text
    EXPECT_STREQ(a.CStr(), "original");
}

TEST(DynStringMembers, AppendingItselfOrAPartOfItself) {
    DynString s(std::string(400, 'x').c_str());
    s += s; // 800 bytes: the buffer is reallocated while the source is being read
    EXPECT_EQ(s.Length(), 800u);
    EXPECT_EQ(std::string(s.CStr()), std::string(800, 'x'));

    DynString t("abcdef");
    t.Append(t.GetBuffer(0) + 3);
    EXPECT_STREQ(t.CStr(), "abcdefdef");
    t.Assign(t.GetBuffer(0) + 6);
    EXPECT_STREQ(t.CStr(), "def");
    EXPECT_EQ(t.Length(), 3u);
}

TEST(DynStringMembers, ToNumberTakesTheLongestNumericPrefix) {
    EXPECT_EQ(DynString("1e3").ToNumber(), 1000.0);
    EXPECT_EQ(DynString(" 42x").ToNumber(), 42.0);
    EXPECT_EQ(DynString("x").ToNumber(), 0.0);
    EXPECT_EQ(DynString("").ToNumber(), 0.0);
    EXPECT_EQ(DynString("0x1F").ToNumber(), 31.0);
    EXPECT_EQ(DynString("-2.5e-1kg").ToNumber(), -0.25);
}

TEST(DynStringMembers, NullTextsReadAsEmpty) {
    const char* none = nullptr;
    DynString s(none);
    EXPECT_STREQ(s.CStr(), "");
    s = "abc";
    s += none;
    s.Append(none);
    EXPECT_STREQ(s.CStr(), "abc");
    s = none;
    EXPECT_EQ(s.Length(), 0u);
    EXPECT_EQ(Find(none, "a"), -1.0);
    EXPECT_EQ(Find("abc", none), 0.0);
}

TEST(DynStringMembers, FindGivesPositionOrMinusOne) {
    EXPECT_EQ(Find("hello", "l"), 2.0);
    EXPECT_EQ(Find("hello", "z"), -1.0);
    EXPECT_EQ(Find("hello", ""), 0.0);
    EXPECT_EQ(Find(DynString("hello"), DynString("lo")), 3.0);
    EXPECT_EQ(Find(DynString("hello"), "hello!"), -1.0);
    EXPECT_EQ(Find("abcabc", DynString("ca")), 2.0);
}

TEST(DynStringNumbers, UsePercentGAndPercentD) {
    EXPECT_STREQ(DynString(5).CStr(), "5");
    EXPECT_STREQ(DynString(-17).CStr(), "-17");
    EXPECT_STREQ(DynString(INT_MIN).CStr(), "-2147483648");
    EXPECT_STREQ(DynString(2.5).CStr(), "2.5");
    EXPECT_STREQ(DynString(1e20).CStr(), "1e+20");
    EXPECT_STREQ(DynString(0.0001).CStr(), "0.0001");
    EXPECT_STREQ(DynString(0.00001).CStr(), "1e-05");
    EXPECT_STREQ(DynString(1234567.0).CStr(), "1.23457e+06");
    EXPECT_STREQ(DynString(100.0).CStr(), "100");
    EXPECT_STREQ(DynString(0.5).CStr(), "0.5");
    EXPECT_STREQ(DynString(-0.0).CStr(), "-0");
    EXPECT_STREQ(DynString(2.5f).CStr(), "2.5");
    EXPECT_STREQ(DynString(0.1f).CStr(), "0.1"); // widened to double, six digits
    EXPECT_STREQ(DynString(NAN).CStr(), "nan");
    EXPECT_STREQ(DynString(-INFINITY).CStr(), "-inf");
}

TEST(DynStringNumbers, NumberConstructionReservesFor64) {
    EXPECT_EQ(DynString(5).Capacity(), 512u);
    EXPECT_EQ(DynString(5.5).Capacity(), 512u);
    DynString s("keep");
    s = 42;
    EXPECT_STREQ(s.CStr(), "42");
    EXPECT_EQ(s.Length(), 2u);
    s = 0.25;
    EXPECT_STREQ(s.CStr(), "0.25");
    s = 1.5f;
    EXPECT_STREQ(s.CStr(), "1.5");
}

TEST(DynStringConcat, MixesNumbersOnEitherSide) {
    EXPECT_STREQ((DynString("abc") + 1 + 2).CStr(), "abc12");
    EXPECT_STREQ((1 + DynString("abc")).CStr(), "1abc");
    EXPECT_STREQ((2.5 + DynString("x")).CStr(), "2.5x");
    EXPECT_STREQ((0.5f + DynString("x")).CStr(), "0.5x");
    EXPECT_STREQ((DynString("x") + 1e-5).CStr(), "x1e-05");
    EXPECT_STREQ((DynString("x") + 0.25f).CStr(), "x0.25");
    EXPECT_STREQ(("pre" + DynString("post")).CStr(), "prepost");
    EXPECT_STREQ((DynString("pre") + "post").CStr(), "prepost");
    EXPECT_STREQ((DynString("a") + DynString("b")).CStr(), "ab");
}

TEST(DynStringConcat, AppendOfNumbersUsesTheirTexts) {
    DynString s("n=");
    s += 7;
    s += 0.5;
    s += 2.0f;
    s += DynString(";");
    EXPECT_STREQ(s.CStr(), "n=70.52;");
    EXPECT_EQ(s.Length(), 8u);
}

TEST(DynStringConcat, LeavesOperandsUnchanged) {
    DynString a("left");
    DynString b("right");
    DynString c = a + b;
    EXPECT_STREQ(a.CStr(), "left");
    EXPECT_STREQ(b.CStr(), "right");
    EXPECT_STREQ(c.CStr(), "leftright");
}

TEST(DynStringCompare, StringsByBytesNumbersByValue) {
    EXPECT_EQ(DynString("abc") == DynString("abc"), 1.0);
    EXPECT_EQ(DynString("abc") == "abc", 1.0);
    EXPECT_EQ("abc" == DynString("abc"), 1.0);
    EXPECT_EQ(DynString("abc") == DynString("abd"), 0.0);
    EXPECT_EQ(DynString("abc") != DynString("abd"), 1.0);
    EXPECT_EQ(DynString("") < DynString("a"), 1.0);
    EXPECT_EQ(DynString("") < "a", 1.0);
    EXPECT_EQ("b" > DynString("a"), 1.0);
    EXPECT_EQ(DynString("10") > 9, 1.0);
    EXPECT_EQ(DynString("10") < DynString("9"), 1.0);
    EXPECT_EQ(DynString("abc") == 0, 1.0);
    EXPECT_EQ(DynString("1e3") == 1000, 1.0);
    EXPECT_EQ(DynString(" 42x") == 42, 1.0);
    EXPECT_EQ(DynString("x") == 0.0, 1.0);
    EXPECT_EQ(DynString("2.5") == 2.5f, 1.0);
    EXPECT_EQ(3 <= DynString("3"), 1.0);
    EXPECT_EQ(2.0 >= DynString("3"), 0.0);
    EXPECT_EQ(1.5f < DynString("2"), 1.0);
}

TEST(DynStringCompare, HighBytesCompareAsUnsigned) {
    // strcmp order: byte 200 sorts after 'z' although it is negative as a signed char.
    EXPECT_EQ(DynString("\xC8") > DynString("z"), 1.0);
    EXPECT_EQ(DynString("\xC8") > "z", 1.0);
}

TEST(DynStringCompare, EqualityOfTwoStringsChecksTheLengthFieldsFirst) {
    DynString trimmed("abc\r\n");
    trimmed.TrimControlEnd(); // text "abc", length field still 5
    EXPECT_EQ(trimmed == DynString("abc"), 0.0);
    EXPECT_EQ(trimmed == "abc", 1.0); // against a plain text only the bytes count
    trimmed.UpdateLength();
    EXPECT_EQ(trimmed == DynString("abc"), 1.0);
}

TEST(DynStringCompare, NotANumberSatisfiesOnlyNotEqual) {
    DynString nanText("nan");
    EXPECT_EQ(nanText == 0, 0.0);
    EXPECT_EQ(nanText != 0, 1.0);
    EXPECT_EQ(nanText < 1.0, 0.0);
    EXPECT_EQ(nanText >= 1.0f, 0.0);
    DynString one("1");
    EXPECT_EQ(one == NAN, 0.0);
    EXPECT_EQ(one != NAN, 1.0);
    EXPECT_EQ(NAN <= one, 0.0);
    EXPECT_EQ(NAN != one, 1.0);
    EXPECT_EQ(one > NAN, 0.0);
}
