// varnel-gateway-sim: a stand-in for a KORVEX gateway, for tests,
// demonstrations and users without hardware. Speaks the device protocol on
// TCP 60000 of the address it is told to listen on, prints one line per
// event, keeps its state in a file when asked, and plays faults on demand.
#include <QCoreApplication>
#include <QHostAddress>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "core/link/DeviceFrames.h"
#include "core/util/Ipv4.h"
#include "gateway/CEipServer.h"
#include "gateway/CGatewayServer.h"

namespace {

const char* const USAGE =
    "usage: varnel-gateway-sim [--listen ADDRESS] [--state-file PATH] [--restart-delay MS]\n"
    "                          [--refuse] [--never-answer] [--answer-failure] [--answer-garbage]\n"
    "                          [--split-answer] [--trailing-bytes] [--close-after PIECES]\n"
    "                          [--delay-accept MS] [--print-state]\n"
    "\n"
    "  --listen ADDRESS     address to listen on (default 127.0.0.1); ports 60000 and\n"
    "                       44818 (EtherNet/IP)\n"
    "  --state-file PATH    rewrite PATH with the gateway's state (JSON) after each change\n"
    "  --print-state        print the state as one JSON line after each change\n"
    "  --restart-delay MS   how long a restart keeps the gateway away (default 500)\n"
    "  --refuse             refuse every connection\n"
    "  --never-answer       accept and read, never answer\n"
    "  --answer-failure     answer C0 and the request code\n"
    "  --answer-garbage     answer bytes that are no answer\n"
    "  --split-answer       send the answer's second byte in a later segment\n"
    "  --trailing-bytes     send more bytes after each answer\n"
    "  --close-after N      drop the connection after answering N pieces\n"
    "  --delay-accept MS    leave connections unaccepted for MS ms\n";

int Usage(const std::string& problem)
{
    std::cerr << "varnel-gateway-sim: " << problem << "\n" << USAGE;
    return 2;
}

bool ParseInt(const std::string& text, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 0 || v > 1000000)
        return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string listen = "127.0.0.1";
    QString stateFile;
    int restartDelay = 500;
    bool printState = false;
    varnel::GatewayFaults faults;
    // Flags set a switch; numeric options a number; --listen and
    // --state-file take text.
    const std::map<std::string, bool*> flags{
        {"--print-state", &printState},
        {"--refuse", &faults.refuseConnections},
        {"--never-answer", &faults.neverAnswer},
        {"--answer-failure", &faults.answerFailure},
        {"--answer-garbage", &faults.answerGarbage},
        {"--split-answer", &faults.splitAnswer},
        {"--trailing-bytes", &faults.trailingBytes},
    };
    const std::map<std::string, std::pair<int*, const char*>> numbers{
        {"--restart-delay", {&restartDelay, "a number of ms"}},
        {"--close-after", {&faults.closeAfterPieces, "a number of pieces"}},
        {"--delay-accept", {&faults.delayAcceptMs, "a number of ms"}},
    };
    std::string stateText;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--help" || a == "-h") {
            std::cout << USAGE;
            return 0;
        } else if (const auto flag = flags.find(a); flag != flags.end()) {
            *flag->second = true;
        } else if (const auto number = numbers.find(a); number != numbers.end()) {
            if (!hasValue || !ParseInt(args[++i], *number->second.first))
                return Usage(a + " needs " + number->second.second);
        } else if (a == "--listen" || a == "--state-file") {
            if (!hasValue)
                return Usage(a + (a == "--listen" ? " needs an address" : " needs a path"));
            (a == "--listen" ? listen : stateText) = args[++i];
        } else {
            return Usage("unknown argument " + a);
        }
    }
    if (!stateText.empty())
        stateFile = QString::fromStdString(stateText);
    const auto parsed = varnel::ParseIpv4(listen);
    if (!parsed)
        return Usage("bad address: " + listen);
    const QHostAddress address(static_cast<quint32>(*parsed));

    varnel::CGatewayServer device(address, varnel::DEVICE_PORT, faults);
    device.SetRestartDelay(restartDelay);
    device.SetStateFile(stateFile);
    QObject::connect(&device, &varnel::CGatewayServer::eventLogged, [](const QString& line) {
        std::cout << "device: " << line.toStdString() << std::endl;
    });
    if (printState) {
        QObject::connect(&device, &varnel::CGatewayServer::stateChanged, [&device] {
            std::cout << "state: " << device.StateJson(-1).toStdString() << std::endl;
        });
    }
    // EtherNet/IP explicit messaging on the same address, TCP 44818: the DHCP
    // switch of the TCP/IP Interface object. Listening before the device
    // protocol starts, so its start line means both are ready.
    varnel::CEipServer eip;
    if (!eip.Listen(address)) {
        std::cerr << "varnel-gateway-sim: cannot listen on " << listen << ":"
                  << varnel::EIP_PORT << ": " << eip.ErrorText().toStdString() << std::endl;
        return 1;
    }
    QObject::connect(&eip, &varnel::CEipServer::configurationControlChanged, [](quint32 value) {
        std::cout << "eip: configuration control " << value << std::endl;
    });
    if (const varnel::Status started = device.Start(); !started) {
        std::cerr << "varnel-gateway-sim: " << started.message().text << std::endl;
        return 1;
    }

    return app.exec();
}
