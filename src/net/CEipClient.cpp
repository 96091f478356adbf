#include "net/CEipClient.h"

#include "core/ipassign/EipFrames.h"

namespace varnel {

CEipClient::CEipClient(QObject* parent) : QObject(parent), socket(LinkSocket::Framing::Stream, 0)
{
    connect(&socket, &LinkSocket::connected, this, [this] { Feed(LinkEvent::Connected()); });
    connect(&socket, &LinkSocket::received, this, &CEipClient::OnBytes);
    connect(&socket, &LinkSocket::connectFailed, this,
            [this] { Feed(LinkEvent::ConnectFailed()); });
    connect(&socket, &LinkSocket::peerClosed, this, [this] { Feed(LinkEvent::PeerClosed()); });
}

void CEipClient::OnBytes(const QByteArray& bytes)
{
    received.insert(received.end(), bytes.begin(), bytes.end());
    // One event per whole encapsulation frame.
    while (std::size_t size = EipFrameSize(received)) {
        Bytes frame(received.begin(), received.begin() + static_cast<long>(size));
        received.erase(received.begin(), received.begin() + static_cast<long>(size));
        Feed(LinkEvent::Answer(std::move(frame)));
    }
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
    socket.Abort();
    received.clear();
    // Timers of an earlier exchange must not end this one.
    for (auto& [id, timer] : timers) timer->stop();
    address = to.toIPv4Address();
    port = toPort;
    session.emplace(enable);
    Feed(LinkEvent::Start());
}

void CEipClient::Feed(const LinkEvent& event)
{
    if (session) Apply(session->Handle(event));
}

void CEipClient::Apply(const LinkActions& actions)
{
    for (const auto& action : actions) {
        switch (action.kind) {
            case LinkAction::Kind::Connect: socket.Connect(address, port); break;
            case LinkAction::Kind::SendRequest: {
                // One write per request; Qt's buffer sends what the socket cannot take yet.
                const auto written = socket.Write(action.data.data(), action.data.size());
                if (written.status != DeviceLink::WriteResult::Status::Written ||
                    written.written != action.data.size()) {
                    Feed(LinkEvent::SendFailed());
                    return;
                }
                break;
            }
            case LinkAction::Kind::ArmTimer: Timer(action.timer).start(action.value); break;
            case LinkAction::Kind::StopTimer: Timer(action.timer).stop(); break;
            case LinkAction::Kind::Close: socket.Abort(); break;
            case LinkAction::Kind::Show: emit message(action.message); break;
            case LinkAction::Kind::Finish: emit finished(action.value != 0); break;
            default: break;
        }
    }
}

}  // namespace varnel
