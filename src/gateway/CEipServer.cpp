#include "gateway/CEipServer.h"

#include <QTcpSocket>

namespace varnel {

CEipServer::CEipServer(QObject* parent) : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &CEipServer::Accept);
}

CEipServer::~CEipServer()
{
    for (auto& [socket, responder] : responders) socket->disconnect(this);
}

bool CEipServer::Listen(const QHostAddress& address, quint16 port)
{
    return server.listen(address, port);
}

void CEipServer::Accept()
{
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        responders[socket] = std::make_unique<CEipResponder>(gateway);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            auto it = responders.find(socket);
            if (it == responders.end()) return;
            const QByteArray bytes = socket->readAll();
            const std::uint32_t before = gateway.configurationControl;
            const auto reply = it->second->OnBytes(
                std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size())));
            if (!reply.empty())
                socket->write(reinterpret_cast<const char*>(reply.data()),
                              static_cast<qint64>(reply.size()));
            if (it->second->WantsClose()) socket->disconnectFromHost();
            if (gateway.configurationControl != before)
                emit configurationControlChanged(gateway.configurationControl);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            responders.erase(socket);
            socket->deleteLater();
        });
    }
}

}  // namespace varnel
