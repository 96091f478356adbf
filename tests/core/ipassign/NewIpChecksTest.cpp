// The checks of a new assignment, in their order, with their exact texts.
#include <gtest/gtest.h>

#include "core/ipassign/NewIpChecks.h"

using namespace varnel;

namespace {
const std::string MAC_TEXT = "MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F";
const std::string IP_TEXT = "IP设置错误";
const std::string MAC = "00:1a:2b:3c:4d:5e";
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
    for (const auto& [text, valid] : cases) {
        EXPECT_EQ(IsValidMacText(text), valid) << text;
        EXPECT_EQ(CheckNewIp({text, "192.168.1.20", "gw1", ""}),
                  valid ? LegacyRefusal{} : ErrorMessage(MAC_TEXT))
            << text;
    }
}

TEST(NewIpChecks, AddressNameAndDescriptionInOrder)
{
    const std::string ok(250, 'n'), over(251, 'n');
    std::string chinese;  // 84 three-byte characters: 252 bytes, so over the limit
    for (int i = 0; i < 84; ++i)
        chinese += "网";
    struct Case {
        NewIpEntry input;
        std::string text;  // empty: accepted
    };
    const std::vector<Case> cases = {
        {{MAC, "0.1.2.3", "", ""}, IP_TEXT},          {{MAC, "224.0.0.1", "", ""}, IP_TEXT},
        {{MAC, "223.255.255.255", "", ""}, ""},       {{MAC, "1.0.0.0", "", ""}, ""},
        {{MAC, "", "", ""}, IP_TEXT},                 {{MAC, "192.168.1", "", ""}, IP_TEXT},
        {{MAC, "256.1.1.1", "", ""}, IP_TEXT},        {{MAC, "10.0.0.300", "", ""}, IP_TEXT},
        {{MAC, "10.0.0.1", ok, ok}, ""},
        {{MAC, "10.0.0.1", over, over}, "设备名称最多200个字符"},
        {{MAC, "10.0.0.1", ok, over}, "设备描述最多200个字符"},
        {{MAC, "10.0.0.1", chinese, ""}, "设备名称最多200个字符"},
        {{"bad", "0.0.0.0", over, over}, MAC_TEXT},   // the MAC first,
        {{MAC, "0.0.0.0", over, over}, IP_TEXT},      // then the address
    };
    for (const auto& c : cases) {
        const auto refusal = CheckNewIp(c.input);
        EXPECT_EQ(refusal ? refusal->text : "", c.text) << c.input.ipText << " " << c.input.deviceName.size();
    }
}
