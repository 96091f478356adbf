#pragma once
// Switches a gateway's DHCP client on or off over EtherNet/IP: the links'
// socket with stream framing, cut into whole encapsulation frames (24 bytes
// + the length field) before the session sees them, and timers 10 (connect,
// 3000 ms) and 2 (answer, 5000 ms) carrying out what the core session decides.
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/ipassign/CEipSession.h"
#include "net/LinkSocket.h"

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
    void OnBytes(const QByteArray& bytes);
    QTimer& Timer(int id);

    LinkSocket socket;
    std::optional<CEipSession> session;
    std::uint32_t address = 0;
    quint16 port = EIP_PORT;
    // Received bytes not yet a whole frame.
    std::vector<std::uint8_t> received;
    std::map<int, std::unique_ptr<QTimer>> timers;
};

}  // namespace varnel
