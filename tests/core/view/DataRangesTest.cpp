// The totals, port lengths and EtherNet/IP ranges that the picture shows.
#include <gtest/gtest.h>

#include "core/image/Compiler.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/view/DataRanges.h"

using namespace varnel;

namespace {

CModule Lengths(int in, int out, std::uint8_t slave = 7)
{
    CModule m;
    m.moduleName = "cmd";
    m.inputLen = in;
    m.outputLen = out;
    m.modulePrm = {slave, 3, 0, 0, 0, 1};
    return m;
}

TEST(DataRanges, NoUserSlotsGiveTwoAndMinusOne)
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    doc.com2Enabled = 1;
    const Totals totals = ComputeTotals(doc);
    EXPECT_EQ(totals.allIn, 2);
    EXPECT_EQ(totals.allOut, 2);
    const PortRanges r = ComputePortRanges(doc, Port::COM2);
    EXPECT_EQ(r.inLength, -1);
    EXPECT_EQ(r.outLength, -1);
    EXPECT_TRUE(r.slots.empty());
}

TEST(DataRanges, OffsetsStartAtTwoPerPortAndBothAdvance)
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM1);
    SetupPort(doc, Port::COM2);
    doc.Slot(Port::COM1, 3).module = Lengths(2, 0);   // slot 1: in 2..3
    doc.Slot(Port::COM1, 5).module = Lengths(4, 0);   // slot 3: in 4..7
    doc.Slot(Port::COM1, 6).module = Lengths(2, 6);   // both: shows out 2..7, in moves to 10
    doc.Slot(Port::COM1, 7).module = Lengths(1, 0);   // in 10..10
    doc.Slot(Port::COM1, 8).module = Lengths(0, 0);   // neither: ". . ." only
    doc.Slot(Port::COM1, 13).module = Lengths(50, 0);  // above the slot count: ignored
    doc.Slot(Port::COM2, 3).module = Lengths(0, 3, 9);  // COM2 starts at 2 again

    const PortRanges r1 = ComputePortRanges(doc, Port::COM1);
    ASSERT_EQ(r1.slots.size(), 5u);
    const struct {
        int index;
        const char* dir;
        bool has;
        int first, last;
    } expected[] = {{3, "eipIN", true, 2, 3},
                    {5, "eipIN", true, 4, 7},
                    {6, "eipOUT", true, 2, 7},
                    {7, "eipIN", true, 10, 10},
                    {8, "MS #7", false, 0, 0}};
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r1.slots[i].index, expected[i].index);
        EXPECT_EQ(r1.slots[i].slaveText, 7);
        EXPECT_EQ(r1.slots[i].direction, expected[i].dir);
        EXPECT_EQ(r1.slots[i].hasRange, expected[i].has);
        if (expected[i].has) {
            EXPECT_EQ(r1.slots[i].first, expected[i].first);
            EXPECT_EQ(r1.slots[i].last, expected[i].last);
        }
    }
    // Fixed entries included: STATE 1 in, CONTROL 1 out.
    EXPECT_EQ(r1.inLength, 1 + 2 + 4 + 2 + 1 - 1);
    EXPECT_EQ(r1.outLength, 1 + 6 - 1);
    const PortRanges r2 = ComputePortRanges(doc, Port::COM2);
    ASSERT_EQ(r2.slots.size(), 1u);
    EXPECT_EQ(r2.slots[0].first, 2);
    EXPECT_EQ(r2.slots[0].last, 4);
    EXPECT_EQ(r2.slots[0].slaveText, 9);

    const Totals t = ComputeTotals(doc);
    EXPECT_EQ(t.allIn, 2 + 9);
    EXPECT_EQ(t.allOut, 2 + 6 + 3);
}

TEST(DataRanges, TotalsEqualTheImageTotals)
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM1);
    PlaceModule(doc, LABEL_READ_HOLDING, 0, 10, 1);
    PlaceModule(doc, LABEL_WRITE_COILS, 0, 20, 1);
    SetupPort(doc, Port::COM2);
    PlaceModule(doc, LABEL_READ_COILS, 0, 17, 2);
    ASSERT_FALSE(PlaceSlaveStatusModules(doc).has_value());
    const Bytes image = BuildImage(doc);
    const std::size_t n = image.size();
    const Totals t = ComputeTotals(doc);
    EXPECT_EQ(image[n - 6] << 8 | image[n - 5], t.allIn);
    EXPECT_EQ(image[n - 4] << 8 | image[n - 3], t.allOut);
}

TEST(DataRanges, ModuleWithoutParameterBytesShowsSlaveZero)
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    doc.com1Enabled = 1;
    doc.Slot(Port::COM1, 3).module.moduleName = "hand-edited";
    const PortRanges r = ComputePortRanges(doc, Port::COM1);
    ASSERT_EQ(r.slots.size(), 1u);
    EXPECT_EQ(r.slots[0].slaveText, 0);
    EXPECT_EQ(r.slots[0].direction, "MS #0");
}

}  // namespace
