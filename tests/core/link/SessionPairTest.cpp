// The link rules (the shared pending flag, one read is one answer, the send
// queue), then a session and the gateway joined in memory: every request goes
// straight to the gateway, its answer comes back as the one read, and armed
// timers fire only when nothing else is left to happen.
#include <gtest/gtest.h>

#include <deque>
#include <set>

#include "core/link/DeviceCommandSession.h"
#include "core/link/DeviceFrames.h"
#include "core/link/DeviceLink.h"
#include "core/link/DownloadSession.h"
#include "core/link/LinkTestSupport.h"
#include "gateway/GatewayDevice.h"

using namespace varnel;
using linktest::H;
using WR = DeviceLink::WriteResult;
using D = DeviceLink::DrainResult;

namespace {

// A socket that answers each write with the next scripted result (then
// "all written") and keeps what it took.
struct ScriptedSocket {
    std::deque<WR> script;
    Bytes wire;

    DeviceLink::Writer Writer()
    {
        return [this](const std::uint8_t* b, std::size_t n) {
            WR r = script.empty() ? WR{WR::Status::Written, n} : script.front();
            if (!script.empty()) script.pop_front();
            if (r.status == WR::Status::Written) {
                r.written = std::min(r.written, n);
                wire.insert(wire.end(), b, b + r.written);
            }
            return r;
        };
    }
};

TEST(LinkRules, PendingFlagAndOneReadIsTheAnswer)
{
    std::int32_t pending = 0;
    DeviceLink link(pending), other(pending);
    ScriptedSocket sock;
    const Bytes reply = H("40 0b 01");
    EXPECT_FALSE(link.OnRead(reply.data(), reply.size()).has_value());  // nothing asked yet
    ASSERT_TRUE(link.SendRequest(ClearRequest(), sock.Writer()));
    EXPECT_EQ(pending, 1);
    EXPECT_EQ(sock.wire, H("40 0d 00 00"));
    EXPECT_EQ(link.OnRead(reply.data(), 1), H("40"));  // the first segment only
    EXPECT_EQ(pending, 0);
    // The rest of the split answer and anything later is dropped.
    EXPECT_FALSE(link.OnRead(reply.data() + 1, 2).has_value());

    // The flag belongs to the document: another link takes the answer.
    link.SendRequest(RestartRequest(), sock.Writer());
    EXPECT_TRUE(other.OnRead(reply.data(), reply.size()).has_value());
    EXPECT_FALSE(link.OnRead(reply.data(), reply.size()).has_value());

    // One read is cut at the read limit.
    link.SendRequest(ClearRequest(), sock.Writer());
    const Bytes big(9000, 0x40);
    const auto answer = link.OnRead(big.data(), big.size());
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->size(), DeviceLink::READ_LIMIT);
}

TEST(LinkRules, SendQueue)
{
    const WR block{WR::Status::WouldBlock, 0}, fail{WR::Status::Failed, 0};
    const auto part = [](std::size_t n) { return WR{WR::Status::Written, n}; };
    struct Case {
        const char* name;
        std::deque<WR> script;
        bool accepted;
        std::vector<D> drains;  // results of OnWritable, one per call
        bool whole;             // the request is on the wire, once
    } cases[] = {
        {"written at once", {}, true, {D::Idle}, true},
        {"would block: goes out whole and once",
         {block, block},
         true,
         {D::StillQueued, D::Sent, D::Idle},
         true},
        {"partial writes queue the tail",
         {part(2), part(1), part(100)},
         true,
         {D::StillQueued, D::Sent, D::Idle},
         true},
        {"failed at once", {fail}, false, {D::Idle}, false},
        {"failed from the queue", {block, fail}, true, {D::Failed, D::Idle}, false},
    };
    const Bytes req = H("40 0b 01 02 03");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::int32_t pending = 0;
        DeviceLink link(pending);
        ScriptedSocket sock;
        sock.script = c.script;
        EXPECT_EQ(link.SendRequest(req, sock.Writer()), c.accepted);
        for (D expected : c.drains) EXPECT_EQ(link.OnWritable(sock.Writer()), expected);
        EXPECT_FALSE(link.Queued());
        EXPECT_EQ(sock.wire, c.whole ? req : Bytes{});
    }
    // A cleared queue writes nothing more.
    std::int32_t pending = 0;
    DeviceLink link(pending);
    ScriptedSocket sock;
    sock.script = {part(2), block};
    ASSERT_TRUE(link.SendRequest(req, sock.Writer()));
    link.ClearQueue();
    EXPECT_EQ(link.OnWritable(sock.Writer()), D::Idle);
    EXPECT_EQ(sock.wire, H("40 0b"));
}

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

// A restart asked for on a later connection runs the stored download; a
// clear forgets it.
TEST(LinkPair, DownloadRestartOnALaterConnectionAndClear)
{
    const Bytes image = linktest::SoundImage(300);
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
    } cases[] = {{0, {19}, 2},
                 {196, {1195}, 2},
                 {197, {1200, 1}, 3},
                 {396, {1200, 1195}, 3},
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
    EXPECT_EQ(refusing.shown,
              (std::vector<Message>{DownloadFailedMessage(), RestartFailedMessage()}));
    GatewayDevice g;
    g.OnConnection();
    const Bytes broken = PieceRequest(H("01 02 03"), 0, 3), odd = H("41");
    g.OnRequest(broken.data(), broken.size());
    EXPECT_NE(g.Restart().find("refused"), std::string::npos);
    EXPECT_TRUE(g.Running().empty());
    EXPECT_EQ(g.OnRequest(odd.data(), odd.size()).answer, H("c0 00"));

    const Bytes fullPiece = PieceRequest(Bytes(1300, 7), 0, 1200);
    const std::pair<Bytes, bool> requests[] = {
        {H("40"), false},
        {H("40 0c 00"), false},
        {H("40 0c 00 00"), true},
        {H("40 0b 01 02"), false},
        {fullPiece, true},
        {H("5a a5"), true},
        {Bytes(fullPiece.begin(), fullPiece.end() - 1), false},
    };
    for (const auto& [buffer, complete] : requests)
        EXPECT_EQ(RequestComplete(buffer), complete) << buffer.size();
}

}  // namespace
