#include "core/ipassign/EipFrames.h"

#include <algorithm>

#include "core/ipassign/ByteReader.h"

namespace varnel {

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// SendRRData of one attribute service on class 0xF5, instance 1, attribute 3;
// `value` is the Set request's data.
std::vector<std::uint8_t> BuildAttributeRequest(const SessionHandle& session, std::uint8_t service,
                                                std::uint8_t attribute,
                                                std::span<const std::uint8_t> value)
{
    //  0  command 0x006F        2  length          4  session handle
    //  8  status                12 sender context  20 options
    //  24 interface handle      28 timeout 0x0400  30 item count 2
    //  32 null address item     36 unconnected data item B2, length
    //  40 service               41 path size (words)
    //  42 20 F5 24 01 30 <attribute>  48 attribute value (Set only)
    const std::uint16_t cipLength = static_cast<std::uint16_t>(8 + value.size());
    std::vector<std::uint8_t> frame;
    EipHeader header;
    header.command = EIP_SEND_RR_DATA;
    header.length = static_cast<std::uint16_t>(16 + cipLength);
    header.session = session;
    AppendEipHeader(frame, header);
    Put32(frame, 0);       // interface handle
    Put16(frame, 0x0400);  // timeout
    Put16(frame, 2);       // item count
    Put16(frame, 0x0000);  // null address item
    Put16(frame, 0);       //   length 0
    Put16(frame, 0x00B2);  // unconnected data item
    Put16(frame, cipLength);
    frame.push_back(service);
    frame.push_back(3);  // path size in words
    frame.push_back(0x20);
    frame.push_back(TCPIP_CLASS);
    frame.push_back(0x24);
    frame.push_back(0x01);
    frame.push_back(0x30);
    frame.push_back(attribute);
    frame.insert(frame.end(), value.begin(), value.end());
    return frame;
}

}  // namespace

void AppendEipHeader(std::vector<std::uint8_t>& out, const EipHeader& header)
{
    Put16(out, header.command);
    Put16(out, header.length);
    out.insert(out.end(), header.session.begin(), header.session.end());
    Put32(out, header.status);
    out.insert(out.end(), header.senderContext.begin(), header.senderContext.end());
    Put32(out, header.options);
}

Message MalformedAnswerMessage()
{
    return ErrorMessage("应答格式错误");
}

Result<EipHeader> ReadEipHeader(std::span<const std::uint8_t> frame)
{
    ByteReader reader(frame);
    EipHeader header;
    std::span<const std::uint8_t> session, context;
    if (!reader.U16le(header.command) || !reader.U16le(header.length) || !reader.Take(4, session) ||
        !reader.U32le(header.status) || !reader.Take(8, context) || !reader.U32le(header.options))
        return Refusal{Code::BadAnswer, MalformedAnswerMessage()};
    std::copy(session.begin(), session.end(), header.session.begin());
    std::copy(context.begin(), context.end(), header.senderContext.begin());
    return header;
}

std::vector<std::uint8_t> BuildRegisterSession()
{
    //  0 65 00  command      2 04 00  length 4     4 session handle 0
    //  8 status 0           12 sender context 0   20 options 0
    // 24 01 00  version 1   26 00 00  option flags
    std::vector<std::uint8_t> frame;
    EipHeader header;
    header.command = EIP_REGISTER_SESSION;
    header.length = 4;
    AppendEipHeader(frame, header);
    Put16(frame, 1);
    Put16(frame, 0);
    return frame;
}

std::vector<std::uint8_t> BuildGetConfigurationControl(const SessionHandle& session)
{
    return BuildAttributeRequest(session, CIP_GET_ATTRIBUTE_SINGLE, CONFIGURATION_CONTROL, {});
}

std::vector<std::uint8_t> BuildGetInterfaceConfiguration(const SessionHandle& session)
{
    return BuildAttributeRequest(session, CIP_GET_ATTRIBUTE_SINGLE, INTERFACE_CONFIGURATION, {});
}

std::optional<InterfaceConfiguration> ReadInterfaceConfiguration(std::span<const std::uint8_t> data)
{
    // Five UDINTs (IP, mask, gateway, two name servers), little-endian, then
    // the domain name as a STRING (UINT length and characters).
    ByteReader reader(data);
    InterfaceConfiguration c;
    std::uint16_t nameLength = 0;
    std::span<const std::uint8_t> name;
    if (!reader.U32le(c.address) || !reader.U32le(c.mask) || !reader.U32le(c.gateway))
        return std::nullopt;
    if (reader.U32le(c.nameServer) && reader.U32le(c.nameServer2) && reader.U16le(nameLength) &&
        reader.Take(nameLength, name))
        c.domainName.assign(name.begin(), name.end());
    return c;
}

std::vector<std::uint8_t> BuildSetConfigurationControl(const SessionHandle& session,
                                                       std::uint32_t value)
{
    std::vector<std::uint8_t> data;
    Put32(data, value);
    return BuildAttributeRequest(session, CIP_SET_ATTRIBUTE_SINGLE, CONFIGURATION_CONTROL, data);
}

void EipFrameAssembler::Append(std::span<const std::uint8_t> bytes)
{
    buffer.insert(buffer.end(), bytes.begin(), bytes.end());
}

std::size_t EipFrameSize(std::span<const std::uint8_t> buffered)
{
    const auto header = ReadEipHeader(buffered);
    if (!header) return 0;
    const std::size_t size = EIP_HEADER_SIZE + header->length;
    return buffered.size() < size ? 0 : size;
}

std::optional<std::vector<std::uint8_t>> EipFrameAssembler::Next()
{
    const std::size_t size = EipFrameSize(buffer);
    if (size == 0) return std::nullopt;
    std::vector<std::uint8_t> frame(buffer.begin(), buffer.begin() + size);
    buffer.erase(buffer.begin(), buffer.begin() + size);
    return frame;
}

std::optional<CipReply> ReadCipReply(std::span<const std::uint8_t> frame)
{
    const auto header = ReadEipHeader(frame);
    if (!header) return std::nullopt;
    const std::size_t available = frame.size() - EIP_HEADER_SIZE;
    ByteReader reader(
        frame.subspan(EIP_HEADER_SIZE, std::min<std::size_t>(header->length, available)));
    std::uint16_t itemCount = 0;
    if (!reader.Skip(4 + 2) || !reader.U16le(itemCount))  // interface handle, timeout
        return std::nullopt;
    for (std::uint16_t i = 0; i < itemCount; ++i) {
        std::uint16_t type = 0, length = 0;
        std::span<const std::uint8_t> item;
        if (!reader.U16le(type) || !reader.U16le(length) || !reader.Take(length, item))
            return std::nullopt;
        if (type != 0x00B2) continue;
        // service, reserved, general status, additional status size (words), ...
        ByteReader cip(item);
        CipReply reply;
        std::uint8_t reserved = 0, additionalSize = 0;
        if (!cip.U8(reply.service) || !cip.U8(reserved) || !cip.U8(reply.generalStatus) ||
            !cip.U8(additionalSize))
            return std::nullopt;
        for (std::uint8_t w = 0; w < additionalSize; ++w) {
            std::uint16_t word = 0;
            if (!cip.U16le(word)) return std::nullopt;
            reply.additionalStatus.push_back(word);
        }
        std::span<const std::uint8_t> rest;
        cip.Take(cip.Remaining(), rest);
        reply.data.assign(rest.begin(), rest.end());
        return reply;
    }
    return std::nullopt;
}

std::string EncapsulationStatusText(std::uint32_t status)
{
    switch (status) {
        case 0x0000: return "Success";
        case 0x0001: return "Invalid or unsupported command";
        case 0x0002: return "Insufficient memory";
        case 0x0003: return "Incorrectly formed data";
        case 0x0064: return "Invalid session handle";
        case 0x0065: return "Invalid length";
        case 0x0069: return "Unsupported protocol version";
        default: return "Unknown encapsulation status";
    }
}

std::string CipStatusText(std::uint8_t status)
{
    static const char* const texts[] = {
        "Success",
        "Connection failure",
        "Resource unavailable",
        "Invalid parameter value",
        "Path segment error",
        "Path destination unknown",
        "Partial transfer",
        "Connection lost",
        "Service not supported",
        "Invalid attribute value",
        "Attribute list error",
        "Already in requested mode/state",
        "Object state conflict",
        "Object already exists",
        "Attribute not settable",
        "Privilege violation",
        "Device state conflict",
        "Reply data too large",
        "Fragmentation of a primitive value",
        "Not enough data",
        "Attribute not supported",
        "Too much data",
        "Object does not exist",
        "Service fragmentation sequence not in progress",
        "No stored attribute data",
        "Store operation failure",
        "Routing failure, request packet too large",
        "Routing failure, response packet too large",
        "Missing attribute list entry data",
        "Invalid attribute value list",
        "Embedded service error",
        "Vendor specific error",
        "Invalid parameter",
    };
    if (status < sizeof texts / sizeof texts[0]) return texts[status];
    return "Unknown CIP status";
}

}  // namespace varnel
