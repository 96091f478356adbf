#pragma once
// The gateway's side of the device protocol, without I/O, for the simulator:
// takes configuration pieces and joins them, restarts into the configuration
// last downloaded when it holds together, clears on request. Each request
// gives the answer to send and a line saying what happened.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/image/ImageDecoder.h"
#include "core/model/CModule.h"

namespace varnel {

class GatewayDevice {
public:
    struct Reply {
        Bytes answer;          // the answer to send (empty: none)
        bool restart = false;  // drop the connection and restart
        std::string event;     // one line for the log
    };

    // A new connection: its first piece starts a new download. What was
    // downloaded before stays stored until then, so a restart on a later
    // connection still takes it.
    void OnConnection();
    // One request as it came in one read.
    Reply OnRequest(const std::uint8_t* bytes, std::size_t size);
    // The restart itself: the downloaded image, when it decodes, becomes the
    // running configuration. Returns the log line.
    std::string Restart();

    // `failAnswers` makes every answer a failure (status C0).
    void SetFailAnswers(bool fail) { failAnswers = fail; }

    // The bytes of the last download, joined in arrival order.
    const Bytes& Downloaded() const { return downloaded; }
    // Data sizes of the pieces of the last download.
    const std::vector<std::size_t>& Pieces() const { return pieces; }
    // The configuration the gateway runs (empty when cleared or never set).
    const Bytes& Running() const { return running; }
    int Restarts() const { return restarts; }
    int Clears() const { return clears; }

private:
    Bytes downloaded;
    std::vector<std::size_t> pieces;
    Bytes running;
    bool newDownload = true;
    bool failAnswers = false;
    int restarts = 0;
    int clears = 0;
};

}  // namespace varnel
