#pragma once
// The gateway's Modbus master on one serial port, as the simulator runs it:
// runs the running configuration's commands of its port on a serial device,
// scan after scan paced by the timer of the serial parameters, keeps the
// port's input data (read answers at their EtherNet/IP byte ranges) and
// sends write commands the port's output data. One command per event-loop
// turn, so the device protocol is served between commands.
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/modbus/PollOutcome.h"
#include "core/modbus/PollPlan.h"
#include "net/ModbusRtuLine.h"

namespace varnel {

class SerialMaster : public QObject {
    Q_OBJECT
public:
    SerialMaster(Port port, std::string device, int timeoutMs, QObject* parent = nullptr);

    // Opens the device (9600 baud 8N1 until a configuration names its
    // settings); refused (SerialOpenFailed) naming the device and the reason.
    Status Open();
    // Output data given as bytes (offset 0 first), or a file of hex text
    // read again before every scan.
    void SetOutput(Bytes bytes) { output = std::move(bytes); }
    void SetOutputFile(std::string path) { outputFile = std::move(path); }
    // The configuration the gateway runs now (empty when none): a new one
    // restarts the scans with its plan for this port, or stops them.
    void Configure(const Bytes& running);

    // The port's device, input data as hex text and each command's last result.
    nlohmann::json State() const;

signals:
    // The input data or a command's result changed.
    void changed();
    void eventLogged(const QString& line);

private:
    void Step();
    void EndScan();
    void ReadOutputFile();

    Port port;
    std::string device;
    int timeoutMs;
    ModbusRtuLine line;
    Bytes running;
    std::optional<PollPlan> plan;
    Bytes input;
    Bytes pending;  // the input data of the scan under way ("At MD_scan End")
    Bytes output;
    std::string outputFile;
    std::vector<std::string> results;
    std::vector<std::optional<std::vector<std::uint16_t>>> lastWritten;
    std::size_t next = 0;
    std::chrono::steady_clock::time_point scanStart;
    QTimer timer;
};

}  // namespace varnel
