#include "net/CTestSocket.h"

#include "core/link/DeviceFrames.h"

namespace varnel {

namespace {
constexpr quint16 ETHERNET_IP_PORT = 44818;
}  // namespace

CTestSocket::CTestSocket(std::int32_t& linkRequestPending, QObject* parent)
    : QObject(parent),
      link(linkRequestPending),
      socket(LinkSocket::Framing::OneReadOneAnswer, DeviceLink::READ_LIMIT)
{
    for (QTimer* t : {&connectTimer, &answerTimer, &pauseTimer}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);  // a coarse timer may fire 5% early
    }
    connect(&connectTimer, &QTimer::timeout, this,
            [this] { Feed(LinkEvent::Timer(CONNECT_TIMER)); });
    connect(&answerTimer, &QTimer::timeout, this, [this] { Feed(LinkEvent::Timer(ANSWER_TIMER)); });
    connect(&pauseTimer, &QTimer::timeout, this, [this] { Feed(LinkEvent::Timer(PAUSE_TIMER)); });
    connect(&socket, &LinkSocket::connected, this, [this] { Feed(LinkEvent::Connected()); });
    connect(&socket, &LinkSocket::connectFailed, this,
            [this] { Feed(LinkEvent::ConnectFailed()); });
    connect(&socket, &LinkSocket::received, this, &CTestSocket::OnReceived);
    connect(&socket, &LinkSocket::peerClosed, this, [this] { Feed(LinkEvent::PeerClosed()); });
    connect(&socket, &LinkSocket::gone, this, &CTestSocket::MaybeFinish);
    connect(&socket, &LinkSocket::writable, this, [this] {
        // Qt keeps unsent bytes itself; the link's own queue only holds what
        // a write refused, which it retries here.
        if (link.Queued() && link.OnWritable(Writer()) == DeviceLink::DrainResult::Failed)
            socket.Close();
    });
}

CTestSocket::~CTestSocket() = default;

DeviceLink::Writer CTestSocket::Writer()
{
    return [this](const std::uint8_t* b, std::size_t n) { return socket.Write(b, n); };
}

void CTestSocket::SetOwner(LinkMode linkMode, LinkSession* owner, std::uint32_t gateway,
                           quint16 testPort)
{
    mode = linkMode;
    session = owner;
    address = gateway;
    port =
        testPort != 0 ? testPort : (mode == LinkMode::EtherNetIp ? ETHERNET_IP_PORT : DEVICE_PORT);
}

void CTestSocket::Start()
{
    if (session == nullptr || busy) return;
    busy = true;
    finishPending = false;
    Feed(LinkEvent::Start());
}

void CTestSocket::AnswerQuestion(bool yes)
{
    Feed(LinkEvent::User(yes));
}

void CTestSocket::Feed(const LinkEvent& event)
{
    events.push_back(event);
    if (feeding) return;  // a slot answered from inside a batch: handled after it
    feeding = true;
    while (!events.empty() && session != nullptr) {
        LinkEvent next = std::move(events.front());
        events.pop_front();
        if (!Execute(session->Handle(next))) events.push_front(LinkEvent::SendFailed());
    }
    feeding = false;
    MaybeFinish();
}

QTimer* CTestSocket::TimerById(int id)
{
    switch (id) {
        case CONNECT_TIMER: return &connectTimer;
        case ANSWER_TIMER: return &answerTimer;
        case PAUSE_TIMER: return &pauseTimer;
        default: return nullptr;
    }
}

bool CTestSocket::Execute(const LinkActions& actions)
{
    using K = LinkAction::Kind;
    for (const LinkAction& a : actions) {
        switch (a.kind) {
            case K::Connect:
                link.Reset();
                socket.Connect(address, port);
                break;
            case K::SendRequest:
                if (!link.SendRequest(a.data, Writer())) return false;
                break;
            case K::ArmTimer:
                if (QTimer* t = TimerById(a.timer)) t->start(a.value);
                break;
            case K::StopTimer:
                if (QTimer* t = TimerById(a.timer)) t->stop();
                break;
            case K::ClearQueue: link.ClearQueue(); break;
            case K::Close: socket.Close(); break;
            case K::Show: emit messageShown(a.message); break;
            case K::ShowResult: emit resultShown(a.message); break;
            case K::SetRange: emit progressRange(a.value); break;
            case K::SetProgress: emit progressChanged(a.value); break;
            case K::Ask: emit questionAsked(a.message); break;
            case K::Finish:
                finishPending = true;
                finishOk = a.value != 0;
                break;
        }
    }
    return true;
}

void CTestSocket::OnReceived(const QByteArray& bytes)
{
    // Only the read that follows a request is an answer; the link drops the rest.
    auto answer = link.OnRead(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                              static_cast<std::size_t>(bytes.size()));
    if (answer) Feed(LinkEvent::Answer(std::move(*answer)));
}

void CTestSocket::MaybeFinish()
{
    if (!finishPending || feeding) return;
    if (!socket.Idle()) {
        if (socket.Closing()) return;  // finishes when the connection is gone
        socket.Close();
        if (!socket.Idle()) return;
    }
    for (QTimer* t : {&connectTimer, &answerTimer, &pauseTimer}) t->stop();
    finishPending = false;
    busy = false;
    emit finished(finishOk);
}

}  // namespace varnel
