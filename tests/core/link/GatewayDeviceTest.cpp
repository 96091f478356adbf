// The gateway's side: joining pieces, restarting into a sound image only.
#include <gtest/gtest.h>

#include "core/image/Compiler.h"
#include "core/link/DeviceFrames.h"
#include "core/link/GatewayDevice.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "support/TestSupport.h"

using namespace varnel;

namespace {
GatewayDevice::Reply Send(GatewayDevice& g, const varnel::Bytes& req)
{
    return g.OnRequest(req.data(), req.size());
}
}  // namespace

TEST(LinkGateway, JoinsPiecesAndRestartsIntoASoundImage)
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM1);
    PlaceModule(doc, LABEL_READ_COILS, 0, 10, 1);
    const varnel::Bytes image = BuildImage(doc);
    GatewayDevice g;
    g.OnConnection();
    auto r = Send(g, PieceRequest(image, 0, 5));
    EXPECT_EQ(r.answer, testsupport::Bytes("40 0b"));
    Send(g, PieceRequest(image, 5, image.size() - 5));
    EXPECT_EQ(g.Downloaded(), image);
    EXPECT_EQ(g.Pieces(), (std::vector<std::size_t>{5, image.size() - 5}));
    auto restart = Send(g, RestartRequest());
    EXPECT_TRUE(restart.restart);
    EXPECT_EQ(restart.answer, testsupport::Bytes("40 0c"));
    g.Restart();
    EXPECT_EQ(g.Running(), image);
    auto clear = Send(g, ClearRequest());
    EXPECT_EQ(clear.answer, testsupport::Bytes("40 0d"));
    EXPECT_TRUE(g.Running().empty());
}

TEST(LinkGateway, BrokenImageIsNotRunAndFailureModeAnswersC0)
{
    GatewayDevice g;
    g.OnConnection();
    Send(g, PieceRequest(testsupport::Bytes("01 02 03"), 0, 3));
    EXPECT_NE(g.Restart().find("refused"), std::string::npos);
    EXPECT_TRUE(g.Running().empty());
    g.SetFailAnswers(true);
    EXPECT_EQ(Send(g, PieceRequest({}, 0, 0)).answer, testsupport::Bytes("c0 0b"));
    EXPECT_EQ(Send(g, ClearRequest()).answer, testsupport::Bytes("c0 0d"));
    EXPECT_EQ(Send(g, testsupport::Bytes("41")).answer, testsupport::Bytes("c0 00"));
}

TEST(LinkGateway, DownloadStaysStoredUntilARestartOnAnotherConnection)
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM2);
    const varnel::Bytes image = BuildImage(doc);
    GatewayDevice g;
    g.OnConnection();
    Send(g, PieceRequest(image, 0, image.size()));
    g.OnConnection();  // the restart comes over a connection of its own
    EXPECT_EQ(g.Downloaded(), image);
    EXPECT_TRUE(Send(g, RestartRequest()).restart);
    g.Restart();
    EXPECT_EQ(g.Running(), image);
    // A new download replaces the stored one from its first piece on.
    g.OnConnection();
    Send(g, PieceRequest(image, 0, 3));
    EXPECT_EQ(g.Downloaded(), varnel::Bytes(image.begin(), image.begin() + 3));
    EXPECT_EQ(g.Pieces(), (std::vector<std::size_t>{3}));
    // A clear forgets both the running and the stored configuration.
    Send(g, ClearRequest());
    EXPECT_TRUE(g.Downloaded().empty());
    EXPECT_NE(g.Restart().find("unchanged"), std::string::npos);
    EXPECT_TRUE(g.Running().empty());
}
