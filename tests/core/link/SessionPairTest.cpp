// A session and the gateway joined in memory: every request goes straight to
// the gateway, its answer comes back as the one read, and armed timers fire
// only when nothing else is left to happen (the gateway always answers first).
#include <gtest/gtest.h>

#include <deque>
#include <set>

#include "core/image/Compiler.h"
#include "core/link/DeviceCommandSession.h"
#include "core/link/DeviceFrames.h"
#include "core/link/DeviceLink.h"
#include "core/link/DownloadSession.h"
#include "core/link/LinkTestSupport.h"
#include "gateway/GatewayDevice.h"

using namespace varnel;
using linktest::H;

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
                } else if (a.kind == K::Show || a.kind == K::ShowResult) {
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

// Full racks on both ports go over whole; a restart asked for on a later
// connection runs the stored download; a clear forgets it.
TEST(LinkPair, FullRacksDownloadRestartAndClear)
{
    CVarnelDoc doc = docfixtures::NewDoc();
    doc.deviceSlotNum = 54;
    for (Port port : {Port::COM1, Port::COM2}) {
        SetupPort(doc, port);
        for (int i = 0; i < 53; ++i)
            PlaceModule(doc, LABEL_READ_HOLDING, static_cast<std::uint16_t>(i * 10), 10,
                        static_cast<std::uint8_t>(i + 1));
    }
    const Bytes image = CompileImage(doc).value();
    Pair pair;
    DownloadSession download(image);
    ASSERT_TRUE(pair.Run(download, false));
    EXPECT_TRUE(pair.gateway.Running().empty());
    DeviceCommandSession restart(DeviceCommandSession::RESTART, false);
    ASSERT_TRUE(pair.Run(restart, true));
    EXPECT_EQ(pair.gateway.Running(), image);
    DeviceCommandSession clear(DeviceCommandSession::CLEAR);
    ASSERT_TRUE(pair.Run(clear, true));
    EXPECT_TRUE(pair.gateway.Running().empty());
    EXPECT_TRUE(pair.gateway.Downloaded().empty());
    EXPECT_EQ(pair.shown, (std::vector<Message>{DownloadDoneMessage(), ClearDoneMessage()}));
}

TEST(LinkPair, ImagesArriveWholeInPiecesOf1200)
{
    const struct {
        std::size_t commands;  // the image is 19 + 6 * commands bytes
        std::vector<std::size_t> pieces;
        int progressMax;
    } cases[] = {{0, {19}, 2}, {196, {1195}, 2}, {197, {1200, 1}, 3}, {396, {1200, 1195}, 3},
                 {397, {1200, 1200, 1}, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commands);
        const Bytes image = linktest::SoundImage(c.commands);
        Pair pair;
        DownloadSession download(image);
        EXPECT_EQ(download.ProgressMax(), c.progressMax);
        ASSERT_TRUE(pair.Run(download, false));
        EXPECT_EQ(pair.gateway.Downloaded(), image);
        EXPECT_EQ(pair.gateway.Pieces(), c.pieces);
        EXPECT_EQ(pair.linkRequestPending, 0);
        // The bar: 0, half way clamped to the end, one step per piece, the end.
        EXPECT_TRUE(c.commands != 397 || pair.progress == (std::vector<int>{0, 4, 1, 2, 3, 4}));
    }
}

// The gateway's side: it refuses to run a broken image, answers C0 when told
// to, and takes a request once all its bytes are in.
TEST(LinkPair, GatewayRefusesWhatDoesNotHoldTogether)
{
    Pair refusing;
    refusing.gateway.SetFailAnswers(true);
    DownloadSession failed(linktest::SoundImage(1));
    EXPECT_FALSE(refusing.Run(failed, true));
    DeviceCommandSession restart(DeviceCommandSession::RESTART, false);
    EXPECT_FALSE(refusing.Run(restart, true));
    EXPECT_EQ(refusing.shown, (std::vector<Message>{DownloadFailedMessage(), RestartFailedMessage()}));
    GatewayDevice g;
    g.OnConnection();
    const Bytes broken = PieceRequest(H("01 02 03"), 0, 3), odd = H("41");
    g.OnRequest(broken.data(), broken.size());
    EXPECT_NE(g.Restart().find("refused"), std::string::npos);
    EXPECT_TRUE(g.Running().empty());
    EXPECT_EQ(g.OnRequest(odd.data(), odd.size()).answer, H("c0 00"));

    const Bytes fullPiece = PieceRequest(Bytes(1300, 7), 0, 1200);
    const std::pair<Bytes, bool> requests[] = {
        {H("40"), false}, {H("40 0c 00"), false}, {H("40 0c 00 00"), true},
        {H("40 0b 01 02"), false}, {fullPiece, true}, {H("5a a5"), true},
        {Bytes(fullPiece.begin(), fullPiece.end() - 1), false},
    };
    for (const auto& [buffer, complete] : requests)
        EXPECT_EQ(RequestComplete(buffer), complete) << buffer.size();
}

}  // namespace
