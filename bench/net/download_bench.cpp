// A full download to the gateway server on loopback, against the floor the
// protocol sets: connect, one round trip per piece, and the 300 ms pause
// after each answer. The floor is measured with a bare blocking client doing
// the same exchange (no link layer, no timers), plus the pauses it owes.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>
#include <chrono>
#include <memory>

#include "core/image/Compiler.h"
#include "core/link/DeviceFrames.h"
#include "core/link/DownloadSession.h"
#include "core/link/LinkSession.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/util/Ipv4.h"
#include "gateway/CGatewayServer.h"
#include "net/CTestSocket.h"

namespace {

const char* const ADDRESS = "127.62.0.1";

// A sound image of about `size` bytes (the download refuses any other):
// COM1 with one module holding as many one-register 03H requests as fit.
varnel::Bytes Image(std::size_t size)
{
    using namespace varnel;
    CVarnelDoc doc;
    SetupPort(doc, Port::COM1);
    CModule& m = doc.Slot(Port::COM1, 3).module;
    m = MakeModule(LABEL_READ_HOLDING, 0, 1, 1);
    const Bytes one = m.modulePrm;
    const std::size_t commands = size > 19 ? (size - 19) / 6 : 0;
    m.modulePrm.clear();
    for (std::size_t i = 0; i < commands; ++i)
        m.modulePrm.insert(m.modulePrm.end(), one.begin(), one.end());
    m.inputLen = static_cast<std::int32_t>(2 * commands);
    return BuildImage(doc);
}

// Pieces of a download: at least one (an empty image is one empty piece).
std::size_t Pieces(std::size_t size)
{
    const std::size_t piece = varnel::DownloadSession::PIECE_SIZE;
    return size == 0 ? 1 : (size + piece - 1) / piece;
}

// The gateway runs on its own thread, as a real one runs on its own box.
class GatewayThread {
public:
    GatewayThread()
    {
        thread.start();
        context.moveToThread(&thread);
        QMetaObject::invokeMethod(
            &context,
            [this] {
                server = std::make_unique<varnel::CGatewayServer>(
                    QHostAddress(QString(ADDRESS)), varnel::DEVICE_PORT, varnel::GatewayFaults{});
                (void)server->Start();
            },
            Qt::BlockingQueuedConnection);
    }
    ~GatewayThread()
    {
        QMetaObject::invokeMethod(
            &context, [this] { server.reset(); }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }

private:
    QThread thread;
    QObject context;
    std::unique_ptr<varnel::CGatewayServer> server;
};

GatewayThread& Gateway()
{
    static GatewayThread gateway;
    return gateway;
}

void BM_LinkDownload(benchmark::State& state)
{
    Gateway();
    const auto image = Image(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::int32_t pending = 0;
        varnel::DownloadSession session(image);
        varnel::CTestSocket link(pending);
        link.SetOwner(varnel::CTestSocket::LinkMode::Download, &session,
                      *varnel::ParseIpv4(ADDRESS));
        QEventLoop loop;
        bool ok = false;
        QObject::connect(&link, &varnel::CTestSocket::questionAsked,
                         [&](const varnel::Message&) { link.AnswerQuestion(false); });
        QObject::connect(&link, &varnel::CTestSocket::finished, [&](bool result) {
            ok = result;
            loop.quit();
        });
        QElapsedTimer clock;
        clock.start();
        link.Start();
        loop.exec();
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        if (!ok) state.SkipWithError("download failed");
    }
    state.counters["pieces"] = static_cast<double>(Pieces(image.size()));
}

void BM_ProtocolFloor(benchmark::State& state)
{
    Gateway();
    const auto image = Image(static_cast<std::size_t>(state.range(0)));
    const std::size_t pieces = Pieces(image.size());
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        QTcpSocket socket;
        socket.connectToHost(ADDRESS, varnel::DEVICE_PORT);
        if (!socket.waitForConnected(3000)) {
            state.SkipWithError("no connection");
            break;
        }
        for (std::size_t i = 0; i < pieces; ++i) {
            const auto offset = i * varnel::DownloadSession::PIECE_SIZE;
            const auto req =
                varnel::PieceRequest(image, offset, varnel::DownloadSession::PIECE_SIZE);
            socket.write(reinterpret_cast<const char*>(req.data()),
                         static_cast<qint64>(req.size()));
            if (!socket.waitForReadyRead(5000)) {
                state.SkipWithError("no answer");
                break;
            }
            socket.readAll();
        }
        socket.disconnectFromHost();
        const double exchange = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        // The pause the gateway is owed after each answer is added, not slept.
        state.SetIterationTime(exchange + static_cast<double>(pieces) * varnel::PAUSE_MS / 1000.0);
    }
    state.counters["pieces"] = static_cast<double>(pieces);
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (int size : {19, 1200, 2401, 12000}) b->Arg(size);
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
}

BENCHMARK(BM_LinkDownload)->Apply(Sizes);
BENCHMARK(BM_ProtocolFloor)->Apply(Sizes);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
