// The checks of a new assignment, in their order, with their exact texts.
#include <gtest/gtest.h>

#include "core/ipassign/NewIpChecks.h"

using namespace varnel;

namespace {
const std::string MAC_TEXT = "MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F";
const std::string IP_TEXT = "IP设置错误";
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
        auto refusal = CheckNewIp({text, "192.168.1.20", "gw1", ""});
        EXPECT_EQ(refusal.has_value(), !valid) << text;
        if (refusal) {
            EXPECT_EQ(*refusal, ErrorMessage(MAC_TEXT));
        }
    }
}

TEST(NewIpChecks, AddressFirstByte)
{
    const std::vector<std::pair<std::string, bool>> cases = {
        {"0.1.2.3", false},   {"224.0.0.1", false}, {"223.255.255.255", true},
        {"1.0.0.0", true},    {"", false},          {"192.168.1", false},
        {"256.1.1.1", false}, {"10.0.0.300", false},
    };
    for (const auto& [ip, valid] : cases) {
        auto refusal = CheckNewIp({"00:1a:2b:3c:4d:5e", ip, "", ""});
        EXPECT_EQ(refusal.has_value(), !valid) << ip;
        if (refusal) {
            EXPECT_EQ(refusal->text, IP_TEXT) << ip;
        }
    }
}

TEST(NewIpChecks, NameAndDescriptionLimitsInOrder)
{
    const std::string ok(250, 'n'), over(251, 'n');
    EXPECT_FALSE(CheckNewIp({"00:1a:2b:3c:4d:5e", "10.0.0.1", ok, ok}));
    EXPECT_EQ(CheckNewIp({"00:1a:2b:3c:4d:5e", "10.0.0.1", over, over})->text,
              "设备名称最多200个字符");
    EXPECT_EQ(CheckNewIp({"00:1a:2b:3c:4d:5e", "10.0.0.1", ok, over})->text,
              "设备描述最多200个字符");
    // Bytes, not characters: 84 three-byte characters are 252 bytes.
    std::string chinese;
    for (int i = 0; i < 84; ++i)
        chinese += "网";
    EXPECT_TRUE(CheckNewIp({"00:1a:2b:3c:4d:5e", "10.0.0.1", chinese, ""}));
    // The MAC is checked before the address.
    EXPECT_EQ(CheckNewIp({"bad", "0.0.0.0", over, over})->text, MAC_TEXT);
    EXPECT_EQ(CheckNewIp({"00:1a:2b:3c:4d:5e", "0.0.0.0", over, over})->text, IP_TEXT);
}
