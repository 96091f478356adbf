#include "gateway/CEipResponder.h"

#include "core/ipassign/ByteReader.h"

namespace varnel {

namespace {

constexpr std::size_t MAX_REQUEST_LENGTH = 4096;

void Put16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    Put16(out, static_cast<std::uint16_t>(value));
    Put16(out, static_cast<std::uint16_t>(value >> 16));
}

// Attribute 5: five UDINTs, then the domain name as a STRING padded to even.
std::vector<std::uint8_t> InterfaceConfigurationBytes(const InterfaceConfiguration& c)
{
    std::vector<std::uint8_t> out;
    for (std::uint32_t v : {c.address, c.mask, c.gateway, c.nameServer, c.nameServer2})
        Put32(out, v);
    Put16(out, static_cast<std::uint16_t>(c.domainName.size()));
    out.insert(out.end(), c.domainName.begin(), c.domainName.end());
    if (c.domainName.size() % 2 != 0) out.push_back(0);
    return out;
}

// A reply header echoing the request's command, session and sender context.
std::vector<std::uint8_t> ReplyHeader(const EipHeader& request, std::uint32_t status,
                                      std::size_t length)
{
    EipHeader header = request;
    header.status = status;
    header.length = static_cast<std::uint16_t>(length);
    header.options = 0;
    std::vector<std::uint8_t> out;
    AppendEipHeader(out, header);
    return out;
}

// The 24-byte reply of an encapsulation error: no data.
std::vector<std::uint8_t> EncapsulationError(const EipHeader& request, std::uint32_t status)
{
    return ReplyHeader(request, status, 0);
}

// SendRRData reply carrying one CIP reply:
//  24 interface handle  28 timeout  30 item count 2  32 null address item
//  36 B2 00 length      40 service|0x80  41 reserved  42 general status
//  43 additional status size 0  44 data
std::vector<std::uint8_t> CipReplyFrame(const EipHeader& request, std::uint8_t service,
                                        std::uint8_t status,
                                        std::span<const std::uint8_t> data = {})
{
    const std::uint16_t itemLength = static_cast<std::uint16_t>(4 + data.size());
    auto out = ReplyHeader(request, EIP_STATUS_SUCCESS, 16 + itemLength);
    for (int i = 0; i < 6; ++i) out.push_back(0);  // interface handle, timeout
    Put16(out, 2);
    Put16(out, 0x0000);
    Put16(out, 0);
    Put16(out, 0x00B2);
    Put16(out, itemLength);
    out.push_back(static_cast<std::uint8_t>(service | CIP_REPLY));
    out.push_back(0);
    out.push_back(status);
    out.push_back(0);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// One logical segment of an EPATH: 8-bit (type, value) or 16-bit (type, pad, value).
bool ReadSegment(ByteReader& path, std::uint8_t type8, std::uint16_t& value)
{
    std::uint8_t type = 0;
    if (!path.U8(type)) return false;
    if (type == type8) {
        std::uint8_t v = 0;
        if (!path.U8(v)) return false;
        value = v;
        return true;
    }
    std::uint8_t pad = 0;
    return type == type8 + 1 && path.U8(pad) && path.U16le(value);
}

}  // namespace

std::vector<std::uint8_t> CEipResponder::OnBytes(std::span<const std::uint8_t> bytes)
{
    std::vector<std::uint8_t> out;
    if (closeRequested) return out;
    assembler.Append(bytes);
    for (;;) {
        const auto header = assembler.PeekHeader();
        if (header && header->length > MAX_REQUEST_LENGTH) {
            // A length no request of this gateway has: refuse it rather than wait for it.
            auto reply = EncapsulationError(*header, EIP_STATUS_INVALID_LENGTH);
            out.insert(out.end(), reply.begin(), reply.end());
            assembler.Clear();
            closeRequested = true;
            break;
        }
        auto frame = assembler.Next();
        if (!frame) break;
        auto reply = Answer(*frame);
        out.insert(out.end(), reply.begin(), reply.end());
        if (closeRequested) break;
    }
    return out;
}

std::vector<std::uint8_t> CEipResponder::Answer(const std::vector<std::uint8_t>& frame)
{
    // The assembler hands out whole frames only: the header is there.
    const EipHeader header = *ReadEipHeader(frame);
    const auto body = std::span(frame).subspan(EIP_HEADER_SIZE);

    switch (header.command) {
        case EIP_NOP: return {};

        case EIP_REGISTER_SESSION: {
            ByteReader reader(body);
            std::uint16_t version = 0, flags = 0;
            if (header.length != 4 || !reader.U16le(version) || !reader.U16le(flags))
                return EncapsulationError(header, EIP_STATUS_INVALID_LENGTH);
            if (version != 1 || flags != 0) {
                auto out = ReplyHeader(header, EIP_STATUS_UNSUPPORTED_PROTOCOL, 4);
                Put16(out, 1);
                Put16(out, 0);
                return out;
            }
            if (registered) return EncapsulationError(header, EIP_STATUS_INVALID_COMMAND);
            std::uint32_t handle = gateway.nextSessionHandle++;
            if (handle == 0) handle = gateway.nextSessionHandle++;
            for (int i = 0; i < 4; ++i) session[i] = static_cast<std::uint8_t>(handle >> (8 * i));
            registered = true;
            EipHeader replyHeader = header;
            replyHeader.session = session;
            auto out = ReplyHeader(replyHeader, EIP_STATUS_SUCCESS, 4);
            Put16(out, 1);
            Put16(out, 0);
            return out;
        }

        case EIP_UNREGISTER_SESSION:
            if (registered && header.session == session)
                closeRequested = true;
            else
                return EncapsulationError(header, EIP_STATUS_INVALID_SESSION);
            return {};

        case EIP_SEND_RR_DATA: {
            if (!registered || header.session != session)
                return EncapsulationError(header, EIP_STATUS_INVALID_SESSION);
            // interface handle, timeout, item count 2, null address item, unconnected data item
            ByteReader reader(body);
            std::uint32_t interfaceHandle = 0;
            std::uint16_t timeout = 0, count = 0, nullType = 0, nullLength = 0, dataType = 0,
                          dataLength = 0;
            std::span<const std::uint8_t> cip;
            if (!reader.U32le(interfaceHandle) || !reader.U16le(timeout) || !reader.U16le(count) ||
                count != 2 || !reader.U16le(nullType) || !reader.U16le(nullLength) ||
                nullType != 0x0000 || nullLength != 0 || !reader.U16le(dataType) ||
                !reader.U16le(dataLength) || dataType != 0x00B2 || !reader.Take(dataLength, cip) ||
                reader.Remaining() != 0)
                return EncapsulationError(header, EIP_STATUS_INCORRECT_DATA);
            return AnswerCip(header, cip);
        }

        default: return EncapsulationError(header, EIP_STATUS_INVALID_COMMAND);
    }
}

std::vector<std::uint8_t> CEipResponder::AnswerCip(const EipHeader& header,
                                                   std::span<const std::uint8_t> cip)
{
    ByteReader reader(cip);
    std::uint8_t service = 0, pathWords = 0;
    if (!reader.U8(service)) return EncapsulationError(header, EIP_STATUS_INCORRECT_DATA);
    std::span<const std::uint8_t> pathBytes;
    if (!reader.U8(pathWords) || !reader.Take(2u * pathWords, pathBytes))
        return CipReplyFrame(header, service, CIP_PATH_SEGMENT_ERROR);
    std::span<const std::uint8_t> data;
    reader.Take(reader.Remaining(), data);

    ByteReader path(pathBytes);
    std::uint16_t classId = 0, instance = 0, attribute = 0;
    if (!ReadSegment(path, 0x20, classId) || !ReadSegment(path, 0x24, instance))
        return CipReplyFrame(header, service, CIP_PATH_SEGMENT_ERROR);
    const bool hasAttribute = path.Remaining() > 0;
    if (hasAttribute && (!ReadSegment(path, 0x30, attribute) || path.Remaining() != 0))
        return CipReplyFrame(header, service, CIP_PATH_SEGMENT_ERROR);
    if (classId != TCPIP_CLASS || instance != 1)
        return CipReplyFrame(header, service, CIP_PATH_DESTINATION_UNKNOWN);
    if (service != CIP_GET_ATTRIBUTE_SINGLE && service != CIP_SET_ATTRIBUTE_SINGLE)
        return CipReplyFrame(header, service, CIP_SERVICE_NOT_SUPPORTED);
    if (!hasAttribute) return CipReplyFrame(header, service, CIP_PATH_SEGMENT_ERROR);

    if (service == CIP_GET_ATTRIBUTE_SINGLE) {
        if (attribute == INTERFACE_CONFIGURATION && gateway.hasInterfaceConfiguration)
            return CipReplyFrame(header, service, CIP_SUCCESS,
                                 InterfaceConfigurationBytes(gateway.interfaceConfiguration));
        if (attribute != CONFIGURATION_CONTROL)
            return CipReplyFrame(header, service, CIP_ATTRIBUTE_NOT_SUPPORTED);
        std::vector<std::uint8_t> value;
        Put32(value, gateway.configurationControl);
        return CipReplyFrame(header, service, CIP_SUCCESS, value);
    }
    // Attributes 1 (status), 2 (capability) and 4 (physical link) can only be read.
    if (attribute == 1 || attribute == 2 || attribute == 4 ||
        (attribute == CONFIGURATION_CONTROL && !gateway.configurationSettable))
        return CipReplyFrame(header, service, CIP_ATTRIBUTE_NOT_SETTABLE);
    if (attribute != CONFIGURATION_CONTROL)
        return CipReplyFrame(header, service, CIP_ATTRIBUTE_NOT_SUPPORTED);
    if (data.size() < 4) return CipReplyFrame(header, service, CIP_NOT_ENOUGH_DATA);
    if (data.size() > 4) return CipReplyFrame(header, service, CIP_TOO_MUCH_DATA);
    ByteReader valueReader(data);
    std::uint32_t value = 0;
    valueReader.U32le(value);
    // Startup configuration 0 (stored), 1 (BOOTP) or 2 (DHCP), and the DNS bit.
    if ((value & ~0x1Fu) != 0 || (value & 0x0F) > 2)
        return CipReplyFrame(header, service, CIP_INVALID_ATTRIBUTE_VALUE);
    gateway.configurationControl = value;
    return CipReplyFrame(header, service, CIP_SUCCESS);
}

}  // namespace varnel
