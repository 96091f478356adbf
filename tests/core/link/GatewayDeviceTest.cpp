// The gateway's side: answers, keeping a download until a restart, running
// only a sound image, clearing.
#include <gtest/gtest.h>

#include "core/image/Compiler.h"
#include "core/link/DeviceFrames.h"
#include "gateway/GatewayDevice.h"
#include "core/link/LinkTestSupport.h"
#include "core/modbus/ModbusMaster.h"

using namespace varnel;
using linktest::H;

namespace {

GatewayDevice::Reply Send(GatewayDevice& g, const Bytes& req)
{
    return g.OnRequest(req.data(), req.size());
}

TEST(LinkGateway, DownloadStaysStoredUntilARestartOnAnotherConnection)
{
    const Bytes image = BuildImage(docfixtures::NewDoc({Port::COM2}));
    GatewayDevice g;
    g.OnConnection();
    EXPECT_EQ(Send(g, PieceRequest(image, 0, 5)).answer, H("40 0b"));
    Send(g, PieceRequest(image, 5, image.size() - 5));
    g.OnConnection();  // the restart comes over a connection of its own
    EXPECT_EQ(g.Downloaded(), image);
    const auto restart = Send(g, RestartRequest());
    EXPECT_TRUE(restart.restart);
    EXPECT_EQ(restart.answer, H("40 0c"));
    g.Restart();
    EXPECT_EQ(g.Running(), image);
    // A new download replaces the stored one from its first piece on.
    g.OnConnection();
    Send(g, PieceRequest(image, 0, 3));
    EXPECT_EQ(g.Downloaded(), Bytes(image.begin(), image.begin() + 3));
    EXPECT_EQ(g.Pieces(), (std::vector<std::size_t>{3}));
    // A clear forgets both the running and the stored configuration.
    EXPECT_EQ(Send(g, ClearRequest()).answer, H("40 0d"));
    EXPECT_TRUE(g.Downloaded().empty());
    EXPECT_TRUE(g.Running().empty());
    EXPECT_NE(g.Restart().find("unchanged"), std::string::npos);
}

TEST(LinkGateway, BrokenImageIsNotRunAndFailureModeAnswersC0)
{
    GatewayDevice g;
    g.OnConnection();
    Send(g, PieceRequest(H("01 02 03"), 0, 3));
    EXPECT_NE(g.Restart().find("refused"), std::string::npos);
    EXPECT_TRUE(g.Running().empty());
    g.SetFailAnswers(true);
    EXPECT_EQ(Send(g, PieceRequest({}, 0, 0)).answer, H("c0 0b"));
    EXPECT_EQ(Send(g, ClearRequest()).answer, H("c0 0d"));
    EXPECT_EQ(Send(g, H("41")).answer, H("c0 00"));
}

TEST(LinkGateway, RequestsAreWholeWhenTheirBytesAreIn)
{
    const Bytes fullPiece = PieceRequest(Bytes(1300, 7), 0, 1200);
    const struct {
        Bytes buffer;
        bool complete;
    } cases[] = {
        {H("40"), false},        {H("40 0c 00"), false}, {H("40 0c 00 00"), true},
        {H("40 0b 01 02"), false}, {fullPiece, true},      {H("5a a5"), true},
        {Bytes(fullPiece.begin(), fullPiece.end() - 1), false},
    };
    for (const auto& c : cases) EXPECT_EQ(RequestComplete(c.buffer), c.complete) << c.buffer.size();
}

}  // namespace
