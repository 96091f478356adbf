// dhcp-enable and dhcp-disable against the gateway simulator, on a loopback
// address of their own: the value 2 and then 0 reaches the gateway and is
// read back, with the address the gateway uses at its next power-up.
#include "cli/CliTestSupport.h"

using clitest::VARNELCTL;

TEST(DhcpSim, EnableThenDisableIsReadBack)
{
    clitest::SimProcess sim("127.65.0.1", {});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    const auto enable = testsupport::Run(VARNELCTL, {"dhcp-enable", "127.65.0.1"});
    EXPECT_EQ(enable.exitCode, 0) << enable.err;
    EXPECT_EQ(enable.out,
              "DHCP已使能（配置控制读回为0x00000002）\n"
              "下次上电使用 IP 192.168.10.20 掩码 255.255.255.0 网关 192.168.10.1 (next power-up: "
              "IP 192.168.10.20, mask 255.255.255.0, gateway 192.168.10.1)\n");
    EXPECT_TRUE(sim.WaitForLine("eip: configuration control 2")) << sim.Output();
    const auto disable = testsupport::Run(VARNELCTL, {"dhcp-disable", "127.65.0.1"});
    EXPECT_EQ(disable.exitCode, 0) << disable.err;
    EXPECT_EQ(disable.out,
              "DHCP已禁止，设备使用存储的IP地址（配置控制读回为0x00000000）\n"
              "下次上电使用 IP 192.168.10.20 掩码 255.255.255.0 网关 192.168.10.1 (next power-up: "
              "IP 192.168.10.20, mask 255.255.255.0, gateway 192.168.10.1)\n");
    EXPECT_TRUE(sim.WaitForLine("eip: configuration control 0")) << sim.Output();

    // Nothing listens on this loopback address: the connection is refused at once.
    const auto none = testsupport::Run(VARNELCTL, {"dhcp-enable", "127.65.0.2"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err, "以太网连接不通,请检查IP和PORT设置和设备是否正常运行\n");
    EXPECT_EQ(testsupport::Run(VARNELCTL, {"dhcp-enable", "127.65.0.010"}).exitCode, 2);
}
