#include "core/project/JsonDocument.h"

#include <cstdint>
#include <nlohmann/json.hpp>

#include "core/image/HexFile.h"
#include "core/modbus/CommandModule.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/util/Hex.h"

namespace varnel {

using nlohmann::ordered_json;

namespace {

ordered_json ModuleToJson(const CModule& m)
{
    return ordered_json{{"moduleName", m.moduleName},
                        {"usrPrm", m.usrPrm},
                        {"Ext_Module_Prm_Data_Len", m.Ext_Module_Prm_Data_Len},
                        {"picture", m.picture},
                        {"inputLen", m.inputLen},
                        {"outputLen", m.outputLen},
                        {"modulePrm", FormatHex(m.modulePrm)}};
}

// A command module's slave, function code, start and quantity in readable
// form beside modulePrm, for review and hand edits.
void AddCommandFields(ordered_json& j, const CModule& m)
{
    const Result<CommandFields> read = ReadCommandFields(m);
    if (FindCommandType(m.moduleName) == nullptr || !read) return;
    const CommandFields& f = *read;
    j["slave"] = f.slaveAddress;
    j["function"] = FormatHex({m.modulePrm[1]});
    j["start"] = f.startAddress;
    j["quantity"] = f.quantity;
}

struct ImportError {
    std::string field;
    std::string problem;
};

const ordered_json& Member(const ordered_json& object, const std::string& key,
                           const std::string& where)
{
    auto it = object.find(key);
    if (it == object.end()) throw ImportError{where + key, "is missing"};
    return *it;
}

std::string Text(const ordered_json& object, const std::string& key, const std::string& where)
{
    const auto& v = Member(object, key, where);
    if (!v.is_string()) throw ImportError{where + key, "must be a string"};
    return v.get<std::string>();
}

std::int32_t Int32(const ordered_json& object, const std::string& key, const std::string& where)
{
    const auto& v = Member(object, key, where);
    if (!v.is_number_integer()) throw ImportError{where + key, "must be an integer"};
    if (v.is_number_unsigned()) {
        if (v.get<std::uint64_t>() > static_cast<std::uint64_t>(INT32_MAX))
            throw ImportError{where + key, "is outside the 32-bit range"};
        return static_cast<std::int32_t>(v.get<std::uint64_t>());
    }
    const auto value = v.get<std::int64_t>();
    if (value < INT32_MIN || value > INT32_MAX)
        throw ImportError{where + key, "is outside the 32-bit range"};
    return static_cast<std::int32_t>(value);
}

Bytes HexBytes(const std::string& hex, const std::string& field)
{
    auto bytes = ParseHexStrict(hex);
    if (!bytes || hex.find_first_of(" \t\r\n") != std::string::npos)
        throw ImportError{field, "must be pairs of hex digits"};
    return *bytes;
}

// What the image takes from a module must be what the program would make:
// lengths within the image's 16-bit fields, and a command module's bytes and
// lengths as its command type gives them.
void CheckModule(const CModule& m, const std::string& where)
{
    for (const auto& [name, length] :
         {std::pair{"inputLen", m.inputLen}, {"outputLen", m.outputLen}})
        if (length < 0 || length > 0xFFFF)
            throw ImportError{where + name, "must lie between 0 and 65535"};
    if (const auto fault = CheckCommandModule(m))
        throw ImportError{where + fault->field, fault->problem};
}

// slave, function, start and quantity: integers ("function" also hex text
// such as "03"), each one checked against modulePrm; without modulePrm they
// build it (the function code may then come from the command's label).
void ApplyCommandFields(const ordered_json& j, CModule& m, const std::string& where)
{
    static const char* const keys[] = {"slave", "function", "start", "quantity"};
    static const int limits[] = {255, 255, 65535, 65535};
    const bool hasPrm = j.contains("modulePrm");
    int values[4] = {-1, -1, -1, -1};
    for (std::size_t i = 0; i < 4; ++i) {
        if (!j.contains(keys[i])) continue;
        const ordered_json& v = j[keys[i]];
        const std::string field = where + keys[i];
        if (i == 1 && v.is_string()) {
            std::string text = v.get<std::string>();
            if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
                text = text.substr(2);
            const auto code = ParseHexStrict(text.size() == 1 ? "0" + text : text);
            if (!code || code->size() != 1)
                throw ImportError{field, "must be a function code such as \"03\""};
            values[i] = (*code)[0];
        } else if (v.is_number_integer() && v.get<std::int64_t>() >= 0 &&
                   v.get<std::int64_t>() <= limits[i]) {
            values[i] = static_cast<int>(v.get<std::int64_t>());
        } else {
            throw ImportError{field, "must be an integer from 0 to " + std::to_string(limits[i])};
        }
    }
    if (!hasPrm) {
        const CommandType* type = FindCommandType(m.moduleName);
        if (values[1] < 0 && type != nullptr) values[1] = type->functionCode;
        for (std::size_t i = 0; i < 4; ++i)
            if (values[i] < 0)
                throw ImportError{where + (values[0] < 0 && values[2] < 0 ? "modulePrm" : keys[i]),
                                  "is missing"};
        m.modulePrm = {
            static_cast<std::uint8_t>(values[0]),      static_cast<std::uint8_t>(values[1]),
            static_cast<std::uint8_t>(values[2] >> 8), static_cast<std::uint8_t>(values[2] & 0xFF),
            static_cast<std::uint8_t>(values[3] >> 8), static_cast<std::uint8_t>(values[3] & 0xFF)};
        return;
    }
    const Bytes& p = m.modulePrm;
    for (std::size_t i = 0; i < 4; ++i) {
        if (values[i] < 0) continue;
        if (p.size() < 6)
            throw ImportError{where + keys[i], "needs the 6 bytes of a command in modulePrm"};
        const int stored[] = {p[0], p[1], p[2] << 8 | p[3], p[4] << 8 | p[5]};
        if (values[i] != stored[i])
            throw ImportError{where + keys[i],
                              "disagrees with modulePrm, which holds " + std::to_string(stored[i])};
    }
}

CModule ModuleFromJson(const ordered_json& j, const std::string& where)
{
    if (!j.is_object()) throw ImportError{where.substr(0, where.size() - 1), "must be an object"};
    CModule m;
    m.moduleName = Text(j, "moduleName", where);
    m.usrPrm = Text(j, "usrPrm", where);
    m.Ext_Module_Prm_Data_Len = Text(j, "Ext_Module_Prm_Data_Len", where);
    m.picture = Text(j, "picture", where);
    m.inputLen = Int32(j, "inputLen", where);
    m.outputLen = Int32(j, "outputLen", where);
    // modulePrm, when given, must be sound by itself before the readable
    // fields are compared with it; without it the fields build it.
    if (j.contains("modulePrm")) {
        m.modulePrm = HexBytes(Text(j, "modulePrm", where), where + "modulePrm");
        CheckModule(m, where);
        ApplyCommandFields(j, m, where);
    } else {
        ApplyCommandFields(j, m, where);
        CheckModule(m, where);
    }
    return m;
}

void RackFromJson(const ordered_json& root, const std::string& key, CVarnelDoc::Rack& rack)
{
    const auto& list = Member(root, key, "");
    if (!list.is_array()) throw ImportError{key, "must be an array"};
    if (list.size() > CVarnelDoc::RACK_SIZE)
        throw ImportError{
            key, "has " + std::to_string(list.size()) + " entries; a rack holds at most 57"};
    for (auto& slot : rack) slot.module = CModule{};
    for (std::size_t i = 0; i < list.size(); ++i)
        rack[i].module = ModuleFromJson(list[i], key + "[" + std::to_string(i) + "].");
}

}  // namespace

std::string ExportJson(const CVarnelDoc& doc)
{
    ordered_json root;
    root["deviceIp"] = doc.deviceIp;
    root["deviceSlotNum"] = doc.deviceSlotNum;
    root["com1Enabled"] = doc.com1Enabled;
    root["com2Enabled"] = doc.com2Enabled;
    for (Port port : {Port::COM1, Port::COM2}) {
        ordered_json rack = ordered_json::array();
        for (const auto& slot : doc.Slots(port)) {
            rack.push_back(ModuleToJson(slot.module));
            AddCommandFields(rack.back(), slot.module);
        }
        root[port == Port::COM1 ? "com1" : "com2"] = rack;
    }
    // Invalid UTF-8 in a text (possible only through a hand-edited project)
    // is replaced rather than refused, so an export never fails.
    return root.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

Status ImportJson(std::string_view text, CVarnelDoc& doc)
{
    ordered_json root;
    try {
        root = ordered_json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        return Refuse(Code::JsonInvalid,
                      "不是 JSON 文件: 第 " + std::to_string(e.byte) + " 字节处语法错误");
    } catch (const nlohmann::json::out_of_range&) {
        // A number beyond what a double holds (1e309): well-formed, unreadable.
        return Refuse(Code::JsonInvalid, "不是 JSON 文件: 数值超出范围");
    }
    try {
        if (!root.is_object()) throw ImportError{"(document)", "must be a JSON object"};
        CVarnelDoc copy = doc;
        copy.deviceIp = Text(root, "deviceIp", "");
        copy.deviceSlotNum = Int32(root, "deviceSlotNum", "");
        if (copy.deviceSlotNum < 1 || copy.deviceSlotNum > CVarnelDoc::MAX_USER_SLOTS)
            throw ImportError{"deviceSlotNum", "must lie between 1 and 54"};
        copy.com1Enabled = Int32(root, "com1Enabled", "");
        copy.com2Enabled = Int32(root, "com2Enabled", "");
        RackFromJson(root, "com1", copy.com1Slots);
        RackFromJson(root, "com2", copy.com2Slots);
        doc = std::move(copy);
    } catch (const ImportError& e) {
        return Refuse(Code::JsonInvalid, "JSON 字段 " + e.field + " " + e.problem);
    } catch (const nlohmann::json::exception& e) {
        return Refuse(Code::JsonInvalid, "JSON 内容错误: " + std::string(e.what()));
    }
    return {};
}

}  // namespace varnel
