#pragma once
// Switches a gateway's DHCP client on or off over EtherNet/IP: the links'
// socket, framed as a stream (a reply is collected up to 24 + its length
// field over as many reads as it takes), and timers 10 (connect, 3000 ms)
// and 2 (answer, 5000 ms) carrying out what the core session decides.
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <map>
#include <memory>

#include "core/ipassign/CEipSession.h"
#include "net/LinkSocket.h"

namespace varnel {

class CEipClient : public QObject {
    Q_OBJECT
public:
    explicit CEipClient(QObject* parent = nullptr);

    // Starts the exchange with the gateway at address:port (44818 normally).
    void Start(const QHostAddress& address, bool enable, quint16 port = EIP_PORT);
    const CEipSession& Session() const { return session; }

signals:
    // A message for the user (failure, or the outcome read back).
    void message(const varnel::Message& message);
    // The exchange ended; success once the Set was answered and the value read back.
    void finished(bool success);

private:
    void Apply(const EipActions& actions);
    QTimer& Timer(int id);

    LinkSocket socket;
    CEipSession session;
    std::map<int, std::unique_ptr<QTimer>> timers;
};

}  // namespace varnel
