#pragma once
// EtherNet/IP explicit messages that switch a gateway's DHCP client: the
// RegisterSession request and the Get/Set_Attribute_Single requests of the
// TCP/IP Interface object (class 0xF5, instance 1, attribute 3, Configuration
// Control), and the bounds-checked reading of their replies. Encapsulation
// fields are little-endian.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/util/Result.h"

namespace varnel {

constexpr std::uint16_t EIP_PORT = 44818;
constexpr std::size_t EIP_HEADER_SIZE = 24;

enum EipCommand : std::uint16_t {
    EIP_NOP = 0x0000,
    EIP_LIST_IDENTITY = 0x0063,
    EIP_REGISTER_SESSION = 0x0065,
    EIP_UNREGISTER_SESSION = 0x0066,
    EIP_SEND_RR_DATA = 0x006F,
};

// Encapsulation status codes.
enum EipStatus : std::uint32_t {
    EIP_STATUS_SUCCESS = 0x0000,
    EIP_STATUS_INVALID_COMMAND = 0x0001,
    EIP_STATUS_INCORRECT_DATA = 0x0003,
    EIP_STATUS_INVALID_SESSION = 0x0064,
    EIP_STATUS_INVALID_LENGTH = 0x0065,
    EIP_STATUS_UNSUPPORTED_PROTOCOL = 0x0069,
};

// CIP services and general status codes used here.
enum CipService : std::uint8_t {
    CIP_GET_ATTRIBUTE_SINGLE = 0x0E,
    CIP_SET_ATTRIBUTE_SINGLE = 0x10,
    CIP_REPLY = 0x80,
};
enum CipStatus : std::uint8_t {
    CIP_SUCCESS = 0x00,
    CIP_PATH_SEGMENT_ERROR = 0x04,
    CIP_PATH_DESTINATION_UNKNOWN = 0x05,
    CIP_SERVICE_NOT_SUPPORTED = 0x08,
    CIP_INVALID_ATTRIBUTE_VALUE = 0x09,
    CIP_ATTRIBUTE_NOT_SETTABLE = 0x0E,
    CIP_NOT_ENOUGH_DATA = 0x13,
    CIP_ATTRIBUTE_NOT_SUPPORTED = 0x14,
    CIP_TOO_MUCH_DATA = 0x15,
};

constexpr std::uint8_t TCPIP_CLASS = 0xF5;
constexpr std::uint8_t CONFIGURATION_CONTROL = 3;
// The address, mask and gateway the gateway uses at its next power-up.
constexpr std::uint8_t INTERFACE_CONFIGURATION = 5;
// Configuration Control values: the address from the stored configuration, or by DHCP.
constexpr std::uint32_t CONFIG_STATIC = 0;
constexpr std::uint32_t CONFIG_DHCP = 2;

using SessionHandle = std::array<std::uint8_t, 4>;

// The 28-byte RegisterSession request (protocol version 1).
std::vector<std::uint8_t> BuildRegisterSession();
// The 48-byte SendRRData request carrying Get_Attribute_Single of attribute 3.
std::vector<std::uint8_t> BuildGetConfigurationControl(const SessionHandle& session);
// The 52-byte SendRRData request carrying Set_Attribute_Single of attribute 3.
std::vector<std::uint8_t> BuildSetConfigurationControl(const SessionHandle& session,
                                                       std::uint32_t value);

// The 48-byte SendRRData request carrying Get_Attribute_Single of attribute 5.
std::vector<std::uint8_t> BuildGetInterfaceConfiguration(const SessionHandle& session);

// Attribute 5, Interface Configuration (addresses in host order).
struct InterfaceConfiguration {
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    std::uint32_t gateway = 0;
    std::uint32_t nameServer = 0;
    std::uint32_t nameServer2 = 0;
    std::string domainName;
    bool operator==(const InterfaceConfiguration&) const = default;
};
// Reads attribute 5's value: its addresses are CIP UDINTs, little-endian on
// the wire. Needs at least address, mask and gateway; nullopt otherwise.
std::optional<InterfaceConfiguration> ReadInterfaceConfiguration(
    std::span<const std::uint8_t> data);

// The fixed 24-byte encapsulation header.
struct EipHeader {
    std::uint16_t command = 0;
    std::uint16_t length = 0;
    SessionHandle session{};
    std::uint32_t status = 0;
    std::array<std::uint8_t, 8> senderContext{};
    std::uint32_t options = 0;
};

// The answer text of a frame that is not what the protocol says.
Message MalformedAnswerMessage();

// Reads the header at the start of `frame`; refuses fewer than 24 bytes with
// Code::BadAnswer.
Result<EipHeader> ReadEipHeader(std::span<const std::uint8_t> frame);
// Writes a header (little-endian) at the end of `out`.
void AppendEipHeader(std::vector<std::uint8_t>& out, const EipHeader& header);

// The framing of an EtherNet/IP TCP stream: the size of the first whole
// frame in `buffered` (24 + its length field), 0 while it is incomplete.
std::size_t EipFrameSize(std::span<const std::uint8_t> buffered);

// Collects bytes from a stream and hands out whole frames (EipFrameSize).
class EipFrameAssembler {
public:
    void Append(std::span<const std::uint8_t> bytes);
    // The next whole frame, removed from the buffer; nullopt while incomplete.
    std::optional<std::vector<std::uint8_t>> Next();
    // The header of the frame being collected, once its 24 bytes are in.
    Result<EipHeader> PeekHeader() const { return ReadEipHeader(buffer); }
    void Clear() { buffer.clear(); }
    std::size_t Buffered() const { return buffer.size(); }

private:
    std::vector<std::uint8_t> buffer;
};

// The CIP reply carried in a SendRRData reply's unconnected data item.
struct CipReply {
    std::uint8_t service = 0;
    std::uint8_t generalStatus = 0;
    std::vector<std::uint16_t> additionalStatus;
    std::vector<std::uint8_t> data;
};

// Reads the CIP reply from a whole SendRRData frame (header included): the
// common packet format items are walked by their lengths; nullopt when the
// frame is cut short or has no unconnected data item.
std::optional<CipReply> ReadCipReply(std::span<const std::uint8_t> frame);

// The status in words: "Invalid session handle", "Attribute not settable", ...
std::string EncapsulationStatusText(std::uint32_t status);
std::string CipStatusText(std::uint8_t status);

}  // namespace varnel
