// The device link over real TCP on loopback against the gateway server: what
// only real sockets show (segments, bytes after the answer, a refused
// connect, the event loop kept running). Each test has its own 127.x.y.z.
#include <QHostAddress>
#include <QTimer>

#include "core/link/DeviceCommandSession.h"
#include "core/link/DownloadSession.h"
#include "core/link/LinkMessages.h"
#include "core/util/Ipv4.h"
#include "gateway/CGatewayServer.h"
#include "net/CTestSocket.h"
#include "net/NetTestSupport.h"
#include "core/link/LinkTestSupport.h"

using namespace varnel;
using QTest::qWaitFor;

namespace {

struct LinkRun {
    std::vector<Message> shown;  // messages and results, in order
    int ticks = 0;               // 10 ms timer ticks while the session ran
    bool finished = false;
    bool ok = false;
};

// Runs `session` against a gateway on `address` playing `faults`, answering
// every question with `yes`.
LinkRun RunSession(LinkSession& session, const char* address, GatewayFaults faults, bool yes,
                   CGatewayServer** server = nullptr)
{
    nettest::EnsureApp();
    auto* gateway = new CGatewayServer(QHostAddress(QString(address)), DEVICE_PORT, faults);
    gateway->SetRestartDelay(50);
    EXPECT_TRUE(gateway->Start().ok());
    if (server != nullptr) *server = gateway;
    LinkRun run;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++run.ticks; });
    ticker.start(10);
    std::int32_t linkRequestPending = 0;
    CTestSocket link(linkRequestPending);
    link.SetOwner(CTestSocket::LinkMode::Download, &session, *ParseIpv4(address));
    const auto show = [&](const Message& m) { run.shown.push_back(m); };
    QObject::connect(&link, &CTestSocket::messageShown, show);
    QObject::connect(&link, &CTestSocket::resultShown, show);
    QObject::connect(&link, &CTestSocket::questionAsked, [&](const Message&) { link.AnswerQuestion(yes); });
    QObject::connect(&link, &CTestSocket::finished, [&](bool ok) {
        run.finished = true;
        run.ok = ok;
    });
    link.Start();
    EXPECT_TRUE(qWaitFor([&] { return run.finished; }, 10000));
    if (server == nullptr) delete gateway;
    return run;
}

}  // namespace

TEST(NetDownload, PiecesArriveWholeTrailingBytesAreDroppedAndYesRestarts)
{
    const Bytes image = linktest::SoundImage(397);  // three pieces
    DownloadSession session(image);
    CGatewayServer* gateway = nullptr;
    const LinkRun run =
        RunSession(session, "127.60.0.1", {.trailingBytes = true}, true, &gateway);
    std::unique_ptr<CGatewayServer> owner(gateway);
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.shown, std::vector<Message>{DownloadDoneMessage()});
    EXPECT_EQ(gateway->Device().Pieces(), (std::vector<std::size_t>{1200, 1200, 1}));
    // Nothing blocks: the event loop ran during the pauses between pieces.
    EXPECT_GT(run.ticks, 60);
    ASSERT_TRUE(qWaitFor([&] { return gateway->Device().Restarts() == 1; }, 5000));
    EXPECT_EQ(gateway->Device().Running(), image);
}

TEST(NetDownload, OnlyTheFirstSegmentIsTheAnswerAndARefusedConnectSaysSo)
{
    DownloadSession split(linktest::SoundImage(1));
    EXPECT_EQ(RunSession(split, "127.60.1.1", {.splitAnswer = true}, false).shown,
              std::vector<Message>{DownloadFailedMessage()});
    DeviceCommandSession clear(DeviceCommandSession::CLEAR, false);
    const LinkRun refused = RunSession(clear, "127.60.1.2", {.refuseConnections = true}, true);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.shown, std::vector<Message>{EthernetFailedMessage()});
}
