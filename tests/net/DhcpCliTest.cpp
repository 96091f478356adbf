// varnelctl's IP assignment commands as a user runs them: dhcp-enable and
// dhcp-disable against a gateway-side EtherNet/IP server in this process, and
// dhcp-server on a loopback port, followed line by line while it runs.
#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/CEipServer.h"

using namespace varnel;

namespace {

const QString VARNELCTL = QStringLiteral(VARNEL_BIN_DIR "/varnelctl");

void EnsureApp()
{
    static int argc = 1;
    static char name[] = "net_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs varnelctl while this process's event loop keeps serving.
Result Varnelctl(const QStringList& args)
{
    QProcess process;
    process.start(VARNELCTL, args);
    EXPECT_TRUE(process.waitForStarted());
    EXPECT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

quint16 FreeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.serverPort();
}

}  // namespace

TEST(DhcpCli, EnableAndDisableAgainstTheGateway)
{
    EnsureApp();
    CEipServer gateway;
    ASSERT_TRUE(gateway.Listen(QHostAddress(QHostAddress::LocalHost), 0));
    const QString port = QString::number(gateway.Port());

    auto enable = Varnelctl({"dhcp-enable", "127.0.0.1", "--port", port});
    EXPECT_EQ(enable.exitCode, 0) << enable.err.toStdString();
    EXPECT_EQ(enable.out, "DHCP已使能（配置控制读回为0x00000002）\n");
    EXPECT_EQ(gateway.ConfigurationControl(), 2u);

    auto disable = Varnelctl({"dhcp-disable", "127.0.0.1", "--port", port});
    EXPECT_EQ(disable.exitCode, 0) << disable.err.toStdString();
    EXPECT_EQ(gateway.ConfigurationControl(), 0u);

    auto refused = Varnelctl({"dhcp-enable", "127.0.0.1", "--port", QString::number(FreeTcpPort())});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "以太网连接不通,请检查IP和PORT设置和设备是否正常运行\n");

    EXPECT_EQ(Varnelctl({"dhcp-enable", "not-an-address"}).exitCode, 2);
}

TEST(DhcpCli, RefusedOrUnansweredSwitchEndsWithMessageAndExit1)
{
    EnsureApp();
    CEipServer readOnly;
    ASSERT_TRUE(readOnly.Listen(QHostAddress(QHostAddress::LocalHost), 0));
    readOnly.SetConfigurationSettable(false);
    auto refused = Varnelctl({"dhcp-enable", "127.0.0.1", "--port", QString::number(readOnly.Port())});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "设置DHCP失败：CIP通用状态0x0E（Attribute not settable）\n");
    EXPECT_EQ(refused.out, "");

    QTcpServer silent;  // accepts the connection, never answers
    ASSERT_TRUE(silent.listen(QHostAddress(QHostAddress::LocalHost), 0));
    auto unanswered =
        Varnelctl({"dhcp-disable", "127.0.0.1", "--port", QString::number(silent.serverPort())});
    EXPECT_EQ(unanswered.exitCode, 1);
    EXPECT_EQ(unanswered.err, "设备没有响应\n");
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
    QByteArray discover(240, '\0');
    discover[0] = 1;
    discover[1] = 1;
    discover[2] = 6;
    const QByteArray mac = QByteArray::fromHex("001a2b3c4d5e");
    discover.replace(28, 6, mac);
    discover.replace(236, 4, QByteArray::fromHex("63825363"));
    discover.append(QByteArray::fromHex("350101ff"));
    client.writeDatagram(discover, QHostAddress(QHostAddress::LocalHost), port);
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
    const int blocker = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(blocker, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ::getsockname(blocker, reinterpret_cast<sockaddr*>(&addr), &len);
    auto busy = Varnelctl({"dhcp-server", "--listen", "127.0.0.1", "--port",
                           QString::number(ntohs(addr.sin_port))});
    ::close(blocker);
    EXPECT_EQ(busy.exitCode, 1);
    EXPECT_EQ(busy.err, "接收失败\n");

    auto badMac = Varnelctl({"dhcp-server", "--assign", "00-1A-2B-3C-4D-5E=10.0.0.5"});
    EXPECT_EQ(badMac.exitCode, 1);
    EXPECT_EQ(badMac.err, "MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F\n");
    auto badIp = Varnelctl({"dhcp-server", "--assign", "00:1A:2B:3C:4D:5E=224.0.0.1"});
    EXPECT_EQ(badIp.exitCode, 1);
    EXPECT_EQ(badIp.err, "IP设置错误\n");
}
