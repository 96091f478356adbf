// The totals, port lengths and EtherNet/IP ranges that the picture shows.
#include <gtest/gtest.h>

#include <sstream>

#include "core/image/Compiler.h"
#include "core/view/DataRanges.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

// "in/out" lengths, then per slot "| index #slave direction [first..last]".
std::string Text(const PortRanges& r)
{
    std::ostringstream o;
    o << r.inLength << "/" << r.outLength;
    for (const SlotRange& s : r.slots) {
        o << " | " << s.index << " #" << s.slaveText << " " << s.direction;
        if (s.hasRange) o << " " << s.first << ".." << s.last;
    }
    return o.str();
}

CModule Lengths(int in, int out, std::uint8_t slave = 7)
{
    CModule m = Module("cmd", "", in, out);
    m.modulePrm = {slave, 3, 0, 0, 0, 1};
    return m;
}

TEST(DataRanges, OffsetsStartAtTwoPerPortAndBothAdvance)
{
    CVarnelDoc doc = NewDoc();
    doc.com2Enabled = 1;  // no fixed entries: lengths -1, totals 2
    EXPECT_EQ(Text(ComputePortRanges(doc, Port::COM2)), "-1/-1");
    EXPECT_EQ(std::pair(ComputeTotals(doc).allIn, ComputeTotals(doc).allOut), std::pair(2, 2));

    doc = NewDoc({Port::COM1, Port::COM2});
    doc.Slot(Port::COM1, 3).module = Lengths(2, 0);
    doc.Slot(Port::COM1, 5).module = Lengths(4, 0);
    doc.Slot(Port::COM1, 6).module = Lengths(2, 6);  // both: out shown, in moves on too
    doc.Slot(Port::COM1, 7).module = Lengths(1, 0);
    doc.Slot(Port::COM1, 8).module = Lengths(0, 0);    // neither: ". . ." only
    doc.Slot(Port::COM1, 13).module = Lengths(50, 0);  // above the slot count: ignored
    doc.Slot(Port::COM2, 3).module = Lengths(0, 3, 9);
    doc.Slot(Port::COM2, 4).module.moduleName = "hand-edited";  // no bytes: slave 0
    // Lengths count the fixed entries (STATE 1 in, CONTROL 1 out), minus 1.
    EXPECT_EQ(Text(ComputePortRanges(doc, Port::COM1)),
              "9/6 | 3 #7 eipIN 2..3 | 5 #7 eipIN 4..7 | 6 #7 eipOUT 2..7 | 7 #7 eipIN 10..10 | "
              "8 #7 MS #7");
    EXPECT_EQ(Text(ComputePortRanges(doc, Port::COM2)), "0/3 | 3 #9 eipOUT 2..4 | 4 #0 MS #0");
    // The title line shows the totals the image records.
    const Bytes image = BuildImage(doc);
    const std::size_t n = image.size();
    const Totals totals = ComputeTotals(doc);
    EXPECT_EQ(image[n - 6] << 8 | image[n - 5], totals.allIn);
    EXPECT_EQ(image[n - 4] << 8 | image[n - 3], totals.allOut);
    EXPECT_EQ(std::pair(totals.allIn, totals.allOut), std::pair(2 + 9, 2 + 6 + 3));
}

}  // namespace
