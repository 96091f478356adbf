#include "net/CTestSocket.h"

#include <QHostAddress>
#include <QTcpSocket>

#include "core/link/DeviceFrames.h"

namespace varnel {

namespace {
constexpr quint16 ETHERNET_IP_PORT = 44818;
constexpr int CLOSE_GRACE_MS = 3000;
}  // namespace

CTestSocket::CTestSocket(std::int32_t& linkRequestPending, QObject* parent)
    : QObject(parent), link(linkRequestPending)
{
    for (QTimer* t : {&connectTimer, &answerTimer, &pauseTimer}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);  // a coarse timer may fire 5% early
    }
    connect(&connectTimer, &QTimer::timeout, this, [this] { Feed(LinkEvent::Timer(CONNECT_TIMER)); });
    connect(&answerTimer, &QTimer::timeout, this, [this] { Feed(LinkEvent::Timer(ANSWER_TIMER)); });
    connect(&pauseTimer, &QTimer::timeout, this, [this] { Feed(LinkEvent::Timer(PAUSE_TIMER)); });
}

CTestSocket::~CTestSocket()
{
    if (socket != nullptr) {
        socket->disconnect(this);
        socket->abort();
    }
}

void CTestSocket::SetOwner(LinkMode linkMode, LinkSession* owner, std::uint32_t gateway,
                           quint16 testPort)
{
    mode = linkMode;
    session = owner;
    address = gateway;
    port = testPort != 0 ? testPort
                         : (mode == LinkMode::EtherNetIp ? ETHERNET_IP_PORT : DEVICE_PORT);
}

void CTestSocket::Start()
{
    if (session == nullptr || busy)
        return;
    busy = true;
    finishPending = false;
    Feed(LinkEvent::Start());
}

void CTestSocket::AnswerQuestion(bool yes) { Feed(LinkEvent::User(yes)); }

void CTestSocket::Feed(const LinkEvent& event)
{
    events.push_back(event);
    if (feeding)
        return;  // a slot answered from inside a batch: handled after it
    feeding = true;
    while (!events.empty() && session != nullptr) {
        LinkEvent next = std::move(events.front());
        events.pop_front();
        if (!Execute(session->Handle(next)))
            events.push_front(LinkEvent::SendFailed());
    }
    feeding = false;
    MaybeFinish();
}

QTimer* CTestSocket::TimerById(int id)
{
    switch (id) {
    case CONNECT_TIMER:
        return &connectTimer;
    case ANSWER_TIMER:
        return &answerTimer;
    case PAUSE_TIMER:
        return &pauseTimer;
    default:
        return nullptr;
    }
}

bool CTestSocket::Execute(const LinkActions& actions)
{
    using K = LinkAction::Kind;
    for (const LinkAction& a : actions) {
        switch (a.kind) {
        case K::Connect:
            OpenConnection();
            break;
        case K::SendRequest:
            if (!link.SendRequest(a.data, [this](const std::uint8_t* b, std::size_t n) {
                    return Write(b, n);
                }))
                return false;
            break;
        case K::ArmTimer:
            if (QTimer* t = TimerById(a.timer))
                t->start(a.value);
            break;
        case K::StopTimer:
            if (QTimer* t = TimerById(a.timer))
                t->stop();
            break;
        case K::ClearQueue:
            link.ClearQueue();
            break;
        case K::Close:
            CloseConnection();
            break;
        case K::Show:
            emit messageShown(a.message);
            break;
        case K::ShowResult:
            emit resultShown(a.message);
            break;
        case K::SetRange:
            emit progressRange(a.value);
            break;
        case K::SetProgress:
            emit progressChanged(a.value);
            break;
        case K::Ask:
            emit questionAsked(a.message);
            break;
        case K::Finish:
            finishPending = true;
            finishOk = a.value != 0;
            break;
        }
    }
    return true;
}

void CTestSocket::OpenConnection()
{
    if (socket != nullptr) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    link.Reset();
    closing = false;
    connectedOnce = false;
    socket = new QTcpSocket(this);
    connect(socket, &QTcpSocket::connected, this, [this] {
        connectedOnce = true;
        Feed(LinkEvent::Connected());
    });
    connect(socket, &QTcpSocket::readyRead, this, &CTestSocket::OnReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &CTestSocket::OnDisconnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &CTestSocket::OnSocketError);
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
        // Qt keeps unsent bytes itself; the link's own queue only holds what
        // a write refused, which it retries here.
        if (link.Queued() &&
            link.OnWritable([this](const std::uint8_t* b, std::size_t n) { return Write(b, n); }) ==
                DeviceLink::DrainResult::Failed) {
            CloseConnection();
        }
    });
    socket->connectToHost(QHostAddress(static_cast<quint32>(address)), port);
}

void CTestSocket::CloseConnection()
{
    if (socket == nullptr)
        return;
    closing = true;
    if (socket->state() != QAbstractSocket::ConnectedState) {
        socket->abort();  // a connect still under way is given up
        return;
    }
    // A graceful close: what was written still goes out before the FIN. Should
    // the peer not take it, the connection is dropped after a while.
    socket->disconnectFromHost();
    if (socket->state() != QAbstractSocket::UnconnectedState) {
        QTcpSocket* closingSocket = socket;
        QTimer::singleShot(CLOSE_GRACE_MS, this, [this, closingSocket] {
            if (socket == closingSocket && socket->state() != QAbstractSocket::UnconnectedState) {
                socket->abort();
                MaybeFinish();
            }
        });
    }
}

DeviceLink::WriteResult CTestSocket::Write(const std::uint8_t* bytes, std::size_t size)
{
    using WR = DeviceLink::WriteResult;
    if (socket == nullptr || socket->state() != QAbstractSocket::ConnectedState)
        return WR{WR::Status::Failed, 0};
    const qint64 n = socket->write(reinterpret_cast<const char*>(bytes), static_cast<qint64>(size));
    if (n < 0)
        return WR{WR::Status::Failed, 0};
    return WR{WR::Status::Written, static_cast<std::size_t>(n)};
}

void CTestSocket::OnReadyRead()
{
    if (socket == nullptr)
        return;
    // Each read takes what is there, up to the read limit; only the read that
    // follows a request is an answer, the rest is dropped by the link.
    while (socket->bytesAvailable() > 0) {
        QByteArray chunk = socket->read(static_cast<qint64>(DeviceLink::READ_LIMIT));
        if (chunk.isEmpty())
            break;
        auto answer = link.OnRead(reinterpret_cast<const std::uint8_t*>(chunk.constData()),
                                  static_cast<std::size_t>(chunk.size()));
        if (answer)
            Feed(LinkEvent::Answer(std::move(*answer)));
    }
}

void CTestSocket::OnDisconnected()
{
    if (!closing)
        Feed(LinkEvent::PeerClosed());
    MaybeFinish();
}

void CTestSocket::OnSocketError()
{
    if (socket == nullptr)
        return;
    // Before the connection is made every error is a failed connect; after
    // it, the disconnected notification tells the session.
    if (!connectedOnce && !closing) {
        socket->abort();
        Feed(LinkEvent::ConnectFailed());
    }
}

void CTestSocket::MaybeFinish()
{
    if (!finishPending || feeding)
        return;
    if (socket != nullptr && socket->state() != QAbstractSocket::UnconnectedState) {
        if (closing)
            return;  // finishes on the disconnected notification
        CloseConnection();
        if (socket->state() != QAbstractSocket::UnconnectedState)
            return;
    }
    for (QTimer* t : {&connectTimer, &answerTimer, &pauseTimer})
        t->stop();
    finishPending = false;
    busy = false;
    emit finished(finishOk);
}

}  // namespace varnel
