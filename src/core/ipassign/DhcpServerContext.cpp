#include "core/ipassign/DhcpServerContext.h"

namespace varnel {

namespace {
char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compared from the end: the MACs of one list mostly share their first bytes
// (one maker), so a mismatch shows in the first character or two.
bool SameMac(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = a.size(); i-- > 0;)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}
}  // namespace

const DhcpAssignment* DhcpServerContext::Find(std::string_view macText) const
{
    if (macText.empty()) return nullptr;
    for (auto it = assignments.rbegin(); it != assignments.rend(); ++it)
        if (SameMac(it->macText, macText)) return &*it;
    return nullptr;
}

bool DhcpDiscoverCounter::Count(const std::string& macText)
{
    auto [it, added] = counts.try_emplace(macText, 0);
    if (added) {
        order.push_back(macText);
        if (order.size() > MAX_MACS) {
            counts.erase(order.front());
            order.pop_front();
        }
    }
    std::uint32_t& count = it->second;
    const bool listed = count % 2 == 0;
    ++count;
    return listed;
}

}  // namespace varnel
