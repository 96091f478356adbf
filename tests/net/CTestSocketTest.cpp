// The device link over real TCP on loopback against the gateway server.
// Each test listens on its own 127.x.y.z address so tests run in parallel.
#include <QTimer>
#include <memory>

#include "core/image/Compiler.h"
#include "core/link/DeviceCommandSession.h"
#include "core/link/DeviceFrames.h"
#include "core/link/DownloadSession.h"
#include "core/link/LinkMessages.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "net/CGatewayServer.h"
#include "net/CTestSocket.h"
#include "net/NetTestSupport.h"

using namespace varnel;
using QTest::qWaitFor;

namespace {

struct Gateway {
    explicit Gateway(const char* addr, GatewayFaults faults = {})
        : address(addr), server(QHostAddress(QString(addr)), DEVICE_PORT, faults)
    {
        nettest::EnsureApp();
        server.SetRestartDelay(50);
        QString error;
        EXPECT_TRUE(server.Start(&error)) << error.toStdString();
    }
    QString address;
    CGatewayServer server;
    std::int32_t linkRequestPending = 0;
};

struct LinkRun {
    std::vector<std::string> shown;
    std::vector<Message> asked;
    int range = -1;
    int ticksAfterFirstPiece = -1;  // 10 ms timer ticks from the first piece to the end
    bool finished = false;
    bool ok = false;
};

// Runs `session` against the gateway on the device port, answering every
// question with `yes`; gives up after `timeoutMs`.
LinkRun RunSession(LinkSession& session, Gateway& gw, bool yes, int timeoutMs = 10000,
                   CTestSocket::LinkMode mode = CTestSocket::DownloadDialog)
{
    LinkRun run;
    int ticks = 0, ticksAtFirstPiece = -1;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    CTestSocket link(gw.linkRequestPending);
    link.SetOwner(mode, &session, gw.address);
    QObject::connect(&link, &CTestSocket::messageShown,
                     [&](const Message& m) { run.shown.push_back(m.text); });
    QObject::connect(&link, &CTestSocket::questionAsked, [&](const Message& m) {
        run.asked.push_back(m);
        link.AnswerQuestion(yes);
    });
    QObject::connect(&link, &CTestSocket::progressRange, [&](int max) { run.range = max; });
    QObject::connect(&link, &CTestSocket::progressChanged, [&](int pos) {
        if (pos == 1)
            ticksAtFirstPiece = ticks;
    });
    QObject::connect(&link, &CTestSocket::finished, [&](bool ok) {
        run.finished = true;
        run.ok = ok;
        if (ticksAtFirstPiece >= 0)
            run.ticksAfterFirstPiece = ticks - ticksAtFirstPiece;
    });
    link.Start();
    (void)qWaitFor([&] { return run.finished; }, timeoutMs);
    return run;
}

varnel::Bytes Image(std::size_t size)
{
    varnel::Bytes image(size);
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<std::uint8_t>(i * 13 + 1);
    return image;
}

}  // namespace

TEST(NetDownload, ImagesArriveWholeInOrderInPiecesOf1200)
{
    struct Case {
        const char* address;
        std::size_t size;
        std::vector<std::size_t> pieces;
        GatewayFaults faults = {};
    };
    const Case cases[] = {
        {"127.60.0.1", 0, {0}},          {"127.60.0.2", 1, {1}},
        {"127.60.0.3", 1200, {1200}},    {"127.60.0.4", 1201, {1200, 1}},
        {"127.60.0.5", 2400, {1200, 1200}},
        // Bytes after an answer are dropped, not taken for the next answer.
        {"127.60.0.6", 3600, {1200, 1200, 1200}, {.trailingBytes = true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        Gateway gw(c.address, c.faults);
        const auto image = Image(c.size);
        DownloadSession session(image);
        LinkRun run = RunSession(session, gw, false);
        ASSERT_TRUE(run.finished);
        EXPECT_TRUE(run.ok);
        EXPECT_EQ(run.shown, std::vector<std::string>{"下 载 完 毕！"});
        EXPECT_EQ(run.asked, std::vector<Message>{RestartAfterDownloadQuestion()});
        EXPECT_EQ(gw.server.Device().Downloaded(), image);
        EXPECT_EQ(gw.server.Device().Pieces(), c.pieces);
        EXPECT_EQ(run.range, static_cast<int>(c.size / 1200 + 2));
        EXPECT_EQ(gw.linkRequestPending, 0);
        // Nothing blocks: other events ran during the pauses between pieces.
        if (c.pieces.size() > 1) {
            EXPECT_GT(run.ticksAfterFirstPiece, 0);
        }
        // No: nothing more goes out, the gateway never restarts.
        EXPECT_FALSE(qWaitFor([&] { return gw.server.Device().Restarts() > 0; }, 200));
    }
}

TEST(NetDownload, YesRestartsIntoTheDownloadedConfiguration)
{
    Gateway gw("127.60.1.1");
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM1);
    PlaceModule(doc, {Port::COM1, UserSlotIndex(1)}, LABEL_READ_HOLDING, 100, 20, 5);
    PlaceModule(doc, {Port::COM1, UserSlotIndex(2)}, LABEL_WRITE_COILS, 0, 16, 5);
    ASSERT_FALSE(PlaceSlaveStatusModules(doc).has_value());
    const auto image = BuildImage(doc);
    DownloadSession session(image);
    LinkRun run = RunSession(session, gw, true);
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(run.ok);
    EXPECT_TRUE(session.RestartRequested());
    ASSERT_TRUE(qWaitFor([&] { return gw.server.Device().Restarts() == 1; }, 5000));
    EXPECT_EQ(gw.server.Device().Running(), image);
    EXPECT_NE(gw.server.StateJson().toStdString().find("读4区 03H, slave 5, start 100, quantity 20"),
              std::string::npos);
}

// A download (answered Yes) or a device command against a gateway with the
// given faults: the one message the user sees.
struct Row {
    const char* name;
    const char* address;
    int command;  // DOWNLOAD or a DeviceCommandSession command
    GatewayFaults faults;
    bool ok;
    const char* text;  // nullptr: nothing shown
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

constexpr int DOWNLOAD = -1;
constexpr int CLEAR = DeviceCommandSession::CLEAR;
constexpr int RESTART = DeviceCommandSession::RESTART;

class NetLink : public ::testing::TestWithParam<Row> {};

TEST_P(NetLink, ShowsItsMessage)
{
    const Row& c = GetParam();
    Gateway gw(c.address, c.faults);
    std::unique_ptr<LinkSession> session;
    if (c.command == DOWNLOAD)
        session = std::make_unique<DownloadSession>(Image(2400));
    else
        session = std::make_unique<DeviceCommandSession>(c.command);
    LinkRun run = RunSession(*session, gw, true, 10000,
                             c.command == DOWNLOAD ? CTestSocket::DownloadDialog
                                                   : CTestSocket::MainFrame);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.ok, c.ok);
    EXPECT_EQ(run.shown, c.text ? std::vector<std::string>{c.text} : std::vector<std::string>{});
    if (c.command == DOWNLOAD) {  // a failed download asks nothing and restarts nothing
        EXPECT_TRUE(run.asked.empty());
        EXPECT_EQ(gw.server.Device().Restarts(), 0);
    }
    if (c.command == RESTART && c.ok) {
        EXPECT_TRUE(qWaitFor([&] { return gw.server.Device().Restarts() == 1; }, 5000));
    }
    if (c.command == CLEAR && c.ok) {
        EXPECT_EQ(gw.server.Device().Clears(), 1);
    }
}

const char* const NOT_CONNECTED = "以太网连接不通,请检查IP和PORT设置和设备是否正常运行";
const char* const CONNECT_TIMEOUT = "连接超时,请检查IP和PORT设置和设备是否正常运行";

INSTANTIATE_TEST_SUITE_P(
    Rows, NetLink,
    ::testing::Values(
        Row{"refused", "127.60.2.1", DOWNLOAD, {.refuseConnections = true}, false, NOT_CONNECTED},
        Row{"acceptDelayed", "127.60.2.2", DOWNLOAD, {.delayAcceptMs = 4500}, false,
            CONNECT_TIMEOUT},
        Row{"neverAnswers", "127.60.2.3", DOWNLOAD, {.neverAnswer = true}, false, "主站没有响应"},
        Row{"answersC0", "127.60.2.4", DOWNLOAD, {.answerFailure = true}, false, "下 载 失 败！"},
        Row{"answersGarbage", "127.60.2.5", DOWNLOAD, {.answerGarbage = true}, false,
            "下 载 失 败！"},
        // Only the first read is the answer: "40" alone is no 40 0B.
        Row{"splitAnswer", "127.60.2.6", DOWNLOAD, {.splitAnswer = true}, false, "下 载 失 败！"},
        Row{"closesMidway", "127.60.2.7", DOWNLOAD, {.closeAfterPieces = 1}, false, "发送失败"},
        Row{"clear", "127.60.4.1", CLEAR, {}, true, "清除配置完成"},
        Row{"clearRefusedByGateway", "127.60.4.2", CLEAR, {.answerFailure = true}, false,
            "清除配置失败"},
        Row{"clearNeverAnswered", "127.60.4.3", CLEAR, {.neverAnswer = true}, false,
            "主站没有响应"},
        Row{"restart", "127.60.4.4", RESTART, {}, true, nullptr},
        Row{"restartNeverAnswered", "127.60.4.5", RESTART, {.neverAnswer = true}, false,
            "主站没有响应"},
        Row{"clearRefused", "127.60.4.6", CLEAR, {.refuseConnections = true}, false,
            NOT_CONNECTED},
        Row{"restartAcceptDelayed", "127.60.4.7", RESTART, {.delayAcceptMs = 4500}, false,
            CONNECT_TIMEOUT}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NetCommandQuestion, NoOpensNoConnection)
{
    Gateway gw("127.60.5.1");
    int connections = 0;
    QObject::connect(&gw.server, &CGatewayServer::eventLogged, [&](const QString& line) {
        if (line.startsWith("connection from"))
            ++connections;
    });
    DeviceCommandSession session(DeviceCommandSession::CLEAR);
    LinkRun run = RunSession(session, gw, false, 2000, CTestSocket::MainFrame);
    ASSERT_TRUE(run.finished);
    EXPECT_FALSE(run.ok);
    EXPECT_TRUE(session.Declined());
    EXPECT_FALSE(qWaitFor([&] { return connections > 0; }, 200));
}
