// DynString: growth rule, number texts, concatenation and comparisons.
#include <gtest/gtest.h>

#include "basics/dynstring.h"

TEST(DynStringGrowth, DefaultHasCapacityFourAndGrowsTo512OnFirstAppend) {
    DynString s;
    EXPECT_EQ(s.Capacity(), 4u);
    EXPECT_STREQ(s.CStr(), "");
    s += "x";
    EXPECT_EQ(s.Capacity(), 512u);
    EXPECT_EQ(s.Length(), 1u);
}

TEST(DynStringGrowth, CapacityIsNextMultipleOf512AboveLength) {
    EXPECT_EQ(DynString(std::string(511, 'a').c_str()).Capacity(), 512u);
    EXPECT_EQ(DynString(std::string(512, 'a').c_str()).Capacity(), 1024u);
}

TEST(DynStringNumbers, UsePercentGAndPercentD) {
    EXPECT_STREQ(DynString(5).CStr(), "5");
    EXPECT_STREQ(DynString(2.5).CStr(), "2.5");
    EXPECT_STREQ(DynString(1e20).CStr(), "1e+20");
    EXPECT_STREQ(DynString(0.0001).CStr(), "0.0001");
    EXPECT_STREQ(DynString(0.00001).CStr(), "1e-05");
    EXPECT_STREQ(DynString(1234567.0).CStr(), "1.23457e+06");
}

TEST(DynStringConcat, MixesNumbersOnEitherSide) {
    EXPECT_STREQ((DynString("abc") + 1 + 2).CStr(), "abc12");
    EXPECT_STREQ((1 + DynString("abc")).CStr(), "1abc");
}

TEST(DynStringCompare, StringsByBytesNumbersByValue) {
    EXPECT_EQ(DynString("abc") == DynString("abc"), 1.0);
    EXPECT_EQ(DynString("abc") == DynString("abd"), 0.0);
    EXPECT_EQ(DynString("") < DynString("a"), 1.0);
    EXPECT_EQ(DynString("10") > 9, 1.0);
    EXPECT_EQ(DynString("10") < DynString("9"), 1.0);
    EXPECT_EQ(DynString("abc") == 0, 1.0);
    EXPECT_EQ(DynString("1e3") == 1000, 1.0);
    EXPECT_EQ(DynString(" 42x") == 42, 1.0);
}
