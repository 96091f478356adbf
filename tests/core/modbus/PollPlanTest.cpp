// What a port's master does on its line: settings from the serial
// parameters, requests and their data from the racks, and the data rules
// of answers and write values.
#include <gtest/gtest.h>

#include "core/image/Compiler.h"
#include "core/modbus/PollOutcome.h"
#include "core/modbus/PollPlan.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

TEST(PollPlan, LineSettingsOfEachBaudAndFormatCode)
{
    const struct {
        const char* prm;
        LineSettings line;  // baud 0: refused
    } rows[] = {
        {"01 00 00 41 14", {600, 8, 'N', 1}},   {"05 01 00 41 14", {9600, 8, 'E', 1}},
        {"06 02 00 41 14", {19200, 8, 'O', 1}}, {"09 03 00 41 14", {115200, 8, 'N', 2}},
        {"00 00 00 41 14", {0, 0, 0, 0}},       {"0a 00 00 41 14", {0, 0, 0, 0}},
        {"05 04 00 41 14", {0, 0, 0, 0}},       {"05 00 00 41", {0, 0, 0, 0}},
    };
    for (const auto& row : rows) {
        const auto line = LineSettingsOf(H(row.prm));
        if (row.line.baud == 0)
            EXPECT_EQ(line.ok() ? Code::BadValue : line.code(), Code::SerialUnknown) << row.prm;
        else
            EXPECT_TRUE(line.ok() && *line == row.line) << row.prm;
    }
}

TEST(PollPlan, RequestsInSlotOrderWithTheirDataAndTheStatusTableOnlyAsData)
{
    CVarnelDoc doc = NewDoc({Port::COM2});
    PlaceAt(doc, 1004, LABEL_READ_INPUTS, 3, 9, 2);         // user slot 1
    PlaceAt(doc, 1006, LABEL_WRITE_REGISTERS, 256, 2, 17);  // user slot 3
    doc.Slot(Port::COM2, 2).module.modulePrm =
        H("05 00 03 82 05 00");  // 16-bit table, on change, reply
    ASSERT_TRUE(PlaceSlaveStatusModules(doc).ok());
    const auto plan = MakePollPlan(doc, Port::COM2);
    ASSERT_TRUE(plan.ok());
    EXPECT_EQ(plan->timerMs, 50);
    EXPECT_TRUE(plan->updateEachCommand && plan->writeOnChange && !plan->sameInterval);
    ASSERT_EQ(plan->requests.size(), 2u);
    const PollRequest& read = plan->requests[0];
    const PollRequest& write = plan->requests[1];
    EXPECT_EQ(std::tie(read.slot, read.slave, read.function, read.start, read.quantity, read.first,
                       read.last),
              std::make_tuple(1, 2, 2, 3, 9, 2, 3));
    EXPECT_EQ(std::tie(write.slot, write.function, write.start, write.first, write.last),
              std::make_tuple(3, 0x10, 256, 2, 5));
    EXPECT_EQ(plan->inputSize, 6);  // the status table's 2 bytes follow at 4..5
    // The simulator's plan, from the compiled image, is the same.
    const auto fromImage = MakePollPlan(DecodeImage(BuildImage(doc)), Port::COM2);
    ASSERT_TRUE(fromImage.ok());
    EXPECT_EQ(fromImage->requests.back().first, write.first);
    EXPECT_EQ(fromImage->inputSize, plan->inputSize);
    EXPECT_EQ(MakePollPlan(doc, Port::COM1).code(), Code::PortNotSetUp);
}

TEST(PollOutcome, DataLaidOutAsOnTheWireAndWriteValuesChecked)
{
    // 10 coils at input bytes 2..3, 2 registers at 4..7.
    auto request = [](int quantity, bool isRegister, int first) {
        PollRequest r;
        r.quantity = static_cast<std::uint16_t>(quantity);
        r.isRegister = isRegister;
        r.hasRange = true;
        r.first = first;
        r.last = first + (isRegister ? 2 * quantity : (quantity + 7) / 8) - 1;
        return r;
    };
    const PollRequest coils = request(10, false, 2);
    const PollRequest regs = request(2, true, 4);
    Bytes data;
    PlaceAnswer(coils, {1, 0, 1, 1, 0, 0, 0, 0, 1, 1}, data);
    PlaceAnswer(regs, {0x1234, 0xABCD}, data);
    EXPECT_EQ(data, H("00 00 0d 03 12 34 ab cd"));
    EXPECT_EQ(WriteValuesFrom(coils, data),
              (std::vector<std::uint16_t>{1, 0, 1, 1, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(WriteValuesFrom(regs, H("00 00 00 00 12")), (std::vector<std::uint16_t>{0x1200, 0}));

    const struct {
        const PollRequest& request;
        const char* text;
        bool ok;
    } rows[] = {{regs, "7,0x0102", true},
                {regs, "65536,1", false},
                {regs, "1", false},
                {regs, "1,,2", false},
                {coils, "1,0,1,1,0,0,0,0,1,1", true},
                {coils, "1,0,2,1,0,0,0,0,1,1", false}};
    for (const auto& row : rows)
        EXPECT_EQ(ParseWriteValues(row.request, row.text).ok(), row.ok) << row.text;
}

TEST(PollOutcome, ExceptionNames)
{
    const std::pair<int, std::string_view> rows[] = {
        {0x01, "illegal function"},
        {0x02, "illegal data address"},
        {0x03, "illegal data value"},
        {0x04, "slave device failure"},
        {0x05, "acknowledge"},
        {0x06, "slave device busy"},
        {0x07, "unknown exception"},
        {0x08, "memory parity error"},
        {0x0A, "gateway path unavailable"},
        {0x0B, "gateway target failed to respond"},
    };
    for (const auto& [code, name] : rows) EXPECT_EQ(ExceptionName(code), name) << code;
}

}  // namespace
