// The JSON form: lossless round trip, and refusals that name the field and
// leave the document untouched.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/project/JsonDocument.h"
#include "core/project/TableRows.h"
#include "support/DocFixtures.h"

using namespace varnel;
using nlohmann::json;

namespace {

CVarnelDoc Sample()
{
    CVarnelDoc doc = docfixtures::NewDoc({Port::COM2});
    doc.deviceIp = "10.1.2.3";
    doc.deviceSlotNum = 4;
    PlaceModule(doc, {Port::COM2, UserSlotIndex(1)}, LABEL_WRITE_REGISTERS, 256, 123, 17);
    // Above the slot count, and odd values in every field: all kept.
    doc.Slot(Port::COM2, 56).module =
        CModule{"名称 & \"引号\" <x>", "用户", "-3", 7, 65535, "p", {0x0a, 0x01, 0xff}};
    return doc;
}

TEST(JsonDocument, RoundTripIsLossless)
{
    const CVarnelDoc doc = Sample();
    const std::string text = ExportJson(doc);
    json j = json::parse(text);
    EXPECT_EQ(j["com1"].size(), 57u);
    EXPECT_EQ(j["com2"][3]["modulePrm"], "11100100007b");
    CVarnelDoc back;
    back.appFolder = "kept";
    ASSERT_TRUE(ImportJson(text, back));
    EXPECT_EQ(ExportJson(back), text);
    EXPECT_EQ(back.com2Slots, doc.com2Slots);
    EXPECT_EQ(back.appFolder, "kept");         // not part of the form
    j["com2"] = json::array({j["com2"][56]});  // short racks fill with empty modules
    ASSERT_TRUE(ImportJson(j.dump(), back));
    EXPECT_EQ(back.Slot(Port::COM2, 0).module.modulePrm, (Bytes{0x0a, 0x01, 0xff}));
    EXPECT_TRUE(back.Slot(Port::COM2, 1).IsEmpty());
}

TEST(JsonDocument, RefusalsNameTheFieldAndChangeNothing)
{
    const std::string good = ExportJson(Sample());
    for (const auto& row : tablerows::Rows("json/refusals.tsv")) {
        std::string text = row[1];
        if (row[0] != "=") {
            json j = json::parse(good);
            const json::json_pointer at(row[0]);
            if (row[1] == "-")
                j[at.parent_pointer()].erase(at.back());
            else
                j[at] = json::parse(row[1]);
            text = j.dump();
        }
        CVarnelDoc doc = Sample();
        const Status r = ImportJson(text, doc);
        ASSERT_FALSE(r) << row[2];
        EXPECT_EQ(r.code(), Code::JsonInvalid);
        EXPECT_EQ(r.message().text, row[2]);
        EXPECT_EQ(ExportJson(doc), good);
    }
}

}  // namespace
