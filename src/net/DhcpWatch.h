#pragma once
// Listening for other DHCP servers: a UDP socket on the client port (68),
// shared with any DHCP client of this computer, that reads every OFFER and
// ACK reaching it, and sends the probe DISCOVER on one or every interface.
#include <QElapsedTimer>
#include <QNetworkInterface>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>
#include <array>
#include <random>
#include <set>

#include "core/ipassign/DhcpProbe.h"
#include "core/util/Result.h"

namespace varnel {

class DhcpWatch : public QObject {
    Q_OBJECT
public:
    explicit DhcpWatch(QObject* parent = nullptr);

    // Binds the client port with address sharing. Refuses with
    // Code::BindFailed; ErrorText says why.
    Status Open(quint16 clientPort = 68);
    std::string ErrorText() const { return socket.errorString().toStdString(); }

    // Broadcasts a probe DISCOVER from a new random MAC on the interface
    // named (empty: every up, non-loopback IPv4 interface) to `serverPort`.
    // Returns the interfaces it was sent on; `failure` holds why none was.
    std::vector<QString> Probe(const QString& interfaceName, std::string& failure,
                               quint16 serverPort = 67);
    // Sends the current probe again, as a client does when no answer came
    // (a server that first checks the address answers the second one).
    void Resend(quint16 serverPort = 67);
    // The current probe's MAC and transaction.
    const std::array<std::uint8_t, 6>& ProbeMacAddress() const { return probeMac; }
    std::uint32_t ProbeXid() const { return probeXid; }
    // Whether a reply answers the current probe.
    bool AnswersProbe(const ServerReply& reply) const
    {
        return reply.xid == probeXid && reply.mac == probeMac;
    }

    // This computer's IPv4 addresses (its own server's replies are not foreign).
    static std::set<std::uint32_t> OwnAddresses();

    // Beside a server listening on `listen`: opens the client port, probes
    // now and every 60 s on the interfaces the server serves (every one for
    // 0.0.0.0, the one holding the address otherwise, none on loopback), and
    // reports each newly seen foreign server once.
    void Monitor(const QHostAddress& listen);
    bool WarningStands() const { return foreign.WarningStands(clock.elapsed()); }

signals:
    void replySeen(const varnel::ServerReply& reply);
    // A probe was sent from this MAC.
    void probeSent(const std::array<std::uint8_t, 6>& mac);
    // The one line for a newly seen foreign server (ForeignServerWarning).
    void foreignServer(const QString& warning);
    // Said once: the watch cannot run, and why.
    void watchOff(const QString& reason);

private:
    void ReadPending();
    void ProbeServedInterfaces();

    ForeignServerWatch foreign;
    QElapsedTimer clock;
    QTimer probeTimer;
    QString servedInterface;  // "" every interface, "-" none

    QUdpSocket socket;
    std::mt19937_64 random;
    std::array<std::uint8_t, 6> probeMac{};
    std::uint32_t probeXid = 0;
    QByteArray probeBytes;
    std::vector<uint> probeInterfaces;
};

}  // namespace varnel
