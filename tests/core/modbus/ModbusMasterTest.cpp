// Command modules, fixed modules, placement into a slot, and editing.
#include <gtest/gtest.h>

#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

TEST(ModbusMaster, ModulesCarryRequestBytesAndDataLengths)
{
    const struct {
        std::string_view label;
        std::uint8_t slave;
        std::uint16_t start, qty;
        const char* contents;  // parameter bytes, input/output lengths, picture
    } cases[] = {
        {LABEL_READ_COILS, 1, 0, 10, "01 01 00 00 00 0a 2/0 m01"},
        {LABEL_READ_COILS, 1, 0, 2000, "01 01 00 00 07 d0 250/0 m01"},
        {LABEL_READ_COILS, 1, 0, 8, "01 01 00 00 00 08 1/0 m01"},
        {LABEL_READ_COILS, 1, 0, 1, "01 01 00 00 00 01 1/0 m01"},
        {LABEL_READ_INPUTS, 2, 5, 9, "02 02 00 05 00 09 2/0 m02"},
        {LABEL_READ_HOLDING, 3, 65535, 125, "03 03 ff ff 00 7d 250/0 m03"},
        {LABEL_READ_INPUT_REGS, 4, 1, 1, "04 04 00 01 00 01 2/0 m04"},
        {LABEL_WRITE_COIL, 5, 7, 1, "05 05 00 07 00 01 0/1 m05"},
        {LABEL_WRITE_REGISTER, 6, 8, 1, "06 06 00 08 00 01 0/2 m06"},
        {LABEL_WRITE_COILS, 7, 0, 1968, "07 0f 00 00 07 b0 0/246 m0f"},
        {LABEL_WRITE_REGISTERS, 17, 256, 123, "11 10 01 00 00 7b 0/246 m10"},
        // The fixed modules, and a label that names no module.
        {"STATE", 0, 0, 1, "1/0 state"},
        {"CONTROL", 0, 0, 1, "0/1 control"},
        {"COMPRM", 0, 0, 1, "05 00 00 41 14 00 0/0 comprm"},
        {"something else", 3, 1, 2, "0/0 "},
    };
    for (const auto& c : cases) {
        const CModule m = MakeModule(c.label, c.start, c.qty, c.slave);
        EXPECT_EQ(m.moduleName, c.label);
        EXPECT_EQ(Contents(m), c.contents) << c.label << " quantity " << c.qty;
    }
}

TEST(ModbusMaster, SetupPortAndPlaceModule)
{
    CVarnelDoc doc = NewDoc();
    PlaceModule(doc, User(Port::COM2, 1), LABEL_READ_COILS, 0, 1, 1);
    doc.Slot(Port::COM2, SERIAL_PARAMS_INDEX).module.modulePrm = H("09 02 08 82 64 00");
    SetupPort(doc, Port::COM2);
    EXPECT_EQ(doc.com2Enabled - doc.com1Enabled, 1);
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(doc.Slot(Port::COM2, STATE_INDEX).module.moduleName, "STATE");
    EXPECT_EQ(doc.Slot(Port::COM2, CONTROL_INDEX).module.moduleName, "CONTROL");
    // Setting up again restores the default serial parameters and keeps the user slots.
    EXPECT_EQ(doc.Slot(Port::COM2, SERIAL_PARAMS_INDEX).module.modulePrm,
              H("05 00 00 41 14 00"));
    EXPECT_EQ(doc.Slot(Port::COM2, 3).module.moduleName, LABEL_READ_COILS);
    EXPECT_EQ(doc.com1Slots, NewDoc().com1Slots);

    // A placement replaces the slot's module whole; a head or a place outside
    // the rack changes nothing.
    PlaceModule(doc, User(Port::COM2, 1), LABEL_WRITE_COIL, 3, 1, 9);
    EXPECT_EQ(doc.Slot(Port::COM2, 3).module, MakeModule(LABEL_WRITE_COIL, 3, 1, 9));
    for (const SlotRef nowhere : {SlotRef{Port::COM1, SlotRef::PORT_HEAD}, SlotRef{Port::COM1, 57}}) {
        CVarnelDoc other = NewDoc();
        PlaceModule(other, nowhere, LABEL_READ_COILS, 0, 1, 1);
        EXPECT_EQ(other.com1Slots, NewDoc().com1Slots) << nowhere.index;
        EXPECT_FALSE(other.modified);
    }
}

TEST(ModbusMaster, EditCommandKeepsFunctionCodeAndDirection)
{
    const struct {
        std::string_view label;
        std::uint16_t qty;
        const char* contents;  // after the edit to slave 9, start 0x1234, quantity qty
    } cases[] = {
        {LABEL_READ_COILS, 17, "09 01 12 34 00 11 3/0 m01"},
        {LABEL_READ_HOLDING, 10, "09 03 12 34 00 0a 20/0 m03"},
        {LABEL_WRITE_COIL, 1, "09 05 12 34 00 01 0/1 m05"},
        {LABEL_WRITE_REGISTERS, 5, "09 10 12 34 00 05 0/10 m10"},
        {LABEL_WRITE_COILS, 9, "09 0f 12 34 00 09 0/2 m0f"},
        {LABEL_READ_INPUT_REGS, 125, "09 04 12 34 00 7d 250/0 m04"},
    };
    for (const auto& c : cases) {
        CModule m = MakeModule(c.label, 1, 1, 1);
        ASSERT_EQ(ReadCommandFields(m)->slaveAddress, 1) << c.label;
        ApplyCommandEdit(m, {9, 0x1234, c.qty});
        EXPECT_EQ(Contents(m), c.contents) << c.label;
    }
    // Too few bytes, an empty slot or a status table hold no command to edit.
    CModule shortModule = Module(LABEL_READ_COILS.data(), "01 01 00 00 00", 0, 0);
    for (const CModule& m : {shortModule, CModule{}, Module("MODBUS从站状态表（8位）", "00 01 02 03 04 05", 1, 0)})
        EXPECT_EQ(ReadCommandFields(m).code(), Code::NotACommand) << m.moduleName;
    ApplyCommandEdit(shortModule, {9, 9, 9});
    EXPECT_EQ(shortModule.modulePrm, H("01 01 00 00 00"));
}

}  // namespace
