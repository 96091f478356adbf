// The DHCP server socket on loopback: replies leave with the receiving
// interface's address, relayed requests go to the relay, datagrams that are
// not requests do not stop the server, and a port in use is refused.
#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/CDhcpServer.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::Bytes;

namespace {

QCoreApplication& App()
{
    static int argc = 1;
    static char name[] = "net_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app =
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
    return *QCoreApplication::instance();
}

const QHostAddress LOOPBACK(QHostAddress::LocalHost);

// A DHCP request from 00:1a:2b:3c:4d:5e with the broadcast flag clear.
QByteArray Request(const std::string& options, std::uint32_t ciaddr = 0, std::uint32_t giaddr = 0)
{
    std::vector<std::uint8_t> p(240, 0);
    p[0] = 1;
    p[1] = 1;
    p[2] = 6;
    p[4] = 0x12;
    for (int i = 0; i < 4; ++i) {
        p[12 + i] = static_cast<std::uint8_t>(ciaddr >> (24 - 8 * i));
        p[24 + i] = static_cast<std::uint8_t>(giaddr >> (24 - 8 * i));
    }
    const auto mac = Bytes("00 1a 2b 3c 4d 5e");
    std::copy(mac.begin(), mac.end(), p.begin() + 28);
    const auto cookie = Bytes("63 82 53 63");
    std::copy(cookie.begin(), cookie.end(), p.begin() + 236);
    QByteArray bytes(reinterpret_cast<const char*>(p.data()), static_cast<qsizetype>(p.size()));
    const auto opts = Bytes(options + " ff");
    bytes.append(reinterpret_cast<const char*>(opts.data()), static_cast<qsizetype>(opts.size()));
    return bytes;
}

// The next datagram on `socket`, waiting for it through the event loop.
QNetworkDatagram Receive(QUdpSocket& socket)
{
    if (!QTest::qWaitFor([&] { return socket.hasPendingDatagrams(); }, 5000))
        return {};
    return socket.receiveDatagram();
}

struct Fixture {
    CDhcpServer server;
    QUdpSocket client;
    QUdpSocket relay;
    Fixture()
    {
        App();
        EXPECT_TRUE(client.bind(LOOPBACK, 0));
        EXPECT_TRUE(relay.bind(LOOPBACK, 0));
        EXPECT_FALSE(server.Start(LOOPBACK, 0));
        server.SetReplyPorts(client.localPort(), relay.localPort());
        server.SetAssignments({{"00:1a:2b:3c:4d:5e", 0x0A000005, "gw1", true}});
    }
    void Send(QUdpSocket& from, const QByteArray& datagram)
    {
        from.writeDatagram(datagram, LOOPBACK, server.Port());
    }
};

}  // namespace

TEST(DhcpServerSocket, OfferAndAckLeaveByTheReceivingInterface)
{
    Fixture f;
    int seen = 0;
    QObject::connect(&f.server, &CDhcpServer::requestSeen, [&](const DhcpOutcome&) { ++seen; });
    f.Send(f.client, Request("35 01 01"));
    auto offer = Receive(f.client);
    ASSERT_TRUE(offer.isValid());
    EXPECT_EQ(offer.senderAddress(), LOOPBACK);
    EXPECT_EQ(offer.senderPort(), f.server.Port());
    const QByteArray o = offer.data();
    ASSERT_GT(o.size(), 250);
    EXPECT_EQ(static_cast<std::uint8_t>(o[0]), 2);
    EXPECT_EQ(o.mid(16, 4), QByteArray::fromHex("0a000005"));
    // Option 54 is the address of the interface the request came in on.
    EXPECT_EQ(o.mid(240, 9), QByteArray::fromHex("350102" "36047f000001"));
    EXPECT_EQ(f.server.RequestTable().size(), 1u);

    f.Send(f.client, Request("35 01 03 36 04 7f 00 00 01", 0x0A000005));
    auto ack = Receive(f.client);
    ASSERT_TRUE(ack.isValid());
    EXPECT_EQ(ack.data().mid(240, 3), QByteArray::fromHex("350105"));
    EXPECT_EQ(seen, 2);
}

TEST(DhcpServerSocket, KeepsServingAfterDatagramsThatAreNotRequests)
{
    Fixture f;
    QByteArray otherServersReply = Request("35 01 02");
    otherServersReply[0] = 2;
    f.Send(f.client, otherServersReply);
    f.Send(f.client, QByteArray("short"));
    f.Send(f.client, QByteArray(3000, '\x01'));
    f.Send(f.client, Request("35 01 03", 0x0A000005));
    auto ack = Receive(f.client);
    ASSERT_TRUE(ack.isValid());
    EXPECT_EQ(ack.data().mid(240, 3), QByteArray::fromHex("350105"));
    EXPECT_TRUE(f.server.IsRunning());
}

TEST(DhcpServerSocket, RelayedRequestsAreAnsweredToTheRelay)
{
    Fixture f;
    f.Send(f.relay, Request("35 01 01", 0, 0x7F000001));
    auto offer = Receive(f.relay);
    ASSERT_TRUE(offer.isValid());
    EXPECT_EQ(offer.data().mid(24, 4), QByteArray::fromHex("7f000001"));  // giaddr kept
    EXPECT_FALSE(f.client.hasPendingDatagrams());
}

TEST(DhcpServerSocket, PortInUseIsRefusedAndStopFreesThePort)
{
    App();
    // A socket bound without address reuse keeps the port to itself.
    const int blocker = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(blocker, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(blocker, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ::getsockname(blocker, reinterpret_cast<sockaddr*>(&addr), &len);
    const quint16 port = ntohs(addr.sin_port);

    CDhcpServer server;
    auto refusal = server.Start(LOOPBACK, port);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(*refusal, ErrorMessage("接收失败"));
    ::close(blocker);

    ASSERT_FALSE(server.Start(LOOPBACK, port));
    EXPECT_TRUE(server.IsRunning());
    server.Stop();
    EXPECT_FALSE(server.IsRunning());
    QUdpSocket again;
    EXPECT_TRUE(again.bind(LOOPBACK, port, QAbstractSocket::DontShareAddress));
}
