// A session and the gateway joined in memory: every request goes straight to
// the gateway, its answer comes back as the one read, and armed timers fire
// only when nothing else is left to happen (the gateway always answers first).
#include <gtest/gtest.h>

#include <deque>
#include <set>

#include "core/image/Compiler.h"
#include "core/link/DeviceCommandSession.h"
#include "core/link/DeviceLink.h"
#include "core/link/DownloadSession.h"
#include "core/link/GatewayDevice.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"

using namespace varnel;

namespace {

struct Pair {
    GatewayDevice gateway;
    std::int32_t linkRequestPending = 0;
    DeviceLink link{linkRequestPending};
    std::vector<Message> shown;
    bool restartPending = false;

    // Runs `session` to its end, answering questions with `yes`.
    bool Run(LinkSession& session, bool yes)
    {
        std::deque<LinkEvent> events{LinkEvent::Start()};
        std::set<int> armed;
        for (int guard = 0; guard < 10000 && !session.Finished(); ++guard) {
            if (events.empty()) {
                if (armed.empty())
                    return false;  // stuck
                const int timer = *armed.begin();
                armed.erase(armed.begin());
                events.push_back(LinkEvent::Timer(timer));
            }
            const LinkEvent event = events.front();
            events.pop_front();
            for (const LinkAction& a : session.Handle(event)) {
                switch (a.kind) {
                case LinkAction::Kind::Connect:
                    gateway.OnConnection();
                    events.push_back(LinkEvent::Connected());
                    break;
                case LinkAction::Kind::SendRequest: {
                    Bytes wire;
                    link.SendRequest(a.data, [&](const std::uint8_t* b, std::size_t n) {
                        wire.assign(b, b + n);
                        return DeviceLink::WriteResult{DeviceLink::WriteResult::Status::Written, n};
                    });
                    auto reply = gateway.OnRequest(wire.data(), wire.size());
                    restartPending = restartPending || reply.restart;
                    if (auto answer = link.OnRead(reply.answer.data(), reply.answer.size()))
                        events.push_back(LinkEvent::Answer(*answer));
                    break;
                }
                case LinkAction::Kind::ArmTimer:
                    armed.insert(a.timer);
                    break;
                case LinkAction::Kind::StopTimer:
                    armed.erase(a.timer);
                    break;
                case LinkAction::Kind::Show:
                    shown.push_back(a.message);
                    break;
                case LinkAction::Kind::Ask:
                    events.push_back(LinkEvent::User(yes));
                    break;
                default:
                    break;
                }
            }
        }
        if (restartPending)
            gateway.Restart();
        restartPending = false;
        return session.Succeeded();
    }
};

Bytes LargeImage()
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    doc.deviceSlotNum = 54;
    for (Port port : {Port::COM1, Port::COM2}) {
        SetupPort(doc, port);
        for (int i = 0; i < 53; ++i)
            PlaceModule(doc, LABEL_READ_HOLDING, static_cast<std::uint16_t>(i * 10), 10,
                        static_cast<std::uint8_t>(i + 1));
    }
    EXPECT_FALSE(PlaceSlaveStatusModules(doc).has_value());
    return BuildImage(doc);
}

}  // namespace

TEST(LinkPair, FullRacksDownloadRestartAndClear)
{
    const Bytes image = LargeImage();
    ASSERT_GT(image.size(), 600u);
    Pair pair;
    DownloadSession download(image);
    ASSERT_TRUE(pair.Run(download, true));
    EXPECT_EQ(pair.gateway.Downloaded(), image);
    EXPECT_EQ(pair.gateway.Running(), image);

    DeviceCommandSession clear(DeviceCommandSession::CLEAR);
    ASSERT_TRUE(pair.Run(clear, true));
    EXPECT_TRUE(pair.gateway.Running().empty());
    ASSERT_FALSE(pair.shown.empty());
    EXPECT_EQ(pair.shown.back().text, "清除配置完成");
}

TEST(LinkPair, PiecesOfEverySizeJoinToTheImage)
{
    for (std::size_t size : {0u, 1u, 1199u, 1200u, 1201u, 2400u, 2401u, 9000u}) {
        SCOPED_TRACE(size);
        Bytes image(size);
        for (std::size_t i = 0; i < size; ++i)
            image[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
        Pair pair;
        DownloadSession download(image);
        ASSERT_TRUE(pair.Run(download, false));
        EXPECT_EQ(pair.gateway.Downloaded(), image);
        EXPECT_EQ(pair.gateway.Restarts(), 0);
        EXPECT_EQ(pair.linkRequestPending, 0);
    }
}
