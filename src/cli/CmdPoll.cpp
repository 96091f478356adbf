// varnelctl poll: runs a port's Modbus commands against the real slaves on a
// serial line, as the gateway would, and says per command what came back.
#include <poll.h>
#include <signal.h>

#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/ProjectCommand.h"
#include "core/modbus/PollOutcome.h"
#include "core/modbus/PollPlan.h"
#include "net/ModbusRtuLine.h"

namespace varnel::cli {

namespace {

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int)
{
    interrupted = 1;
}

// Ctrl-C (and SIGTERM) end the poll between two commands.
void CatchInterrupts()
{
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void SleepMs(int ms)
{
    poll(nullptr, 0, ms);  // cut short by Ctrl-C
}

// The values of every --write SLOT=V1,V2,... by slot; usage errors for a
// slot that is no write command of the port or values it cannot take.
std::map<int, std::vector<std::uint16_t>> WriteValues(const std::vector<std::string>& options,
                                                      const PollPlan& plan)
{
    std::map<int, std::vector<std::uint16_t>> values;
    for (const std::string& option : options) {
        const std::size_t eq = option.find('=');
        if (eq == std::string::npos) throw UsageError{"--write needs SLOT=V1,V2,...: " + option};
        const long slot = ParseNumber(option.substr(0, eq), "--write slot");
        const PollRequest* request = nullptr;
        for (const PollRequest& r : plan.requests)
            if (r.slot == slot && r.isWrite) request = &r;
        if (request == nullptr)
            throw UsageError{"slot " + std::to_string(slot) + " holds no write command of " +
                             PortName(plan.port)};
        auto parsed = ParseWriteValues(*request, option.substr(eq + 1));
        if (!parsed) throw UsageError{parsed.message().text};
        values[request->slot] = *parsed;
    }
    return values;
}

// The outcomes of each command over the rounds polled.
void PrintSummary(const PollPlan& plan, const std::vector<PollTally>& tallies, bool json)
{
    nlohmann::json summary = nlohmann::json::array();
    if (!json) std::cout << "summary:" << std::endl;
    for (std::size_t i = 0; i < plan.requests.size(); ++i) {
        const PollTally& t = tallies[i];
        if (!json) std::cout << "  " << FormatTally(plan.requests[i], t) << std::endl;
        summary.push_back({{"slot", plan.requests[i].slot},
                           {"answered", t.answered},
                           {"exceptions", t.exceptions},
                           {"timeouts", t.timeouts},
                           {"errors", t.errors},
                           {"skipped", t.skipped}});
    }
    if (json) std::cout << nlohmann::json{{"summary", summary}}.dump() << std::endl;
}

int CmdPoll(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string path = args.Positional("PROJECT");
    const Port port = ParsePort(args.Positional("COM1|COM2"));
    if (!args.HasOption("serial")) throw UsageError{"missing --serial DEVICE"};
    const std::string device = args.Option("serial");
    const long rounds = ParseNumber(args.Option("rounds", "1"), "--rounds");
    const long timeoutMs = ParseNumber(args.Option("timeout", "1000"), "--timeout");
    if (rounds < 0 || timeoutMs < 1 || timeoutMs > 600000)
        throw UsageError{"--rounds takes 0 or more, --timeout 1 to 600000 ms"};
    const bool json = args.Flag("json");
    const std::vector<std::string> writes = args.Options("write");
    args.Done();

    CVarnelDoc doc;
    if (!OpenProject(path, doc)) return EXIT_REFUSED;
    const auto plan = MakePollPlan(doc, port);
    if (!plan) return Refuse(plan.message());
    if (plan->requests.empty())
        return Refuse(std::string(PortName(port)) + " holds no Modbus command to send");
    const auto values = WriteValues(writes, *plan);

    ModbusRtuLine line;
    if (const Status opened = line.Open(device, plan->line, static_cast<int>(timeoutMs)); !opened)
        return Refuse(opened.message());
    if (!json)
        std::cout << PortName(port) << " on " << device << ": " << DescribeLine(plan->line) << ", "
                  << plan->requests.size() << " command(s), time-out " << timeoutMs << " ms"
                  << std::endl;
    CatchInterrupts();
    std::vector<PollTally> tallies(plan->requests.size());
    bool allAnswered = true;
    for (long round = 0; (rounds == 0 || round < rounds) && !interrupted; ++round) {
        if (round > 0) SleepMs(plan->timerMs);
        for (std::size_t i = 0; i < plan->requests.size() && !interrupted; ++i) {
            const PollRequest& r = plan->requests[i];
            const auto given = values.find(r.slot);
            const PollOutcome outcome =
                line.Run(r, given != values.end() ? given->second : std::vector<std::uint16_t>{});
            tallies[i].Add(outcome);
            allAnswered = allAnswered && (outcome.status == PollStatus::Values ||
                                          outcome.status == PollStatus::Written ||
                                          outcome.status == PollStatus::Skipped);
            std::cout << (json ? FormatPollJson(r, outcome, static_cast<int>(timeoutMs))
                               : FormatPollLine(r, outcome, static_cast<int>(timeoutMs)))
                      << std::endl;
        }
    }
    if (rounds != 1) PrintSummary(*plan, tallies, json);
    return allAnswered ? EXIT_OK : EXIT_REFUSED;
}

}  // namespace

CliCommand cmdPoll{"poll",
                   "poll PROJECT COM1|COM2 --serial DEVICE [--rounds N] [--timeout MS] [--json]\n"
                   "                 [--write SLOT=V1,V2,...]...",
                   &CmdPoll};

}  // namespace varnel::cli
