#include "gateway/SerialMaster.h"

#include <fstream>
#include <sstream>

#include "core/util/Hex.h"

namespace varnel {

SerialMaster::SerialMaster(Port masterPort, std::string devicePath, int answerTimeoutMs,
                           QObject* parent)
    : QObject(parent), port(masterPort), device(std::move(devicePath)), timeoutMs(answerTimeoutMs)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &SerialMaster::Step);
}

Status SerialMaster::Open()
{
    return line.Open(device, LineSettings{}, timeoutMs);
}

void SerialMaster::Configure(const Bytes& image)
{
    if (image == running) return;
    running = image;
    timer.stop();
    const std::string name = PortName(port);
    auto made = MakePollPlan(DecodeImage(image), port);
    plan.reset();
    input.clear();
    results.clear();
    if (!made) {
        emit eventLogged(QString::fromStdString(name + ": idle: " + made.message().text));
        emit changed();
        return;
    }
    if (const Status opened = line.Open(device, made->line, timeoutMs); !opened) {
        emit eventLogged(QString::fromStdString(name + ": idle: " + opened.message().text));
        emit changed();
        return;
    }
    plan = std::move(*made);
    input.assign(static_cast<std::size_t>(plan->inputSize), 0);
    results.assign(plan->requests.size(), "not yet");
    lastWritten.assign(plan->requests.size(), std::nullopt);
    next = 0;
    emit eventLogged(QString::fromStdString(
        name + ": " + std::to_string(plan->requests.size()) + " command(s) on " + device + ", " +
        DescribeLine(plan->line) + ", timer " + std::to_string(plan->timerMs) + " ms"));
    emit changed();
    timer.start(0);
}

void SerialMaster::ReadOutputFile()
{
    if (outputFile.empty()) return;
    std::ifstream in(outputFile);
    std::stringstream text;
    text << in.rdbuf();
    if (auto bytes = ParseHexStrict(text.str()); in && bytes) output = std::move(*bytes);
}

void SerialMaster::Step()
{
    if (!plan) return;
    if (next == 0) {
        scanStart = std::chrono::steady_clock::now();
        pending = input;
        ReadOutputFile();
    }
    if (next < plan->requests.size()) {
        const PollRequest& r = plan->requests[next];
        Bytes& target = plan->updateEachCommand ? input : pending;
        const Bytes before = input;
        std::string result = results[next];
        if (r.isWrite) {
            const auto values = WriteValuesFrom(r, output);
            // "Write on change": a value once written is not sent again.
            if (!plan->writeOnChange || lastWritten[next] != values) {
                const PollOutcome o = line.Run(r, values);
                result = ShortOutcome(o);
                if (o.status == PollStatus::Written) lastWritten[next] = values;
            }
        } else {
            const PollOutcome o = line.Run(r);
            result = ShortOutcome(o);
            if (o.status == PollStatus::Values) PlaceAnswer(r, o.values, target);
        }
        const bool differs = result != results[next] || input != before;
        results[next] = result;
        ++next;
        if (differs) emit changed();
        timer.start(0);
        return;
    }
    EndScan();
}

void SerialMaster::EndScan()
{
    next = 0;
    if (!plan->updateEachCommand && pending != input) {
        input = pending;
        emit changed();
    }
    // "Same Interval": scans start a timer value apart; "Time of Reply": the
    // timer value passes between the last answer and the next scan.
    int delay = plan->timerMs;
    if (plan->sameInterval) {
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - scanStart);
        delay = std::max(0, plan->timerMs - static_cast<int>(spent.count()));
    }
    timer.start(delay);
}

nlohmann::json SerialMaster::State() const
{
    nlohmann::json state;
    state["device"] = device;
    std::string hex = FormatHex(input, " ");
    if (!hex.empty()) hex.pop_back();  // no space after the last byte
    state["input"] = hex;
    nlohmann::json commands = nlohmann::json::array();
    if (plan) {
        for (std::size_t i = 0; i < plan->requests.size(); ++i) {
            const PollRequest& r = plan->requests[i];
            commands.push_back({{"slot", r.slot},
                                {"slave", r.slave},
                                {"function", r.function},
                                {"result", results[i]}});
        }
    }
    state["commands"] = commands;
    return state;
}

}  // namespace varnel
