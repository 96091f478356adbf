// The checks of a new assignment, in their order, with their exact texts,
// and the one builder of an assignment from the dialog's texts or from
// "MAC=IP[,NAME]".
#include <gtest/gtest.h>

#include "core/ipassign/NewIpChecks.h"

using namespace varnel;

TEST(NewIpChecks, InOrderWithTheirTexts)
{
    const std::string MAC = "00:1a:2b:3c:4d:5e", IP = "10.0.0.1";
    const std::string mac = "MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F",
                      ip = "IP设置错误";
    const std::string name = "设备名称最多200个字符", description = "设备描述最多200个字符";
    // The limits count bytes of the code page: a Chinese character is 2.
    const std::string ok(250, 'n'), over(251, 'n');
    std::string chinese84, chinese126;
    for (int i = 0; i < 126; ++i) (i < 84 ? chinese84 : chinese126) += "网";
    chinese126 = chinese84 + chinese126;
    // Each entry and the text it is refused with ("": accepted).
    std::vector<std::pair<NewIpEntry, std::string>> cases = {
        {{MAC, IP, ok, ok}, ""},
        {{MAC, IP, over, over}, name},
        {{MAC, IP, ok, over}, description},
        {{MAC, IP, chinese84, chinese84}, ""},  // 168 bytes
        {{MAC, IP, chinese126, ""}, name},      // 252 bytes
        {{MAC, IP, "", chinese126}, description},
        {{"bad", "0.0.0.0", over, over}, mac},  // the MAC first,
        {{MAC, "0.0.0.0", over, over}, ip},     // then the address
    };
    for (const char* text : {"00:1A:2b:3c:4d:5e", "ff:ff:ff:ff:ff:fe"})
        cases.push_back({{text, IP, "", ""}, ""});
    for (const char* text :
         {"00-1A-2B-3C-4D-5E", "001A2B3C4D5E", "00:1A:2B:3C:4D:5G", "00:00:00:00:00:00",
          "ff:ff:ff:ff:ff:ff", "FF:FF:FF:FF:FF:FF", "00:1A:2B:3C:4D:5E:", "0:1A:2B:3C:4D:5E0", "",
          "00:1A:2B:3C:4D:5", "00::1A:2B:3C:4D5E"})
        cases.push_back({{text, IP, "", ""}, mac});
    for (const char* text : {"223.255.255.255", "1.0.0.0"})
        cases.push_back({{MAC, text, "", ""}, ""});
    for (const char* text : {"0.1.2.3", "224.0.0.1", "", "192.168.1", "256.1.1.1", "10.0.0.010"})
        cases.push_back({{MAC, text, "", ""}, ip});
    for (const auto& [entry, text] : cases) {
        const Status checked = CheckNewIp(entry);
        EXPECT_EQ(checked ? "" : checked.message().text, text)
            << entry.macText << " " << entry.ipText << " " << entry.deviceName.size();
        if (!checked) {
            EXPECT_EQ(checked.code(), Code::BadAssignment);
        }
    }
}

TEST(NewIpChecks, AssignmentFromText)
{
    const auto entry = ParseAssignmentText("00:1A:2b:3c:4d:5e=10.0.0.5,网关1.local");
    ASSERT_TRUE(entry);
    const auto built = BuildAssignment(*entry, true);
    ASSERT_TRUE(built);
    // The MAC as typed.
    EXPECT_EQ(*built, (DhcpAssignment{"00:1A:2b:3c:4d:5e", 0x0A000005, "网关1.local", true}));
    EXPECT_EQ(ParseAssignmentText("00:1A:2b:3c:4d:5e").code(), Code::BadValue);
    const auto badIp = BuildAssignment(*ParseAssignmentText("00:1A:2b:3c:4d:5e=224.0.0.1"), true);
    ASSERT_FALSE(badIp);
    EXPECT_EQ(badIp.message(), ErrorMessage("IP设置错误"));
}
