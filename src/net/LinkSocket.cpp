#include "net/LinkSocket.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace varnel {

namespace {
constexpr int CLOSE_GRACE_MS = 3000;
}  // namespace

LinkSocket::LinkSocket(Framing policy, std::size_t limit, QObject* parent)
    : QObject(parent), framing(policy), readLimit(limit)
{
}

LinkSocket::~LinkSocket()
{
    if (socket != nullptr) {
        socket->disconnect(this);
        socket->abort();
    }
}

void LinkSocket::Connect(std::uint32_t address, quint16 port)
{
    if (socket != nullptr) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    closing = false;
    connectedOnce = false;
    socket = new QTcpSocket(this);
    connect(socket, &QTcpSocket::connected, this, [this] {
        connectedOnce = true;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        emit connected();
    });
    connect(socket, &QTcpSocket::readyRead, this, &LinkSocket::OnReadyRead);
    connect(socket, &QTcpSocket::bytesWritten, this, &LinkSocket::writable);
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        if (!closing) emit peerClosed();
        emit gone();
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this] {
        // Before the connection is made every error is a failed connect;
        // after it, the disconnected notification tells.
        if (!connectedOnce && !closing) {
            socket->abort();
            emit connectFailed();
        }
    });
    socket->connectToHost(QHostAddress(static_cast<quint32>(address)), port);
}

DeviceLink::WriteResult LinkSocket::Write(const std::uint8_t* bytes, std::size_t size)
{
    using WR = DeviceLink::WriteResult;
    if (socket == nullptr || socket->state() != QAbstractSocket::ConnectedState)
        return WR{WR::Status::Failed, 0};
    const qint64 n = socket->write(reinterpret_cast<const char*>(bytes), static_cast<qint64>(size));
    if (n < 0) return WR{WR::Status::Failed, 0};
    return WR{WR::Status::Written, static_cast<std::size_t>(n)};
}

void LinkSocket::Close()
{
    if (socket == nullptr) return;
    closing = true;
    if (socket->state() != QAbstractSocket::ConnectedState) {
        socket->abort();
        return;
    }
    socket->disconnectFromHost();
    if (socket->state() != QAbstractSocket::UnconnectedState) {
        QTcpSocket* closingSocket = socket;
        QTimer::singleShot(CLOSE_GRACE_MS, this, [this, closingSocket] {
            if (socket == closingSocket && !Idle()) {
                socket->abort();
                emit gone();
            }
        });
    }
}

void LinkSocket::Abort()
{
    if (socket != nullptr) {
        closing = true;
        socket->abort();
    }
}

bool LinkSocket::Idle() const
{
    return socket == nullptr || socket->state() == QAbstractSocket::UnconnectedState;
}

void LinkSocket::OnReadyRead()
{
    if (framing == Framing::Stream) {
        emit received(socket->readAll());
        return;
    }
    while (socket != nullptr && socket->bytesAvailable() > 0) {
        const QByteArray chunk = socket->read(static_cast<qint64>(readLimit));
        if (chunk.isEmpty()) break;
        emit received(chunk);
    }
}

}  // namespace varnel
