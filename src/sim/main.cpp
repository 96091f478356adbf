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
#include <memory>
#include <string>
#include <vector>

#include "core/link/DeviceFrames.h"
#include "core/util/Hex.h"
#include "core/util/Ipv4.h"
#include "gateway/CEipServer.h"
#include "gateway/CGatewayServer.h"
#include "gateway/SerialMaster.h"

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
    "  --delay-accept MS    leave connections unaccepted for MS ms\n"
    "  --com1 DEVICE        run the running configuration's COM1 commands as Modbus RTU\n"
    "                       master on DEVICE (/dev/ttyUSB0, a pty); --com2 likewise\n"
    "  --serial-timeout MS  how long a serial command waits for its answer (default 500)\n"
    "  --set-output COMn=HEX  the port's output data, offset 0 first, for its write commands\n"
    "  --output-file COMn=PATH  the same read from a file of hex text before every scan\n";

int Usage(const std::string& problem)
{
    std::cerr << "varnel-gateway-sim: " << problem << "\n" << USAGE;
    return 2;
}

bool ParseInt(const std::string& text, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 0 || v > 1000000) return false;
    out = static_cast<int>(v);
    return true;
}

// The serial ports the simulator runs as Modbus master.
struct SerialOptions {
    int timeoutMs = 500;
    std::string device[2];                 // by port; empty: not run
    std::vector<std::string> outputs;      // "COMn=HEX"
    std::vector<std::string> outputFiles;  // "COMn=PATH"
};

// Opens the serial masters: each follows the running configuration and puts
// its port's input data and results into the state. Returns 0, or the exit
// code after saying what went wrong.
int StartSerialMasters(const SerialOptions& serial, varnel::CGatewayServer& device,
                       std::vector<std::unique_ptr<varnel::SerialMaster>>& masters)
{
    for (const auto& o : serial.outputs)
        if (o.rfind("COM1=", 0) != 0 && o.rfind("COM2=", 0) != 0)
            return Usage("--set-output needs COM1=HEX or COM2=HEX: " + o);
    for (int p = 0; p < 2; ++p) {
        if (serial.device[p].empty()) continue;
        const auto port = static_cast<varnel::Port>(p);
        auto master =
            std::make_unique<varnel::SerialMaster>(port, serial.device[p], serial.timeoutMs);
        const std::string prefix = std::string(varnel::PortName(port)) + "=";
        for (const std::string& o : serial.outputs) {
            if (o.rfind(prefix, 0) != 0) continue;
            auto bytes = varnel::ParseHexStrict(o.substr(prefix.size()));
            if (!bytes) return Usage("--set-output needs hex bytes: " + o);
            master->SetOutput(*bytes);
        }
        for (const std::string& f : serial.outputFiles)
            if (f.rfind(prefix, 0) == 0) master->SetOutputFile(f.substr(prefix.size()));
        if (const varnel::Status opened = master->Open(); !opened) {
            std::cerr << "varnel-gateway-sim: " << opened.message().text << std::endl;
            return 1;
        }
        varnel::SerialMaster* m = master.get();
        const std::string key = p == 0 ? "com1" : "com2";
        QObject::connect(m, &varnel::SerialMaster::eventLogged, [](const QString& line) {
            std::cout << "serial: " << line.toStdString() << std::endl;
        });
        QObject::connect(m, &varnel::SerialMaster::changed,
                         [m, key, &device] { device.SetPartState(key, m->State()); });
        QObject::connect(&device, &varnel::CGatewayServer::stateChanged,
                         [m, &device] { m->Configure(device.Device().Running()); });
        masters.push_back(std::move(master));
    }
    return 0;
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
    SerialOptions serial;
    std::string stateText;
    // Flags set a switch; numeric options a number; --listen, --state-file
    // and the serial devices take text; --set-output and --output-file may
    // come once per port.
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
        {"--serial-timeout", {&serial.timeoutMs, "a number of ms"}},
    };
    const std::map<std::string, std::string*> texts{
        {"--listen", &listen},
        {"--state-file", &stateText},
        {"--com1", &serial.device[0]},
        {"--com2", &serial.device[1]},
    };
    const std::map<std::string, std::vector<std::string>*> lists{
        {"--set-output", &serial.outputs},
        {"--output-file", &serial.outputFiles},
    };
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
        } else if (const auto text = texts.find(a); text != texts.end()) {
            if (!hasValue)
                return Usage(a + (a == "--listen" ? " needs an address" : " needs a path"));
            *text->second = args[++i];
        } else if (const auto list = lists.find(a); list != lists.end()) {
            if (!hasValue) return Usage(a + " needs COM1=... or COM2=...");
            list->second->push_back(args[++i]);
        } else {
            return Usage("unknown argument " + a);
        }
    }
    if (!stateText.empty()) stateFile = QString::fromStdString(stateText);
    const auto parsed = varnel::ParseIpv4(listen);
    if (!parsed) return Usage("bad address: " + listen);
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
        std::cerr << "varnel-gateway-sim: cannot listen on " << listen << ":" << varnel::EIP_PORT
                  << ": " << eip.ErrorText().toStdString() << std::endl;
        return 1;
    }
    QObject::connect(&eip, &varnel::CEipServer::configurationControlChanged, [](quint32 value) {
        std::cout << "eip: configuration control " << value << std::endl;
    });
    if (const varnel::Status started = device.Start(); !started) {
        std::cerr << "varnel-gateway-sim: " << started.message().text << std::endl;
        return 1;
    }

    std::vector<std::unique_ptr<varnel::SerialMaster>> masters;
    if (const int failed = StartSerialMasters(serial, device, masters); failed != 0) return failed;

    return app.exec();
}
