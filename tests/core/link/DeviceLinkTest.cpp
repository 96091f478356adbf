// The link rules: the shared pending flag, one read is one answer, and the
// send queue for a send that would block.
#include <gtest/gtest.h>

#include <deque>

#include "core/link/DeviceFrames.h"
#include "core/link/DeviceLink.h"
#include "support/TestSupport.h"

using namespace varnel;
namespace {
varnel::Bytes H(const std::string& hex) { return testsupport::Bytes(hex); }
}  // namespace
using WR = DeviceLink::WriteResult;

namespace {
// A socket that answers each write with the next scripted result and keeps
// what it took.
struct ScriptedSocket {
    std::deque<WR> script;
    varnel::Bytes wire;
    int writes = 0;

    DeviceLink::Writer Writer()
    {
        return [this](const std::uint8_t* b, std::size_t n) {
            ++writes;
            WR r = script.empty() ? WR{WR::Status::Written, n} : script.front();
            if (!script.empty())
                script.pop_front();
            if (r.status == WR::Status::Written) {
                r.written = std::min(r.written, n);
                wire.insert(wire.end(), b, b + r.written);
            }
            return r;
        };
    }
};
}  // namespace

TEST(LinkRules, RequestSetsPendingAndOneReadIsTheAnswer)
{
    std::int32_t pending = 0;
    DeviceLink link(pending);
    ScriptedSocket sock;
    const auto reply = H("40 0b 01");
    EXPECT_FALSE(link.OnRead(reply.data(), reply.size()).has_value());  // nothing asked yet
    ASSERT_TRUE(link.SendRequest(ClearRequest(), sock.Writer()));
    EXPECT_EQ(pending, 1);
    EXPECT_EQ(sock.wire, H("40 0d 00 00"));
    auto first = link.OnRead(reply.data(), 1);  // the first segment only
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(*first, H("40"));
    EXPECT_EQ(pending, 0);
    // The rest of the split answer and anything later is dropped.
    EXPECT_FALSE(link.OnRead(reply.data() + 1, 2).has_value());
}

TEST(LinkRules, PendingFlagIsSharedByAllLinks)
{
    std::int32_t pending = 0;
    DeviceLink a(pending), b(pending);
    ScriptedSocket sock;
    a.SendRequest(RestartRequest(), sock.Writer());
    const auto reply = H("40 0c");
    // The other link takes it: the flag belongs to the document.
    EXPECT_TRUE(b.OnRead(reply.data(), reply.size()).has_value());
    EXPECT_FALSE(a.OnRead(reply.data(), reply.size()).has_value());
}

TEST(LinkRules, OneReadIsCutAtTheReadLimit)
{
    std::int32_t pending = 0;
    DeviceLink link(pending);
    ScriptedSocket sock;
    link.SendRequest(ClearRequest(), sock.Writer());
    varnel::Bytes big(9000, 0x40);
    auto answer = link.OnRead(big.data(), big.size());
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->size(), DeviceLink::READ_LIMIT);
}

TEST(LinkRules, SendThatWouldBlockGoesOutWholeAndOnce)
{
    std::int32_t pending = 0;
    DeviceLink link(pending);
    ScriptedSocket sock;
    sock.script = {WR{WR::Status::WouldBlock, 0}, WR{WR::Status::WouldBlock, 0}};
    const auto req = H("40 0b 01 02 03");
    ASSERT_TRUE(link.SendRequest(req, sock.Writer()));
    EXPECT_TRUE(link.Queued());
    EXPECT_TRUE(sock.wire.empty());
    EXPECT_EQ(link.OnWritable(sock.Writer()), DeviceLink::DrainResult::StillQueued);
    EXPECT_EQ(link.OnWritable(sock.Writer()), DeviceLink::DrainResult::Sent);
    EXPECT_EQ(sock.wire, req);
    EXPECT_FALSE(link.Queued());
    EXPECT_EQ(link.OnWritable(sock.Writer()), DeviceLink::DrainResult::Idle);
    EXPECT_EQ(sock.wire, req);  // once
}

TEST(LinkRules, PartialWritesQueueTheTail)
{
    std::int32_t pending = 0;
    DeviceLink link(pending);
    ScriptedSocket sock;
    sock.script = {WR{WR::Status::Written, 2}, WR{WR::Status::Written, 1},
                   WR{WR::Status::Written, 100}};
    const auto req = H("40 0b 01 02 03");
    ASSERT_TRUE(link.SendRequest(req, sock.Writer()));
    EXPECT_EQ(link.PendingLeft(), 3);
    EXPECT_EQ(link.OnWritable(sock.Writer()), DeviceLink::DrainResult::StillQueued);
    EXPECT_EQ(link.PendingLeft(), 2);
    EXPECT_EQ(link.OnWritable(sock.Writer()), DeviceLink::DrainResult::Sent);
    EXPECT_EQ(sock.wire, req);
}

TEST(LinkRules, FailedWritesAndClearedQueue)
{
    std::int32_t pending = 0;
    DeviceLink link(pending);
    ScriptedSocket sock;
    sock.script = {WR{WR::Status::Failed, 0}};
    EXPECT_FALSE(link.SendRequest(ClearRequest(), sock.Writer()));
    EXPECT_FALSE(link.Queued());

    sock.script = {WR{WR::Status::WouldBlock, 0}, WR{WR::Status::Failed, 0}};
    ASSERT_TRUE(link.SendRequest(ClearRequest(), sock.Writer()));
    EXPECT_EQ(link.OnWritable(sock.Writer()), DeviceLink::DrainResult::Failed);
    EXPECT_FALSE(link.Queued());

    sock.script = {WR{WR::Status::WouldBlock, 0}};
    ASSERT_TRUE(link.SendRequest(ClearRequest(), sock.Writer()));
    link.ClearQueue();
    const int before = sock.writes;
    EXPECT_EQ(link.OnWritable(sock.Writer()), DeviceLink::DrainResult::Idle);
    EXPECT_EQ(sock.writes, before);
}

TEST(LinkFrames, RequestsAndAnswers)
{
    EXPECT_EQ(PieceRequest(H("01 02 03"), 1, 5), H("40 0b 02 03"));
    EXPECT_EQ(PieceRequest({}, 0, 1200), H("40 0b"));
    EXPECT_EQ(RestartRequest(), H("40 0c 00 00"));
    EXPECT_EQ(ClearRequest(), H("40 0d 00 00"));
    EXPECT_TRUE(AnswerIs(H("40 0b ff"), 0x40, 0x0b));
    EXPECT_FALSE(AnswerIs(H("40"), 0x40, 0x0b));
    EXPECT_FALSE(AnswerIs({}, 0x40, 0x0b));
    const auto req = H("40 0b 07");
    auto parsed = ParseRequest(req.data(), req.size());
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->code, 0x0b);
    EXPECT_EQ(parsed->data, H("07"));
    const auto bad = H("41 0b");
    EXPECT_FALSE(ParseRequest(bad.data(), bad.size()).has_value());
    EXPECT_FALSE(ParseRequest(req.data(), 1).has_value());
}
