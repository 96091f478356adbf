// The readable command fields of the JSON form: written beside modulePrm,
// enough on their own, and refused when they disagree with it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/project/JsonDocument.h"
#include "support/DocFixtures.h"

using namespace varnel;

namespace {

TEST(JsonCommandFields, WrittenBesideTheBytesAndEnoughOnTheirOwn)
{
    CVarnelDoc doc = docfixtures::NewDoc({Port::COM1});
    docfixtures::PlaceAt(doc, 4, LABEL_WRITE_REGISTERS, 256, 123, 17);
    auto j = nlohmann::ordered_json::parse(ExportJson(doc));
    auto& command = j["com1"][3];
    EXPECT_EQ(command.dump(), R"({"moduleName":"写4区 10H 写多字","usrPrm":"",)"
                              R"("Ext_Module_Prm_Data_Len":"","picture":"m10","inputLen":0,)"
                              R"("outputLen":246,"modulePrm":"11100100007b","slave":17,)"
                              R"("function":"10","start":256,"quantity":123})");
    EXPECT_FALSE(j["com1"][2].contains("slave"));  // the serial parameters are no command
    // Without modulePrm the fields build the same bytes; the function code
    // may be an integer, hex text or left to the label.
    for (const nlohmann::ordered_json& function :
         {nlohmann::ordered_json(16), nlohmann::ordered_json("0x10"), nlohmann::ordered_json()}) {
        SCOPED_TRACE(function.dump());
        auto edited = j;
        edited["com1"][3].erase("modulePrm");
        if (function.is_null())
            edited["com1"][3].erase("function");
        else
            edited["com1"][3]["function"] = function;
        CVarnelDoc back;
        ASSERT_TRUE(ImportJson(edited.dump(), back).ok());
        EXPECT_EQ(back.com1Slots, doc.com1Slots);
    }
}

TEST(JsonCommandFields, RefusalsNameTheField)
{
    const auto j = nlohmann::ordered_json::parse(ExportJson([] {
        CVarnelDoc doc = docfixtures::NewDoc({Port::COM2});
        docfixtures::PlaceAt(doc, 1004, LABEL_READ_HOLDING, 0, 10, 1);
        return doc;
    }()));
    const struct {
        const char* key;
        nlohmann::ordered_json value;  // null: remove the key (and modulePrm)
        const char* mentions;
    } cases[] = {
        {"quantity", 20, "com2[3].quantity disagrees with modulePrm, which holds 10"},
        {"function", "04", "com2[3].function disagrees"},
        {"slave", 256, "com2[3].slave must be an integer from 0 to 255"},
        {"function", "xy", "com2[3].function must be a function code"},
        {"start", nullptr, "com2[3].start is missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mentions);
        auto edited = j;
        if (c.value.is_null()) {
            edited["com2"][3].erase("modulePrm");
            edited["com2"][3].erase(c.key);
        } else {
            edited["com2"][3][c.key] = c.value;
        }
        CVarnelDoc doc;
        const Status r = ImportJson(edited.dump(), doc);
        ASSERT_FALSE(r.ok());
        EXPECT_NE(r.message().text.find(c.mentions), std::string::npos) << r.message().text;
    }
}

}  // namespace
