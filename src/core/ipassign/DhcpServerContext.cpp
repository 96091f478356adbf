#include "core/ipassign/DhcpServerContext.h"

#include <cctype>

namespace varnel {

namespace {
bool SameMac(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
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
