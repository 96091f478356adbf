// The device link over real TCP on loopback against the gateway server: what
// only real sockets show (segments, bytes after the answer, a refused
// connect, the event loop kept running). Each case has its own 127.x.y.z.
#include <QHostAddress>
#include <QTimer>

#include "core/link/DeviceCommandSession.h"
#include "core/link/DownloadSession.h"
#include "core/link/LinkTestSupport.h"
#include "core/util/Ipv4.h"
#include "gateway/CGatewayServer.h"
#include "net/CTestSocket.h"
#include "net/NetTestSupport.h"

using namespace varnel;

TEST(NetDownload, OverLoopback)
{
    nettest::EnsureApp();
    const Bytes image = linktest::SoundImage(397);  // three pieces
    DownloadSession download(image), split(linktest::SoundImage(1));
    DeviceCommandSession clear(DeviceCommandSession::CLEAR, false);
    const struct {
        const char* address;
        LinkSession& session;
        GatewayFaults faults;
        std::vector<Message> shown;
    } rows[] = {
        // Bytes after each answer are dropped; Yes restarts into the download.
        {"127.60.0.1", download, {.trailingBytes = true}, {DownloadDoneMessage()}},
        // Only the first segment is the answer: "40" alone is no 40 0B.
        {"127.60.1.1", split, {.splitAnswer = true}, {DownloadFailedMessage()}},
        {"127.60.1.2", clear, {.refuseConnections = true}, {EthernetFailedMessage()}},
    };
    for (const auto& row : rows) {
        CGatewayServer gateway(QHostAddress(QString(row.address)), DEVICE_PORT, row.faults);
        gateway.SetRestartDelay(50);
        ASSERT_TRUE(gateway.Start().ok());
        std::vector<Message> shown;
        int ticks = 0;
        bool finished = false;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);
        std::int32_t linkRequestPending = 0;
        CTestSocket link(linkRequestPending);
        link.SetOwner(CTestSocket::LinkMode::Download, &row.session, *ParseIpv4(row.address));
        const auto show = [&](const Message& m) { shown.push_back(m); };
        QObject::connect(&link, &CTestSocket::messageShown, show);
        QObject::connect(&link, &CTestSocket::resultShown, show);
        QObject::connect(&link, &CTestSocket::questionAsked,
                         [&](const Message&) { link.AnswerQuestion(true); });
        QObject::connect(&link, &CTestSocket::finished, [&](bool) { finished = true; });
        link.Start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 10000)) << row.address;
        EXPECT_EQ(shown, row.shown) << row.address;
        if (&row.session != &download) continue;
        EXPECT_EQ(gateway.Device().Pieces(), (std::vector<std::size_t>{1200, 1200, 1}));
        EXPECT_GT(ticks, 60);  // the event loop ran during the pauses between pieces
        ASSERT_TRUE(QTest::qWaitFor([&] { return gateway.Device().Restarts() == 1; }, 5000));
        EXPECT_EQ(gateway.Device().Running(), image);
    }
}
