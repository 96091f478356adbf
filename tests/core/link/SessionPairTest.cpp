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
#include "core/link/LinkTestSupport.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"

using namespace varnel;

namespace {

struct Pair {
    GatewayDevice gateway;
    std::int32_t linkRequestPending = 0;
    DeviceLink link{linkRequestPending};
    std::vector<Message> shown;
    std::vector<int> progress;

    // Runs `session` to its end, answering questions with `yes`.
    bool Run(LinkSession& session, bool yes)
    {
        std::deque<LinkEvent> events{LinkEvent::Start()};
        std::set<int> armed;
        bool restart = false;
        for (int guard = 0; guard < 10000 && !session.Finished(); ++guard) {
            if (events.empty()) {
                if (armed.empty()) return false;  // stuck
                events.push_back(LinkEvent::Timer(*armed.begin()));
                armed.erase(armed.begin());
            }
            const LinkEvent event = events.front();
            events.pop_front();
            for (const LinkAction& a : session.Handle(event)) {
                using K = LinkAction::Kind;
                if (a.kind == K::Connect) {
                    gateway.OnConnection();
                    events.push_back(LinkEvent::Connected());
                } else if (a.kind == K::SendRequest) {
                    Bytes wire;
                    link.SendRequest(a.data, [&](const std::uint8_t* b, std::size_t n) {
                        wire.assign(b, b + n);
                        return DeviceLink::WriteResult{DeviceLink::WriteResult::Status::Written, n};
                    });
                    const auto reply = gateway.OnRequest(wire.data(), wire.size());
                    restart = restart || reply.restart;
                    if (auto answer = link.OnRead(reply.answer.data(), reply.answer.size()))
                        events.push_back(LinkEvent::Answer(*answer));
                } else if (a.kind == K::ArmTimer) {
                    armed.insert(a.timer);
                } else if (a.kind == K::StopTimer) {
                    armed.erase(a.timer);
                } else if (a.kind == K::Show) {
                    shown.push_back(a.message);
                } else if (a.kind == K::SetProgress) {
                    progress.push_back(a.value);
                } else if (a.kind == K::Ask) {
                    events.push_back(LinkEvent::User(yes));
                }
            }
        }
        if (restart) gateway.Restart();
        return session.Succeeded();
    }
};

TEST(LinkPair, FullRacksDownloadRestartAndClear)
{
    CVarnelDoc doc = docfixtures::NewDoc();
    doc.deviceSlotNum = 54;
    for (Port port : {Port::COM1, Port::COM2}) {
        SetupPort(doc, port);
        for (int i = 0; i < 53; ++i)
            PlaceModule(doc, {port, UserSlotIndex(i + 1)}, LABEL_READ_HOLDING,
                        static_cast<std::uint16_t>(i * 10), 10, static_cast<std::uint8_t>(i + 1));
    }
    ASSERT_FALSE(PlaceSlaveStatusModules(doc).has_value());
    const Bytes image = BuildImage(doc);
    ASSERT_GT(image.size(), 600u);
    Pair pair;
    DownloadSession download(image);
    ASSERT_TRUE(pair.Run(download, true));
    EXPECT_EQ(pair.gateway.Running(), image);

    DeviceCommandSession clear(DeviceCommandSession::CLEAR);
    ASSERT_TRUE(pair.Run(clear, true));
    EXPECT_TRUE(pair.gateway.Running().empty());
    ASSERT_FALSE(pair.shown.empty());
    EXPECT_EQ(pair.shown.back().text, "清除配置完成");
}

TEST(LinkPair, ImagesArriveWholeInPiecesOf1200)
{
    struct Case {
        std::size_t size;
        std::vector<std::size_t> pieces;
        int progressMax;
    } cases[] = {
        {0, {0}, 2},       {1, {1}, 2},       {1199, {1199}, 2},        {1200, {1200}, 3},
        {1201, {1200, 1}, 3}, {2400, {1200, 1200}, 4}, {2401, {1200, 1200, 1}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const Bytes image = linktest::Image(c.size);
        Pair pair;
        DownloadSession download(image);
        EXPECT_EQ(download.ProgressMax(), c.progressMax);
        ASSERT_TRUE(pair.Run(download, false));
        EXPECT_EQ(pair.gateway.Downloaded(), image);
        EXPECT_EQ(pair.gateway.Pieces(), c.pieces);
        EXPECT_EQ(pair.gateway.Restarts(), 0);
        EXPECT_EQ(pair.linkRequestPending, 0);
        // The bar: 0, half way clamped to the end, one step per piece, the end.
        if (c.size == 2401) {
            EXPECT_EQ(pair.progress, (std::vector<int>{0, 4, 1, 2, 3, 4}));
        }
    }
}

}  // namespace
