#pragma once
// The gateway's EtherNet/IP side for the simulator and tests: a TCP server
// (port 44818 normally) with one core responder per connection, holding the
// TCP/IP Interface object's Configuration Control value.
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <map>
#include <memory>

#include "gateway/CEipResponder.h"

class QTcpSocket;

namespace varnel {

class CEipServer : public QObject {
    Q_OBJECT
public:
    explicit CEipServer(QObject* parent = nullptr);
    ~CEipServer() override;

    // Listens on address:port; false when the port cannot be bound.
    bool Listen(const QHostAddress& address, quint16 port = EIP_PORT);
    quint16 Port() const { return server.serverPort(); }
    QString ErrorText() const { return server.errorString(); }

    // Configuration Control: 0 stored address, 2 DHCP.
    std::uint32_t ConfigurationControl() const { return gateway.configurationControl; }
    void SetConfigurationControl(std::uint32_t value) { gateway.configurationControl = value; }
    // A gateway whose Configuration Control cannot be changed (Set answered 0x0E).
    void SetConfigurationSettable(bool settable) { gateway.configurationSettable = settable; }

signals:
    // The value was changed by a Set request.
    void configurationControlChanged(quint32 value);

private:
    void Accept();

    QTcpServer server;
    EipGatewayState gateway;
    std::map<QTcpSocket*, std::unique_ptr<CEipResponder>> responders;
};

}  // namespace varnel
