// The assignment list file: what it reads, the line it refuses, and the
// round trip of names with commas, quotes and Chinese characters.
#include <gtest/gtest.h>

#include "core/ipassign/AssignmentCsv.h"

using namespace varnel;

TEST(AssignmentCsv, ReadsOrRefusesWithTheLine)
{
    const std::string HEADER = "mac,ip,name\n", ROW = "00:1A:2b:3c:4d:5e,192.168.1.20,gw1\n";
    // File, rows read, or the start of the refusal.
    const std::vector<std::tuple<std::string, std::size_t, std::string>> cases = {
        {HEADER + ROW, 1, ""},
        {"\xEF\xBB\xBFmac,ip,name\r\n\r\n" + ROW + "02:00:00:00:00:01,10.0.0.5\r\n", 2, ""},
        {HEADER, 0, ""},
        {"mac,ip\n" + ROW, 0, "第 1 行 (line 1): 表头"},
        {"", 0, "第 1 行 (line 1): 表头"},
        {HEADER + ROW + "\n00:00:00:00:00:00,10.0.0.5,x\n" + ROW, 0,
         "第 4 行 (line 4): MAC格式错误"},
        {HEADER + "02:00:00:00:00:02,10.0.0.6,\"a\nb\"\n" + "02:00:00:00:00:01,224.0.0.1,x\n", 0,
         "第 4 行 (line 4): IP设置错误"},
        {HEADER + ROW + "02:00:00:00:00:01,10.0.0.5,x,y\n", 0, "第 3 行 (line 3): 应为"},
        {HEADER + "02:00:00:00:00:01,10.0.0.5,\"x\n", 0, "第 2 行 (line 2): 引号未闭合"},
        {HEADER + "02:00:00:00:00:01,10.0.0.5,\xC0\xAF\n", 0, "第 2 行 (line 2): 名称不是UTF-8"},
        {HEADER + "02:00:00:00:00:01,10.0.0.5," + std::string(251, 'n') + "\n", 0,
         "第 2 行 (line 2): 设备名称最多200个字符"},
    };
    for (const auto& [file, count, refusal] : cases) {
        SCOPED_TRACE(file);
        const auto rows = ReadAssignmentCsv(file);
        ASSERT_EQ(rows.ok(), refusal.empty()) << (rows ? "" : rows.message().text);
        if (rows)
            EXPECT_EQ(rows->size(), count);
        else
            EXPECT_TRUE(rows.message().text.starts_with(refusal)) << rows.message().text;
    }
}

TEST(AssignmentCsv, RoundTripKeepsOrderAndNames)
{
    const std::vector<NewIpEntry> rows = {{"00:1A:2b:3c:4d:5e", "192.168.1.20", "网关,\"一\"", ""},
                                          {"02:00:00:00:00:01", "10.0.0.5", "", ""}};
    const std::string file = WriteAssignmentCsv(rows);
    EXPECT_EQ(file,
              "mac,ip,name\n00:1A:2b:3c:4d:5e,192.168.1.20,\"网关,\"\"一\"\"\"\n"
              "02:00:00:00:00:01,10.0.0.5,\n");
    const auto back = ReadAssignmentCsv(file);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2u);
    EXPECT_EQ((*back)[0].macText, rows[0].macText);
    EXPECT_EQ((*back)[0].deviceName, rows[0].deviceName);
    EXPECT_EQ((*back)[1].ipText, rows[1].ipText);
}
