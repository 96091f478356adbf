// `varnelctl dhcp-server` and its server socket on loopback: replies leave
// with the receiving interface's address, datagrams that are not requests do
// not stop it, each request and reply is logged as it happens, SIGTERM ends
// it; what it cannot serve is refused with the window's text and the
// system's reason (exit 1), bad arguments with exit 2.
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <signal.h>

#include "net/CDhcpServer.h"
#include "net/NetTestSupport.h"
#include "support/DhcpPacket.h"

using namespace varnel;
using namespace nettest;

TEST(DhcpCli, ServerAnswersAndLogsUntilTerminated)
{
    EnsureApp();
    const QHostAddress loopback(QHostAddress::LocalHost);
    QUdpSocket client;
    ASSERT_TRUE(client.bind(loopback, 0));
    quint16 port = 0;
    {
        QUdpSocket probe;
        ASSERT_TRUE(probe.bind(loopback, 0));
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

    // Another server's reply, a short datagram and an oversized one, then a
    // DISCOVER from the assigned MAC, broadcast flag clear, from 127.0.0.1.
    auto otherReply = testsupport::DhcpPacket({.op = 2, .options = {0x35, 0x01, 0x02}});
    for (const auto& junk : {ToQ(otherReply), QByteArray("short"), QByteArray(3000, '\x01')})
        client.writeDatagram(junk, loopback, port);
    const auto discover = testsupport::DhcpPacket({.flags = 0, .options = {0x35, 0x01, 0x01}});
    client.writeDatagram(ToQ(discover), loopback, port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.hasPendingDatagrams(); }, 10000));
    const QNetworkDatagram offer = client.receiveDatagram();
    EXPECT_EQ(offer.senderAddress(), loopback);
    EXPECT_EQ(offer.senderPort(), port);
    // yiaddr, and option 54 is the address of the interface the request came in on.
    EXPECT_EQ(offer.data().mid(16, 4), QByteArray::fromHex("0a000005"));
    EXPECT_EQ(offer.data().mid(240, 9), QByteArray::fromHex("350102" "36047f000001"));
    // Each line is flushed as it is printed, so it can be read while the server runs.
    EXPECT_TRUE(waitFor("- - - (no reply: not a request)\n"));
    EXPECT_TRUE(waitFor("00:1a:2b:3c:4d:5e DISCOVER - (listed)\n"));
    EXPECT_TRUE(waitFor("00:1a:2b:3c:4d:5e OFFER 10.0.0.5 -> 127.0.0.1:" +
                        QString::number(client.localPort()) + "\n"));

    ::kill(static_cast<pid_t>(server.processId()), SIGTERM);
    ASSERT_TRUE(server.waitForFinished(10000));
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0);
}

TEST(DhcpCli, ServerRefusesWhatItCannotServe)
{
    EnsureApp();
    CDhcpServer running;  // another server already on the port: it is not shared
    ASSERT_TRUE(running.Start(QHostAddress(QHostAddress::LocalHost), 0));
    const QString busy = QString::number(running.Port());
    const QString mac = "MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F\n";
    const std::vector<std::tuple<QStringList, int, QString>> cases = {
        {{"--listen", "127.0.0.1", "--port", busy}, 1,
         "接收失败: 127.0.0.1:" + busy + ": The bound address is already in use\n"},
        // 192.0.2.1 (documentation range) is no address of this computer.
        {{"--listen", "192.0.2.1", "--port", busy}, 1,
         "接收失败: 192.0.2.1:" + busy + ": The address is not available\n"},
        {{"--listen", "127.0.0.010"}, 2, "bad address"},
        {{"--assign", "00-1A-2B-3C-4D-5E=10.0.0.5"}, 1, mac},
        {{"--assign", "00:1A:2B:3C:4D:5E"}, 2, "--assign needs MAC=IP[,NAME]"},
    };
    for (const auto& [args, code, err] : cases) {
        auto result = Varnelctl(QStringList{"dhcp-server"} + args);
        EXPECT_EQ(result.exitCode, code) << err.toStdString();
        EXPECT_TRUE(code == 1 ? result.err == err : result.err.contains(err))
            << result.err.toStdString();
    }
}
