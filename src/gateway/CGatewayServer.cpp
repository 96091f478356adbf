#include "gateway/CGatewayServer.h"

#include <QTcpSocket>
#include <nlohmann/json.hpp>

#include "core/image/HexFile.h"
#include "core/link/DeviceFrames.h"
#include "core/model/AtomicFile.h"

namespace varnel {

namespace {
// A request of the tool is one send; bytes that trickle in are joined until
// the line has been quiet this long.
constexpr int QUIET_MS = 5;
// The rest of a split answer comes long after the first byte, so the tool
// surely reads them apart; trailing bytes follow soon, within the tool's
// pause after the answer.
constexpr int SPLIT_GAP_MS = 1000;
constexpr int TRAILING_GAP_MS = 50;
const char* const QUIET_TIMER = "varnelQuietTimer";
const char* const BUFFER = "varnelBuffer";

Bytes ToBytes(const QByteArray& bytes)
{
    return Bytes(bytes.begin(), bytes.end());
}
}  // namespace

CGatewayServer::CGatewayServer(QHostAddress listenAddress, quint16 listenPort,
                               GatewayFaults gatewayFaults, QObject* parent)
    : QObject(parent), address(std::move(listenAddress)), port(listenPort), faults(gatewayFaults)
{
    device.SetFailAnswers(faults.answerFailure);
    connect(&server, &QTcpServer::newConnection, this, &CGatewayServer::OnNewConnection);
}

CGatewayServer::~CGatewayServer() = default;

Status CGatewayServer::Start()
{
    if (faults.refuseConnections) {
        Log("refusing connections on " + address.toString() + ":" + QString::number(port));
        Changed();
        return {};
    }
    QString error;
    if (!Listen(&error))
        return Refuse(Code::ListenFailed, "cannot listen on " + address.toString().toStdString() +
                                              ":" + std::to_string(port) + ": " +
                                              error.toStdString());
    Changed();
    return {};
}

bool CGatewayServer::Listen(QString* error)
{
    if (faults.delayAcceptMs > 0) server.setListenBacklogSize(0);
    if (!server.listen(address, port)) {
        if (error) *error = server.errorString();
        return false;
    }
    Log("listening on " + address.toString() + ":" + QString::number(port));
    if (faults.delayAcceptMs > 0) HoldAccepting();
    return true;
}

// Stops taking connections and fills the kernel's accept queue with one
// connection of our own: further connection attempts then hang unanswered,
// as with a gateway that does not respond, until accepting resumes.
void CGatewayServer::HoldAccepting()
{
    server.pauseAccepting();
    delete filler;
    filler = new QTcpSocket(this);
    filler->connectToHost(address, port);
    filler->waitForConnected(1000);
    fillerPort = filler->localPort();
    Log("holding connections for " + QString::number(faults.delayAcceptMs) + " ms");
    QTimer::singleShot(faults.delayAcceptMs, this, [this] {
        if (!server.isListening()) return;
        Log("accepting connections again");
        server.resumeAccepting();
    });
}

void CGatewayServer::OnNewConnection()
{
    while (server.hasPendingConnections()) {
        QTcpSocket* client = server.nextPendingConnection();
        if (filler != nullptr && client->peerPort() == fillerPort &&
            client->peerAddress() == filler->localAddress()) {
            client->deleteLater();  // our own place holder
            continue;
        }
        device.OnConnection();
        piecesThisConnection = 0;
        Log("connection from " + client->peerAddress().toString() + ":" +
            QString::number(client->peerPort()));
        auto* quiet = new QTimer(client);
        quiet->setSingleShot(true);
        quiet->setObjectName(QUIET_TIMER);
        connect(quiet, &QTimer::timeout, this, [this, client] { Process(client); });
        connect(client, &QTcpSocket::readyRead, this, [this, client] { OnReadyRead(client); });
        connect(client, &QTcpSocket::disconnected, this, [this, client] {
            Log("connection closed");
            client->deleteLater();
            if (faults.delayAcceptMs > 0 && server.isListening()) HoldAccepting();
        });
    }
}

void CGatewayServer::OnReadyRead(QTcpSocket* client)
{
    QByteArray buffer = client->property(BUFFER).toByteArray() + client->readAll();
    client->setProperty(BUFFER, buffer);
    auto* quiet = client->findChild<QTimer*>(QUIET_TIMER);
    if (RequestComplete(ToBytes(buffer))) {
        quiet->stop();
        Process(client);
    } else {
        quiet->start(QUIET_MS);
    }
}

void CGatewayServer::Process(QTcpSocket* client)
{
    const QByteArray buffer = client->property(BUFFER).toByteArray();
    client->setProperty(BUFFER, QByteArray());
    if (buffer.isEmpty()) return;
    const auto reply = device.OnRequest(reinterpret_cast<const std::uint8_t*>(buffer.constData()),
                                        static_cast<std::size_t>(buffer.size()));
    Log(QString::fromStdString(reply.event));
    const bool piece = buffer.size() >= 2 && static_cast<std::uint8_t>(buffer[1]) == CODE_PIECE;
    if (piece) ++piecesThisConnection;
    Changed();
    if (faults.neverAnswer) {
        Log("not answering");  // a hung gateway: no answer, no restart
        return;
    }
    Answer(client, reply.answer);
    if (reply.restart) {
        BeginRestart(client);
        return;
    }
    if (piece && faults.closeAfterPieces > 0 && piecesThisConnection >= faults.closeAfterPieces) {
        Log("dropping the connection in the middle of the download");
        client->disconnectFromHost();
    }
}

void CGatewayServer::Answer(QTcpSocket* client, const Bytes& answer)
{
    QByteArray bytes(reinterpret_cast<const char*>(answer.data()),
                     static_cast<qsizetype>(answer.size()));
    if (faults.answerGarbage) bytes = QByteArray::fromHex("5aa5");
    if (faults.trailingBytes) bytes += QByteArray::fromHex("eeee");
    if (faults.splitAnswer && bytes.size() > 1) {
        SendLater(client, bytes.mid(1), SPLIT_GAP_MS);
        bytes.truncate(1);
    }
    if (faults.trailingBytes) SendLater(client, QByteArray::fromHex("eeeeee"), TRAILING_GAP_MS);
    client->write(bytes);
    client->flush();
    Log("answered " + QString::fromLatin1(bytes.toHex(' ')));
}

void CGatewayServer::SendLater(QTcpSocket* client, const QByteArray& bytes, int delayMs)
{
    QTimer::singleShot(delayMs, client, [this, client, bytes] {
        if (client->state() != QAbstractSocket::ConnectedState) return;
        client->write(bytes);
        client->flush();
        Log("sent later " + QString::fromLatin1(bytes.toHex(' ')));
    });
}

void CGatewayServer::BeginRestart(QTcpSocket* client)
{
    Log("restarting");
    client->disconnectFromHost();
    for (QTcpSocket* other : server.findChildren<QTcpSocket*>()) other->disconnectFromHost();
    server.close();
    QTimer::singleShot(restartDelayMs, this, [this] {
        // The state is written before the line appears, so whoever waits for
        // the line finds the new configuration in the state file.
        const QString line = QString::fromStdString(device.Restart());
        Changed();
        Log(line);
        QString error;
        if (!Listen(&error)) Log("cannot listen again: " + error);
        Changed();
    });
}

QString CGatewayServer::StateJson(int indent) const
{
    nlohmann::json state;
    state["listening"] = server.isListening();
    state["downloaded"] = FormatHexText(device.Downloaded());
    state["pieces"] = device.Pieces();
    state["running"] = FormatHexText(device.Running());
    state["restarts"] = device.Restarts();
    state["clears"] = device.Clears();
    if (!device.Running().empty())
        state["configuration"] = DescribeImage(DecodeImage(device.Running()));
    for (const auto& [key, part] : parts) state[key] = part;
    return QString::fromStdString(state.dump(indent));
}

void CGatewayServer::SetPartState(const std::string& key, nlohmann::json part)
{
    parts[key] = std::move(part);
    Changed();
}

void CGatewayServer::Log(const QString& line)
{
    emit eventLogged(line);
}

void CGatewayServer::Changed()
{
    if (!stateFile.isEmpty()) {
        const Status written =
            WriteFileAtomically(stateFile.toStdString(), StateJson().toStdString());
        if (!written)
            Log("cannot write the state file: " + QString::fromStdString(written.message().text));
    }
    emit stateChanged();
}

}  // namespace varnel
