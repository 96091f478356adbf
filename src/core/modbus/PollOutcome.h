#pragma once
// What one Modbus request brought back, the line that reports it, and how
// its data meet the port's EtherNet/IP data: read answers laid into the
// input data as the gateway lays them, write values taken from the output
// data or from the command line.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/modbus/PollPlan.h"
#include "core/util/Result.h"

namespace varnel {

enum class PollStatus {
    Values,        // a read answered: `values` holds registers or coils (0/1)
    Written,       // a write answered: `values` holds what was written
    Skipped,       // a write with no value to send: nothing was sent
    Exception,     // the slave answered with exception `exception`
    Timeout,       // no answer within the time-out
    CrcError,      // an answer whose CRC does not match
    FramingError,  // an answer that is not one for this request
};

struct PollOutcome {
    PollStatus status = PollStatus::Timeout;
    std::vector<std::uint16_t> values;
    int exception = 0;
    std::string detail;  // what was wrong with a framing error
};

// The name of a Modbus exception code ("illegal data address"), or
// "unknown exception" for a code without one.
std::string_view ExceptionName(int code);

// One line per request: slot, label, slave, start, quantity, the EtherNet/IP
// bytes and the outcome.
std::string FormatPollLine(const PollRequest& request, const PollOutcome& outcome, int timeoutMs);
// The same as one JSON object on one line.
std::string FormatPollJson(const PollRequest& request, const PollOutcome& outcome, int timeoutMs);
// The outcome alone, short: "ok", "exception 02 illegal data address",
// "time-out", "CRC error", "framing error", "skipped".
std::string ShortOutcome(const PollOutcome& outcome);

// The values of `--write SLOT=V1,V2,...`: exactly `quantity` numbers
// (decimal or 0x hex), 0/1 for coils, 0..65535 for registers; BadValue
// otherwise.
Result<std::vector<std::uint16_t>> ParseWriteValues(const PollRequest& request,
                                                    std::string_view text);

// The bytes a read answer puts into the input data at the request's range:
// registers high byte first, coils packed with coil 0 in bit 0 of the
// first byte, as in the Modbus answer.
Bytes AnswerBytes(const PollRequest& request, const std::vector<std::uint16_t>& values);
// Lays a read answer into `input` at the request's range (grown as needed).
void PlaceAnswer(const PollRequest& request, const std::vector<std::uint16_t>& values,
                 Bytes& input);
// The values a write request sends, taken from its range of `output`
// (bytes past the end count as 0).
std::vector<std::uint16_t> WriteValuesFrom(const PollRequest& request, const Bytes& output);

// Counts of one request's outcomes over several rounds.
struct PollTally {
    int answered = 0;
    int exceptions = 0;
    int timeouts = 0;
    int errors = 0;  // CRC and framing errors
    int skipped = 0;

    void Add(const PollOutcome& outcome);
};
// "slot 3 读4区 03H slave 1: 10 answered, 0 exceptions, 0 time-outs, 0 errors"
std::string FormatTally(const PollRequest& request, const PollTally& tally);

}  // namespace varnel
