#pragma once
// The gateway's device-protocol server (TCP 60000) as the simulator runs it:
// accepts connections, answers each request through GatewayDevice, drops the
// connection and goes away for a moment on a restart, and can play the
// faults a real gateway or network shows, so every failure the tool reports
// can be brought about on demand.
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTimer>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "core/util/Result.h"
#include "gateway/GatewayDevice.h"

class QTcpSocket;

namespace varnel {

struct GatewayFaults {
    bool refuseConnections = false;  // listen nowhere: connections are refused
    bool neverAnswer = false;        // accept and read, never answer
    bool answerFailure = false;      // answer C0 + code
    bool answerGarbage = false;      // answer bytes that are no answer
    bool splitAnswer = false;        // the answer's second byte comes in a later segment
    bool trailingBytes = false;      // more bytes follow the answer, also in a later segment
    int closeAfterPieces = 0;        // drop the connection after answering this many pieces
    int delayAcceptMs = 0;           // hold connections unaccepted this long
};

class CGatewayServer : public QObject {
    Q_OBJECT
public:
    CGatewayServer(QHostAddress address, quint16 port, GatewayFaults faults,
                   QObject* parent = nullptr);
    ~CGatewayServer() override;

    // Starts listening (unless connections are to be refused); refused
    // (ListenFailed) with the address and the reason when it cannot be bound.
    Status Start();
    // How long a restart keeps the gateway away.
    void SetRestartDelay(int ms) { restartDelayMs = ms; }
    // A file rewritten with the gateway's state after every change.
    void SetStateFile(const QString& path) { stateFile = path; }

    const GatewayDevice& Device() const { return device; }
    // The stored state as JSON text: the last download, the running
    // configuration and what it decodes to, the restart and clear counts.
    // `indent` -1 gives one line.
    QString StateJson(int indent = 2) const;
    // Adds (or replaces) the part `key` of the state, the state of a serial
    // port's master, and reports the change.
    void SetPartState(const std::string& key, nlohmann::json part);

signals:
    // One line per thing that happened.
    void eventLogged(const QString& line);
    // The state changed (a piece arrived, a restart or a clear finished).
    void stateChanged();

private:
    bool Listen(QString* error);
    void HoldAccepting();
    void OnNewConnection();
    void OnReadyRead(QTcpSocket* client);
    void Process(QTcpSocket* client);
    void Answer(QTcpSocket* client, const Bytes& answer);
    void SendLater(QTcpSocket* client, const QByteArray& bytes, int delayMs);
    void BeginRestart(QTcpSocket* client);
    void Log(const QString& line);
    void Changed();

    QHostAddress address;
    quint16 port;
    GatewayFaults faults;
    GatewayDevice device;
    QTcpServer server;
    QTcpSocket* filler = nullptr;
    quint16 fillerPort = 0;
    int restartDelayMs = 500;
    QString stateFile;
    int piecesThisConnection = 0;
    std::map<std::string, nlohmann::json> parts;
};

}  // namespace varnel
