// The DHCP server socket on loopback: replies leave with the receiving
// interface's address, relayed requests go to the relay, datagrams that are
// not requests do not stop the server, and the port is never shared.
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

}  // namespace

TEST(DhcpServerSocket, RepliesLeaveByTheReceivingInterfaceOrGoToTheRelay)
{
    nettest::EnsureApp();
    CDhcpServer server;
    QUdpSocket client, relay;
    ASSERT_TRUE(client.bind(LOOPBACK, 0));
    ASSERT_TRUE(relay.bind(LOOPBACK, 0));
    ASSERT_TRUE(server.Start(LOOPBACK, 0));
    server.SetReplyPorts(client.localPort(), relay.localPort());
    server.SetAssignments({{"00:1a:2b:3c:4d:5e", 0x0A000005, "gw1", true}});
    int seen = 0;
    QObject::connect(&server, &CDhcpServer::requestSeen, [&](const DhcpOutcome&) { ++seen; });
    // Datagrams that are not requests are ignored; the server keeps serving.
    QByteArray otherServersReply = Request("35 01 02");
    otherServersReply[0] = 2;
    for (const auto& junk : {otherServersReply, QByteArray("short"), QByteArray(3000, '\x01')})
        client.writeDatagram(junk, LOOPBACK, server.Port());
    client.writeDatagram(Request("35 01 01"), LOOPBACK, server.Port());
    auto offer = Receive(client);
    ASSERT_TRUE(offer.isValid());
    EXPECT_EQ(offer.senderAddress(), LOOPBACK);
    EXPECT_EQ(offer.senderPort(), server.Port());
    // yiaddr, and option 54 is the address of the interface the request came in on.
    EXPECT_EQ(offer.data().mid(16, 4), QByteArray::fromHex("0a000005"));
    EXPECT_EQ(offer.data().mid(240, 9), QByteArray::fromHex("350102" "36047f000001"));
    EXPECT_EQ(server.RequestTable().size(), 1u);
    EXPECT_EQ(seen, 4);

    relay.writeDatagram(Request("35 01 01", 0, 0x7F000001), LOOPBACK, server.Port());
    auto relayed = Receive(relay);
    ASSERT_TRUE(relayed.isValid());
    EXPECT_EQ(relayed.data().mid(24, 4), QByteArray::fromHex("7f000001"));  // giaddr kept
    EXPECT_FALSE(client.hasPendingDatagrams());
}

TEST(DhcpServerSocket, PortIsNotSharedAndStopFreesIt)
{
    nettest::EnsureApp();
    CDhcpServer first, second;
    ASSERT_TRUE(first.Start(LOOPBACK, 0));
    const quint16 port = first.Port();
    // A second server on the port is refused rather than sharing the requests.
    const Status refused = second.Start(LOOPBACK, port);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), (Refusal{Code::BindFailed, ErrorMessage("接收失败")}));
    EXPECT_FALSE(second.BindErrorText().empty());
    first.Stop();
    EXPECT_FALSE(first.IsRunning());
    QUdpSocket again;
    EXPECT_TRUE(again.bind(LOOPBACK, port, QAbstractSocket::DontShareAddress));
}
