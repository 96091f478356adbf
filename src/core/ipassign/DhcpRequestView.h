#pragma once
// Reading a received BOOTP/DHCP datagram into its record: the header fields
// the server looks at and the options it uses. Every option is read through
// the bounds-checked ByteReader, so a datagram cut short is refused, never
// read past.
#include <cstdint>
#include <span>
#include <string>

#include "core/ipassign/data9.h"

namespace varnel {

// Why a datagram got no reply (None when it got one).
enum class DhcpIgnored {
    None,
    TooShort,          // shorter than the BOOTP header
    NotARequest,       // op is not 1, e.g. another server's reply
    MalformedOptions,  // an option runs past the end of the datagram
    PlainBootp,        // no option 53
    NotAnswered,       // a type this server does not answer (DECLINE, RELEASE, INFORM, ...)
    ListedOnly,        // a DISCOVER and no offer armed for its MAC
    OtherServer,       // a REQUEST that selected another server (option 54)
    Unassigned,        // a REQUEST from a MAC without an assignment
    OwnHostName,       // the request carries this computer's host name
    ReplyTooLarge,     // not even option 53 fits the client's maximum message size
    AddressChecking,   // an OFFER held back: a newer DISCOVER waits for the same check
    AddressHeld,       // an OFFER withheld: another device holds the address
};

// Short English reason for logs ("not a request", ...).
const char* DhcpIgnoredText(DhcpIgnored reason);

// Reads a received datagram into a record: the MAC text, options 12, 50, 51,
// 53, 54, 57, 61, 82 and 118, and the maximum message size. Only the first
// 1024 bytes are kept. Returns None or the reason the datagram is unusable.
DhcpIgnored ParseRequest(std::span<const std::uint8_t> datagram, std::uint32_t sourceAddress,
                         std::uint16_t sourcePort, data9& record);

// Header fields of the record's packet.
std::uint32_t PacketU32(const data9& record, std::size_t offset);
void PutPacketU32(data9& record, std::size_t offset, std::uint32_t value);
bool BroadcastFlag(const data9& record);
// hlen, read as at most 16.
std::size_t HardwareLength(const data9& record);

// The address a REQUEST asks for: option 50, else ciaddr; 0 when neither.
std::uint32_t AskedAddress(const data9& record);

}  // namespace varnel
