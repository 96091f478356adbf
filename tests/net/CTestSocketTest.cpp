// The device link over real TCP on loopback against the gateway server.
// Each test listens on its own 127.x.y.z address so tests run in parallel.
#include <gtest/gtest.h>

#include <QHostAddress>
#include <functional>

#include "core/image/Compiler.h"
#include "core/link/DeviceCommandSession.h"
#include "core/link/DeviceFrames.h"
#include "core/link/DownloadSession.h"
#include "core/link/LinkMessages.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "net/LinkHarness.h"

using namespace varnel;
using linktest::LinkRun;

namespace {

struct Gateway {
    explicit Gateway(const char* addr, GatewayFaults faults = {})
        : address(addr), server(QHostAddress(QString(addr)), DEVICE_PORT, faults)
    {
        linktest::EnsureApp();
        server.SetRestartDelay(50);
        QString error;
        started = server.Start(&error);
        EXPECT_TRUE(started) << error.toStdString();
    }
    QString address;
    CGatewayServer server;
    bool started = false;
    std::int32_t linkRequestPending = 0;
};

varnel::Bytes Image(std::size_t size)
{
    varnel::Bytes image(size);
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<std::uint8_t>(i * 13 + 1);
    return image;
}

varnel::Bytes CompiledImage()
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM1);
    PlaceModule(doc, LABEL_READ_HOLDING, 100, 20, 5);
    PlaceModule(doc, LABEL_WRITE_COILS, 0, 16, 5);
    EXPECT_FALSE(PlaceSlaveStatusModules(doc).has_value());
    return BuildImage(doc);
}

bool Shows(const LinkRun& run, const std::string& text)
{
    for (const auto& m : run.shown)
        if (m.text == text)
            return true;
    return false;
}

}  // namespace

TEST(NetDownload, ImagesArriveWholeInOrderInPiecesOf1200)
{
    struct Case {
        const char* address;
        std::size_t size;
        std::vector<std::size_t> pieces;
    };
    const Case cases[] = {
        {"127.60.0.1", 0, {0}},          {"127.60.0.2", 1, {1}},
        {"127.60.0.3", 1200, {1200}},    {"127.60.0.4", 1201, {1200, 1}},
        {"127.60.0.5", 2400, {1200, 1200}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        Gateway gw(c.address);
        const auto image = Image(c.size);
        DownloadSession session(image);
        LinkRun run = linktest::RunSession(session, gw.address, false, gw.linkRequestPending);
        ASSERT_TRUE(run.finished);
        EXPECT_TRUE(run.ok);
        EXPECT_TRUE(Shows(run, "下 载 完 毕！"));
        ASSERT_EQ(run.asked.size(), 1u);
        EXPECT_EQ(run.asked[0], RestartAfterDownloadQuestion());
        EXPECT_EQ(gw.server.Device().Downloaded(), image);
        EXPECT_EQ(gw.server.Device().Pieces(), c.pieces);
        EXPECT_EQ(run.range, static_cast<int>(c.size / 1200 + 2));
        // No: nothing more goes out, the gateway never restarts.
        EXPECT_FALSE(linktest::WaitFor([&] { return gw.server.Device().Restarts() > 0; }, 200));
    }
}

TEST(NetDownload, YesRestartsIntoTheDownloadedConfiguration)
{
    Gateway gw("127.60.1.1");
    const auto image = CompiledImage();
    DownloadSession session(image);
    LinkRun run = linktest::RunSession(session, gw.address, true, gw.linkRequestPending);
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(run.ok);
    EXPECT_TRUE(session.RestartRequested());
    ASSERT_TRUE(linktest::WaitFor([&] { return gw.server.Device().Restarts() == 1; }, 5000));
    EXPECT_EQ(gw.server.Device().Running(), image);
    EXPECT_NE(gw.server.StateJson().toStdString().find("读4区 03H, slave 5, start 100, quantity 20"),
              std::string::npos);
}

// Each fault of the gateway gives the message the user must see.
struct FailureRow {
    const char* name;
    const char* address;
    GatewayFaults faults;
    std::size_t imageSize;
    const char* text;
};

GatewayFaults Faults(const std::function<void(GatewayFaults&)>& set)
{
    GatewayFaults f;
    set(f);
    return f;
}

void PrintTo(const FailureRow& row, std::ostream* os) { *os << row.name; }

class NetDownloadFailure : public ::testing::TestWithParam<FailureRow> {};

TEST_P(NetDownloadFailure, ShowsItsMessage)
{
    const FailureRow& c = GetParam();
    Gateway gw(c.address, c.faults);
    DownloadSession session(Image(c.imageSize));
    LinkRun run = linktest::RunSession(session, gw.address, true, gw.linkRequestPending);
    ASSERT_TRUE(run.finished);
    EXPECT_FALSE(run.ok);
    ASSERT_EQ(run.shown.size(), 1u);
    EXPECT_EQ(run.shown[0].text, c.text);
    EXPECT_TRUE(run.asked.empty());
    EXPECT_EQ(gw.server.Device().Restarts(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NetDownloadFailure,
    ::testing::Values(
        FailureRow{"refused", "127.60.2.1", Faults([](auto& f) { f.refuseConnections = true; }),
                   10, "以太网连接不通,请检查IP和PORT设置和设备是否正常运行"},
        FailureRow{"acceptDelayed", "127.60.2.2", Faults([](auto& f) { f.delayAcceptMs = 4500; }),
                   10, "连接超时,请检查IP和PORT设置和设备是否正常运行"},
        FailureRow{"neverAnswers", "127.60.2.3", Faults([](auto& f) { f.neverAnswer = true; }),
                   10, "主站没有响应"},
        FailureRow{"answersC0", "127.60.2.4", Faults([](auto& f) { f.answerFailure = true; }), 10,
                   "下 载 失 败！"},
        FailureRow{"answersGarbage", "127.60.2.5",
                   Faults([](auto& f) { f.answerGarbage = true; }), 10, "下 载 失 败！"},
        // Only the first read is the answer: "40" alone is no 40 0B.
        FailureRow{"splitAnswer", "127.60.2.6", Faults([](auto& f) { f.splitAnswer = true; }), 10,
                   "下 载 失 败！"},
        FailureRow{"closesMidway", "127.60.2.7", Faults([](auto& f) { f.closeAfterPieces = 1; }),
                   2400, "发送失败"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NetDownload, BytesAfterAnAnswerAreDropped)
{
    GatewayFaults trailing;
    trailing.trailingBytes = true;
    Gateway gw("127.60.3.1", trailing);
    const auto image = Image(3600);
    DownloadSession session(image);
    LinkRun run = linktest::RunSession(session, gw.address, false, gw.linkRequestPending);
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(gw.server.Device().Downloaded(), image);
    EXPECT_EQ(gw.linkRequestPending, 0);
}

TEST(NetDownload, EventLoopStaysResponsiveDuringTheDownload)
{
    Gateway gw("127.60.3.2");
    DownloadSession session(Image(3600));
    int ticks = 0;
    int ticksAtFirstProgress = -1;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    varnel::CTestSocket link(gw.linkRequestPending);
    link.SetOwner(CTestSocket::DownloadDialog, &session, gw.address);
    bool finished = false;
    QObject::connect(&link, &CTestSocket::progressChanged, [&](int pos) {
        if (pos == 1)
            ticksAtFirstProgress = ticks;
    });
    QObject::connect(&link, &CTestSocket::questionAsked, [&](const Message&) {
        link.AnswerQuestion(false);
    });
    QObject::connect(&link, &CTestSocket::finished, [&](bool) { finished = true; });
    link.Start();
    ASSERT_TRUE(linktest::WaitFor([&] { return finished; }, 10000));
    // Three pauses lie between the first piece and the end: other events ran.
    EXPECT_GE(ticksAtFirstProgress, 0);
    EXPECT_GT(ticks, ticksAtFirstProgress);
}

struct CommandRow {
    const char* name;
    const char* address;
    int command;
    GatewayFaults faults;
    bool ok;
    const char* text;  // nullptr: nothing shown
};

void PrintTo(const CommandRow& row, std::ostream* os) { *os << row.name; }

class NetCommand : public ::testing::TestWithParam<CommandRow> {};

TEST_P(NetCommand, AgainstTheGateway)
{
    const CommandRow& c = GetParam();
    Gateway gw(c.address, c.faults);
    DeviceCommandSession session(c.command);
    LinkRun run = linktest::RunSession(session, gw.address, true, gw.linkRequestPending, 10000,
                                       CTestSocket::MainFrame);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.ok, c.ok);
    if (c.text == nullptr) {
        EXPECT_TRUE(run.shown.empty());
    } else {
        ASSERT_EQ(run.shown.size(), 1u);
        EXPECT_EQ(run.shown[0].text, c.text);
    }
    if (c.command == DeviceCommandSession::RESTART && c.ok) {
        EXPECT_TRUE(linktest::WaitFor([&] { return gw.server.Device().Restarts() == 1; }, 5000));
    }
    if (c.command == DeviceCommandSession::CLEAR && c.ok) {
        EXPECT_EQ(gw.server.Device().Clears(), 1);
    }
}

constexpr int CLEAR = DeviceCommandSession::CLEAR;
constexpr int RESTART = DeviceCommandSession::RESTART;

INSTANTIATE_TEST_SUITE_P(
    Rows, NetCommand,
    ::testing::Values(
        CommandRow{"clear", "127.60.4.1", CLEAR, {}, true, "清除配置完成"},
        CommandRow{"clearRefusedByGateway", "127.60.4.2", CLEAR,
                   Faults([](auto& f) { f.answerFailure = true; }), false, "清除配置失败"},
        CommandRow{"clearNeverAnswered", "127.60.4.3", CLEAR,
                   Faults([](auto& f) { f.neverAnswer = true; }), false, "主站没有响应"},
        CommandRow{"restart", "127.60.4.4", RESTART, {}, true, nullptr},
        CommandRow{"restartNeverAnswered", "127.60.4.5", RESTART,
                   Faults([](auto& f) { f.neverAnswer = true; }), false, "主站没有响应"},
        CommandRow{"clearRefused", "127.60.4.6", CLEAR,
                   Faults([](auto& f) { f.refuseConnections = true; }), false,
                   "以太网连接不通,请检查IP和PORT设置和设备是否正常运行"},
        CommandRow{"restartAcceptDelayed", "127.60.4.7", RESTART,
                   Faults([](auto& f) { f.delayAcceptMs = 4500; }), false,
                   "连接超时,请检查IP和PORT设置和设备是否正常运行"}),
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
    LinkRun run = linktest::RunSession(session, gw.address, false, gw.linkRequestPending, 2000,
                             CTestSocket::MainFrame);
    ASSERT_TRUE(run.finished);
    EXPECT_FALSE(run.ok);
    EXPECT_TRUE(session.Declined());
    EXPECT_FALSE(linktest::WaitFor([&] { return connections > 0; }, 200));
}
