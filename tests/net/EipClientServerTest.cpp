// The EtherNet/IP client against the gateway-side server on loopback, and
// against peers that refuse or never answer.
#include <QCoreApplication>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

#include "net/CEipClient.h"
#include "net/CEipServer.h"

using namespace varnel;

namespace {

void EnsureApp()
{
    static int argc = 1;
    static char name[] = "net_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

struct Outcome {
    bool done = false;
    bool success = false;
    std::vector<Message> messages;
};

// Runs one exchange to completion through the event loop.
Outcome Exchange(quint16 port, bool enable, int waitMs = 10000)
{
    CEipClient client;
    Outcome outcome;
    QObject::connect(&client, &CEipClient::message,
                     [&](const Message& m) { outcome.messages.push_back(m); });
    QObject::connect(&client, &CEipClient::finished, [&](bool ok) {
        outcome.done = true;
        outcome.success = ok;
    });
    client.Start(QHostAddress(QHostAddress::LocalHost), enable, port);
    (void)QTest::qWaitFor([&] { return outcome.done; }, waitMs);
    return outcome;
}

}  // namespace

TEST(EipClientServer, EnableThenDisable)
{
    EnsureApp();
    CEipServer server;
    ASSERT_TRUE(server.Listen(QHostAddress(QHostAddress::LocalHost), 0));
    std::vector<quint32> changes;
    QObject::connect(&server, &CEipServer::configurationControlChanged,
                     [&](quint32 v) { changes.push_back(v); });

    auto enabled = Exchange(server.Port(), true);
    ASSERT_TRUE(enabled.done);
    EXPECT_TRUE(enabled.success);
    ASSERT_EQ(enabled.messages.size(), 1u);
    EXPECT_EQ(enabled.messages[0].text, "DHCP已使能（配置控制读回为0x00000002）");
    EXPECT_EQ(server.ConfigurationControl(), 2u);

    auto disabled = Exchange(server.Port(), false);
    EXPECT_TRUE(disabled.success);
    EXPECT_EQ(server.ConfigurationControl(), 0u);
    EXPECT_EQ(changes, (std::vector<quint32>{2, 0}));
}

TEST(EipClientServer, RefusedConnectionIsReported)
{
    EnsureApp();
    quint16 port = 0;
    {
        QTcpServer probe;  // a port that was free a moment ago
        ASSERT_TRUE(probe.listen(QHostAddress(QHostAddress::LocalHost), 0));
        port = probe.serverPort();
    }
    auto outcome = Exchange(port, true);
    ASSERT_TRUE(outcome.done);
    EXPECT_FALSE(outcome.success);
    ASSERT_EQ(outcome.messages.size(), 1u);
    EXPECT_EQ(outcome.messages[0],
              ErrorMessage("以太网连接不通,请检查IP和PORT设置和设备是否正常运行"));
}

TEST(EipClientServer, PeerThatNeverAnswers)
{
    EnsureApp();
    QTcpServer silent;  // accepts, reads nothing, answers nothing
    ASSERT_TRUE(silent.listen(QHostAddress(QHostAddress::LocalHost), 0));
    auto outcome = Exchange(silent.serverPort(), true, 15000);
    ASSERT_TRUE(outcome.done);
    EXPECT_FALSE(outcome.success);
    ASSERT_EQ(outcome.messages.size(), 1u);
    EXPECT_EQ(outcome.messages[0], ErrorMessage("设备没有响应"));
}
