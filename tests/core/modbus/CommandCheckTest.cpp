// The command editor's checks, in order, with their texts and captions.
#include <gtest/gtest.h>

#include "core/modbus/CommandCheck.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

TEST(CommandCheck, EachStepRefusesWithItsTextAndCaption)
{
    const char* const start = "起始地址信息错误|起始地址取值范围:1-65535";
    const char* const length = "长度信息错误|长度取值范围:1-125";
    const struct {
        std::string_view label;
        const char *start, *slave, *qty;
        const char* refusal;  // "text|caption"; nullptr: accepted
    } cases[] = {
        {LABEL_READ_HOLDING, "", "0", "1", nullptr},
        {LABEL_READ_HOLDING, "65535", "0", "1", nullptr},
        {LABEL_READ_HOLDING, "65536", "0", "1", start},
        {LABEL_READ_HOLDING, "-1", "0", "1", start},
        {LABEL_READ_HOLDING, "1a", "0", "1", start},
        {LABEL_READ_HOLDING, " 1", "0", "1", start},
        {LABEL_READ_HOLDING, "99999999999999999999", "0", "1", start},
        {LABEL_READ_HOLDING, "0", "256", "1", "从站地址地址信息错误|从站地址取值范围:0-255"},
        {LABEL_READ_HOLDING, "0", "0", "0", length},
        {LABEL_READ_HOLDING, "0", "0", "2001", length},
        {LABEL_READ_HOLDING, "0", "0", "", length},
        {LABEL_WRITE_REGISTER, "0", "0", "2", "长度请添入1|错误"},
        {LABEL_WRITE_COIL, "0", "0", "2", "长度请添入1|错误"},
        {LABEL_READ_COILS, "0", "0", "2000", nullptr},
        {LABEL_READ_HOLDING, "0", "0", "126", "长度请添入一个1和125之间的整数|错误"},
        {LABEL_READ_INPUT_REGS, "0", "0", "125", nullptr},
        {LABEL_WRITE_COILS, "0", "0", "1969", "长度请添入一个1和1968之间的整数|错误"},
        {LABEL_WRITE_COILS, "0", "0", "1968", nullptr},
        {LABEL_WRITE_REGISTERS, "0", "0", "124", "长度请添入一个1和123之间的整数|错误"},
        {LABEL_WRITE_REGISTERS, "0", "0", "123", nullptr},
        {LABEL_WRITE_REGISTER, "109", "1", "1", "写操作重叠|错误"},  // over slot 1's 100..109
    };
    CVarnelDoc doc = NewDoc({Port::COM1});
    PlaceModule(doc, User(Port::COM1, 1), LABEL_WRITE_REGISTERS, 100, 10, 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.label) + " " + c.start + "/" + c.slave + "/" + c.qty);
        CommandFields fields;
        const Status r = CheckCommand(doc, User(Port::COM1, 3), c.label, c.start, c.slave, c.qty,
                                      fields);
        ASSERT_EQ(r.ok(), c.refusal == nullptr) << (r ? "accepted" : r.message().text);
        if (r) continue;
        EXPECT_EQ(r.message().text + "|" + r.message().caption, c.refusal);
        EXPECT_EQ(r.code(), r.message().text == "写操作重叠" ? Code::WriteOverlap
                                                             : Code::CommandRefused);
    }
    // Fields that passed before the failing check keep their values.
    CommandFields fields;
    ASSERT_FALSE(CheckCommand(doc, User(Port::COM1, 3), LABEL_READ_HOLDING, "77", "12", "500",
                              fields));
    EXPECT_EQ(fields, (CommandFields{12, 77, 500}));
}

TEST(WriteOverlap, SameGroupSameSlaveSamePortOwnSlotSkipped)
{
    CVarnelDoc doc = NewDoc({Port::COM1});
    PlaceModule(doc, User(Port::COM1, 1), LABEL_WRITE_REGISTERS, 100, 10, 1);  // 100..109
    PlaceModule(doc, User(Port::COM1, 2), LABEL_WRITE_COIL, 7, 1, 1);          // coil 7
    const struct {
        std::string_view label;
        int slave, start, qty;
        bool overlaps;
        SlotRef own = User(Port::COM1, 3);  // the slot taking the new command
        int slots = 10;
    } cases[] = {
        {LABEL_WRITE_REGISTER, 1, 109, 1, true},
        {LABEL_WRITE_REGISTER, 1, 100, 1, true},
        {LABEL_WRITE_REGISTERS, 1, 90, 11, true},   // ends on 100
        {LABEL_WRITE_REGISTERS, 1, 90, 30, true},   // covers the whole range
        {LABEL_WRITE_REGISTERS, 1, 90, 10, false},  // ends on 99
        {LABEL_WRITE_REGISTER, 1, 110, 1, false},
        {LABEL_WRITE_REGISTER, 2, 105, 1, false},
        {LABEL_READ_HOLDING, 1, 105, 1, false},
        {LABEL_WRITE_COILS, 1, 0, 8, true},  // multiple coils over the single coil 7
        {LABEL_WRITE_COILS, 1, 0, 7, false},
        {LABEL_WRITE_COILS, 1, 100, 10, false},                         // registers and coils
        {LABEL_WRITE_REGISTER, 1, 105, 1, false, User(Port::COM2, 3)},  // other port: empty
        {LABEL_WRITE_REGISTERS, 1, 100, 10, false, User(Port::COM1, 1)},  // editing itself
        {LABEL_WRITE_COILS, 1, 0, 8, false, User(Port::COM1, 3), 1},  // beyond the slot count
    };
    for (const auto& c : cases) {
        doc.deviceSlotNum = c.slots;
        const CommandFields f{static_cast<std::uint8_t>(c.slave),
                              static_cast<std::uint16_t>(c.start),
                              static_cast<std::uint16_t>(c.qty)};
        EXPECT_EQ(IsWriteOverlap(doc, c.own, c.label, f), c.overlaps)
            << c.label << " " << c.start << "+" << c.qty << " at " << c.own.index;
    }
    // A module too short to hold an address is ignored.
    doc.Slot(Port::COM1, 4).module.modulePrm.resize(4);
    EXPECT_FALSE(IsWriteOverlap(doc, User(Port::COM1, 3), LABEL_WRITE_COILS, {1, 0, 8}));
}

}  // namespace
