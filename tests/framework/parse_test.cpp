// The numeric read-back rules, input by input.
#include <gtest/gtest.h>

#include <string>

#include "framework/ddx.h"

namespace {

struct SignedCase {
    const char* text;
    bool ok;
    LONG value;
};

TEST(ParseLong, FollowsTheReadBackRules) {
    const SignedCase cases[] = {
        {"0", true, 0},          {"00", true, 0},           {"12", true, 12},
        {" 12 ", true, 12},      {"\t-7\t", true, -7},      {"+5", true, 5},
        {"-1000", true, -1000},  {"1655", true, 1655},      {"007", true, 7},
        {"", false, 0},          {"   ", false, 0},         {"-", false, 0},
        {"+", false, 0},         {"-0", false, 0},          {"+0", false, 0},
        {"abc", false, 0},       {"12a", false, 0},         {"1 2", false, 0},
        {"- 5", false, 0},       {"0x10", false, 0},        {"\n5", false, 0},
        {"2147483647", true, 2147483647},
        {"99999999999999999999", true, 2147483647},  // saturates, then fails the range check
        {"-99999999999999999999", true, -2147483647 - 1},
    };
    for (const SignedCase& c : cases) {
        LONG value = 4242;
        const bool ok = AfxParseLong(c.text, value);
        EXPECT_EQ(ok, c.ok) << "text \"" << c.text << "\"";
        if (c.ok) {
            EXPECT_EQ(value, c.value) << "text \"" << c.text << "\"";
        } else {
            EXPECT_EQ(value, 4242) << "a failed parse must leave the field alone: \"" << c.text << "\"";
        }
    }
}

struct UnsignedCase {
    const char* text;
    bool ok;
    DWORD value;
};

TEST(ParseDWord, FollowsTheReadBackRules) {
    const UnsignedCase cases[] = {
        {"0", true, 0},        {" 5 ", true, 5},      {"+5", true, 5},         {"100", true, 100},
        {"-5", false, 0},      {" -0", false, 0},     {"-", false, 0},         {"", false, 0},
        {"+", false, 0},       {"5%", false, 0},      {"x", false, 0},
        {"4294967295", true, 4294967295u},
        {"4294967296", true, 4294967295u},  // saturates
        {"123456789012345678901234567890", true, 4294967295u},
    };
    for (const UnsignedCase& c : cases) {
        DWORD value = 4242;
        const bool ok = AfxParseDWord(c.text, value);
        EXPECT_EQ(ok, c.ok) << "text \"" << c.text << "\"";
        if (c.ok) {
            EXPECT_EQ(value, c.value) << "text \"" << c.text << "\"";
        }
    }
}

TEST(AfxFormatString2, FillsBothPlaceholders) {
    CString text;
    AfxFormatString2(text, 61442 /* AFX_IDP_PARSE_INT_RANGE */, "-1000", "1655");
    EXPECT_EQ(text.str(), "Please enter an integer between -1000 and 1655.");
}

TEST(CStringFormat, HandlesLongResults) {
    CString text;
    const std::string long_name(500, 'n');
    text.Format("%d: %s", 15, long_name.c_str());
    EXPECT_EQ(text.GetLength(), 504);
    EXPECT_EQ(text.str().substr(0, 4), "15: ");
}

}  // namespace
