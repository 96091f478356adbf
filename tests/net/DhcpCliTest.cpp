// `varnelctl dhcp-server` refuses what it cannot serve with the window's
// text and the system's reason (exit 1), bad arguments with exit 2. Serving
// is tested through the window on loopback and with a real client in
// network namespaces.
#include "net/CDhcpServer.h"
#include "net/NetTestSupport.h"
#include "support/TestSupport.h"

using namespace varnel;
using namespace nettest;

TEST(DhcpCli, ServerRefusesWhatItCannotServe)
{
    EnsureApp();
    CDhcpServer running;  // another server already on the port: it is not shared
    ASSERT_TRUE(running.Start(QHostAddress(QHostAddress::LocalHost), 0));
    const QString busy = QString::number(running.Port());
    testsupport::TempDir dir;
    const QString list = QString::fromStdString((dir / "list.csv").string());
    testsupport::WriteFile(dir / "list.csv", "mac,ip,name\n02:00:00:00:00:01,10.0.0.5,gw\n"
                                             "02:00:00:00:00:02,0.0.0.1,gw\n");
    const QString mac = "MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F\n";
    const std::vector<std::tuple<QStringList, int, QString>> cases = {
        {{"--listen", "127.0.0.1", "--port", busy},
         1,
         "接收失败: 127.0.0.1:" + busy + ": The bound address is already in use\n"},
        // 192.0.2.1 (documentation range) is no address of this computer.
        {{"--listen", "192.0.2.1", "--port", busy},
         1,
         "接收失败: 192.0.2.1:" + busy + ": The address is not available\n"},
        {{"--listen", "127.0.0.010"}, 2, "bad address"},
        {{"--assign", "00-1A-2B-3C-4D-5E=10.0.0.5"}, 1, mac},
        {{"--assign", "00:1A:2B:3C:4D:5E"}, 2, "--assign needs MAC=IP[,NAME]"},
        // One bad row refuses the whole list: nothing is served.
        {{"--assign-file", list, "--port", busy},
         1,
         list + " 第 3 行 (line 3): IP设置错误\n"},
    };
    for (const auto& [args, code, err] : cases) {
        auto result = Varnelctl(QStringList{"dhcp-server"} + args);
        EXPECT_EQ(result.exitCode, code) << err.toStdString();
        EXPECT_TRUE(code == 1 ? result.err == err : result.err.contains(err))
            << result.err.toStdString();
    }
}
