// The link rules: the shared pending flag, one read is one answer, and the
// send queue for a send that would block. The frames' bytes are pinned by the
// session tables.
#include <gtest/gtest.h>

#include <deque>

#include "core/link/DeviceFrames.h"
#include "core/link/DeviceLink.h"
#include "core/link/LinkTestSupport.h"

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
        {"would block: goes out whole and once", {block, block}, true,
         {D::StillQueued, D::Sent, D::Idle}, true},
        {"partial writes queue the tail", {part(2), part(1), part(100)}, true,
         {D::StillQueued, D::Sent, D::Idle}, true},
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

}  // namespace
