// The command editor's checks and the overlap of write commands; the cases
// are the tables in tests/data/modbus.
#include <gtest/gtest.h>

#include "core/modbus/CommandCheck.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

TEST(CommandCheck, EachStepRefusesWithItsTextAndCaption)
{
    CVarnelDoc doc = NewDoc({Port::COM1});
    PlaceModule(doc, User(Port::COM1, 1), LABEL_WRITE_REGISTERS, 100, 10, 1);
    for (const auto& row : Rows("modbus/command-checks.txt")) {
        SCOPED_TRACE(row[0] + " " + row[1] + "/" + row[2] + "/" + row[3]);
        CommandFields fields;
        const Status r =
            CheckCommand(doc, User(Port::COM1, 3), row[0], row[1], row[2], row[3], fields);
        ASSERT_EQ(r.ok(), row[4] == "-") << (r ? "accepted" : r.message().text);
        if (r) continue;
        const Code code = row[4] == "写操作重叠" ? Code::WriteOverlap : Code::CommandRefused;
        EXPECT_EQ(r.error(), Refuse(code, row[4], row[5]));
    }
    // Fields that passed before the failing check keep their values.
    CommandFields fields;
    ASSERT_FALSE(
        CheckCommand(doc, User(Port::COM1, 3), LABEL_READ_HOLDING, "77", "12", "500", fields));
    EXPECT_EQ(fields, (CommandFields{12, 77, 500}));
}

TEST(WriteOverlap, SameGroupSameSlaveSamePortOwnSlotSkipped)
{
    CVarnelDoc doc = NewDoc({Port::COM1});
    PlaceModule(doc, User(Port::COM1, 1), LABEL_WRITE_REGISTERS, 100, 10, 1);
    PlaceModule(doc, User(Port::COM1, 2), LABEL_WRITE_COIL, 7, 1, 1);
    for (const auto& row : Rows("modbus/write-overlap.txt")) {
        doc.deviceSlotNum = std::stoi(row[7]);
        const CommandFields f{static_cast<std::uint8_t>(std::stoi(row[1])),
                              static_cast<std::uint16_t>(std::stoi(row[2])),
                              static_cast<std::uint16_t>(std::stoi(row[3]))};
        const SlotRef own = User(row[5] == "COM2" ? Port::COM2 : Port::COM1, std::stoi(row[6]));
        EXPECT_EQ(IsWriteOverlap(doc, own, row[0], f), row[4] == "yes")
            << row[0] << " " << row[2] << "+" << row[3] << " at " << row[5] << ":" << row[6];
    }
    // A module too short to hold an address is ignored.
    doc.Slot(Port::COM1, 4).module.modulePrm.resize(4);
    EXPECT_FALSE(IsWriteOverlap(doc, User(Port::COM1, 3), LABEL_WRITE_COILS, {1, 0, 8}));
}

}  // namespace
