// varnelctl's IP assignment commands as a user runs them: dhcp-enable and
// dhcp-disable against a gateway-side EtherNet/IP server in this process, and
// dhcp-server on a loopback port, followed line by line while it runs.
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <signal.h>

#include "gateway/CEipServer.h"
#include "net/NetTestSupport.h"
#include "support/DhcpPacket.h"

using namespace varnel;
using namespace nettest;

namespace {

CliResult Switch(const char* command, quint16 port)
{
    return Varnelctl({command, "127.0.0.1", "--port", QString::number(port)});
}

}  // namespace

TEST(DhcpCli, EnableAndDisableAgainstTheGateway)
{
    EnsureApp();
    CEipServer gateway;
    ASSERT_TRUE(gateway.Listen(QHostAddress(QHostAddress::LocalHost), 0));
    std::vector<quint32> changes;
    QObject::connect(&gateway, &CEipServer::configurationControlChanged,
                     [&](quint32 v) { changes.push_back(v); });

    auto enable = Switch("dhcp-enable", gateway.Port());
    EXPECT_EQ(enable.exitCode, 0) << enable.err.toStdString();
    EXPECT_EQ(enable.out, "DHCP已使能（配置控制读回为0x00000002）\n");
    EXPECT_EQ(gateway.ConfigurationControl(), 2u);

    auto disable = Switch("dhcp-disable", gateway.Port());
    EXPECT_EQ(disable.exitCode, 0) << disable.err.toStdString();
    EXPECT_EQ(gateway.ConfigurationControl(), 0u);
    EXPECT_EQ(changes, (std::vector<quint32>{2, 0}));

    EXPECT_EQ(Varnelctl({"dhcp-enable", "not-an-address"}).exitCode, 2);
}

TEST(DhcpCli, RefusedOrUnansweredSwitchEndsWithMessageAndExit1)
{
    EnsureApp();
    CEipServer readOnly;
    ASSERT_TRUE(readOnly.Listen(QHostAddress(QHostAddress::LocalHost), 0));
    readOnly.SetConfigurationSettable(false);
    QTcpServer silent;  // accepts the connection, never answers
    ASSERT_TRUE(silent.listen(QHostAddress(QHostAddress::LocalHost), 0));
    const std::vector<std::tuple<const char*, quint16, QString>> cases = {
        {"dhcp-enable", readOnly.Port(), "设置DHCP失败：CIP通用状态0x0E（Attribute not settable）\n"},
        {"dhcp-enable", FreeTcpPort(), "以太网连接不通,请检查IP和PORT设置和设备是否正常运行\n"},
        {"dhcp-disable", silent.serverPort(), "设备没有响应\n"},
    };
    for (const auto& [command, port, err] : cases) {
        auto result = Switch(command, port);
        EXPECT_EQ(result.exitCode, 1) << err.toStdString();
        EXPECT_EQ(result.err, err);
        EXPECT_EQ(result.out, "");
    }
}

TEST(DhcpCli, ServerLogsRequestsAndRepliesUntilTerminated)
{
    EnsureApp();
    QUdpSocket client;
    ASSERT_TRUE(client.bind(QHostAddress(QHostAddress::LocalHost), 0));
    quint16 port = 0;
    {
        QUdpSocket probe;
        ASSERT_TRUE(probe.bind(QHostAddress(QHostAddress::LocalHost), 0));
        port = probe.localPort();
    }
    QProcess server;
    server.start(VARNELCTL, {"dhcp-server", "--assign", "00:1A:2B:3C:4D:5E=10.0.0.5,gw1",
                             "--listen", "127.0.0.1", "--port", QString::number(port),
                             "--reply-port", QString::number(client.localPort())});
    ASSERT_TRUE(server.waitForStarted());
    QString out;
    auto waitFor = [&](const QString& text) {
        return QTest::qWaitFor(
            [&] {
                out += QString::fromUtf8(server.readAllStandardOutput());
                return out.contains(text);
            },
            10000);
    };
    ASSERT_TRUE(waitFor("listening on 127.0.0.1:" + QString::number(port)));

    // A DISCOVER from the assigned MAC, broadcast flag clear, from 127.0.0.1.
    const auto discover = testsupport::DhcpPacket({.flags = 0, .options = {0x35, 0x01, 0x01}});
    client.writeDatagram(ToQ(discover), QHostAddress(QHostAddress::LocalHost), port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.hasPendingDatagrams(); }, 10000));
    EXPECT_EQ(client.receiveDatagram().data().mid(16, 4), QByteArray::fromHex("0a000005"));
    // Each line is flushed as it is printed, so it can be read while the server runs.
    EXPECT_TRUE(waitFor("00:1a:2b:3c:4d:5e DISCOVER - (listed)\n"));
    EXPECT_TRUE(waitFor("00:1a:2b:3c:4d:5e OFFER 10.0.0.5 -> 127.0.0.1:" +
                        QString::number(client.localPort()) + "\n"));

    ::kill(static_cast<pid_t>(server.processId()), SIGTERM);
    ASSERT_TRUE(server.waitForFinished(10000));
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0);
}

TEST(DhcpCli, ServerRefusesAPortInUseAndBadAssignments)
{
    EnsureApp();
    QUdpSocket busy;  // bound without address reuse: nobody else can bind the port
    ASSERT_TRUE(busy.bind(QHostAddress(QHostAddress::LocalHost), 0, QAbstractSocket::DontShareAddress));
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"--listen", "127.0.0.1", "--port", QString::number(busy.localPort())}, "接收失败\n"},
        {{"--assign", "00-1A-2B-3C-4D-5E=10.0.0.5"},
         "MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F\n"},
        {{"--assign", "00:1A:2B:3C:4D:5E=224.0.0.1"}, "IP设置错误\n"},
    };
    for (const auto& [args, err] : cases) {
        auto result = Varnelctl(QStringList{"dhcp-server"} + args);
        EXPECT_EQ(result.exitCode, 1) << err.toStdString();
        EXPECT_EQ(result.err, err);
    }
}
