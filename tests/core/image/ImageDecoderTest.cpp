// Decoding images back into their configuration, and naming what is wrong.
#include <gtest/gtest.h>

#include "core/image/Compiler.h"
#include "core/image/Crc16.h"
#include "core/image/ImageDecoder.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "support/TestSupport.h"

using namespace varnel;

namespace {

varnel::Bytes H(const std::string& hex) { return testsupport::Bytes(hex); }

// Both ports set up, commands of several types, COM2 monitoring 16 bits.
CVarnelDoc SampleDoc()
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM1);
    PlaceModule(doc, LABEL_READ_COILS, 0, 10, 1);
    PlaceModule(doc, LABEL_WRITE_REGISTERS, 256, 123, 17);
    PlaceModule(doc, LABEL_WRITE_COIL, 5, 1, 2);
    SetupPort(doc, Port::COM2);
    PlaceModule(doc, LABEL_READ_HOLDING, 40, 125, 3);
    doc.Slot(Port::COM2, 2).module.modulePrm[2] = 3;  // monitor 16 bits
    EXPECT_FALSE(PlaceSlaveStatusModules(doc).has_value());
    return doc;
}

// Rewrites the checksum after a deliberate change.
void Reseal(varnel::Bytes& image)
{
    const auto crc = Crc16Modbus(image.data(), image.size() - 2);
    image[image.size() - 2] = static_cast<std::uint8_t>(crc >> 8);
    image[image.size() - 1] = static_cast<std::uint8_t>(crc & 0xFF);
}

}  // namespace

TEST(ImageDecoder, CompiledImageDecodesToTheDocumentsModules)
{
    CVarnelDoc doc = SampleDoc();
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
}

TEST(ImageDecoder, DescriptionNamesCommandsAndTable)
{
    CVarnelDoc doc = SampleDoc();
    const std::string text = DescribeImage(DecodeImage(BuildImage(doc)));
    EXPECT_NE(text.find("command 2: 写4区 10H 写多字, slave 17, start 256, quantity 123, input 0, "
                        "output 246"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("status table: MODBUS从站状态表（16位）, input 2"), std::string::npos);
    EXPECT_EQ(text.find("problem"), std::string::npos);
}

TEST(ImageDecoder, NoPortImage)
{
    varnel::Bytes image = H("00 00 02 00 02 00 00");
    Reseal(image);
    const auto decoded = DecodeImage(image);
    EXPECT_TRUE(decoded.Valid()) << DescribeImage(decoded);
    EXPECT_TRUE(decoded.ports.empty());
}

TEST(ImageDecoder, SaysWhatIsWrong)
{
    const varnel::Bytes good = BuildImage(SampleDoc());
    struct Case {
        const char* name;
        varnel::Bytes image;
        const char* problem;
    };
    varnel::Bytes flipped = good;
    flipped[10] ^= 0x01;
    varnel::Bytes longLength = good;
    longLength[1] = 0x7f;
    varnel::Bytes extra = good;
    extra.insert(extra.end() - 2, 0x00);
    Reseal(extra);
    varnel::Bytes badFunction = good;
    badFunction[1 + 2 + 6 + 1] = 0x07;  // first command's function code
    Reseal(badFunction);
    varnel::Bytes badOffset = good;
    badOffset[1 + 2 + (good[1] << 8 | good[2])] ^= 0x01;
    Reseal(badOffset);
    varnel::Bytes flags = good;
    flags[0] = 0x07;
    Reseal(flags);
    const Case cases[] = {
        {"empty", {}, "the image is 0 bytes long; the shortest image (no port) is 7 bytes"},
        {"crc", flipped, "checksum: the image says"},
        {"length", longLength, "COM1 block at offset 1: parameter length"},
        {"extra", extra, "1 bytes stand between the totals and the checksum"},
        {"function", badFunction, "COM1 command 1: function code 07 is not a command"},
        {"offset", badOffset, "COM1 input last offset: the image says"},
        {"flags", flags, "the port flags byte 07 has bits other than 0 and 1 set"},
        {"too few serial bytes",
         H("01 00 03 01 02 03 00 03 00 01 00 05 00 03 c2 40"),
         "COM1: 3 parameter bytes, fewer than the 6 serial parameter bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = DecodeImage(c.image);
        EXPECT_FALSE(decoded.Valid());
        bool found = false;
        for (const auto& p : decoded.problems)
            found = found || p.find(c.problem) != std::string::npos;
        EXPECT_TRUE(found) << DescribeImage(decoded);
    }
}

TEST(ImageDecoder, MissingStatusTableIsNamed)
{
    CVarnelDoc doc = SampleDoc();
    // Ask for 32 bytes of status without placing the table.
    doc.Slot(Port::COM1, 2).module.modulePrm[2] = 8;
    const auto decoded = DecodeImage(BuildImage(doc));
    ASSERT_FALSE(decoded.Valid());
    EXPECT_NE(DescribeImage(decoded).find("COM1: the slave status table (32 bytes 00 .. 1f) does "
                                          "not end the parameter bytes"),
              std::string::npos)
        << DescribeImage(decoded);
}
