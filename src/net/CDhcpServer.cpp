#include "net/CDhcpServer.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <algorithm>

#include "core/ipassign/IpAssignMessages.h"

namespace varnel {

namespace {
constexpr qint64 CACHE_LIFETIME_MS = 3000;

std::vector<std::pair<std::uint32_t, std::uint32_t>> Ipv4Entries(const QNetworkInterface& iface)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;
    for (const auto& entry : iface.addressEntries())
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            entries.emplace_back(entry.ip().toIPv4Address(), entry.netmask().toIPv4Address());
    return entries;
}
}  // namespace

CDhcpServer::CDhcpServer(QObject* parent) : QObject(parent)
{
    connect(&socket, &QUdpSocket::readyRead, this, &CDhcpServer::ReadPending);
    // An OFFER held back while its address was checked: sent, or only logged.
    connect(&addressProbe, &AddressProbe::offerReady, this,
            [this](const DhcpOutcome& outcome, uint interfaceIndex, std::uint32_t source) {
                emit requestSeen(outcome);
                SendReply(outcome, interfaceIndex, source);
            });
    connect(&addressProbe, &AddressProbe::offerWithheld, this, &CDhcpServer::requestSeen);
}

Status CDhcpServer::Start(const QHostAddress& listen, quint16 port)
{
    Stop();
    // Qt turns on broadcast and packet information for every UDP socket. No
    // address reuse: with it two servers bind the same port and share the
    // requests between them.
    if (!socket.bind(listen, port, QAbstractSocket::DontShareAddress))
        return Refusal{Code::BindFailed, ReceiveFailedMessage()};
    return {};
}

void CDhcpServer::Stop()
{
    socket.close();
    addressProbe.Close();
}

void CDhcpServer::ArmOffer(const DhcpAssignment& assignment)
{
    DhcpAssignment armed = assignment;
    armed.offerArmed = true;
    context.assignments.push_back(armed);
}

void CDhcpServer::SetReplyPorts(quint16 clientPort, quint16 relayPort)
{
    context.clientPort = clientPort;
    context.relayPort = relayPort;
}

std::pair<std::uint32_t, std::uint32_t> CDhcpServer::LocalAddress(uint interfaceIndex,
                                                                  const QHostAddress& destination)
{
    if (!cacheAge.isValid() || cacheAge.elapsed() > CACHE_LIFETIME_MS) {
        interfaceCache.clear();
        cacheAge.start();
    }
    if (interfaceIndex != 0) {
        auto it = interfaceCache.find(interfaceIndex);
        if (it == interfaceCache.end())
            it = interfaceCache
                     .emplace(interfaceIndex,
                              Ipv4Entries(QNetworkInterface::interfaceFromIndex(interfaceIndex)))
                     .first;
        const std::uint32_t to = destination.toIPv4Address();
        for (const auto& entry : it->second)
            if (entry.first == to) return entry;
        if (!it->second.empty()) return it->second.front();
    }
    // No interface known: the first non-loopback IPv4 address of this computer.
    for (const auto& iface : QNetworkInterface::allInterfaces()) {
        if (iface.flags().testFlag(QNetworkInterface::IsLoopBack) ||
            !iface.flags().testFlag(QNetworkInterface::IsUp))
            continue;
        const auto entries = Ipv4Entries(iface);
        if (!entries.empty()) return entries.front();
    }
    return {0, 0};
}

void CDhcpServer::ReadPending()
{
    while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket.receiveDatagram();
        // A failed receive is dropped; the server keeps serving.
        if (!datagram.isValid()) continue;
        const QByteArray data = datagram.data();
        if (probeMac && data.size() >= static_cast<qsizetype>(DHCP_OFF_CHADDR + 6) &&
            std::equal(probeMac->begin(), probeMac->end(),
                       reinterpret_cast<const std::uint8_t*>(data.constData()) + DHCP_OFF_CHADDR))
            continue;
        const uint interfaceIndex = datagram.interfaceIndex();
        const auto [address, mask] = LocalAddress(interfaceIndex, datagram.destinationAddress());
        context.serverAddress = address;
        context.subnetMask = mask;
        const DhcpEndpoint source{datagram.senderAddress().toIPv4Address(),
                                  static_cast<std::uint16_t>(datagram.senderPort())};
        const DhcpOutcome outcome =
            HandleDatagram(std::span(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                     static_cast<std::size_t>(data.size())),
                           source, context, counter, offerMode);
        if (outcome.listed) requestTable.Add(outcome.record);
        if (addressProbe.DeferOffer(outcome, interfaceIndex, address)) continue;
        emit requestSeen(outcome);
        if (outcome.reply) SendReply(outcome, interfaceIndex, address);
    }
}

void CDhcpServer::SendReply(const DhcpOutcome& outcome, uint interfaceIndex, std::uint32_t source)
{
    const auto& reply = *outcome.reply;
    QNetworkDatagram out(QByteArray(reinterpret_cast<const char*>(reply.bytes.data()),
                                    static_cast<qsizetype>(reply.bytes.size())),
                         QHostAddress(reply.destination.address), reply.destination.port);
    if (interfaceIndex != 0) out.setInterfaceIndex(interfaceIndex);
    if (source != 0) out.setSender(QHostAddress(source));
    const bool sent = socket.writeDatagram(out) == static_cast<qint64>(reply.bytes.size());
    emit replySent(outcome, sent);
}

}  // namespace varnel
