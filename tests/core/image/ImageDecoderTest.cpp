// Decoding images back into their configuration, and naming what is wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/image/Compiler.h"
#include "core/image/ImageDecoder.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

// Both ports set up, commands of several types, COM2 monitoring 16 bits.
CVarnelDoc SampleDoc()
{
    CVarnelDoc doc = NewDoc({Port::COM1});
    PlaceModule(doc, {Port::COM1, UserSlotIndex(1)}, LABEL_READ_COILS, 0, 10, 1);
    PlaceModule(doc, {Port::COM1, UserSlotIndex(2)}, LABEL_WRITE_REGISTERS, 256, 123, 17);
    PlaceModule(doc, {Port::COM1, UserSlotIndex(3)}, LABEL_WRITE_COIL, 5, 1, 2);
    SetupPort(doc, Port::COM2);
    PlaceModule(doc, {Port::COM2, UserSlotIndex(1)}, LABEL_READ_HOLDING, 40, 125, 3);
    doc.Slot(Port::COM2, 2).module.modulePrm[2] = 3;  // monitor 16 bits
    EXPECT_FALSE(PlaceSlaveStatusModules(doc).has_value());
    return doc;
}

TEST(ImageDecoder, CompiledImagesDecodeToTheDocumentsModules)
{
    const CVarnelDoc doc = SampleDoc();
    const auto decoded = DecodeImage(BuildImage(doc));
    ASSERT_TRUE(decoded.Valid()) << DescribeImage(decoded);
    ASSERT_EQ(decoded.ports.size(), 2u);
    for (const auto& port : decoded.ports) {
        std::vector<CModule> expected;
        for (int i = 0; i <= doc.LastConfigIndex(); ++i)
            if (!doc.Slot(port.port, i).IsEmpty())
                expected.push_back(doc.Slot(port.port, i).module);
        EXPECT_EQ(port.Modules(), expected) << PortName(port.port);
    }
    EXPECT_EQ(decoded.ports[1].statusTable.moduleName, "MODBUS从站状态表（16位）");
    const std::string text = DescribeImage(decoded);
    EXPECT_NE(text.find("command 2: 写4区 10H 写多字, slave 17, start 256, quantity 123, input 0, "
                        "output 246"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("status table: MODBUS从站状态表（16位）, input 2"), std::string::npos);
    EXPECT_EQ(text.find("problem"), std::string::npos);

    const auto noPort = DecodeImage(WithCrc(H("00 00 02 00 02")));
    EXPECT_TRUE(noPort.Valid()) << DescribeImage(noPort);
    EXPECT_TRUE(noPort.ports.empty());
}

TEST(ImageDecoder, SaysWhatIsWrong)
{
    const Bytes good = BuildImage(SampleDoc());
    // The good image changed by `change`, with its checksum made right again.
    auto changed = [&good](const std::function<void(Bytes&)>& change) {
        Bytes body(good.begin(), good.end() - 2);
        change(body);
        return WithCrc(body);
    };
    Bytes flipped = good;
    flipped[10] ^= 0x01;
    Bytes longLength = good;
    longLength[1] = 0x7f;
    CVarnelDoc unplaced = SampleDoc();
    unplaced.Slot(Port::COM1, 2).module.modulePrm[2] = 8;  // 32 bytes asked for, none placed
    const struct {
        const char* name;
        Bytes image;
        const char* problem;
    } cases[] = {
        {"empty", {}, "the image is 0 bytes long; the shortest image (no port) is 7 bytes"},
        {"crc", flipped, "checksum: the image says"},
        {"length", longLength, "COM1 block at offset 1: parameter length"},
        {"extra", changed([](Bytes& b) { b.push_back(0); }),
         "1 bytes stand between the totals and the checksum"},
        {"function", changed([](Bytes& b) { b[1 + 2 + 6 + 1] = 0x07; }),
         "COM1 command 1: function code 07 is not a command"},
        {"offset", changed([](Bytes& b) { b[1 + 2 + (b[1] << 8 | b[2])] ^= 0x01; }),
         "COM1 input last offset: the image says"},
        {"flags", changed([](Bytes& b) { b[0] = 0x07; }),
         "the port flags byte 07 has bits other than 0 and 1 set"},
        {"too few serial bytes", H("01 00 03 01 02 03 00 03 00 01 00 05 00 03 c2 40"),
         "COM1: 3 parameter bytes, fewer than the 6 serial parameter bytes"},
        {"status table", BuildImage(unplaced),
         "COM1: the slave status table (32 bytes 00 .. 1f) does not end the parameter bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = DecodeImage(c.image);
        EXPECT_FALSE(decoded.Valid());
        const auto& all = decoded.problems;
        EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&c](const std::string& p) {
            return p.find(c.problem) != std::string::npos;
        })) << DescribeImage(decoded);
    }
}

}  // namespace
