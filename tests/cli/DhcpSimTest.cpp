// dhcp-enable and dhcp-disable against the gateway simulator, on a loopback
// address of their own: the value 2 and then 0 reaches the gateway and is
// read back.
#include <gtest/gtest.h>

#include "cli/SimProcess.h"
#include "support/TestSupport.h"

using testsupport::Run;
using testsupport::RunResult;

namespace {
RunResult Ctl(const std::vector<std::string>& args)
{
    return Run(std::string(VARNEL_BIN_DIR) + "/varnelctl", args);
}
}  // namespace

TEST(DhcpSim, EnableThenDisableIsReadBack)
{
    simtest::SimProcess sim("127.65.0.1", {});
    ASSERT_TRUE(sim.WaitForLine("listening on"));

    auto enable = Ctl({"dhcp-enable", "127.65.0.1"});
    EXPECT_EQ(enable.exitCode, 0) << enable.err;
    EXPECT_EQ(enable.out, "DHCP已使能（配置控制读回为0x00000002）\n");
    EXPECT_TRUE(sim.WaitForLine("eip: configuration control 2")) << sim.Output();

    auto disable = Ctl({"dhcp-disable", "127.65.0.1"});
    EXPECT_EQ(disable.exitCode, 0) << disable.err;
    EXPECT_EQ(disable.out, "DHCP已禁止，设备使用存储的IP地址（配置控制读回为0x00000000）\n");
    EXPECT_TRUE(sim.WaitForLine("eip: configuration control 0")) << sim.Output();
}

TEST(DhcpSim, NoGatewayAtTheAddress)
{
    // Nothing listens on this loopback address: the connection is refused at once.
    auto result = Ctl({"dhcp-enable", "127.65.0.2"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "以太网连接不通,请检查IP和PORT设置和设备是否正常运行\n");
}
