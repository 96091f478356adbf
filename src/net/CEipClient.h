#pragma once
// Switches a gateway's DHCP client on or off over EtherNet/IP: a TCP socket
// and timers 10 (connect, 3000 ms) and 2 (answer, 5000 ms) carrying out what
// the core session decides. It is separate from the device link's socket
// because that link takes one read as the whole answer, while an EtherNet/IP
// reply is collected up to 24 + its length field over as many reads as it
// takes; the two could share one socket class once the link lets a session
// ask for more bytes.
#include <QHostAddress>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/ipassign/CEipSession.h"

namespace varnel {

class CEipClient : public QObject {
    Q_OBJECT
public:
    explicit CEipClient(QObject* parent = nullptr);

    // Starts the exchange with the gateway at address:port (44818 normally).
    void Start(const QHostAddress& address, bool enable, quint16 port = EIP_PORT);

signals:
    // A message for the user (failure, or the outcome read back).
    void message(const varnel::Message& message);
    // The exchange ended; success once the Set was answered and the value read back.
    void finished(bool success);

private:
    void Apply(const LinkActions& actions);
    void Feed(const LinkEvent& event);
    QTimer& Timer(int id);

    QTcpSocket socket;
    std::optional<CEipSession> session;
    QHostAddress address;
    quint16 port = EIP_PORT;
    // Received bytes not yet a whole frame.
    std::vector<std::uint8_t> received;
    std::map<int, std::unique_ptr<QTimer>> timers;
    bool connected = false;
};

}  // namespace varnel
