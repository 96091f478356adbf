// Step A (status tables) and step B (the image and its checksum).
#include <gtest/gtest.h>

#include <filesystem>

#include "core/image/Compiler.h"
#include "core/image/Crc16.h"
#include "core/image/HexFile.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/modbus/StatusTable.h"
#include "support/TestSupport.h"

using namespace varnel;
static std::vector<std::uint8_t> H(const std::string& hex) { return testsupport::Bytes(hex); }

namespace {

// Bit-by-bit CRC-16/MODBUS, written independently of the table-driven one.
std::uint16_t ReferenceCrc(const std::vector<std::uint8_t>& data)
{
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t byte : data) {
        crc ^= byte;
        for (int i = 0; i < 8; ++i) {
            const bool lsb = crc & 1;
            crc >>= 1;
            if (lsb)
                crc ^= 0xA001;
        }
    }
    return crc;
}

std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> data)
{
    const std::uint16_t crc = ReferenceCrc(data);
    data.push_back(static_cast<std::uint8_t>(crc >> 8));
    data.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return data;
}

TEST(Crc16, MatchesTheCatalogueCheckValueAndAReference)
{
    const std::string check = "123456789";
    EXPECT_EQ(Crc16Modbus(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()),
              0x4B37);
    EXPECT_EQ(Crc16Modbus(nullptr, 0), 0xFFFF);
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 3000; ++i)
        data.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    EXPECT_EQ(Crc16Modbus(data.data(), data.size()), ReferenceCrc(data));
}

CModule Module(const char* name, const char* prm, int in, int out)
{
    CModule m;
    m.moduleName = name;
    m.modulePrm = H(prm);
    m.inputLen = in;
    m.outputLen = out;
    return m;
}

CVarnelDoc NewDoc()
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    return doc;
}

TEST(BuildImage, WorkedExampleAndEmptyConfiguration)
{
    CVarnelDoc doc = NewDoc();
    EXPECT_EQ(BuildImage(doc), WithCrc(H("00 00 02 00 02")));

    doc.com1Enabled = 1;
    doc.Slot(Port::COM1, 0).module = Module("A", "01", 3, 1);
    doc.Slot(Port::COM1, 4).module = Module("B", "02 03", 1, 1);
    EXPECT_EQ(BuildImage(doc), H("01 00 03 01 02 03 00 03 00 01 00 05 00 03 c2 40"));
}

TEST(BuildImage, BothPortsSlotRangeAndSixteenBitSums)
{
    CVarnelDoc doc = NewDoc();
    doc.deviceSlotNum = 1;
    doc.com1Enabled = 1;
    doc.com2Enabled = 1;
    doc.Slot(Port::COM1, 0).module = Module("S", "", 0, 0);  // no input: last offset FF FF
    doc.Slot(Port::COM1, 4).module = Module("beyond", "aa", 5, 5);  // above the slot count
    doc.Slot(Port::COM2, 3).module = Module("X", "10 11", 65535, 2);
    doc.Slot(Port::COM2, 1).module = Module("Y", "", 3, -1);
    // COM2: S_in = 65538 mod 65536 = 2 -> 00 01; S_out = 1 -> 00 00.
    const auto expected = WithCrc(H("03"
                                        "00 00 ff ff ff ff"
                                        "00 02 10 11 00 01 00 00"
                                        "00 02 00 01"));
    EXPECT_EQ(BuildImage(doc), expected);
}

TEST(BuildImage, AnySizeBuildsWithoutTruncation)
{
    CVarnelDoc doc = NewDoc();
    doc.deviceSlotNum = 54;
    doc.com1Enabled = 1;
    doc.com2Enabled = 1;
    for (Port port : {Port::COM1, Port::COM2})
        for (int i = 0; i < CVarnelDoc::RACK_SIZE; ++i)
            doc.Slot(port, i).module = Module("big", "", 1, 0),
            doc.Slot(port, i).module.modulePrm.assign(200, static_cast<std::uint8_t>(i));
    const Bytes image = BuildImage(doc);
    ASSERT_EQ(image.size(), 1u + 2 * (6 + 57 * 200) + 6);  // far above 9988 bytes
    std::vector<std::uint8_t> body(image.begin(), image.end() - 2);
    EXPECT_EQ(image, WithCrc(body));
    EXPECT_FALSE(CheckImageLimits(doc).has_value());
    doc.Slot(Port::COM2, 56).module.modulePrm.assign(60000, 1);
    ASSERT_TRUE(CheckImageLimits(doc).has_value());
    EXPECT_NE(CheckImageLimits(doc)->text.find("COM2"), std::string::npos);
}

class StatusTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.OnNewDocument();
        SetupPort(doc, Port::COM1);
        for (int i = 0; i < 5; ++i)  // user slots 1..5 = indices 3..7
            PlaceModule(doc, LABEL_READ_HOLDING, static_cast<std::uint16_t>(i * 10), 1, 1);
    }
    void Choose(Port port, int choice) { doc.Slot(port, 2).module.modulePrm[2] = static_cast<std::uint8_t>(choice); }
    CVarnelDoc doc;
};

TEST_F(StatusTables, EveryChoicePlacesItsTableBehindTheLastModule)
{
    const struct {
        int choice;
        const char* name;
        const char* picture;
        int inputLen;
        std::size_t bytes;
    } kinds[] = {
        {1, "MODBUS从站状态表（8位）", "s8bit", 1, 8},
        {2, "MODBUS从站状态表（8字节）", "s8byte", 8, 8},
        {3, "MODBUS从站状态表（16位）", "s16bit", 2, 16},
        {4, "MODBUS从站状态表（16字节）", "s16byte", 16, 16},
        {5, "MODBUS从站状态表（24位）", "s24bit", 3, 24},
        {6, "MODBUS从站状态表（24字节）", "s24byte", 24, 24},
        {7, "MODBUS从站状态表（32位）", "s32bit", 4, 32},
        {8, "MODBUS从站状态表（32字节）", "s32byte", 32, 32},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.choice);
        Choose(Port::COM1, k.choice);
        ASSERT_FALSE(PlaceSlaveStatusModules(doc).has_value());
        const CModule& m = doc.Slot(Port::COM1, 8).module;
        EXPECT_EQ(m.moduleName, k.name);
        EXPECT_EQ(m.picture, k.picture);
        EXPECT_EQ(m.inputLen, k.inputLen);
        EXPECT_EQ(m.outputLen, 0);
        ASSERT_EQ(m.modulePrm.size(), k.bytes);
        for (std::size_t i = 0; i < k.bytes; ++i)
            EXPECT_EQ(m.modulePrm[i], i);
        EXPECT_TRUE(doc.Slot(Port::COM1, 9).IsEmpty());  // replaced in place, not appended
    }
    // Choice 0 (and anything above 8) removes a table standing last.
    for (int choice : {0, 9, 255}) {
        Choose(Port::COM1, 3);
        ASSERT_FALSE(PlaceSlaveStatusModules(doc).has_value());
        Choose(Port::COM1, choice);
        ASSERT_FALSE(PlaceSlaveStatusModules(doc).has_value());
        EXPECT_TRUE(doc.Slot(Port::COM1, 8).IsEmpty());
        EXPECT_EQ(doc.Slot(Port::COM1, 7).module.moduleName, LABEL_READ_HOLDING);
    }
}

TEST_F(StatusTables, SameTableIsLeftAloneAndMODBUSPrefixCountsAsTable)
{
    Choose(Port::COM1, 3);
    ASSERT_FALSE(PlaceSlaveStatusModules(doc).has_value());
    doc.Slot(Port::COM1, 8).module.usrPrm = "kept";
    ASSERT_FALSE(PlaceSlaveStatusModules(doc).has_value());
    EXPECT_EQ(doc.Slot(Port::COM1, 8).module.usrPrm, "kept");

    doc.Slot(Port::COM1, 8).module = Module("MODBUS whatever", "01", 0, 0);
    ASSERT_FALSE(PlaceSlaveStatusModules(doc).has_value());
    EXPECT_EQ(doc.Slot(Port::COM1, 8).module.moduleName, "MODBUS从站状态表（16位）");
    doc.Slot(Port::COM1, 8).module = Module("Modbus lower case", "01", 0, 0);
    ASSERT_FALSE(PlaceSlaveStatusModules(doc).has_value());
    EXPECT_EQ(doc.Slot(Port::COM1, 9).module.moduleName, "MODBUS从站状态表（16位）");
}

TEST_F(StatusTables, FullRackIsRefusedWhateverTheChoice)
{
    for (int i = 8; i <= doc.deviceSlotNum + 2; ++i)
        doc.Slot(Port::COM1, i).module = MakeModule(LABEL_READ_COILS, 0, 1, 1);
    for (int choice : {0, 3}) {
        Choose(Port::COM1, choice);
        Refusal r = PlaceSlaveStatusModules(doc);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->text, "从站状态检测需要占用插槽");
        EXPECT_EQ(r->caption, "错误");
    }
    // Also when the module in the last slot is itself a status table.
    doc.Slot(Port::COM1, doc.deviceSlotNum + 2).module = MakeStatusTableModule(3);
    EXPECT_TRUE(PlaceSlaveStatusModules(doc).has_value());
    // A module above the slot count, and a module in index 56, refuse too.
    CVarnelDoc other;
    other.OnNewDocument();
    SetupPort(other, Port::COM1);
    other.Slot(Port::COM1, 56).module = MakeModule(LABEL_READ_COILS, 0, 1, 1);
    EXPECT_TRUE(PlaceSlaveStatusModules(other).has_value());
    other.deviceSlotNum = 54;
    EXPECT_TRUE(PlaceSlaveStatusModules(other).has_value());
}

TEST_F(StatusTables, Com2RefusalKeepsCom1TableAndCompileWritesNoHexFile)
{
    SetupPort(doc, Port::COM2);
    for (int i = 3; i <= doc.deviceSlotNum + 2; ++i)
        doc.Slot(Port::COM2, i).module = MakeModule(LABEL_READ_COILS, 0, 1, 1);
    Choose(Port::COM1, 1);
    testsupport::TempDir dir;
    const std::string hex = (dir / "hex.txt").string();
    CompileResult result = Compile(doc, hex);
    ASSERT_TRUE(result.message.has_value());
    EXPECT_EQ(result.message->text, "从站状态检测需要占用插槽");
    EXPECT_FALSE(result.hexWritten);
    EXPECT_FALSE(std::filesystem::exists(hex));
    EXPECT_EQ(doc.Slot(Port::COM1, 8).module.moduleName, "MODBUS从站状态表（8位）");
}

TEST(Compile, WritesTheHexFileAndReportsAMissingFolder)
{
    testsupport::TempDir dir;
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM1);
    PlaceModule(doc, LABEL_READ_COILS, 0, 10, 1);
    const std::string hex = (dir / "hex.txt").string();
    CompileResult ok = Compile(doc, hex);
    ASSERT_FALSE(ok.message.has_value());
    EXPECT_TRUE(ok.hexWritten);
    Bytes back;
    ASSERT_TRUE(ReadHexFile(hex, back));
    EXPECT_EQ(back, ok.image);

    CompileResult missing = Compile(doc, (dir / "HEX" / "hex.txt").string());
    ASSERT_TRUE(missing.message.has_value());
    EXPECT_NE(missing.message->text.find("HEX/hex.txt"), std::string::npos);
    EXPECT_FALSE(missing.hexWritten);
}

}  // namespace
