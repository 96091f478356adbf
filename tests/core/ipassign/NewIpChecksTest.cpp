// The checks of a new assignment, in their order, with their exact texts,
// and the one builder of an assignment from the dialog's texts or from
// "MAC=IP[,NAME]".
#include <gtest/gtest.h>

#include "core/ipassign/NewIpChecks.h"

using namespace varnel;

namespace {
const std::string MAC_TEXT = "MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F";
const std::string IP_TEXT = "IP设置错误";
const std::string MAC = "00:1a:2b:3c:4d:5e";

std::string RefusalText(const NewIpEntry& entry)
{
    const Status checked = CheckNewIp(entry);
    if (checked)
        return "";
    EXPECT_EQ(checked.code(), Code::BadAssignment);
    return checked.message().text;
}
}  // namespace

TEST(NewIpChecks, MacText)
{
    const std::vector<std::pair<std::string, bool>> cases = {
        {"00:1A:2b:3c:4d:5e", true},  {"00:1a:2b:3c:4d:5e", true},
        {"00-1A-2B-3C-4D-5E", false}, {"001A2B3C4D5E", false},
        {"00:1A:2B:3C:4D:5G", false}, {"00:00:00:00:00:00", false},
        {"ff:ff:ff:ff:ff:ff", false}, {"FF:FF:FF:FF:FF:FF", false},
        {"00:1A:2B:3C:4D:5E:", false}, {"0:1A:2B:3C:4D:5E0", false},
        {"", false},                  {"00:1A:2B:3C:4D:5", false},
        {"00::1A:2B:3C:4D5E", false}, {"ff:ff:ff:ff:ff:fe", true},
    };
    for (const auto& [text, valid] : cases)
        EXPECT_EQ(RefusalText({text, "192.168.1.20", "gw1", ""}), valid ? "" : MAC_TEXT) << text;
}

TEST(NewIpChecks, AddressNameAndDescriptionInOrder)
{
    // The limits count bytes of the code page: a Chinese character is 2.
    const std::string ok(250, 'n'), over(251, 'n');
    std::string chinese84, chinese126;
    for (int i = 0; i < 126; ++i)
        (i < 84 ? chinese84 : chinese126) += "网";
    chinese126 = chinese84 + chinese126;
    struct Case {
        NewIpEntry input;
        std::string text;  // empty: accepted
    };
    const std::vector<Case> cases = {
        {{MAC, "0.1.2.3", "", ""}, IP_TEXT},          {{MAC, "224.0.0.1", "", ""}, IP_TEXT},
        {{MAC, "223.255.255.255", "", ""}, ""},       {{MAC, "1.0.0.0", "", ""}, ""},
        {{MAC, "", "", ""}, IP_TEXT},                 {{MAC, "192.168.1", "", ""}, IP_TEXT},
        {{MAC, "256.1.1.1", "", ""}, IP_TEXT},        {{MAC, "10.0.0.010", "", ""}, IP_TEXT},
        {{MAC, "10.0.0.1", ok, ok}, ""},
        {{MAC, "10.0.0.1", over, over}, "设备名称最多200个字符"},
        {{MAC, "10.0.0.1", ok, over}, "设备描述最多200个字符"},
        {{MAC, "10.0.0.1", chinese84, chinese84}, ""},  // 168 bytes
        {{MAC, "10.0.0.1", chinese126, ""}, "设备名称最多200个字符"},  // 252 bytes
        {{MAC, "10.0.0.1", "", chinese126}, "设备描述最多200个字符"},
        {{"bad", "0.0.0.0", over, over}, MAC_TEXT},   // the MAC first,
        {{MAC, "0.0.0.0", over, over}, IP_TEXT},      // then the address
    };
    for (const auto& c : cases)
        EXPECT_EQ(RefusalText(c.input), c.text) << c.input.ipText << " " << c.input.deviceName.size();
}

TEST(NewIpChecks, AssignmentFromText)
{
    const auto entry = ParseAssignmentText("00:1A:2b:3c:4d:5e=10.0.0.5,网关1.local");
    ASSERT_TRUE(entry);
    const auto built = BuildAssignment(*entry, true);
    ASSERT_TRUE(built);
    EXPECT_EQ(built->macText, "00:1A:2b:3c:4d:5e");  // as typed
    EXPECT_EQ(built->address, 0x0A000005u);
    EXPECT_EQ(built->deviceName, "网关1.local");
    EXPECT_TRUE(built->offerArmed);
    EXPECT_EQ(ParseAssignmentText("00:1A:2b:3c:4d:5e").code(), Code::BadValue);
    const auto badIp = BuildAssignment(*ParseAssignmentText(MAC + "=224.0.0.1"), true);
    ASSERT_FALSE(badIp);
    EXPECT_EQ(badIp.message(), ErrorMessage(IP_TEXT));
}
