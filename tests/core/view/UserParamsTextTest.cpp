// The hexadecimal text of a status table's parameter bytes.
#include <gtest/gtest.h>

#include "core/view/UserParamsText.h"

using namespace varnel;

TEST(UserParamsText, FormatCheck)
{
    struct Case {
        const char* text;
        bool ok;
    };
    const Case cases[] = {
        {"", true},        {"0A,ff", true},    {"0a,1", true},
        {"0a,", true},     {"0", true},        {"00,01,02,03,04,05,06,07", true},
        {"0a;ff", false},  {"0g", false},      {"0a,,ff", false},
        {"0a, ff", false}, {",", false},       {"0a0", false},
        {"中", false},     {"0a,\xff", false}, {" 0a", false},
    };
    for (const Case& c : cases) {
        const Status r = CheckUserParamsText(c.text);
        EXPECT_EQ(r.ok(), c.ok) << c.text;
        if (!r) {
            EXPECT_EQ(r.error(), Refuse(Code::BadValue, "用户参数格式错误"));
        }
    }
}

TEST(UserParamsText, ParseKeepsByteCountAndFormatsBack)
{
    struct Case {
        const char* text;
        int count;
        Bytes bytes;
        const char* shown;  // the bytes formatted again
    };
    const Case cases[] = {
        {"0a,01,02,03,04,05,06,07", 8, {10, 1, 2, 3, 4, 5, 6, 7}, "0a,01,02,03,04,05,06,07"},
        {"", 3, {0, 0, 0}, "00,00,00"},
        {"0a,1", 2, {0x0a, 0x01}, "0a,01"},
        {"0a,", 2, {0x0a, 0x00}, "0a,00"},
        {"FF,ee", 2, {0xff, 0xee}, "ff,ee"},
        {"01,02,03", 2, {1, 2}, "01,02"},
        {"1", 1, {1}, "01"},
        {"", 0, {}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseUserParams(c.text, c.count), c.bytes) << c.text;
        EXPECT_EQ(FormatUserParams(c.bytes), c.shown) << c.text;
    }
    EXPECT_EQ(UserParamsMaxLength(8), 23);
    EXPECT_EQ(UserParamsMaxLength(1), 2);
    EXPECT_EQ(UserParamsMaxLength(0), 0);
}
