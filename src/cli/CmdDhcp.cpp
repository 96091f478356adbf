// IP assignment from the command line: the BOOTP/DHCP server, and switching a
// gateway's DHCP client on or off over EtherNet/IP.
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <ctime>
#include <iostream>
#include <set>

#include "cli/CliCommand.h"
#include "cli/QtApp.h"
#include "core/ipassign/AddressCheck.h"
#include "core/ipassign/AssignmentCsv.h"
#include "core/ipassign/IpAssignMessages.h"
#include "core/ipassign/NewIpChecks.h"
#include "core/util/Ipv4.h"
#include "net/CDhcpServer.h"
#include "net/CEipClient.h"
#include "net/DhcpWatch.h"

namespace varnel::cli {

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(signalPipe[1], &byte, 1);
}

// The time of day for log lines, formatted once per second.
std::string Now()
{
    static std::time_t formatted = -1;
    static char text[16];
    const std::time_t now = std::time(nullptr);
    if (now != formatted) {
        std::tm local{};
        localtime_r(&now, &local);
        std::strftime(text, sizeof text, "%H:%M:%S", &local);
        formatted = now;
    }
    return text;
}

quint16 PortOption(Args& args, const char* name, quint16 fallback)
{
    const std::string text = args.Option(name);
    if (text.empty()) return fallback;
    const long port = ParseNumber(text, name);
    if (port < 1 || port > 65535)
        throw UsageError{std::string("bad port for --") + name + ": " + text};
    return static_cast<quint16>(port);
}

// The address a request asks for, or "-".
std::string AskedText(const data9& record)
{
    const std::uint32_t asked = AskedAddress(record);
    return asked != 0 ? FormatIpv4(asked) : "-";
}

int DhcpServer(const std::vector<std::string>& argv)
{
    Args args(argv);
    std::vector<DhcpAssignment> assignments;
    for (const auto& text : args.Options("assign")) {
        const auto entry = ParseAssignmentText(text);
        if (!entry) throw UsageError{"--assign needs MAC=IP[,NAME]: " + text};
        auto assignment = BuildAssignment(*entry, true);
        if (!assignment) return Refuse(assignment.message());
        assignments.push_back(*assignment);
    }
    // A list file: any bad row refuses the whole file, and nothing is served.
    const std::string assignFile = args.Option("assign-file");
    if (!assignFile.empty()) {
        const auto rows = LoadAssignmentFile(assignFile);
        if (!rows) return Refuse(rows.message());
        for (const NewIpEntry& row : *rows) assignments.push_back(*BuildAssignment(row, true));
    }
    const std::string listenText = args.Option("listen", "0.0.0.0");
    const auto listen = ParseIpv4(listenText);
    if (!listen) throw UsageError{"bad address for --listen: " + listenText};
    const quint16 port = PortOption(args, "port", 67);
    const quint16 replyPort = PortOption(args, "reply-port", 68);
    args.Done();

    QtApp<QCoreApplication> app;

    CDhcpServer server;
    server.SetAssignments(assignments);
    server.SetReplyPorts(replyPort, port);
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) server.SetHostName(host);
    if (const Status started = server.Start(QHostAddress(*listen), port); !started) {
        // The window's text, then the system's reason.
        Message message = started.message();
        message.text +=
            ": " + listenText + ":" + std::to_string(port) + ": " + server.BindErrorText();
        return Refuse(message);
    }

    QObject::connect(&server, &CDhcpServer::requestSeen, [](const DhcpOutcome& outcome) {
        const data9& r = outcome.record;
        std::cout << Now() << " " << (r.macText.empty() ? std::string_view("-") : r.macText) << " "
                  << (outcome.parsed ? DhcpTypeName(r.messageType) : "-") << " "
                  << (outcome.parsed ? AskedText(r) : "-");
        if (outcome.listed) std::cout << " (listed)";
        if (!outcome.reply) std::cout << " (no reply: " << DhcpIgnoredText(outcome.ignored) << ")";
        std::cout << '\n';
    });
    QObject::connect(&server, &CDhcpServer::replySent, [](const DhcpOutcome& outcome, bool sent) {
        const DhcpReply& reply = *outcome.reply;
        std::cout << Now() << " " << outcome.record.macText << " " << DhcpTypeName(reply.type)
                  << " " << FormatIpv4(reply.yourAddress) << " -> "
                  << FormatIpv4(reply.destination.address) << ":" << reply.destination.port
                  << (sent ? "" : " (send failed)") << '\n';
    });
    // One line per request and reply, written out once the socket is read empty.
    QObject::connect(&server, &CDhcpServer::drained, [] { std::cout.flush(); });

    // SIGINT and SIGTERM end the server through the event loop.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return Refuse(ReceiveFailedMessage());
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        server.Stop();
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    std::cout << Now() << " listening on " << listenText << ":" << server.Port() << std::endl;
    // Addresses another device already holds: said when a check finds one,
    // and once when no check can run.
    AddressProbe& probe = server.AddressCheck();
    QObject::connect(&probe, &AddressProbe::checkOff, [](const QString& line) {
        std::cout << Now() << " " << line.toStdString() << std::endl;
    });
    QObject::connect(
        &probe, &AddressProbe::checked, [](std::uint32_t address, const QString& holder) {
            if (!holder.isEmpty())
                std::cout << Now() << " " << AddressInUseLine(address, holder.toStdString())
                          << std::endl;
        });
    // A server on loopback serves no link: its assignments are not checked.
    if (probe.Open() && !QHostAddress(*listen).isLoopback())
        for (const DhcpAssignment& assignment : assignments)
            probe.Check(assignment.address, 0, ParseMac(assignment.macText).value_or(MacAddress{}));
    // Other DHCP servers on the network: probed beside serving, never in its way.
    DhcpWatch watch;
    QObject::connect(&watch, &DhcpWatch::foreignServer, [](const QString& warning) {
        std::cout << Now() << " " << warning.toStdString() << std::endl;
    });
    QObject::connect(&watch, &DhcpWatch::watchOff, [](const QString& reason) {
        std::cout << Now() << " " << reason.toStdString() << std::endl;
    });
    QObject::connect(&watch, &DhcpWatch::probeSent, &server, &CDhcpServer::IgnoreProbe);
    watch.Monitor(QHostAddress(*listen));
    QCoreApplication::exec();
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    return EXIT_OK;
}

int DhcpProbe(const std::vector<std::string>& argv)
{
    Args args(argv);
    const QString interface = QString::fromStdString(args.Option("interface"));
    const long wait = ParseNumber(args.Option("wait", "3"), "wait");
    if (wait < 1 || wait > 3600) throw UsageError{"--wait needs 1 to 3600 seconds"};
    args.Done();

    QtApp<QCoreApplication> app;
    DhcpWatch watch;
    if (const Status opened = watch.Open(); !opened)
        return Refuse("dhcp-probe: 无法监听端口68 (cannot listen on port 68): " +
                      watch.ErrorText());
    std::set<std::uint32_t> servers;
    QObject::connect(&watch, &DhcpWatch::replySeen, [&](const ServerReply& reply) {
        if (reply.type == DHCPOFFER && watch.AnswersProbe(reply) &&
            servers.insert(reply.Server()).second)
            std::cout << ProbeLine(reply) << std::endl;
    });
    std::string failure;
    if (watch.Probe(interface, failure).empty())
        return Refuse("dhcp-probe: 无法发送 (cannot send): " + failure);
    // Sent again every second of the wait, as a client does.
    QTimer resend;
    QObject::connect(&resend, &QTimer::timeout, [&watch] { watch.Resend(); });
    resend.start(1000);
    QTimer::singleShot(static_cast<int>(wait * 1000), QCoreApplication::instance(),
                       &QCoreApplication::quit);
    QCoreApplication::exec();
    if (servers.empty())
        std::cout << "没有其他DHCP服务器应答 (no other DHCP server answered)" << std::endl;
    return EXIT_OK;
}

int DhcpSwitch(const std::vector<std::string>& argv, bool enable)
{
    Args args(argv);
    const std::string addressText = args.Positional("ADDRESS");
    const quint16 port = PortOption(args, "port", EIP_PORT);
    args.Done();
    const auto address = ParseIpv4(addressText);
    if (!address) throw UsageError{"bad address: " + addressText};

    QtApp<QCoreApplication> app;
    CEipClient client;
    bool success = false;
    bool done = false;
    QObject::connect(&client, &CEipClient::message, [](const Message& message) {
        if (message.icon == MessageIcon::Information)
            std::cout << Shown(message.text) << std::endl;
        else
            PrintMessage(message);
    });
    QObject::connect(&client, &CEipClient::finished, [&](bool ok) {
        success = ok;
        done = true;
        QCoreApplication::quit();
    });
    client.Start(QHostAddress(*address), enable, port);
    if (!done) QCoreApplication::exec();
    return success ? EXIT_OK : EXIT_REFUSED;
}

int DhcpEnable(const std::vector<std::string>& args)
{
    return DhcpSwitch(args, true);
}
int DhcpDisable(const std::vector<std::string>& args)
{
    return DhcpSwitch(args, false);
}

CliCommand serverCommand{"dhcp-server",
                         "dhcp-server [--assign MAC=IP[,NAME]]... [--assign-file FILE] [--listen "
                         "ADDRESS] [--port N] [--reply-port N]",
                         &DhcpServer};
CliCommand probeCommand{"dhcp-probe", "dhcp-probe [--interface IF] [--wait SECONDS]", &DhcpProbe};
CliCommand enableCommand{"dhcp-enable", "dhcp-enable ADDRESS [--port N]", &DhcpEnable};
CliCommand disableCommand{"dhcp-disable", "dhcp-disable ADDRESS [--port N]", &DhcpDisable};

}  // namespace

}  // namespace varnel::cli
