#pragma once
// Asking the network whether another device holds an address: an ARP probe
// (RFC 5227) on a packet socket where this program may open one, otherwise an
// ICMP echo on a datagram ICMP socket; 200 ms for an answer. It also holds
// back the server's OFFERs while their address is checked, and hands each on
// (or withholds it) when the answer is known. The rules are the core's
// (core/ipassign/AddressCheck.h); this is the socket and the timers.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <map>
#include <optional>

#include "core/ipassign/AddressCheck.h"

class QSocketNotifier;

namespace varnel {

class AddressProbe : public QObject {
    Q_OBJECT
public:
    static constexpr int WAIT_MS = 200;

    explicit AddressProbe(QObject* parent = nullptr);
    ~AddressProbe() override;

    // Opens the packet socket, else the ICMP socket. When neither opens,
    // emits checkOff once with the reasons and returns false; nothing is
    // checked then and every OFFER goes out at once.
    bool Open();
    void Close();
    bool IsOpen() const { return fd >= 0; }

    // Starts a check of `address` on interface `interfaceIndex` (0: the
    // non-loopback interface whose subnet holds the address); `requester`
    // is the MAC the address is for, which is no other device. `checked`
    // follows, unless this returns false: no link to check on (loopback,
    // unknown interface, no socket).
    bool Check(std::uint32_t address, uint interfaceIndex, const MacAddress& requester);

    // The server's hook after HandleDatagram: true when the outcome's OFFER
    // waits for a check, after which offerReady or offerWithheld comes.
    bool DeferOffer(const DhcpOutcome& outcome, uint interfaceIndex, std::uint32_t localAddress);

signals:
    // A check ended: `holder` is the other device's MAC text, empty when free.
    void checked(std::uint32_t address, const QString& holder);
    // Said once: no check can run, and why.
    void checkOff(const QString& line);
    // A held-back OFFER whose address was found free: to be sent now.
    void offerReady(const varnel::DhcpOutcome& outcome, uint interfaceIndex,
                    std::uint32_t localAddress);
    // A held-back OFFER not sent (its reply removed, `ignored` says why).
    void offerWithheld(const varnel::DhcpOutcome& outcome);

private:
    struct Running {
        uint interfaceIndex = 0;
        MacAddress requester{};
        std::uint64_t generation = 0;
    };
    bool SendProbe(std::uint32_t address, uint interfaceIndex);
    void ReadPending();
    void Finish(std::uint32_t address, std::optional<MacAddress> holder);

    int fd = -1;
    bool arp = false;
    bool offSaid = false;
    QSocketNotifier* notifier = nullptr;
    AddressCheckCache cache;
    QElapsedTimer clock;
    std::uint64_t generations = 0;
    std::uint16_t sequence = 0;
    std::map<std::uint32_t, Running> running;
};

}  // namespace varnel
