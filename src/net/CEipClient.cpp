#include "net/CEipClient.h"

namespace varnel {

CEipClient::CEipClient(QObject* parent)
    : QObject(parent), socket(LinkSocket::Framing::Stream, 0)
{
    connect(&socket, &LinkSocket::connected, this, [this] { Apply(session.OnConnected()); });
    connect(&socket, &LinkSocket::received, this, [this](const QByteArray& bytes) {
        Apply(session.OnBytes(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                        static_cast<std::size_t>(bytes.size()))));
    });
    connect(&socket, &LinkSocket::connectFailed, this, [this] { Apply(session.OnConnectFailed()); });
    connect(&socket, &LinkSocket::peerClosed, this, [this] { Apply(session.OnPeerClosed()); });
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
    socket.Abort();
    // Timers of an earlier exchange must not end this one.
    for (auto& [id, timer] : timers)
        timer->stop();
    Apply(session.Start(enable));
    socket.Connect(address.toIPv4Address(), port);
}

void CEipClient::Apply(const EipActions& actions)
{
    for (const auto& action : actions) {
        switch (action.kind) {
        case EipAction::Send: {
            // One write per request; Qt's buffer sends what the socket cannot take yet.
            const auto written = socket.Write(action.bytes.data(), action.bytes.size());
            if (written.status != DeviceLink::WriteResult::Status::Written ||
                written.written != action.bytes.size()) {
                Apply(session.OnSendFailed());
                return;
            }
            break;
        }
        case EipAction::ArmTimer: Timer(action.timer).start(action.milliseconds); break;
        case EipAction::StopTimer: Timer(action.timer).stop(); break;
        case EipAction::Close:
            socket.Abort();
            break;
        case EipAction::Tell: emit message(action.message); break;
        case EipAction::Finish: emit finished(action.success); break;
        }
    }
}

}  // namespace varnel
