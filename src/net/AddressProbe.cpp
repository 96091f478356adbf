#include "net/AddressProbe.h"

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QNetworkInterface>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace varnel {

namespace {

std::string FileText(const char* path)
{
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool IsLink(const QNetworkInterface& iface)
{
    return iface.isValid() && !iface.flags().testFlag(QNetworkInterface::IsLoopBack) &&
           iface.flags().testFlag(QNetworkInterface::IsUp);
}

// Whether one of the interface's IPv4 subnets holds the address.
bool OnSubnet(const QNetworkInterface& iface, std::uint32_t address)
{
    for (const auto& entry : iface.addressEntries()) {
        if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol) continue;
        const std::uint32_t mask = entry.netmask().toIPv4Address();
        if (((entry.ip().toIPv4Address() ^ address) & mask) == 0) return true;
    }
    return false;
}

// The interface a check runs on: the one the request came in on, else the
// one whose subnet holds the address.
QNetworkInterface LinkOf(std::uint32_t address, uint interfaceIndex)
{
    if (interfaceIndex != 0)
        return QNetworkInterface::interfaceFromIndex(static_cast<int>(interfaceIndex));
    for (const auto& iface : QNetworkInterface::allInterfaces())
        if (IsLink(iface) && OnSubnet(iface, address)) return iface;
    return {};
}

}  // namespace

AddressProbe::AddressProbe(QObject* parent) : QObject(parent)
{
    clock.start();
}

AddressProbe::~AddressProbe()
{
    Close();
}

bool AddressProbe::Open()
{
    if (fd >= 0) return true;
    fd = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ETH_P_ARP));
    arp = fd >= 0;
    const std::string packetError = arp ? "" : std::strerror(errno);
    if (!arp) fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        const std::string icmpError = std::strerror(errno);
        std::string range = FileText("/proc/sys/net/ipv4/ping_group_range");
        while (!range.empty() && range.back() == '\n') range.pop_back();
        for (char& c : range)
            if (c == '\t') c = ' ';
        const std::string why = "no packet socket (" + packetError + "), no ICMP socket (" +
                                icmpError + "; net.ipv4.ping_group_range is \"" + range + "\")";
        if (!offSaid) emit checkOff(QString::fromStdString(AddressCheckOffLine(why)));
        offSaid = true;
        return false;
    }
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &AddressProbe::ReadPending);
    return true;
}

void AddressProbe::Close()
{
    // Perhaps called from its own notice: let it go once that returns.
    if (notifier != nullptr) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    notifier = nullptr;
    if (fd >= 0) ::close(fd);
    fd = -1;
    running.clear();
    cache = AddressCheckCache{};
}

bool AddressProbe::Check(std::uint32_t address, uint interfaceIndex, const MacAddress& requester)
{
    if (fd < 0) return false;
    if (running.contains(address)) return true;  // its answer serves this one too
    const QNetworkInterface link = LinkOf(address, interfaceIndex);
    if (!IsLink(link) || !SendProbe(address, static_cast<uint>(link.index()))) return false;
    const std::uint64_t generation = ++generations;
    running[address] = Running{static_cast<uint>(link.index()), requester, generation};
    QTimer::singleShot(WAIT_MS, this, [this, address, generation] {
        const auto it = running.find(address);
        if (it != running.end() && it->second.generation == generation)
            Finish(address, std::nullopt);
    });
    return true;
}

bool AddressProbe::SendProbe(std::uint32_t address, uint interfaceIndex)
{
    const QNetworkInterface link =
        QNetworkInterface::interfaceFromIndex(static_cast<int>(interfaceIndex));
    if (arp) {
        const auto ours = ParseMac(link.hardwareAddress().toStdString());
        if (!ours) return false;
        const auto frame = BuildArpProbe(*ours, address);
        sockaddr_ll to{};
        to.sll_family = AF_PACKET;
        to.sll_protocol = htons(ETH_P_ARP);
        to.sll_ifindex = static_cast<int>(interfaceIndex);
        to.sll_halen = 6;
        std::memset(to.sll_addr, 0xFF, 6);
        return ::sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to),
                        sizeof to) == static_cast<ssize_t>(frame.size());
    }
    // An echo reaches only an address on the link's own subnet.
    if (!OnSubnet(link, address)) return false;
    ++sequence;
    // type 8 (echo request), code, checksum and identifier (the kernel's), sequence
    const std::uint8_t echo[8] = {8,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  static_cast<std::uint8_t>(sequence >> 8),
                                  static_cast<std::uint8_t>(sequence)};
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    return ::sendto(fd, echo, sizeof echo, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
           static_cast<ssize_t>(sizeof echo);
}

bool AddressProbe::DeferOffer(const DhcpOutcome& outcome, uint interfaceIndex,
                              std::uint32_t localAddress)
{
    if (fd < 0 || BeforeReply(outcome, cache, clock.elapsed()) == OfferCheck::Send) return false;
    const std::uint32_t address = outcome.reply->yourAddress;
    if (!Check(address, interfaceIndex, RequesterMac(outcome.record))) return false;
    if (auto older = cache.Hold(HeldOffer{outcome, interfaceIndex, localAddress}))
        emit offerWithheld(older->outcome);
    return true;
}

void AddressProbe::ReadPending()
{
    std::uint8_t buffer[1500];
    sockaddr_storage from{};
    socklen_t length = sizeof from;
    ssize_t n = 0;
    while ((n = ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                           &length)) >= 0) {
        length = sizeof from;
        const std::span<const std::uint8_t> bytes(buffer, static_cast<std::size_t>(n));
        std::optional<std::pair<std::uint32_t, std::optional<MacAddress>>> result;
        if (arp) {
            const uint index = static_cast<uint>(reinterpret_cast<sockaddr_ll&>(from).sll_ifindex);
            for (const auto& [address, check] : running)
                if (check.interfaceIndex == index)
                    if (auto holder = ArpHolder(bytes, address, check.requester)) {
                        result.emplace(address, holder);
                        break;
                    }
        } else if (n > 0 && buffer[0] == 0) {  // echo reply
            const std::uint32_t address =
                ntohl(reinterpret_cast<sockaddr_in&>(from).sin_addr.s_addr);
            if (const auto it = running.find(address); it != running.end())
                result.emplace(
                    address, EchoHolder(FileText("/proc/net/arp"), address, it->second.requester));
        }
        if (result) Finish(result->first, result->second);
    }
}

void AddressProbe::Finish(std::uint32_t address, std::optional<MacAddress> holder)
{
    running.erase(address);
    const auto offer = cache.Finish(address, holder, clock.elapsed());
    emit checked(address, holder ? QString::fromStdString(HolderText(*holder)) : QString());
    if (!offer) return;
    if (offer->outcome.reply)
        emit offerReady(offer->outcome, offer->interfaceIndex, offer->localAddress);
    else
        emit offerWithheld(offer->outcome);
}

}  // namespace varnel
