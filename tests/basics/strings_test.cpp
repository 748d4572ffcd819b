// DynString, the members the loaders rely on, and the string commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/fatal_report.h"
#include "voxa/basics.h"

namespace {

std::string T(const DynString& s) { return s.CStr(); }
DynString D(const std::string& s) { return DynString(s.c_str()); }

struct TextCase {
    DynString got;
    const char* want;
};
void ExpectTexts(const std::vector<TextCase>& cases) {
    for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(T(cases[i].got), cases[i].want) << "case " << i;
}
void ExpectValues(const std::vector<std::pair<double, double>>& cases) {
    for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
}

} // namespace

TEST(DynStringGrowth, CapacityIsTheNextMultipleOf512AboveTheLength) {
    DynString s;
    EXPECT_EQ(s.Capacity(), 4u);
    for (auto [len, cap] : {std::pair<int, unsigned>{0, 512}, {511, 512}, {512, 1024}, {1023, 1024}, {1024, 1536}})
        EXPECT_EQ(D(std::string(size_t(len), 'a')).Capacity(), cap) << len;
    std::string expected;
    for (int i = 0; i < 1500; ++i) {
        s += std::string(1, char('a' + i % 26)).c_str();
        expected += char('a' + i % 26);
        ASSERT_TRUE(s.Length() < s.Capacity() && s.Capacity() % 512 == 0) << i;
    }
    EXPECT_EQ(T(s), expected);
    s.Reserve(10); // never shrinks, also not on assignment
    s = "short";
    EXPECT_EQ(s.Capacity(), 1536u);
    EXPECT_EQ(s.Length(), 5u);
    EXPECT_EQ(DynString(5).Capacity() + DynString(5.5).Capacity(), 1024u); // numbers reserve room for 64
    s.AssignExact("abc");
    EXPECT_EQ(s.Capacity(), 4u);
    s += "d"; // the next growth follows the rule again
    EXPECT_EQ(s.Capacity(), 512u);
    EXPECT_EQ(T(s), "abcd");
}

TEST(DynStringMembers, BuffersCopiesMovesAndNullTexts) {
    DynString s; // the loaders' idiom: write through GetBuffer, then UpdateLength
    std::strcpy(s.GetBuffer(3), "abc");
    s.GetBuffer(600); // the text is copied up to its NUL, even with the length field still 0
    EXPECT_EQ(s.Length(), 0u);
    EXPECT_EQ(s.UpdateLength(), 3u);
    for (auto [in, out] : {std::pair<const char*, const char*>{"value\r\n", "value"}, {"ab\xC3\xA9", "ab"},
                           {"a\tb \t\n", "a\tb "}, {"\r\n", ""}}) {
        DynString line(in);
        line.TrimControlEnd(); // bytes 128..255 are negative as signed chars; stops at a blank
        EXPECT_EQ(T(line), out);
        EXPECT_EQ(line.Length(), std::strlen(in)); // the length is left as it was
    }
    DynString c("A\xC8z"), a("original"), b(a), x(std::string(400, 'x').c_str()), t("abcdef");
    EXPECT_EQ(c.CharAt(1), -56);
    c.Truncate(1);
    EXPECT_EQ(c.Length(), 1u);
    b += "!";
    DynString moved(std::move(b));
    EXPECT_EQ(b.Length(), 0u);
    b = "reused"; // a moved-from string can be assigned again
    const DynString& same = a;
    a = same;
    x += x; // the buffer is reallocated while the source is being read
    t.Append(t.GetBuffer(0) + 3);
    EXPECT_EQ(T(t), "abcdefdef");
    t.Assign(t.GetBuffer(0) + 6);
    EXPECT_EQ(t.Length(), 3u);
    const char* none = nullptr;
    DynString n(none);
    n += none;
    n.Append(none);
    EXPECT_EQ((std::vector<std::string>{T(s), T(c), T(a), T(moved), T(b), T(t), T(n)}),
              (std::vector<std::string>{"abc", "A", "original", "original!", "reused", "def", ""}));
    EXPECT_EQ(T(x), std::string(800, 'x'));
    n = "abc";
    n = none;
    EXPECT_EQ(n.Length(), 0u);
}

TEST(DynStringNumbers, TextsOfNumbersConcatenationAndFind) {
    DynString s("n=");
    s += 7;
    s += 0.5;
    s += 2.0f;
    s += DynString(";");
    EXPECT_EQ(s.Length(), 8u);
    DynString left("left"), right("right");
    DynString both = left + right;
    ExpectTexts({{DynString(5), "5"}, {DynString(INT_MIN), "-2147483648"}, {DynString(2.5), "2.5"},
                 {DynString(0.00001), "1e-05"}, {DynString(1234567.0), "1.23457e+06"}, {DynString(0.1f), "0.1"},
                 {DynString(NAN), "nan"}, {DynString("keep") = 42, "42"}, {DynString() = 1.5f, "1.5"},
                 {DynString("abc") + 1 + 2, "abc12"}, {1 + DynString("abc"), "1abc"}, {2.5 + DynString("x"), "2.5x"},
                 {0.5f + DynString("x"), "0.5x"}, {DynString("x") + 1e-5, "x1e-05"},
                 {DynString("x") + 0.25f, "x0.25"}, {"pre" + DynString("post"), "prepost"},
                 {DynString("pre") + "post", "prepost"}, {s, "n=70.52;"}, {both, "leftright"}, {left, "left"},
                 {right, "right"}});
    ExpectValues({{Find("hello", "l"), 2}, {Find("hello", "z"), -1}, {Find("hello", ""), 0},
                  {Find(DynString("hello"), DynString("lo")), 3}, {Find(DynString("hello"), "hello!"), -1},
                  {Find("abcabc", DynString("ca")), 2}, {Find(nullptr, "a"), -1}, {Find("abc", nullptr), 0}});
}

TEST(DynStringCompare, StringsByBytesNumbersByValue) {
    DynString trimmed("abc\r\n");
    trimmed.TrimControlEnd(); // text "abc", length field still 5
    DynString nanText("nan"), one("1");
    ExpectValues({
        {DynString("abc") == DynString("abc"), 1}, {DynString("abc") == "abc", 1}, {"abc" == DynString("abc"), 1},
        {DynString("abc") == DynString("abd"), 0}, {DynString("abc") != DynString("abd"), 1},
        {DynString("") < DynString("a"), 1}, {DynString("") < "a", 1}, {"b" > DynString("a"), 1},
        {DynString("10") > 9, 1}, {DynString("10") < DynString("9"), 1}, {DynString("abc") == 0, 1},
        {DynString("1e3") == 1000, 1}, {DynString(" 42x") == 42, 1}, {DynString("2.5") == 2.5f, 1},
        {3 <= DynString("3"), 1}, {2.0 >= DynString("3"), 0}, {1.5f < DynString("2"), 1},
        {DynString("\xC8") > DynString("z"), 1}, {DynString("\xC8") > "z", 1}, // bytes compare unsigned
        {trimmed == DynString("abc"), 0}, {trimmed == "abc", 1}, // two strings: the length fields first
        {nanText == 0, 0}, {nanText != 0, 1}, {nanText < 1.0, 0}, {nanText >= 1.0f, 0}, // NaN: only !=
        {one == NAN, 0}, {one != NAN, 1}, {NAN <= one, 0}, {NAN != one, 1}, {one > NAN, 0},
    });
}

TEST(StringCommands, LenAscChrToNumber) {
    ExpectValues({{Len(DynString("hello")), 5}, {Len(DynString("")), 0}, {Len(1234567.0), 11}, {Len(2.5), 3},
                  {Len(-3.0), 2}, {Asc(DynString("A")), 65}, {Asc(DynString("\xC8xyz")), -56},
                  {Asc(DynString("")), 0}, {Chr(200).CharAt(0), -56}, {Chr(256).Length(), 0},
                  {Chr(NAN).Length(), 0}, {Chr(1e300).Length(), 0}, // a multiple of 256: byte 0
                  {ToNumber(DynString("3.25")), 3.25}, {ToNumber(DynString("  -7e2 rest")), -700},
                  {ToNumber(DynString("0x10")), 16}, {ToNumber(DynString("-2.5e-1kg")), -0.25},
                  {ToNumber(DynString("abc")), 0}, {ToNumber(DynString("")), 0}});
    ExpectTexts({{Chr(65), "A"}, {Chr(321), "A"}, {Chr(65.9), "A"}, {Chr(-191), "A"}, {Chr(0), ""}});
}

TEST(StringCommands, MidTextCaseFormatAndHex) {
    DynString hello("hello"), stale("ab\r\n"), original("MiXed");
    stale.TrimControlEnd(); // length field 4, text "ab": never read past the text
    const unsigned char bytes[] = {0x00, 0x09, 0xFF, 0x5C};
    DynString upper = UpperCase(original);
    ExpectTexts({
        {MidText(hello, 1, 3), "ell"}, {MidText(hello, 3, 10), "lo"}, {MidText(hello, 0, 5), "hello"},
        {MidText(hello, 1.9, 2.9), "el"}, {MidText(hello, 4, 1e300), "o"}, {MidText(hello, 5, 1), ""},
        {MidText(hello, -1, 2), ""}, {MidText(hello, -0.5, 2), ""}, {MidText(hello, 1.5, 10), "ell"},
        {MidText(hello, 6, 2), ""}, {MidText(hello, 1, 0), ""},
        {MidText(hello, 1, -3), ""}, {MidText(hello, 1e300, 1), ""}, {MidText(hello, NAN, 2), "he"},
        {MidText(DynString(""), 0, 3), ""}, {MidText(stale, 1, 3), "b"},
        {UpperCase(DynString("Hello, World 9\xE9")), "HELLO, WORLD 9\xE9"},
        {LowerCase(DynString("Hello, World 9\xC9")), "hello, world 9\xC9"}, {original, "MiXed"}, {upper, "MIXED"},
        {FormatNumber(8, 2, 3.14159), "    3.14"}, {FormatNumber(0, 0, 2.5), "2"}, // halves round to even
        {FormatNumber(0, 0, 3.5), "4"}, {FormatNumber(5.9, 1.9, -1.25), " -1.2"},
        {FormatNumber(-6, 1, 2), "2.0   "}, {FormatNumber(0, -3, 2.7), "3"}, {FormatNumber(NAN, NAN, 1.5), "2"},
        {HexBytes(bytes, 4), "0009FF5C"}, {HexBytes(bytes + 2, 1.9), "FF"}, {HexBytes(bytes, 0), ""},
        {HexBytes(bytes, -2), ""}, {HexBytes(nullptr, 4), ""},
    });
    EXPECT_EQ(upper.Length(), 5u);
    EXPECT_THROW(HexBytes(bytes, 2147483648.0), std::bad_alloc); // 2^32 digits: no text holds them
    EXPECT_EQ(FormatNumber(0, 2, 1e6).Length(), 10u);
    // Never longer than 511 characters, however wide the field or the number.
    for (auto [width, decimals, value, head] : {std::tuple<double, double, double, char>{100000, 2, 1, ' '},
                                                {0, 400, 1e300, '1'}, {2147483647.0 * 4, 1e12, -1e308, '-'}}) {
        DynString f = FormatNumber(width, decimals, value);
        EXPECT_EQ(f.Length(), 511u) << value;
        EXPECT_EQ(f.CStr()[0], head) << value;
    }
    EXPECT_STREQ(FormatNumber(100000, 2, 1).CStr() + 507, "1.00");
}

TEST(StringCommands, ReplaceTextAndSplitText) {
    struct Case {
        const char *text, *find, *replace, *want;
    } cases[] = {
        {"abca", "a", "b", "bbcb"}, {"a-b-c", "-", " - ", "a - b - c"}, {"nothing here", "zz", "y", "nothing here"},
        {"aaaa", "aa", "a", "a"},     // the search restarts inside the replaced part
        {"aaa", "a", "aa", "aaaaaa"}, // ... but never re-finds its own output
        {"xabcabc", "abc", "", "x"}, {"aabcbc", "abc", "", ""}, {"abc", "", "x", "abc"}, // nothing before the text
    };
    for (const Case& c : cases) {
        DynString text(c.text);
        DynString result = ReplaceText(text, DynString(c.find), DynString(c.replace));
        EXPECT_EQ(T(text) + "|" + T(result), std::string(c.want) + "|" + c.want) << c.text;
        EXPECT_EQ(text.Length(), std::strlen(c.want)) << c.text;
    }
    DynString text("abc"), again("ab"); // find or replace may be the text itself
    ReplaceText(text, text, DynString("xy"));
    ReplaceText(again, DynString("b"), again);
    EXPECT_EQ(T(text) + " " + T(again), "xy aab");

    // SplitText gives no empty fields and leaves the caller's text untouched.
    DynStringArray fields;
    for (auto [in, delimiters, want] : {std::tuple<const char*, const char*, const char*>{"a,,b,", ",", "a|b"},
                                        {" ;one; two  three;", " ;", "one|two|three"},
                                        {"whole text", ",", "whole text"},
                                        {"a b", "", "a b"}, {"", ",", ""}, {",,,", ",", ""}}) {
        DynString input(in);
        std::string got;
        for (int i = 0, n = int(SplitText(input, fields, DynString(delimiters))); i < n; ++i)
            got += (i ? "|" : "") + T(fields.At(i));
        EXPECT_EQ(got, want);
        EXPECT_EQ(fields.Bounds(0), double(std::count(want, want + std::strlen(want), '|') + (*want != 0)));
        EXPECT_EQ(T(input) + std::to_string(input.Length()), in + std::to_string(std::strlen(in)));
    }
    fields.Dim(1);
    fields.At(0) = "p q r"; // the text may be an element of the result
    EXPECT_EQ(SplitText(fields.At(0), fields, DynString(" ")), 3.0);
    EXPECT_EQ(T(fields.At(0)) + T(fields.At(2)), "pr");
}

TEST(StringCommands, EndRecordsCodeZeroAtTheCurrentLine) {
    voxatest::ExpectEndWithCode([] { End(); }, 0, "end_line");
}
