#include "net/CEipClient.h"

namespace varnel {

CEipClient::CEipClient(QObject* parent) : QObject(parent)
{
    connect(&socket, &QTcpSocket::connected, this, [this] {
        connected = true;
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        Apply(session.OnConnected());
    });
    connect(&socket, &QTcpSocket::readyRead, this, [this] {
        const QByteArray bytes = socket.readAll();
        Apply(session.OnBytes(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                        static_cast<std::size_t>(bytes.size()))));
    });
    connect(&socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (!connected)
            Apply(session.OnConnectFailed());
        else
            Apply(session.OnPeerClosed());
    });
}

QTimer& CEipClient::Timer(int id)
{
    auto& timer = timers[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);  // never before the full time-out
        connect(timer.get(), &QTimer::timeout, this, [this, id] { Apply(session.OnTimer(id)); });
    }
    return *timer;
}

void CEipClient::Start(const QHostAddress& address, bool enable, quint16 port)
{
    socket.abort();
    connected = false;
    // Timers of an earlier exchange must not end this one.
    for (auto& [id, timer] : timers)
        timer->stop();
    Apply(session.Start(enable));
    socket.connectToHost(address, port);
}

void CEipClient::Apply(const EipActions& actions)
{
    for (const auto& action : actions) {
        switch (action.kind) {
        case EipAction::Send: {
            // One write per request; Qt's buffer sends what the socket cannot take yet.
            const QByteArray bytes(reinterpret_cast<const char*>(action.bytes.data()),
                                   static_cast<qsizetype>(action.bytes.size()));
            if (socket.write(bytes) != bytes.size()) {
                Apply(session.OnSendFailed());
                return;
            }
            break;
        }
        case EipAction::ArmTimer: Timer(action.timer).start(action.milliseconds); break;
        case EipAction::StopTimer: Timer(action.timer).stop(); break;
        case EipAction::Close:
            socket.abort();
            break;
        case EipAction::Tell: emit message(action.message); break;
        case EipAction::Finish: emit finished(action.success); break;
        }
    }
}

}  // namespace varnel
