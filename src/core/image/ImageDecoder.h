#pragma once
// Reading a configuration image back: the inverse of BuildImage. Checks the
// length fields and the checksum, splits each port's parameter bytes into
// the serial parameters, the commands and the slave-status table, and says
// exactly what is wrong with an image that does not hold together. Support
// engineers read downloaded images with it; the gateway simulator checks
// what it receives with it.
#include <cstdint>
#include <string>
#include <vector>

#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel {

struct DecodedPort {
    Port port = Port::COM1;
    std::uint16_t parameterLength = 0;
    Bytes serialPrm;                // the 6 serial parameter bytes (COMPRM)
    std::vector<CModule> commands;  // the command modules, rebuilt in slot order
    CModule statusTable;            // empty module when none is monitored
    std::uint16_t inputLast = 0;    // recorded (S_in - 1) mod 65536
    std::uint16_t outputLast = 0;   // recorded (S_out - 1) mod 65536

    // The port's modules in slot order: STATE, CONTROL, COMPRM, the commands,
    // the status table when there is one.
    std::vector<CModule> Modules() const;
};

struct DecodedImage {
    std::size_t size = 0;
    std::uint8_t comFlags = 0;
    std::vector<DecodedPort> ports;  // in image order (COM1 before COM2)
    std::uint16_t inputTotal = 0;
    std::uint16_t outputTotal = 0;
    std::uint16_t checksum = 0;
    // Every problem found, one sentence each; empty for a sound image.
    std::vector<std::string> problems;

    bool Valid() const { return problems.empty(); }
};

// Decodes `image`. Structure that cannot be read (a length running past the
// end, say) stops the decoding; content problems are collected.
DecodedImage DecodeImage(const Bytes& image);

// The gate before every download: an image the decoder finds a problem in
// is refused (ImageRefused) with the decoder's first sentence, since the
// gateway would refuse it too.
Status CheckImage(const Bytes& image);

// The configuration an image holds, as readable lines (ASCII keys, the
// system's module names), ending with the problems when there are any.
std::string DescribeImage(const DecodedImage& decoded);

}  // namespace varnel
