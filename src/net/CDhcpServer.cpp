#include "net/CDhcpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QNetworkInterface>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/ipassign/IpAssignMessages.h"

namespace varnel {

namespace {
constexpr qint64 CACHE_LIFETIME_MS = 3000;
// Datagrams read per system call, and batches read per readiness event
// before the event loop gets its turn again.
constexpr unsigned BATCH = 32;
constexpr int BATCHES_PER_EVENT = 8;
// Room for the largest UDP datagram, so the received length is exact.
constexpr std::size_t DATAGRAM_ROOM = 65536;

std::vector<std::pair<std::uint32_t, std::uint32_t>> Ipv4Entries(const QNetworkInterface& iface)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;
    for (const auto& entry : iface.addressEntries())
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            entries.emplace_back(entry.ip().toIPv4Address(), entry.netmask().toIPv4Address());
    return entries;
}
// The system's reason a bind failed, in the words the other sockets of the
// program use for it.
std::string BindErrorOf(int error)
{
    switch (error) {
        case EADDRINUSE: return "The bound address is already in use";
        case EADDRNOTAVAIL: return "The address is not available";
        case EACCES: return "The address is protected";
        default: return std::strerror(error);
    }
}
}  // namespace

// The buffers of one recvmmsg call, kept for the server's life.
struct CDhcpServer::Batch {
    std::array<std::array<std::uint8_t, DATAGRAM_ROOM>, BATCH> data;
    std::array<sockaddr_in, BATCH> from;
    struct alignas(cmsghdr) ControlRoom {
        char bytes[CMSG_SPACE(sizeof(in_pktinfo))];
    };
    std::array<ControlRoom, BATCH> control;
    std::array<iovec, BATCH> io;
    std::array<mmsghdr, BATCH> messages;

    // Readies every slot for the next call (the kernel overwrites the lengths).
    void Arm()
    {
        for (unsigned i = 0; i < BATCH; ++i) {
            io[i] = {data[i].data(), data[i].size()};
            messages[i] = {};
            messages[i].msg_hdr.msg_name = &from[i];
            messages[i].msg_hdr.msg_namelen = sizeof from[i];
            messages[i].msg_hdr.msg_iov = &io[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_control = control[i].bytes;
            messages[i].msg_hdr.msg_controllen = sizeof control[i].bytes;
        }
    }
};

CDhcpServer::CDhcpServer(QObject* parent) : QObject(parent)
{
    // An OFFER held back while its address was checked: sent, or only logged.
    // It comes after the socket was drained, so its log lines are let out too.
    connect(&addressProbe, &AddressProbe::offerReady, this,
            [this](const DhcpOutcome& held, uint interfaceIndex, std::uint32_t source) {
                emit requestSeen(held);
                SendReply(held, interfaceIndex, source);
                emit drained();
            });
    connect(&addressProbe, &AddressProbe::offerWithheld, this, [this](const DhcpOutcome& held) {
        emit requestSeen(held);
        emit drained();
    });
}

CDhcpServer::~CDhcpServer()
{
    Stop();
}

Status CDhcpServer::Start(const QHostAddress& listen, quint16 port)
{
    Stop();
    const auto refuse = [this](int error) -> Status {
        bindError = BindErrorOf(error);
        Stop();
        return Refusal{Code::BindFailed, ReceiveFailedMessage()};
    };
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return refuse(errno);
    // Broadcast replies, and the interface and address each request came in
    // on. No address reuse: with it two servers bind the same port and share
    // the requests between them.
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
        ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0)
        return refuse(errno);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(listen.toIPv4Address());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return refuse(errno);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    boundPort = ntohs(address.sin_port);
    if (!batch) batch = std::make_unique<Batch>();
    notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, &CDhcpServer::ReadPending);
    return {};
}

void CDhcpServer::Stop()
{
    notifier.reset();
    if (fd >= 0) ::close(fd);
    fd = -1;
    boundPort = 0;
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
                                                                  std::uint32_t destination)
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
        for (const auto& entry : it->second)
            if (entry.first == destination) return entry;
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
    for (int round = 0; round < BATCHES_PER_EVENT && fd >= 0; ++round) {
        batch->Arm();
        // MSG_TRUNC: each length is the datagram's own, even past the room.
        const int count = ::recvmmsg(fd, batch->messages.data(), BATCH, MSG_TRUNC, nullptr);
        // A failed receive is dropped; the server keeps serving.
        if (count <= 0) break;
        for (int i = 0; i < count && fd >= 0; ++i) {
            const msghdr& header = batch->messages[i].msg_hdr;
            uint interfaceIndex = 0;
            std::uint32_t destination = 0;
            for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr;
                 c = CMSG_NXTHDR(const_cast<msghdr*>(&header), c)) {
                if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                interfaceIndex = static_cast<uint>(info.ipi_ifindex);
                destination = ntohl(info.ipi_addr.s_addr);
            }
            const std::size_t length =
                std::min<std::size_t>(batch->messages[i].msg_len, DATAGRAM_ROOM);
            const DhcpEndpoint source{ntohl(batch->from[i].sin_addr.s_addr),
                                      ntohs(batch->from[i].sin_port)};
            Serve(std::span(batch->data[i]).first(length), source, interfaceIndex, destination);
        }
        if (static_cast<unsigned>(count) < BATCH) break;
    }
    emit drained();
}

void CDhcpServer::Serve(std::span<const std::uint8_t> datagram, DhcpEndpoint source,
                        uint interfaceIndex, std::uint32_t destination)
{
    if (probeMac && datagram.size() >= DHCP_OFF_CHADDR + 6 &&
        std::equal(probeMac->begin(), probeMac->end(), datagram.begin() + DHCP_OFF_CHADDR))
        return;
    const auto [address, mask] = LocalAddress(interfaceIndex, destination);
    context.serverAddress = address;
    context.subnetMask = mask;
    HandleDatagram(datagram, source, context, counter, offerMode, outcome);
    if (outcome.listed) requestTable.Add(outcome.record);
    if (addressProbe.DeferOffer(outcome, interfaceIndex, address)) return;
    emit requestSeen(outcome);
    if (outcome.reply) SendReply(outcome, interfaceIndex, address);
}

void CDhcpServer::SendReply(const DhcpOutcome& sent, uint interfaceIndex, std::uint32_t source)
{
    if (fd < 0) return;
    const DhcpReply& reply = *sent.reply;
    const auto bytes = sent.ReplyBytes();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(reply.destination.port);
    to.sin_addr.s_addr = htonl(reply.destination.address);
    iovec io{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    // Out by the interface the request came in on, from its address.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    if (interfaceIndex != 0 || source != 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(interfaceIndex);
        info.ipi_spec_dst.s_addr = htonl(source);
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    const bool ok = ::sendmsg(fd, &message, 0) == static_cast<ssize_t>(bytes.size());
    emit replySent(sent, ok);
}

}  // namespace varnel
