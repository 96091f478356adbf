#pragma once
// The one TCP client of every link (the device link and the EtherNet/IP
// client): connects to an address parsed by core (never a name to resolve),
// writes requests whole, and hands received bytes on as its framing policy
// says. Sessions decide everything else.
#include <QByteArray>
#include <QObject>
#include <cstddef>
#include <cstdint>

#include "core/link/DeviceLink.h"

class QTcpSocket;

namespace varnel {

class LinkSocket : public QObject {
    Q_OBJECT
public:
    enum class Framing {
        // The device protocol: each read of at most `readLimit` bytes is
        // handed on by itself, since one read is one answer.
        OneReadOneAnswer,
        // EtherNet/IP: whatever has arrived, joined; the session assembles
        // frames by their length field.
        Stream,
    };

    LinkSocket(Framing framing, std::size_t readLimit, QObject* parent = nullptr);
    ~LinkSocket() override;

    // Drops any earlier connection and starts a non-blocking connect.
    void Connect(std::uint32_t address, quint16 port);
    // Writes bytes; Qt queues what the socket cannot take yet.
    DeviceLink::WriteResult Write(const std::uint8_t* bytes, std::size_t size);
    // A graceful close: written bytes still go out before the FIN; a peer
    // that does not take them is dropped after a grace time. A connect still
    // under way is given up.
    void Close();
    // Drops the connection at once.
    void Abort();
    // True while no connection exists or is being made or closed.
    bool Idle() const;
    // True after Close until the connection is gone.
    bool Closing() const { return closing; }

signals:
    void connected();
    // The connect failed (refused, unreachable, or an error before it was made).
    void connectFailed();
    // Bytes as the framing hands them on.
    void received(const QByteArray& bytes);
    // The peer closed or the connection broke after it was made (not after Close).
    void peerClosed();
    // The connection is gone (after Close, Abort or the peer).
    void gone();
    // Bytes were written; the owner may send what waits.
    void writable();

private:
    void OnReadyRead();

    Framing framing;
    std::size_t readLimit;
    QTcpSocket* socket = nullptr;
    bool closing = false;
    bool connectedOnce = false;
};

}  // namespace varnel
