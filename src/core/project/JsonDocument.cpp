#include "core/project/JsonDocument.h"

#include <cstdint>
#include <nlohmann/json.hpp>

#include "core/modbus/CommandModule.h"
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
    m.modulePrm = HexBytes(Text(j, "modulePrm", where), where + "modulePrm");
    CheckModule(m, where);
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
        for (const auto& slot : doc.Slots(port)) rack.push_back(ModuleToJson(slot.module));
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
