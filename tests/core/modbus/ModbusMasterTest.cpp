// Command modules, fixed modules, placement into a slot, and editing; the
// module and edit cases are the tables in tests/data/modbus.
#include <gtest/gtest.h>

#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

std::uint16_t Number(const std::string& text)
{
    return static_cast<std::uint16_t>(std::stoi(text));
}

// Contents() without the blank an empty picture leaves at the end.
std::string Shown(const CModule& m)
{
    std::string text = Contents(m);
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

TEST(ModbusMaster, ModulesCarryRequestBytesAndDataLengths)
{
    for (const auto& row : Rows("modbus/modules.txt")) {
        const CModule m = MakeModule(row[0], Number(row[2]), Number(row[3]),
                                     static_cast<std::uint8_t>(Number(row[1])));
        EXPECT_EQ(m.moduleName, row[0]);
        EXPECT_EQ(Shown(m), row[4]) << row[0] << " quantity " << row[3];
    }
}

TEST(ModbusMaster, EditCommandKeepsFunctionCodeAndDirection)
{
    for (const auto& row : Rows("modbus/edits.txt")) {
        CModule m = MakeModule(row[0], 1, 1, 1);
        ASSERT_EQ(ReadCommandFields(m)->slaveAddress, 1) << row[0];
        ApplyCommandEdit(m, {9, 0x1234, Number(row[1])});
        EXPECT_EQ(Shown(m), row[2]) << row[0];
    }
    // Too few bytes, an empty slot or a status table hold no command to edit.
    CModule shortModule = Module(LABEL_READ_COILS.data(), "01 01 00 00 00", 0, 0);
    for (const CModule& m :
         {shortModule, CModule{}, Module("MODBUS从站状态表（8位）", "00 01 02 03 04 05", 1, 0)})
        EXPECT_EQ(ReadCommandFields(m).code(), Code::NotACommand) << m.moduleName;
    ApplyCommandEdit(shortModule, {9, 9, 9});
    EXPECT_EQ(shortModule.modulePrm, H("01 01 00 00 00"));
}

TEST(ModbusMaster, SetupPortAndPlaceModule)
{
    CVarnelDoc doc = NewDoc();
    PlaceModule(doc, User(Port::COM2, 1), LABEL_READ_COILS, 0, 1, 1);
    doc.Slot(Port::COM2, SERIAL_PARAMS_INDEX).module.modulePrm = H("09 02 08 82 64 00");
    SetupPort(doc, Port::COM2);
    EXPECT_EQ(doc.com2Enabled - doc.com1Enabled, 1);
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(doc.Slot(Port::COM2, STATE_INDEX).module, MakeModule("STATE", 0, 1, 0));
    EXPECT_EQ(doc.Slot(Port::COM2, CONTROL_INDEX).module, MakeModule("CONTROL", 0, 1, 0));
    // Setting up again restores the default serial parameters and keeps the user slots.
    EXPECT_EQ(doc.Slot(Port::COM2, SERIAL_PARAMS_INDEX).module, MakeModule("COMPRM", 0, 1, 0));
    EXPECT_EQ(doc.Slot(Port::COM2, 3).module.moduleName, LABEL_READ_COILS);
    EXPECT_EQ(doc.com1Slots, NewDoc().com1Slots);

    // A placement replaces the slot's module whole; a head or a place outside
    // the rack changes nothing.
    PlaceModule(doc, User(Port::COM2, 1), LABEL_WRITE_COIL, 3, 1, 9);
    EXPECT_EQ(doc.Slot(Port::COM2, 3).module, MakeModule(LABEL_WRITE_COIL, 3, 1, 9));
    for (const SlotRef nowhere :
         {SlotRef{Port::COM1, SlotRef::PORT_HEAD}, SlotRef{Port::COM1, 57}}) {
        CVarnelDoc other = NewDoc();
        PlaceModule(other, nowhere, LABEL_READ_COILS, 0, 1, 1);
        EXPECT_EQ(other.com1Slots, NewDoc().com1Slots) << nowhere.index;
        EXPECT_FALSE(other.modified);
    }
}

}  // namespace
