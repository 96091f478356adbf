// `varnelctl dhcp-server` refuses what it cannot serve with the window's
// text and the system's reason (exit 1), bad arguments with exit 2. Serving
// is tested through the window on loopback and with a real client in
// network namespaces.
#include <QNetworkDatagram>
#include <QUdpSocket>

#include "net/CDhcpServer.h"
#include "net/NetTestSupport.h"
#include "support/DhcpPacket.h"
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
    testsupport::WriteFile(dir / "list.csv",
                           "mac,ip,name\n02:00:00:00:00:01,10.0.0.5,gw\n"
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
        {{"--assign-file", list, "--port", busy}, 1, list + " 第 3 行 (line 3): IP设置错误\n"},
    };
    for (const auto& [args, code, err] : cases) {
        auto result = Varnelctl(QStringList{"dhcp-server"} + args);
        EXPECT_EQ(result.exitCode, code) << err.toStdString();
        EXPECT_TRUE(code == 1 ? result.err == err : result.err.contains(err))
            << result.err.toStdString();
    }
}

TEST(DhcpCli, FloodOfRandomMacsLeavesTheServerAnsweringInLittleMemory)
{
    EnsureApp();
    QUdpSocket client;
    ASSERT_TRUE(client.bind(QHostAddress(QHostAddress::LocalHost), 0));
    quint16 port = 0;
    {
        QUdpSocket probe;  // a port that was free a moment ago
        ASSERT_TRUE(probe.bind(QHostAddress(QHostAddress::LocalHost), 0));
        port = probe.localPort();
    }
    testsupport::TempDir dir;
    QProcess server;
    server.setStandardOutputFile(QString::fromStdString((dir / "log").string()));
    server.start(
        VARNELCTL,
        {"dhcp-server", "--listen", "127.0.0.1", "--port", QString::number(port), "--reply-port",
         QString::number(client.localPort()), "--assign", "02:00:00:00:00:01=10.0.0.5"});
    ASSERT_TRUE(server.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return testsupport::ReadFile(dir / "log").find("listening") != std::string::npos; },
        5000));
    const auto send = [&](std::vector<std::uint8_t> mac) {
        client.writeDatagram(ToQ(testsupport::DhcpPacket(
                                 {.mac = std::move(mac), .flags = 0, .options = {53, 1, 1}})),
                             QHostAddress(QHostAddress::LocalHost), port);
    };
    std::uint32_t seed = 12345;
    for (int i = 0; i < 50000; ++i) {
        seed = seed * 1103515245u + 12345u;
        send({0x02, 0x10, static_cast<std::uint8_t>(seed >> 24),
              static_cast<std::uint8_t>(seed >> 16), static_cast<std::uint8_t>(seed >> 8),
              static_cast<std::uint8_t>(i)});
        if (i % 500 == 0) QTest::qWait(1);  // let the server keep up
    }
    // The assigned MAC is still offered its address.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            if (client.hasPendingDatagrams())
                return client.receiveDatagram().data().mid(16, 4).toHex() == "0a000005";
            send({0x02, 0, 0, 0, 0, 0x01});
            QTest::qWait(100);
            return false;
        },
        20000));
    const std::string status =
        testsupport::ReadFile("/proc/" + std::to_string(server.processId()) + "/status");
    const auto peak = status.find("VmHWM:");
    ASSERT_NE(peak, std::string::npos);
    EXPECT_LT(std::stol(status.substr(peak + 6)), 50 * 1024) << status.substr(peak, 30);
    server.terminate();
    EXPECT_TRUE(server.waitForFinished(5000));
}
