// The DHCP server socket on loopback: replies leave with the receiving
// interface's address, relayed requests go to the relay, datagrams that are
// not requests do not stop the server, and a port in use is refused.
#include <QNetworkDatagram>
#include <QUdpSocket>

#include "net/CDhcpServer.h"
#include "net/NetTestSupport.h"
#include "support/DhcpPacket.h"
#include "support/TestSupport.h"

using namespace varnel;
using nettest::ToQ;
using testsupport::Bytes;

namespace {

const QHostAddress LOOPBACK(QHostAddress::LocalHost);

// A request from 00:1a:2b:3c:4d:5e with the broadcast flag clear.
QByteArray Request(const std::string& options, std::uint32_t ciaddr = 0, std::uint32_t giaddr = 0)
{
    return ToQ(testsupport::DhcpPacket(
        {.flags = 0, .ciaddr = ciaddr, .giaddr = giaddr, .options = Bytes(options)}));
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
        nettest::EnsureApp();
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
    // Datagrams that are not requests are ignored; the server keeps serving.
    QByteArray otherServersReply = Request("35 01 02");
    otherServersReply[0] = 2;
    for (const auto& junk : {otherServersReply, QByteArray("short"), QByteArray(3000, '\x01')})
        f.Send(f.client, junk);
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
    EXPECT_EQ(seen, 5);
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
    nettest::EnsureApp();
    QUdpSocket busy;  // bound without address reuse: nobody else can bind the port
    ASSERT_TRUE(busy.bind(LOOPBACK, 0, QAbstractSocket::DontShareAddress));
    const quint16 port = busy.localPort();
    CDhcpServer server;
    EXPECT_EQ(server.Start(LOOPBACK, port), ErrorMessage("接收失败"));
    busy.close();

    ASSERT_FALSE(server.Start(LOOPBACK, port));
    EXPECT_TRUE(server.IsRunning());
    server.Stop();
    EXPECT_FALSE(server.IsRunning());
    QUdpSocket again;
    EXPECT_TRUE(again.bind(LOOPBACK, port, QAbstractSocket::DontShareAddress));
}
