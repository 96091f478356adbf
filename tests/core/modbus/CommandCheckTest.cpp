// The command editor's ten checks, in order, with their texts and captions.
#include <gtest/gtest.h>

#include "core/modbus/CommandCheck.h"
#include "core/modbus/CommandType.h"

using namespace varnel;

namespace {

struct CheckCase {
    std::string_view label;
    const char* start;
    const char* slave;
    const char* qty;
    const char* text;     // nullptr: accepted
    const char* caption;
};

TEST(CommandCheck, EachStepRefusesWithItsTextAndCaption)
{
    const CheckCase cases[] = {
        {LABEL_READ_HOLDING, "", "0", "1", nullptr, nullptr},
        {LABEL_READ_HOLDING, "65535", "0", "1", nullptr, nullptr},
        {LABEL_READ_HOLDING, "65536", "0", "1", "起始地址信息错误", "起始地址取值范围:1-65535"},
        {LABEL_READ_HOLDING, "-1", "0", "1", "起始地址信息错误", "起始地址取值范围:1-65535"},
        {LABEL_READ_HOLDING, "1a", "0", "1", "起始地址信息错误", "起始地址取值范围:1-65535"},
        {LABEL_READ_HOLDING, " 1", "0", "1", "起始地址信息错误", "起始地址取值范围:1-65535"},
        {LABEL_READ_HOLDING, "99999999999999999999", "0", "1", "起始地址信息错误",
         "起始地址取值范围:1-65535"},
        {LABEL_READ_HOLDING, "0", "256", "1", "从站地址地址信息错误", "从站地址取值范围:0-255"},
        {LABEL_READ_HOLDING, "0", "0", "0", "长度信息错误", "长度取值范围:1-125"},
        {LABEL_READ_HOLDING, "0", "0", "2001", "长度信息错误", "长度取值范围:1-125"},
        {LABEL_READ_HOLDING, "0", "0", "", "长度信息错误", "长度取值范围:1-125"},
        {LABEL_WRITE_REGISTER, "0", "0", "2", "长度请添入1", "错误"},
        {LABEL_WRITE_COIL, "0", "0", "2", "长度请添入1", "错误"},
        {LABEL_READ_COILS, "0", "0", "2000", nullptr, nullptr},
        {LABEL_READ_HOLDING, "0", "0", "126", "长度请添入一个1和125之间的整数", "错误"},
        {LABEL_READ_INPUT_REGS, "0", "0", "125", nullptr, nullptr},
        {LABEL_WRITE_COILS, "0", "0", "1969", "长度请添入一个1和1968之间的整数", "错误"},
        {LABEL_WRITE_COILS, "0", "0", "1968", nullptr, nullptr},
        {LABEL_WRITE_REGISTERS, "0", "0", "124", "长度请添入一个1和123之间的整数", "错误"},
        {LABEL_WRITE_REGISTERS, "0", "0", "123", nullptr, nullptr},
    };
    CVarnelDoc doc;
    doc.OnNewDocument();
    doc.selectedSlot = 4;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.label) + " start=" + c.start + " slave=" + c.slave +
                     " qty=" + c.qty);
        CommandFields fields;
        Refusal r = CheckCommand(doc, c.label, c.start, c.slave, c.qty, fields);
        if (c.text == nullptr) {
            EXPECT_FALSE(r.has_value()) << r->text;
            continue;
        }
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->text, c.text);
        EXPECT_EQ(r->caption, c.caption);
        EXPECT_EQ(r->icon, MessageIcon::Error);
    }
}

TEST(CommandCheck, FieldsPassedBeforeAFailureKeepTheirValues)
{
    CVarnelDoc doc;
    doc.selectedSlot = 4;
    CommandFields fields;
    Refusal r = CheckCommand(doc, LABEL_READ_HOLDING, "77", "12", "500", fields);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(fields.startAddress, 77);
    EXPECT_EQ(fields.slaveAddress, 12);
    EXPECT_EQ(fields.quantity, 500);
}

class WriteOverlap : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.OnNewDocument();
        SetupPort(doc, Port::COM1);
        // user slot 1: registers 100..109 of slave 1
        PlaceModule(doc, LABEL_WRITE_REGISTERS, 100, 10, 1);
        // user slot 2: coil 7 of slave 1
        PlaceModule(doc, LABEL_WRITE_COIL, 7, 1, 1);
        doc.selectedSlot = 6;  // user slot 3 takes the new command
    }
    bool Overlaps(std::string_view label, int slave, int start, int qty)
    {
        CommandFields f{static_cast<std::uint8_t>(slave), static_cast<std::uint16_t>(start),
                        static_cast<std::uint16_t>(qty)};
        return IsWriteOverlap(doc, label, f);
    }
    CVarnelDoc doc;
};

TEST_F(WriteOverlap, ComparesSameGroupSameSlaveSamePortOnly)
{
    EXPECT_TRUE(Overlaps(LABEL_WRITE_REGISTER, 1, 109, 1));
    EXPECT_TRUE(Overlaps(LABEL_WRITE_REGISTER, 1, 100, 1));
    EXPECT_TRUE(Overlaps(LABEL_WRITE_REGISTERS, 1, 90, 11));   // ends on 100
    EXPECT_TRUE(Overlaps(LABEL_WRITE_REGISTERS, 1, 90, 30));   // covers the whole range
    EXPECT_FALSE(Overlaps(LABEL_WRITE_REGISTERS, 1, 90, 10));  // ends on 99
    EXPECT_FALSE(Overlaps(LABEL_WRITE_REGISTER, 1, 110, 1));
    EXPECT_FALSE(Overlaps(LABEL_WRITE_REGISTER, 2, 105, 1));
    EXPECT_FALSE(Overlaps(LABEL_READ_HOLDING, 1, 105, 1));
    // Coils: a multiple-coil write over coil 7 overlaps the single-coil write.
    EXPECT_TRUE(Overlaps(LABEL_WRITE_COILS, 1, 0, 8));
    EXPECT_FALSE(Overlaps(LABEL_WRITE_COILS, 1, 0, 7));
    // Registers 100..109 and coils do not meet.
    EXPECT_FALSE(Overlaps(LABEL_WRITE_COILS, 1, 100, 10));
    // The other port holds nothing.
    doc.selectedSlot = 1006;
    EXPECT_FALSE(Overlaps(LABEL_WRITE_REGISTER, 1, 105, 1));
}

TEST_F(WriteOverlap, OwnSlotIsSkippedAndCheckReportsOverlap)
{
    doc.selectedSlot = 4;  // editing the register write itself
    EXPECT_FALSE(Overlaps(LABEL_WRITE_REGISTERS, 1, 100, 10));
    doc.selectedSlot = 6;
    CommandFields fields;
    Refusal r = CheckCommand(doc, LABEL_WRITE_REGISTER, "109", "1", "1", fields);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->text, "写操作重叠");
    EXPECT_EQ(r->caption, "错误");
}

TEST_F(WriteOverlap, SlotsAboveTheSlotCountAndShortModulesAreIgnored)
{
    doc.deviceSlotNum = 1;  // the coil write in user slot 2 is outside the configuration
    EXPECT_FALSE(Overlaps(LABEL_WRITE_COILS, 1, 0, 8));
    doc.deviceSlotNum = 10;
    doc.Slot(Port::COM1, 4).module.modulePrm.resize(4);
    EXPECT_FALSE(Overlaps(LABEL_WRITE_COILS, 1, 0, 8));
}

}  // namespace
