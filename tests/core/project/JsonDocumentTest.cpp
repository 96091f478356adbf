// The JSON form: lossless round trip, and refusals that name the field and
// leave the document untouched.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/project/JsonDocument.h"
#include "support/DocFixtures.h"

using namespace varnel;

namespace {

CVarnelDoc Sample()
{
    CVarnelDoc doc = docfixtures::NewDoc({Port::COM2});
    doc.deviceIp = "10.1.2.3";
    doc.deviceSlotNum = 4;
    PlaceModule(doc, LABEL_WRITE_REGISTERS, 256, 123, 17);
    // Above the slot count, and odd texts: all kept.
    doc.Slot(Port::COM2, 56).module =
        CModule{"名称 & \"引号\" <x>", "用户", "-3", 7, 65535, "p", {0x0a, 0x01, 0xff}};
    return doc;
}

TEST(JsonDocument, RoundTripIsLossless)
{
    const CVarnelDoc doc = Sample();
    const std::string text = ExportJson(doc);
    auto j = nlohmann::json::parse(text);
    EXPECT_EQ(j["com1"].size(), 57u);
    EXPECT_EQ(j["com2"][56]["modulePrm"], "0a01ff");
    EXPECT_EQ(j["com2"][3]["modulePrm"], "11100100007b");
    CVarnelDoc back;
    back.selectedSlot = 7;
    ASSERT_TRUE(ImportJson(text, back));
    EXPECT_EQ(back.com1Slots, doc.com1Slots);
    EXPECT_EQ(back.com2Slots, doc.com2Slots);
    EXPECT_EQ(back.deviceIp, doc.deviceIp);
    EXPECT_EQ(back.selectedSlot, 7);  // not part of the form
    EXPECT_EQ(ExportJson(back), text);
    // Short racks fill with empty modules.
    j["com2"] = nlohmann::json::array({j["com2"][56]});
    ASSERT_TRUE(ImportJson(j.dump(), back));
    EXPECT_EQ(back.Slot(Port::COM2, 0).module.modulePrm, (Bytes{0x0a, 0x01, 0xff}));
    EXPECT_TRUE(back.Slot(Port::COM2, 1).IsEmpty());
}

TEST(JsonDocument, RefusalsNameTheFieldAndChangeNothing)
{
    const std::string good = ExportJson(Sample());
    // Sample's COM2 slot 3 is 11 10 01 00 00 7b, outputLen 246.
    const auto edit = [&](const std::string& pointer, nlohmann::json value) {
        auto j = nlohmann::json::parse(good);
        if (value.is_discarded())
            j[nlohmann::json::json_pointer(pointer).parent_pointer()].erase(
                nlohmann::json::json_pointer(pointer).back());
        else
            j[nlohmann::json::json_pointer(pointer)] = value;
        return j.dump();
    };
    const auto none = nlohmann::json::value_t::discarded;
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"{not json", "不是 JSON 文件: 第 3 字节处语法错误"},
        {"[]", "JSON 字段 (document) must be a JSON object"},
        {edit("/deviceSlotNum", 0), "JSON 字段 deviceSlotNum must lie between 1 and 54"},
        {edit("/deviceSlotNum", 55), "JSON 字段 deviceSlotNum must lie between 1 and 54"},
        {edit("/deviceSlotNum", "10"), "JSON 字段 deviceSlotNum must be an integer"},
        {edit("/com1", none), "JSON 字段 com1 is missing"},
        {edit("/com2/0/picture", none), "JSON 字段 com2[0].picture is missing"},
        {edit("/com2/57", nlohmann::json::object()),
         "JSON 字段 com2 has 58 entries; a rack holds at most 57"},
        {edit("/com1/0", 7), "JSON 字段 com1[0] must be an object"},
        {edit("/com2/0/modulePrm", "abc"),
         "JSON 字段 com2[0].modulePrm must be pairs of hex digits"},
        {edit("/com2/0/modulePrm", "zz"),
         "JSON 字段 com2[0].modulePrm must be pairs of hex digits"},
        {edit("/com1/0/inputLen", 4294967296),
         "JSON 字段 com1[0].inputLen is outside the 32-bit range"},
        {edit("/com1/0/inputLen", -1), "JSON 字段 com1[0].inputLen must lie between 0 and 65535"},
        {edit("/com2/56/outputLen", 65536),
         "JSON 字段 com2[56].outputLen must lie between 0 and 65535"},
        // A command module must keep its command type.
        {edit("/com2/3/modulePrm", "1110010000c8"),
         "JSON 字段 com2[3].modulePrm quantity 200 is outside 1-123"},
        {edit("/com2/3/modulePrm", "11070100007b"),
         "JSON 字段 com2[3].modulePrm names function 07H, but 写4区 10H 写多字 is 10H"},
        {edit("/com2/3/modulePrm", "111001000000"),
         "JSON 字段 com2[3].modulePrm quantity 0 is outside 1-123"},
        {edit("/com2/3/modulePrm", "1110010000"),
         "JSON 字段 com2[3].modulePrm must hold 6 bytes (slave, function, start, quantity), not 5"},
        {edit("/com2/3/outputLen", 200),
         "JSON 字段 com2[3].outputLen must be 246 for quantity 123"},
        {edit("/com2/3/inputLen", 2), "JSON 字段 com2[3].inputLen must be 0 for quantity 123"},
    };
    for (const auto& c : cases) {
        CVarnelDoc doc = Sample();
        const Status r = ImportJson(c.text, doc);
        ASSERT_FALSE(r) << c.message;
        EXPECT_EQ(r.code(), Code::JsonInvalid);
        EXPECT_EQ(r.message().text, c.message);
        EXPECT_EQ(ExportJson(doc), good);
    }
}

}  // namespace
