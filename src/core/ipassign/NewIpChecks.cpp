#include "core/ipassign/NewIpChecks.h"

#include <cctype>

#include "core/project/TextCodec.h"
#include "core/util/Ipv4.h"

namespace varnel {

namespace {

constexpr std::size_t MAX_TEXT_BYTES = 250;

bool OverLimit(const std::string& utf8)
{
    return TextCodec::Utf8ToGbk(utf8).size() > MAX_TEXT_BYTES;
}

}  // namespace

bool IsValidMacText(std::string_view text)
{
    if (text.size() != 17) return false;
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool colonPlace = i % 3 == 2;
        if ((text[i] == ':') != colonPlace) return false;
        if (!colonPlace)
            digits += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    }
    if (digits.size() != 12 || digits == "000000000000" || digits == "FFFFFFFFFFFF") return false;
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

Status CheckNewIp(const NewIpEntry& entry)
{
    if (!IsValidMacText(entry.macText))
        return Refuse(Code::BadAssignment, "MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F");
    const auto address = ParseIpv4(entry.ipText);
    const std::uint32_t first = address ? *address >> 24 : 0;
    if (first < 1 || first > 223) return Refuse(Code::BadAssignment, "IP设置错误");
    if (OverLimit(entry.deviceName)) return Refuse(Code::BadAssignment, "设备名称最多200个字符");
    if (OverLimit(entry.description)) return Refuse(Code::BadAssignment, "设备描述最多200个字符");
    return {};
}

Result<DhcpAssignment> BuildAssignment(const NewIpEntry& entry, bool offerArmed)
{
    if (Status checked = CheckNewIp(entry); !checked) return checked.error();
    return DhcpAssignment{entry.macText, *ParseIpv4(entry.ipText), entry.deviceName, offerArmed};
}

Result<NewIpEntry> ParseAssignmentText(std::string_view text)
{
    const auto equals = text.find('=');
    if (equals == std::string_view::npos)
        return Refuse(Code::BadValue, "MAC=IP[,NAME] expected: " + std::string(text));
    NewIpEntry entry;
    entry.macText = text.substr(0, equals);
    const std::string_view rest = text.substr(equals + 1);
    const auto comma = rest.find(',');
    entry.ipText = rest.substr(0, comma);
    if (comma != std::string_view::npos) entry.deviceName = rest.substr(comma + 1);
    return entry;
}

}  // namespace varnel
