#include "net/CEipClient.h"

namespace varnel {

CEipClient::CEipClient(QObject* parent) : QObject(parent)
{
    connect(&socket, &QTcpSocket::connected, this, [this] {
        connected = true;
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        Feed(LinkEvent::Connected());
    });
    connect(&socket, &QTcpSocket::readyRead, this, [this] {
        const QByteArray bytes = socket.readAll();
        received.insert(received.end(), bytes.begin(), bytes.end());
        // One event per whole encapsulation frame.
        while (std::size_t size = EipFrameSize(received)) {
            Bytes frame(received.begin(), received.begin() + static_cast<long>(size));
            received.erase(received.begin(), received.begin() + static_cast<long>(size));
            Feed(LinkEvent::Answer(std::move(frame)));
        }
    });
    connect(&socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        Feed(connected ? LinkEvent::PeerClosed() : LinkEvent::ConnectFailed());
    });
}

QTimer& CEipClient::Timer(int id)
{
    auto& timer = timers[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);  // never before the full time-out
        connect(timer.get(), &QTimer::timeout, this, [this, id] { Feed(LinkEvent::Timer(id)); });
    }
    return *timer;
}

void CEipClient::Start(const QHostAddress& to, bool enable, quint16 toPort)
{
    socket.abort();
    connected = false;
    received.clear();
    // Timers of an earlier exchange must not end this one.
    for (auto& [id, timer] : timers)
        timer->stop();
    address = to;
    port = toPort;
    session.emplace(enable);
    Feed(LinkEvent::Start());
}

void CEipClient::Feed(const LinkEvent& event)
{
    if (session)
        Apply(session->Handle(event));
}

void CEipClient::Apply(const LinkActions& actions)
{
    for (const auto& action : actions) {
        switch (action.kind) {
        case LinkAction::Kind::Connect: socket.connectToHost(address, port); break;
        case LinkAction::Kind::SendRequest: {
            // One write per request; Qt's buffer sends what the socket cannot take yet.
            const QByteArray bytes(reinterpret_cast<const char*>(action.data.data()),
                                   static_cast<qsizetype>(action.data.size()));
            if (socket.write(bytes) != bytes.size()) {
                Feed(LinkEvent::SendFailed());
                return;
            }
            break;
        }
        case LinkAction::Kind::ArmTimer: Timer(action.timer).start(action.value); break;
        case LinkAction::Kind::StopTimer: Timer(action.timer).stop(); break;
        case LinkAction::Kind::Close: socket.abort(); break;
        case LinkAction::Kind::Show: emit message(action.message); break;
        case LinkAction::Kind::Finish: emit finished(action.value != 0); break;
        default: break;
        }
    }
}

}  // namespace varnel
