#include "core/modbus/PollOutcome.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

namespace varnel {

std::string_view ExceptionName(int code)
{
    switch (code) {
        case 0x01: return "illegal function";
        case 0x02: return "illegal data address";
        case 0x03: return "illegal data value";
        case 0x04: return "slave device failure";
        case 0x05: return "acknowledge";
        case 0x06: return "slave device busy";
        case 0x08: return "memory parity error";
        case 0x0A: return "gateway path unavailable";
        case 0x0B: return "gateway target failed to respond";
        default: return "unknown exception";
    }
}

namespace {
std::string Hex2(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

std::string ValueText(const PollRequest& request, std::uint16_t value)
{
    if (!request.isRegister) return std::to_string(value);
    char text[24];
    std::snprintf(text, sizeof text, "%u (0x%04X)", static_cast<unsigned>(value),
                  static_cast<unsigned>(value));
    return text;
}

std::string Values(const PollRequest& request, const std::vector<std::uint16_t>& values)
{
    std::string out;
    for (std::uint16_t v : values) out += (out.empty() ? "" : " ") + ValueText(request, v);
    return out;
}

std::string RangeText(const PollRequest& r)
{
    if (!r.hasRange) return "no EtherNet/IP data";
    return std::string(r.isWrite ? "eipOUT " : "eipIN ") + std::to_string(r.first) + ".." +
           std::to_string(r.last);
}
}  // namespace

std::string ShortOutcome(const PollOutcome& o)
{
    switch (o.status) {
        case PollStatus::Values:
        case PollStatus::Written: return "ok";
        case PollStatus::Skipped: return "skipped";
        case PollStatus::Exception:
            return "exception " + Hex2(o.exception) + " " + std::string(ExceptionName(o.exception));
        case PollStatus::Timeout: return "time-out";
        case PollStatus::CrcError: return "CRC error";
        case PollStatus::FramingError: return "framing error";
    }
    return "framing error";
}

std::string FormatPollLine(const PollRequest& r, const PollOutcome& o, int timeoutMs)
{
    std::string line = "slot " + std::to_string(r.slot) + " " + r.label + " slave " +
                       std::to_string(r.slave) + " start " + std::to_string(r.start) + " qty " +
                       std::to_string(r.quantity) + " [" + RangeText(r) + "]: ";
    switch (o.status) {
        case PollStatus::Values: return line + Values(r, o.values);
        case PollStatus::Written: return line + "written " + Values(r, o.values);
        case PollStatus::Skipped: return line + "skipped (no --write value)";
        case PollStatus::Timeout: return line + "no answer in " + std::to_string(timeoutMs) + " ms";
        case PollStatus::FramingError: return line + "framing error: " + o.detail;
        case PollStatus::Exception:
        case PollStatus::CrcError: return line + ShortOutcome(o);
    }
    return line + ShortOutcome(o);
}

std::string FormatPollJson(const PollRequest& r, const PollOutcome& o, int timeoutMs)
{
    nlohmann::json j;
    j["slot"] = r.slot;
    j["label"] = r.label;
    j["slave"] = r.slave;
    j["function"] = r.function;
    j["start"] = r.start;
    j["quantity"] = r.quantity;
    if (r.hasRange)
        j["eip"] = {{"data", r.isWrite ? "output" : "input"}, {"first", r.first}, {"last", r.last}};
    j["result"] = ShortOutcome(o);
    if (o.status == PollStatus::Values || o.status == PollStatus::Written) j["values"] = o.values;
    if (o.status == PollStatus::Exception) j["exception"] = o.exception;
    if (o.status == PollStatus::Timeout) j["timeout_ms"] = timeoutMs;
    if (o.status == PollStatus::FramingError) j["detail"] = o.detail;
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

Result<std::vector<std::uint16_t>> ParseWriteValues(const PollRequest& r, std::string_view text)
{
    std::vector<std::uint16_t> values;
    const long max = r.isRegister ? 0xFFFF : 1;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t comma = std::min(text.find(',', pos), text.size());
        const std::string item(text.substr(pos, comma - pos));
        const bool hex = item.size() > 2 && item[0] == '0' && (item[1] == 'x' || item[1] == 'X');
        char* end = nullptr;
        const long v =
            item.empty() ? -1 : std::strtol(item.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
        if (item.empty() || *end != '\0' || v < 0 || v > max)
            return Refuse(Code::BadValue, "slot " + std::to_string(r.slot) + ": bad value '" +
                                              item + "' (" +
                                              (r.isRegister ? "0..65535" : "0 or 1") + ")");
        values.push_back(static_cast<std::uint16_t>(v));
        pos = comma + 1;
    }
    if (values.size() != r.quantity)
        return Refuse(Code::BadValue, "slot " + std::to_string(r.slot) + " writes " +
                                          std::to_string(r.quantity) + " value(s), " +
                                          std::to_string(values.size()) + " given");
    return values;
}

Bytes AnswerBytes(const PollRequest& r, const std::vector<std::uint16_t>& values)
{
    Bytes bytes;
    if (r.isRegister) {
        for (std::uint16_t v : values) {
            bytes.push_back(static_cast<std::uint8_t>(v >> 8));
            bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
        }
        return bytes;
    }
    bytes.assign((values.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < values.size(); ++i)
        if (values[i] != 0)
            bytes[i / 8] = static_cast<std::uint8_t>(bytes[i / 8] | (1u << (i % 8)));
    return bytes;
}

void PlaceAnswer(const PollRequest& r, const std::vector<std::uint16_t>& values, Bytes& input)
{
    if (!r.hasRange || r.first < 0) return;
    const Bytes bytes = AnswerBytes(r, values);
    const auto first = static_cast<std::size_t>(r.first);
    const std::size_t span = std::min(bytes.size(), static_cast<std::size_t>(r.last - r.first + 1));
    if (input.size() < first + span) input.resize(first + span, 0);
    std::copy_n(bytes.begin(), span, input.begin() + static_cast<std::ptrdiff_t>(first));
}

std::vector<std::uint16_t> WriteValuesFrom(const PollRequest& r, const Bytes& output)
{
    auto at = [&](std::size_t i) -> unsigned { return i < output.size() ? output[i] : 0u; };
    const auto first = static_cast<std::size_t>(r.hasRange && r.first > 0 ? r.first : 0);
    std::vector<std::uint16_t> values;
    for (std::size_t i = 0; i < r.quantity; ++i) {
        if (r.isRegister)
            values.push_back(
                static_cast<std::uint16_t>(at(first + 2 * i) << 8 | at(first + 2 * i + 1)));
        else
            values.push_back(static_cast<std::uint16_t>((at(first + i / 8) >> (i % 8)) & 1u));
    }
    return values;
}

void PollTally::Add(const PollOutcome& o)
{
    switch (o.status) {
        case PollStatus::Values:
        case PollStatus::Written: ++answered; break;
        case PollStatus::Skipped: ++skipped; break;
        case PollStatus::Exception: ++exceptions; break;
        case PollStatus::Timeout: ++timeouts; break;
        case PollStatus::CrcError:
        case PollStatus::FramingError: ++errors; break;
    }
}

std::string FormatTally(const PollRequest& r, const PollTally& t)
{
    std::string line = "slot " + std::to_string(r.slot) + " " + r.label + " slave " +
                       std::to_string(r.slave) + ": " + std::to_string(t.answered) + " answered, " +
                       std::to_string(t.exceptions) + " exceptions, " + std::to_string(t.timeouts) +
                       " time-outs, " + std::to_string(t.errors) + " errors";
    if (t.skipped > 0) line += ", " + std::to_string(t.skipped) + " skipped";
    return line;
}

}  // namespace varnel
