#include "net/DhcpWatch.h"

#include <QNetworkDatagram>

namespace varnel {

namespace {
constexpr int RESEND_MS = 1000;

bool HasIpv4(const QNetworkInterface& iface)
{
    for (const auto& entry : iface.addressEntries())
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) return true;
    return false;
}
}  // namespace

DhcpWatch::DhcpWatch(QObject* parent) : QObject(parent), random(std::random_device{}())
{
    connect(&socket, &QUdpSocket::readyRead, this, &DhcpWatch::ReadPending);
}

Status DhcpWatch::Open(quint16 clientPort)
{
    socket.close();
    if (!socket.bind(QHostAddress::AnyIPv4, clientPort,
                     QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint))
        return Refuse(Code::BindFailed, ErrorText());
    return {};
}

std::vector<QString> DhcpWatch::Probe(const QString& interfaceName, std::string& failure,
                                      quint16 serverPort)
{
    probeMac = ProbeMac(random());
    probeXid = static_cast<std::uint32_t>(random());
    const auto bytes = BuildProbeDiscover(probeMac, probeXid);
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    probeBytes = data;
    probeInterfaces.clear();
    emit probeSent(probeMac);
    std::vector<QString> sent;
    failure = "no up IPv4 interface";
    for (const auto& iface : QNetworkInterface::allInterfaces()) {
        if (!interfaceName.isEmpty() ? iface.name() != interfaceName
                                     : iface.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        if (!iface.flags().testFlag(QNetworkInterface::IsUp) || !HasIpv4(iface)) {
            failure = iface.name().toStdString() + " is down or has no IPv4 address";
            continue;
        }
        QNetworkDatagram datagram(data, QHostAddress::Broadcast, serverPort);
        datagram.setInterfaceIndex(static_cast<uint>(iface.index()));
        if (socket.writeDatagram(datagram) == data.size()) {
            sent.push_back(iface.name());
            probeInterfaces.push_back(static_cast<uint>(iface.index()));
        } else
            failure = iface.name().toStdString() + ": " + ErrorText();
    }
    if (sent.empty() && !interfaceName.isEmpty() &&
        !QNetworkInterface::interfaceFromName(interfaceName).isValid())
        failure = "no interface " + interfaceName.toStdString();
    return sent;
}

void DhcpWatch::Monitor(const QHostAddress& listen)
{
    constexpr int PROBE_INTERVAL_MS = 60 * 1000;
    clock.start();
    foreign.SetOwnAddresses(OwnAddresses());
    if (const Status opened = Open(); !opened) {
        emit watchOff(
            QStringLiteral("检查其他DHCP服务器已关闭: 无法监听端口68 (the check for other "
                           "DHCP servers is off: cannot listen on port 68: %1)")
                .arg(QString::fromStdString(ErrorText())));
        return;
    }
    connect(this, &DhcpWatch::replySeen, this, [this](const ServerReply& reply) {
        if (foreign.Heard(reply, clock.elapsed()))
            emit foreignServer(QString::fromStdString(ForeignServerWarning(reply.Server())));
    });
    servedInterface = QStringLiteral("-");
    if (listen == QHostAddress(QHostAddress::AnyIPv4)) {
        servedInterface.clear();
    } else {
        for (const auto& iface : QNetworkInterface::allInterfaces())
            for (const auto& entry : iface.addressEntries())
                if (entry.ip() == listen && !iface.flags().testFlag(QNetworkInterface::IsLoopBack))
                    servedInterface = iface.name();
    }
    if (servedInterface == QStringLiteral("-")) return;  // nothing to probe on loopback
    connect(&probeTimer, &QTimer::timeout, this, &DhcpWatch::ProbeServedInterfaces);
    probeTimer.start(PROBE_INTERVAL_MS);
    QTimer::singleShot(0, this, &DhcpWatch::ProbeServedInterfaces);
}

void DhcpWatch::ProbeServedInterfaces()
{
    std::string failure;
    Probe(servedInterface, failure);
    QTimer::singleShot(RESEND_MS, this, [this] { Resend(); });
}

void DhcpWatch::Resend(quint16 serverPort)
{
    for (uint index : probeInterfaces) {
        QNetworkDatagram datagram(probeBytes, QHostAddress::Broadcast, serverPort);
        datagram.setInterfaceIndex(index);
        socket.writeDatagram(datagram);
    }
}

std::set<std::uint32_t> DhcpWatch::OwnAddresses()
{
    std::set<std::uint32_t> own;
    for (const auto& address : QNetworkInterface::allAddresses())
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            own.insert(address.toIPv4Address());
    return own;
}

void DhcpWatch::ReadPending()
{
    while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket.receiveDatagram();
        const QByteArray data = datagram.data();
        const auto reply =
            ReadServerReply(std::span(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                      static_cast<std::size_t>(data.size())),
                            datagram.senderAddress().toIPv4Address());
        if (reply) emit replySeen(*reply);
    }
}

}  // namespace varnel
