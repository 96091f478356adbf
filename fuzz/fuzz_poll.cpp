// varnelctl poll's side of a Modbus exchange, fed any request and any text:
// the values of `--write SLOT=V1,V2,...` are accepted only as exactly
// `quantity` numbers in the request's range, and the answer's values laid
// into the EtherNet/IP data at the request's range are the values a write of
// the same range takes back out (registers high byte first, coils packed bit
// by bit), so what poll shows and what it sends agree with the gateway's data.
// The serial frames themselves are decoded by libmodbus.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/modbus/PollOutcome.h"

using namespace varnel;

namespace {

#define Check(condition) ((condition) ? void() : std::abort())

constexpr std::uint8_t FUNCTIONS[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0F, 0x10};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4) return 0;
    PollRequest request;
    request.slot = 1 + data[0] % 54;
    request.function = FUNCTIONS[data[1] % std::size(FUNCTIONS)];
    request.isRegister = request.function == 0x03 || request.function == 0x04 ||
                         request.function == 0x06 || request.function == 0x10;
    request.isWrite = request.function >= 0x05;
    const unsigned most = request.isRegister ? 125 : 2000;
    request.quantity = static_cast<std::uint16_t>(1 + (data[2] | data[3] << 8) % most);
    if (request.function == 0x05 || request.function == 0x06) request.quantity = 1;
    request.hasRange = true;
    request.first = data[0] >> 1;
    const std::size_t bytes =
        request.isRegister ? 2u * request.quantity : (request.quantity + 7u) / 8u;
    request.last = request.first + static_cast<std::int32_t>(bytes) - 1;

    const std::string_view text(reinterpret_cast<const char*>(data) + 4, size - 4);
    const auto parsed = ParseWriteValues(request, text);
    if (!parsed) {
        Check(!parsed.message().text.empty());
        return 0;
    }
    const std::vector<std::uint16_t>& values = *parsed;
    Check(values.size() == request.quantity);
    for (std::uint16_t v : values) Check(request.isRegister || v <= 1);

    Check(AnswerBytes(request, values).size() == bytes);
    Bytes eip = {0xEE};  // a byte before the range stays as it was
    PlaceAnswer(request, values, eip);
    Check(eip.size() == std::max<std::size_t>(1, static_cast<std::size_t>(request.last) + 1));
    if (request.first > 0) Check(eip[0] == 0xEE);
    Check(WriteValuesFrom(request, eip) == values);
    return 0;
}
