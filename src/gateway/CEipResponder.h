#pragma once
// The gateway's side of the DHCP switch, without I/O: one responder per TCP
// connection turns the request bytes into reply bytes. It answers
// RegisterSession, and SendRRData carrying Get/Set_Attribute_Single of the
// TCP/IP Interface object's Configuration Control (class 0xF5, instance 1,
// attribute 3) and Get of its Interface Configuration (attribute 5); anything else gets the CIP or
// encapsulation error status a real adapter would give.
#include <cstdint>
#include <span>
#include <vector>

#include "core/ipassign/EipFrames.h"

namespace varnel {

// What all connections of one gateway share.
struct EipGatewayState {
    // Configuration Control: 0 stored address, 2 DHCP.
    std::uint32_t configurationControl = CONFIG_STATIC;
    // False for a gateway that refuses to change it (answers 0x0E).
    bool configurationSettable = true;
    // Interface Configuration (attribute 5): what the gateway uses at its
    // next power-up; a gateway without it answers its Get with 0x14.
    InterfaceConfiguration interfaceConfiguration{0xC0A80A14, 0xFFFFFF00, 0xC0A80A01, 0, 0, {}};
    bool hasInterfaceConfiguration = true;
    // Handle given to the next registered session (never 0).
    std::uint32_t nextSessionHandle = 0x00010001;
};

class CEipResponder {
public:
    explicit CEipResponder(EipGatewayState& gateway) : gateway(gateway) {}

    // Bytes received on the connection; returns the reply bytes (possibly
    // several frames, possibly none while a frame is incomplete).
    std::vector<std::uint8_t> OnBytes(std::span<const std::uint8_t> bytes);
    // True after UnRegisterSession: the connection is to be closed.
    bool WantsClose() const { return closeRequested; }

private:
    std::vector<std::uint8_t> Answer(const std::vector<std::uint8_t>& frame);
    std::vector<std::uint8_t> AnswerCip(const EipHeader& header, std::span<const std::uint8_t> cip);

    EipGatewayState& gateway;
    EipFrameAssembler assembler;
    SessionHandle session{};
    bool registered = false;
    bool closeRequested = false;
};

}  // namespace varnel
