#pragma once
// The BOOTP/DHCP server's socket: a UDP socket on port 67 driven by the event
// loop (no thread, no polling: nothing runs while nothing arrives). Each
// readiness event drains the socket in batches (recvmmsg); each datagram goes
// to the core's HandleDatagram; a reply leaves by the interface its request
// came in on, with that interface's address as its source, so it reaches a
// gateway cabled straight to a laptop that has no default route. Datagram
// buffers and the outcome are kept between datagrams: serving allocates
// nothing per datagram.
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/ipassign/HandleDatagram.h"
#include "core/util/Result.h"
#include "net/AddressProbe.h"

namespace varnel {

class CDhcpServer : public QObject {
    Q_OBJECT
public:
    explicit CDhcpServer(QObject* parent = nullptr);

    // Binds `listen`:`port` and starts serving. The port is not shared: a
    // second server on it is refused, as is an address of no interface.
    // Refuses with Code::BindFailed and "接收失败"; BindErrorText says why.
    Status Start(const QHostAddress& listen = QHostAddress::AnyIPv4, quint16 port = 67);
    // The system's reason the last Start failed.
    std::string BindErrorText() const { return bindError; }
    // Stops at once: the socket is closed, nothing more is answered.
    void Stop();
    bool IsRunning() const { return fd >= 0; }
    quint16 Port() const { return boundPort; }
    ~CDhcpServer() override;

    // The assignment list (MAC -> address, name) the server answers from.
    void SetAssignments(std::vector<DhcpAssignment> list) { context.assignments = std::move(list); }
    const std::vector<DhcpAssignment>& Assignments() const { return context.assignments; }
    // "添加关联": the next DISCOVERs from this MAC get an OFFER of its address.
    void ArmOffer(const DhcpAssignment& assignment);
    // Whether DISCOVERs of armed assignments are answered at all.
    void SetOfferMode(bool on) { offerMode = on; }
    // This computer's host name (sname, and the own-name test).
    void SetHostName(const std::string& name) { context.hostName = name; }
    // Ports replies go to (68 and 67 on a real network; others in tests).
    void SetReplyPorts(quint16 clientPort, quint16 relayPort);
    // The MAC of this computer's own probe for other servers: its DISCOVERs
    // are not requests to list or answer.
    void IgnoreProbe(const std::array<std::uint8_t, 6>& mac) { probeMac = mac; }
    // "清除": every MAC's next DISCOVER is listed again.
    void ClearListing() { counter.Clear(); }
    // The records of the last listed DISCOVERs, in order, and how many were dropped.
    const DhcpRequestTable& RequestTable() const { return requestTable; }
    // The check for addresses already in use: an OFFER waits for it (the
    // owner opens it; closed, every OFFER goes out at once).
    AddressProbe& AddressCheck() { return addressProbe; }

signals:
    // A datagram was read (parsed or not); `outcome.listed` marks a new row.
    void requestSeen(const varnel::DhcpOutcome& outcome);
    // A reply was sent (`sent` false when the send failed; it is not retried).
    void replySent(const varnel::DhcpOutcome& outcome, bool sent);
    // The socket has been read empty: a good moment to flush logs.
    void drained();

private:
    struct Batch;
    void ReadPending();
    void Serve(std::span<const std::uint8_t> datagram, DhcpEndpoint source, uint interfaceIndex,
               std::uint32_t destination);
    // Sends a reply out of the interface its request came in on, from `source`.
    void SendReply(const DhcpOutcome& outcome, uint interfaceIndex, std::uint32_t source);
    // Address and mask of the interface a datagram came in on.
    std::pair<std::uint32_t, std::uint32_t> LocalAddress(uint interfaceIndex,
                                                         std::uint32_t destination);

    int fd = -1;
    quint16 boundPort = 0;
    std::string bindError;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<Batch> batch;
    DhcpOutcome outcome;
    DhcpServerContext context;
    DhcpDiscoverCounter counter;
    bool offerMode = true;
    DhcpRequestTable requestTable;
    std::optional<std::array<std::uint8_t, 6>> probeMac;
    // Interface addresses by index, looked up again after a few seconds.
    std::map<uint, std::vector<std::pair<std::uint32_t, std::uint32_t>>> interfaceCache;
    QElapsedTimer cacheAge;
    AddressProbe addressProbe;
};

}  // namespace varnel
