#include "core/ipassign/data9.h"

namespace varnel {

std::string DhcpTypeName(std::uint8_t type)
{
    switch (type) {
        case DHCP_NONE: return "BOOTP";
        case DHCPDISCOVER: return "DISCOVER";
        case DHCPOFFER: return "OFFER";
        case DHCPREQUEST: return "REQUEST";
        case DHCPDECLINE: return "DECLINE";
        case DHCPACK: return "ACK";
        case DHCPNAK: return "NAK";
        case DHCPRELEASE: return "RELEASE";
        case DHCPINFORM: return "INFORM";
        default: return "TYPE" + std::to_string(type);
    }
}

}  // namespace varnel
