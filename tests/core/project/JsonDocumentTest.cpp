// The JSON form: lossless round trip, and refusals that name the field and
// leave the document untouched.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/project/JsonDocument.h"
#include "support/DocFixtures.h"

using namespace varnel;

namespace {

CVarnelDoc Sample()
{
    CVarnelDoc doc = docfixtures::NewDoc({Port::COM2});
    doc.deviceIp = "10.1.2.3";
    doc.deviceSlotNum = 4;
    PlaceModule(doc, {Port::COM2, UserSlotIndex(1)}, LABEL_WRITE_REGISTERS, 256, 123, 17);
    // Above the slot count, and odd values in every field: all kept.
    doc.Slot(Port::COM2, 56).module =
        CModule{"名称 & \"引号\" <x>", "用户", "-3", -7, 2147483647, "p", {0x0a, 0x01, 0xff}};
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
    back.appFolder = "kept";
    ASSERT_FALSE(ImportJson(text, back).has_value());
    EXPECT_EQ(back.com1Slots, doc.com1Slots);
    EXPECT_EQ(back.com2Slots, doc.com2Slots);
    EXPECT_EQ(back.deviceIp, doc.deviceIp);
    EXPECT_EQ(back.deviceSlotNum, 4);
    EXPECT_EQ(back.com2Enabled, 1);
    EXPECT_EQ(back.appFolder, "kept");  // not part of the form
    EXPECT_EQ(ExportJson(back), text);
}

TEST(JsonDocument, ShortRacksFillWithEmptyModules)
{
    CVarnelDoc doc = Sample();
    ASSERT_FALSE(ImportJson(R"({"deviceIp":"","deviceSlotNum":1,"com1Enabled":0,
        "com2Enabled":5,"com1":[],"com2":[{"moduleName":"X","usrPrm":"",
        "Ext_Module_Prm_Data_Len":"","picture":"","inputLen":1,"outputLen":0,
        "modulePrm":"AB"}]})",
                            doc)
                     .has_value());
    EXPECT_EQ(doc.com2Enabled, 5);  // taken as it stands
    EXPECT_EQ(doc.Slot(Port::COM2, 0).module.modulePrm, (Bytes{0xab}));
    EXPECT_TRUE(doc.Slot(Port::COM2, 1).IsEmpty());
    EXPECT_TRUE(doc.Slot(Port::COM2, 56).IsEmpty());
}

TEST(JsonDocument, RefusalsNameTheFieldAndChangeNothing)
{
    // A module whose `last` field is left for the case to write.
    const std::string module =
        R"({"moduleName":"","usrPrm":"","Ext_Module_Prm_Data_Len":"","picture":"",)"
        R"("inputLen":0,"outputLen":0,)";
    std::string doc58 = "[";
    for (int i = 0; i < 58; ++i) doc58 += (i ? "," : "") + module + R"("modulePrm":""})";
    doc58 += "]";
    const std::string head = R"({"deviceIp":"1.2.3.4","com1Enabled":0,"com2Enabled":0,)";
    const struct {
        std::string text;
        const char* mentions;
    } cases[] = {
        {"{not json", "JSON"},
        {"[]", "JSON"},
        {head + R"("deviceSlotNum":0,"com1":[],"com2":[]})", "deviceSlotNum"},
        {head + R"("deviceSlotNum":55,"com1":[],"com2":[]})", "deviceSlotNum"},
        {head + R"("deviceSlotNum":"10","com1":[],"com2":[]})", "deviceSlotNum"},
        {head + R"("deviceSlotNum":10,"com1":[],"com2":)" + doc58 + "}", "com2"},
        {head + R"("deviceSlotNum":10,"com2":[]})", "com1"},
        {head + R"("deviceSlotNum":10,"com1":[],"com2":[{"moduleName":"","usrPrm":"",)" +
             R"("Ext_Module_Prm_Data_Len":"","inputLen":0,"outputLen":0,"modulePrm":""}]})",
         "com2[0].picture"},
        {head + R"("deviceSlotNum":10,"com1":[],"com2":[)" + module + R"("modulePrm":"abc"}]})",
         "com2[0].modulePrm"},
        {head + R"("deviceSlotNum":10,"com1":[],"com2":[)" + module + R"("modulePrm":"zz"}]})",
         "com2[0].modulePrm"},
        {head + R"("deviceSlotNum":10,"com1":[{"inputLen":4294967296,"outputLen":0,)" +
             R"("moduleName":"","usrPrm":"","Ext_Module_Prm_Data_Len":"","picture":"",)" +
             R"("modulePrm":""}],"com2":[]})",
         "com1[0].inputLen"},
        {head + R"("deviceSlotNum":10,"com1":[7],"com2":[]})", "com1[0]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 120));
        CVarnelDoc doc = Sample();
        const std::string before = ExportJson(doc);
        LegacyRefusal r = ImportJson(c.text, doc);
        ASSERT_TRUE(r.has_value());
        EXPECT_NE(r->text.find(c.mentions), std::string::npos) << r->text;
        EXPECT_EQ(ExportJson(doc), before);
    }
}

}  // namespace
