// The hexadecimal text of a status table's parameter bytes; the cases are the
// table tests/data/view/user-params.txt.
#include <gtest/gtest.h>

#include "core/view/UserParamsText.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

TEST(UserParamsText, FormatCheckParseAndFormatBack)
{
    for (const auto& row : Rows("view/user-params.txt")) {
        const Status r = CheckUserParamsText(row[0]);
        EXPECT_EQ(r.ok(), row[1] == "yes") << row[0];
        if (!r) {
            EXPECT_EQ(r.error(), Refuse(Code::BadValue, "用户参数格式错误")) << row[0];
        }
        if (row[2] == "-") continue;
        const Bytes bytes = ParseUserParams(row[0], std::stoi(row[2]));
        EXPECT_EQ(bytes, H(row[3])) << row[0];
        EXPECT_EQ(FormatUserParams(bytes), row[4]) << row[0];
    }
    EXPECT_EQ((std::vector{UserParamsMaxLength(8), UserParamsMaxLength(1), UserParamsMaxLength(0)}),
              (std::vector{23, 2, 0}));
}
