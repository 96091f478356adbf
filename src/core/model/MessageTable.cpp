#include "core/model/MessageTable.h"

#include <array>
#include <cstdlib>
#include <optional>
#include <vector>

namespace varnel {

namespace {

// clang-format off
constexpr MessageText TABLE[] = {
    // Captions.
    {"错误", "Error"},
    {"提示", "Note"},
    {"重启设备", "Restart device"},
    {"清除配置", "Clear configuration"},

    // The device link: download, clear, restart.
    {"以太网连接不通,请检查IP和PORT设置和设备是否正常运行",
     "The Ethernet connection failed; check the IP and PORT settings and whether the device is running"},
    {"连接超时,请检查IP和PORT设置和设备是否正常运行",
     "Connection timed out; check the IP and PORT settings and whether the device is running"},
    {"主站没有响应", "The master does not answer"},
    {"发送失败", "Sending failed"},
    {"安装定时器失败", "Could not start the timer"},
    {"下 载 完 毕！", "Download finished!"},
    {"下 载 失 败！", "Download failed!"},
    {"重启后配置才能生效 确实要重启设备吗？",
     "The configuration takes effect after a restart. Really restart the device?"},
    {"确实要清除配置吗？", "Really clear the configuration?"},
    {"确实要重启设备吗？", "Really restart the device?"},
    {"清除配置完成", "Configuration cleared"},
    {"清除配置失败", "Clearing the configuration failed"},
    {"重启设备失败", "Restarting the device failed"},
    {"设备应答无效", "The device's answer is invalid"},
    {"设备IP地址错误: \"{1}\"", "The device IP address is wrong: \"{1}\""},

    // IP assignment: the EtherNet/IP DHCP switch, the assignment checks, the list file.
    {"接收失败", "Receiving failed"},
    {"设备没有响应", "The device does not answer"},
    {"应答格式错误", "The answer is malformed"},
    {"注册会话失败", "Registering the session failed"},
    {"读取DHCP设置失败", "Reading the DHCP setting failed"},
    {"设置DHCP失败", "Setting DHCP failed"},
    {"读取接口配置失败", "Reading the interface configuration failed"},
    {"读回DHCP设置失败", "Reading back the DHCP setting failed"},
    {"{1}：应答格式错误", "{1}: the answer is malformed"},
    {"{1}：封装状态{2}（{3}）", "{1}: encapsulation status {2} ({3})"},
    {"{1}：会话句柄为0", "{1}: the session handle is 0"},
    {"{1}：CIP通用状态{2}（{3}）", "{1}: CIP general status {2} ({3})"},
    {"{1}，附加状态{2}", "{1}, additional status {2}"},
    {"DHCP未切换：配置控制读回为{1}，应为{2}",
     "DHCP not switched: the configuration control reads back {1}, expected {2}"},
    {"DHCP已使能（配置控制读回为{1}）",
     "DHCP enabled (the configuration control reads back {1})"},
    {"DHCP已禁止，设备使用存储的IP地址（配置控制读回为{1}）",
     "DHCP disabled, the device uses its stored IP address (the configuration control reads back {1})"},
    {"下次上电使用 IP {1} 掩码 {2} 网关 {3} (next power-up: IP {1}, mask {2}, gateway {3})",
     "next power-up: IP {1}, mask {2}, gateway {3}", true},
    {"下次上电使用的地址未知 (next power-up address unknown)", "next power-up address unknown", true},
    {"下次上电使用的地址未知 (next power-up address unknown)：{1}",
     "next power-up address unknown: {1}", true},
    {"MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F",
     "MAC format error: it must be XX:XX:XX:XX:XX:XX\nand may not be all 0 or all F"},
    {"IP设置错误", "The IP setting is wrong"},
    {"设备名称最多200个字符", "The device name has at most 200 characters"},
    {"设备描述最多200个字符", "The device description has at most 200 characters"},
    {"地址 {1} 已被 {2} 使用", "address {1} is in use by {2}"},
    {"地址占用检查已关闭 (the check for addresses already in use is off): {1}",
     "the check for addresses already in use is off: {1}", true},
    {"检查其他DHCP服务器已关闭: 无法监听端口68 (the check for other DHCP servers is off: cannot "
     "listen on port 68: {1})",
     "the check for other DHCP servers is off: cannot listen on port 68: {1}", true},
    {"第 {1} 行 (line {1}): {2}", "line {1}: {2}", true},
    {"表头应为 {1} (header must be {1})", "header must be {1}", true},
    {"引号未闭合 (unclosed quote)", "unclosed quote", true},
    {"应为 mac,ip,name 三列 (expected mac,ip,name)", "expected mac,ip,name", true},
    {"名称不是UTF-8文本 (name is not UTF-8)", "name is not UTF-8", true},
    {"DHCP服务器 {1} (server identifier {2}, source {3}) offers {4} mask {5}",
     "DHCP server {1} (server identifier {2}, source {3}) offers {4} mask {5}", true},
    {"警告: 另一个DHCP服务器 {1} 在应答 (warning: another DHCP server at {1} is answering)",
     "warning: another DHCP server at {1} is answering", true},
    {"没有其他DHCP服务器应答 (no other DHCP server answered)", "no other DHCP server answered", true},
    {"dhcp-probe: 无法监听端口68 (cannot listen on port 68): {1}",
     "dhcp-probe: cannot listen on port 68: {1}", true},
    {"dhcp-probe: 无法发送 (cannot send): {1}", "dhcp-probe: cannot send: {1}", true},

    // Commands, serial parameters, slots, the selection.
    {"没有可编辑的命令", "No command to edit"},
    {"没有选中的槽", "No slot selected"},
    {"长度请添入1", "Quantity: enter 1"},
    {"长度请添入一个1和{1}之间的整数", "Quantity: enter a whole number from 1 to {1}"},
    {"起始地址信息错误", "Start address is wrong"},
    {"起始地址取值范围:1-65535", "Start address range: 1-65535"},
    {"从站地址地址信息错误", "Slave address is wrong"},
    {"从站地址取值范围:0-255", "Slave address range: 0-255"},
    {"长度信息错误", "Quantity is wrong"},
    {"长度取值范围:1-125", "Quantity range: 1-125"},
    {"写操作重叠", "Write operations overlap"},
    {"从站状态检测需要占用插槽", "Slave status monitoring needs a free slot"},
    {"用户参数格式错误", "User parameter format error"},
    {"槽数取值范围:1~54的正整数", "Slot count range: a whole number from 1 to 54"},
    {"波特率:", "Baud rate:"},
    {"校验:", "Parity:"},
    {"从站状态监控:", "Slave status monitoring:"},
    {"定时器值:", "Timer value:"},
    {"数据更新模式:", "Data update mode:"},
    {"写模式:", "Write mode:"},
    {"定时器模式:", "Timer mode:"},
    {"槽号 {1} 超出范围: 用户槽为 1~{2}", "Slot {1} is out of range: the user slots are 1~{2}"},
    {"{1} 未配置 Modbus 主站", "{1} has no Modbus master set up"},
    {"{1} 的串口参数模块不足 5 个字节", "The serial parameter module of {1} has fewer than 5 bytes"},
    {"{1} 槽 {2} 是空的", "{1} slot {2} is empty"},

    // Files: project, JSON, hex, image.
    {"文档格式错误", "The document format is wrong"},
    {"你选择了下载空文件", "You chose to download an empty file"},
    {"无法打开文件 {1}: {2}", "Cannot open file {1}: {2}"},
    {"无法写入文件 {1}: {2}", "Cannot write file {1}: {2}"},
    {"不支持的项目文件类型: {1} (应为 .vrc 或 .json)",
     "Unsupported project file type: {1} (must be .vrc or .json)"},
    {"项目文件 {1}不完整: 缺少元素 \"{2}\"", "Project file {1}is incomplete: element \"{2}\" is missing"},
    {"不是 JSON 文件: 第 {1} 字节处语法错误", "Not a JSON file: syntax error at byte {1}"},
    {"不是 JSON 文件: 数值超出范围", "Not a JSON file: a number is out of range"},
    {"JSON 字段 {1} {2}", "JSON field {1} {2}"},
    {"JSON 内容错误: {1}", "JSON content error: {1}"},
    {"{1} 的模块参数共 {2} 字节，超过配置映像的上限 65535 字节",
     "The module parameters of {1} come to {2} bytes, more than the configuration image's limit of 65535 bytes"},

    // The picture's detail box.
    {"槽号: {1}", "Slot: {1}"},
    {"名称: {1}", "Name: {1}"},
    {"输入长度: {1}", "Input length: {1}"},
    {"输出长度: {1}", "Output length: {1}"},
    {"用户参数: {1}", "User parameters: {1}"},

    // Catalogue names: the keys stay Chinese, only the shown text changes.
    {"读0区 01H", "Read coils 01H"},
    {"读1区 02H", "Read inputs 02H"},
    {"读4区 03H", "Read holding registers 03H"},
    {"读3区 04H", "Read input registers 04H"},
    {"写0区 05H 写单线圈", "Write single coil 05H"},
    {"写4区 06H 写单字", "Write single register 06H"},
    {"写0区 0FH 写多线圈", "Write multiple coils 0FH"},
    {"写4区 10H 写多字", "Write multiple registers 10H"},
    {"MODBUS从站状态表（8位）", "MODBUS slave status table (8 bits)"},
    {"MODBUS从站状态表（8字节）", "MODBUS slave status table (8 bytes)"},
    {"MODBUS从站状态表（16位）", "MODBUS slave status table (16 bits)"},
    {"MODBUS从站状态表（16字节）", "MODBUS slave status table (16 bytes)"},
    {"MODBUS从站状态表（24位）", "MODBUS slave status table (24 bits)"},
    {"MODBUS从站状态表（24字节）", "MODBUS slave status table (24 bytes)"},
    {"MODBUS从站状态表（32位）", "MODBUS slave status table (32 bits)"},
    {"MODBUS从站状态表（32字节）", "MODBUS slave status table (32 bytes)"},
};
// clang-format on

constexpr std::size_t MAX_VALUES = 9;
// The texts of the table are short; a longer one (a name from a hand-made
// file) is shown as it is, so matching never costs more than a repaint.
constexpr std::size_t MAX_TEXT = 2000;
using Values = std::array<std::optional<std::string_view>, MAX_VALUES>;

// Index of the placeholder at the start of `p`, or -1.
int PlaceholderAt(std::string_view p)
{
    return p.size() >= 3 && p[0] == '{' && p[1] >= '1' && p[1] <= '9' && p[2] == '}' ? p[1] - '1'
                                                                                     : -1;
}

// Whether `text` is `pattern` with values in its placeholders; the values are
// bound leftmost-shortest, a placeholder used twice must repeat its value.
bool Match(std::string_view pattern, std::string_view text, Values& values)
{
    if (pattern.empty()) return text.empty();
    const int slot = PlaceholderAt(pattern);
    if (slot < 0) {
        std::size_t literal = 1;
        while (literal < pattern.size() && PlaceholderAt(pattern.substr(literal)) < 0) ++literal;
        return text.starts_with(pattern.substr(0, literal)) &&
               Match(pattern.substr(literal), text.substr(literal), values);
    }
    auto& value = values[static_cast<std::size_t>(slot)];
    if (value)
        return text.starts_with(*value) &&
               Match(pattern.substr(3), text.substr(value->size()), values);
    for (std::size_t n = 0; n <= text.size(); ++n) {
        value = text.substr(0, n);
        if (Match(pattern.substr(3), text.substr(n), values)) return true;
    }
    value.reset();
    return false;
}

struct Found {
    const MessageText* entry = nullptr;
    Values values;
};

// The entry the whole text is: a plain text first, then the patterns in order.
std::optional<Found> Find(std::string_view text)
{
    for (const MessageText& entry : TABLE)
        if (entry.zh == text) return Found{&entry, {}};
    for (const MessageText& entry : TABLE) {
        Found found{&entry, {}};
        if (entry.zh.find('{') != std::string_view::npos && Match(entry.zh, text, found.values))
            return found;
    }
    return std::nullopt;
}

// The pattern with each placeholder replaced by its value, made by `convert`.
template <typename Convert>
std::string Fill(std::string_view pattern, const Values& values, Convert convert)
{
    std::string out;
    while (!pattern.empty()) {
        const int slot = PlaceholderAt(pattern);
        if (slot < 0) {
            out += pattern.front();
            pattern.remove_prefix(1);
            continue;
        }
        if (const auto& value = values[static_cast<std::size_t>(slot)]) out += convert(*value);
        pattern.remove_prefix(3);
    }
    return out;
}

bool IsAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Applies `one` to a text the table knows whole; otherwise to each line, or
// to the known part of "ASCII: KNOWN" or "KNOWN: ASCII" (a slot before the
// text, a system's reason after it). Unknown texts stay as they are.
template <typename One>
std::string Translate(std::string_view text, One one)
{
    if (IsAscii(text) || text.size() > MAX_TEXT) return std::string(text);
    if (const auto found = Find(text)) return one(text, *found);
    if (const auto newline = text.find('\n'); newline != std::string_view::npos)
        return Translate(text.substr(0, newline), one) + "\n" +
               Translate(text.substr(newline + 1), one);
    for (std::size_t colon = text.find(": "); colon != std::string_view::npos;
         colon = text.find(": ", colon + 1)) {
        const std::string_view head = text.substr(0, colon), tail = text.substr(colon + 2);
        if (IsAscii(head)) {
            if (const auto found = Find(tail)) return std::string(head) + ": " + one(tail, *found);
        } else if (IsAscii(tail)) {
            if (const auto found = Find(head)) return one(head, *found) + ": " + std::string(tail);
        }
    }
    return std::string(text);
}

std::string English(std::string_view, const Found& found)
{
    return Fill(found.entry->en, found.values, [](std::string_view v) { return EnglishText(v); });
}

}  // namespace

std::span<const MessageText> MessageTable()
{
    return TABLE;
}

std::string EnglishText(std::string_view text)
{
    return Translate(text, English);
}

std::string WithEnglish(std::string_view text)
{
    return Translate(text, [](std::string_view whole, const Found& found) {
        if (found.entry->bilingual)
            return Fill(found.entry->zh, found.values,
                        [](std::string_view v) { return WithEnglish(v); });
        std::string english = English(whole, found);
        for (char& c : english)
            if (c == '\n') c = ' ';
        return std::string(whole) + " (" + english + ")";
    });
}

bool EnglishLocale()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return std::string_view(value).starts_with("en");
    }
    return false;
}

std::string TerminalText(std::string_view text)
{
    static const bool english = EnglishLocale();
    return english ? WithEnglish(text) : std::string(text);
}

}  // namespace varnel
