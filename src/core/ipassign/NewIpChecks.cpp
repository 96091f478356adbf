#include "core/ipassign/NewIpChecks.h"

#include <cctype>

#include "core/util/Ipv4.h"

namespace varnel {

namespace {
constexpr std::size_t MAX_TEXT_BYTES = 250;
}

bool IsValidMacText(std::string_view text)
{
    if (text.size() != 17)
        return false;
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool colonPlace = i % 3 == 2;
        if ((text[i] == ':') != colonPlace)
            return false;
        if (!colonPlace)
            digits += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    }
    if (digits.size() != 12 || digits == "000000000000" || digits == "FFFFFFFFFFFF")
        return false;
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

LegacyRefusal CheckNewIp(const NewIpEntry& entry)
{
    if (!IsValidMacText(entry.macText))
        return ErrorMessage("MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F");
    const auto address = ParseIpv4(entry.ipText);
    const std::uint32_t first = address ? *address >> 24 : 0;
    if (first < 1 || first > 223)
        return ErrorMessage("IP设置错误");
    if (entry.deviceName.size() > MAX_TEXT_BYTES)
        return ErrorMessage("设备名称最多200个字符");
    if (entry.description.size() > MAX_TEXT_BYTES)
        return ErrorMessage("设备描述最多200个字符");
    return std::nullopt;
}

}  // namespace varnel
