#pragma once
// What the BOOTP/DHCP server knows besides the datagram: this computer's
// name, the address and mask of the interface the request came in on, and
// the assignment list (MAC -> address, device name).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// One row of the assignment list.
struct DhcpAssignment {
    // MAC text as entered (any case); matched without regard to case.
    std::string macText;
    // Address given to that MAC (host order).
    std::uint32_t address = 0;
    // Device name, sent in option 12 (cut at the first '.').
    std::string deviceName;
    // DISCOVERs from this MAC are answered with an OFFER (an association made
    // with "添加关联"); otherwise only its REQUESTs are acknowledged.
    bool offerArmed = true;

    bool operator==(const DhcpAssignment&) const = default;
};

struct DhcpServerContext {
    // This computer's host name: copied into sname, and a request that carries
    // it as its own host name is never offered an address.
    std::string hostName;
    // Address and mask of the interface the request came in on (host order).
    std::uint32_t serverAddress = 0;
    std::uint32_t subnetMask = 0;
    std::vector<DhcpAssignment> assignments;
    // Ports replies go to: the client's (68) and a relay agent's (67).
    std::uint16_t clientPort = 68;
    std::uint16_t relayPort = 67;

    // The assignment of a MAC text, or nullptr. The last one entered wins.
    const DhcpAssignment* Find(std::string_view macText) const;
};

// The every-other rule of the request list, counted per MAC: a gateway sends
// its DISCOVER again and again, and only the 1st, 3rd, 5th ... of each MAC is
// listed, so two gateways booting together are both listed. Only the MACs
// seen last are counted: a flood from random MACs forgets the oldest, whose
// next DISCOVER is then listed as a first one.
class DhcpDiscoverCounter {
public:
    static constexpr std::size_t MAX_MACS = 4096;

    // Counts one DISCOVER of `macText`; true when it is to be listed.
    bool Count(const std::string& macText);
    // "清除": the next DISCOVER of every MAC is listed again.
    void Clear()
    {
        counts.clear();
        order.clear();
    }
    std::size_t Size() const { return counts.size(); }

private:
    std::map<std::string, std::uint32_t> counts;
    std::deque<std::string> order;  // MACs in the order first counted
};

}  // namespace varnel
