// Step A (status tables) and step B (the image and its checksum).
#include <gtest/gtest.h>

#include <filesystem>

#include "core/image/Compiler.h"
#include "core/image/Crc16.h"
#include "core/image/HexFile.h"
#include "core/modbus/StatusTable.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

TEST(Crc16, MatchesTheCatalogueCheckValueAndAReference)
{
    const std::string check = "123456789";
    EXPECT_EQ(Crc16Modbus(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()),
              0x4B37);
    EXPECT_EQ(Crc16Modbus(nullptr, 0), 0xFFFF);
    Bytes data;
    for (int i = 0; i < 3000; ++i) data.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    EXPECT_EQ(Crc16Modbus(data.data(), data.size()), ReferenceCrc(data));
}

TEST(BuildImage, WorkedExampleEmptyConfigurationAndSixteenBitSums)
{
    CVarnelDoc doc = NewDoc();
    EXPECT_EQ(BuildImage(doc), WithCrc(H("00 00 02 00 02")));
    doc.com1Enabled = 1;
    doc.Slot(Port::COM1, 0).module = Module("A", "01", 3, 1);
    doc.Slot(Port::COM1, 4).module = Module("B", "02 03", 1, 1);
    EXPECT_EQ(BuildImage(doc), H("01 00 03 01 02 03 00 03 00 01 00 05 00 03 c2 40"));

    doc = NewDoc();
    doc.deviceSlotNum = 1;
    doc.com1Enabled = doc.com2Enabled = 1;
    doc.Slot(Port::COM1, 0).module = Module("S", "", 0, 0);         // no input: last offset FF FF
    doc.Slot(Port::COM1, 4).module = Module("beyond", "aa", 5, 5);  // above the slot count
    doc.Slot(Port::COM2, 3).module = Module("X", "10 11", 65535, 2);
    doc.Slot(Port::COM2, 1).module = Module("Y", "", 3, -1);
    // COM2: S_in = 65538 mod 65536 = 2 -> 00 01; S_out = 1 -> 00 00.
    EXPECT_EQ(BuildImage(doc),
              WithCrc(H("03 00 00 ff ff ff ff 00 02 10 11 00 01 00 00 00 02 00 01")));
}

TEST(BuildImage, AnySizeBuildsWithoutTruncation)
{
    CVarnelDoc doc = NewDoc();
    doc.deviceSlotNum = 54;
    doc.com1Enabled = doc.com2Enabled = 1;
    for (Port port : {Port::COM1, Port::COM2}) {
        for (int i = 0; i < CVarnelDoc::RACK_SIZE; ++i) {
            doc.Slot(port, i).module = Module("big", "", 1, 0);
            doc.Slot(port, i).module.modulePrm.assign(200, static_cast<std::uint8_t>(i));
        }
    }
    const Bytes image = BuildImage(doc);
    ASSERT_EQ(image.size(), 1u + 2 * (6 + 57 * 200) + 6);  // far above 9988 bytes
    EXPECT_EQ(image, WithCrc(Bytes(image.begin(), image.end() - 2)));
    EXPECT_FALSE(CheckImageLimits(doc).has_value());
    doc.Slot(Port::COM2, 56).module.modulePrm.assign(60000, 1);
    ASSERT_TRUE(CheckImageLimits(doc).has_value());
    EXPECT_NE(CheckImageLimits(doc)->text.find("COM2"), std::string::npos);
}

// COM1 set up with read commands in user slots 1..5 (indices 3..7).
class StatusTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 5; ++i)
            PlaceModule(doc, {Port::COM1, UserSlotIndex(i + 1)}, LABEL_READ_HOLDING,
                        static_cast<std::uint16_t>(i * 10), 1, 1);
    }
    // Sets a port's "slave status monitoring" choice and runs step A.
    LegacyRefusal Place(int choice, Port port = Port::COM1)
    {
        doc.Slot(port, 2).module.modulePrm[2] = static_cast<std::uint8_t>(choice);
        return PlaceSlaveStatusModules(doc);
    }
    CVarnelDoc doc = NewDoc({Port::COM1});
};

TEST_F(StatusTables, EveryChoicePlacesReplacesAndRemovesTheTableBehindTheLastModule)
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
    for (const auto& k : kinds) {  // each replaces the one before it in place
        SCOPED_TRACE(k.choice);
        ASSERT_FALSE(Place(k.choice).has_value());
        const CModule& m = doc.Slot(Port::COM1, 8).module;
        EXPECT_EQ(m.moduleName, k.name);
        EXPECT_EQ(m.picture, k.picture);
        EXPECT_EQ(m.inputLen, k.inputLen);
        EXPECT_EQ(m.outputLen, 0);
        ASSERT_EQ(m.modulePrm.size(), k.bytes);
        for (std::size_t i = 0; i < k.bytes; ++i) EXPECT_EQ(m.modulePrm[i], i);
        EXPECT_TRUE(doc.Slot(Port::COM1, 9).IsEmpty());
    }
    // Choice 0 (and anything above 8) removes a table standing last.
    for (int choice : {0, 9, 255}) {
        ASSERT_FALSE(Place(3).has_value());
        ASSERT_FALSE(Place(choice).has_value());
        EXPECT_TRUE(doc.Slot(Port::COM1, 8).IsEmpty());
        EXPECT_EQ(doc.Slot(Port::COM1, 7).module.moduleName, LABEL_READ_HOLDING);
    }
}

TEST_F(StatusTables, SameTableIsLeftAloneAndMODBUSPrefixCountsAsTable)
{
    ASSERT_FALSE(Place(3).has_value());
    doc.Slot(Port::COM1, 8).module.usrPrm = "kept";
    ASSERT_FALSE(Place(3).has_value());
    EXPECT_EQ(doc.Slot(Port::COM1, 8).module.usrPrm, "kept");

    doc.Slot(Port::COM1, 8).module = Module("MODBUS whatever", "01", 0, 0);
    ASSERT_FALSE(Place(3).has_value());
    EXPECT_EQ(doc.Slot(Port::COM1, 8).module.moduleName, "MODBUS从站状态表（16位）");
    doc.Slot(Port::COM1, 8).module = Module("Modbus lower case", "01", 0, 0);
    ASSERT_FALSE(Place(3).has_value());
    EXPECT_EQ(doc.Slot(Port::COM1, 9).module.moduleName, "MODBUS从站状态表（16位）");
}

TEST_F(StatusTables, FullRackIsRefusedWhateverTheChoice)
{
    for (int i = 8; i <= doc.deviceSlotNum + 2; ++i)
        doc.Slot(Port::COM1, i).module = MakeModule(LABEL_READ_COILS, 0, 1, 1);
    for (int choice : {0, 3}) {
        const LegacyRefusal r = Place(choice);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->text, "从站状态检测需要占用插槽");
        EXPECT_EQ(r->caption, "错误");
    }
    // Also when the module in the last slot is itself a status table.
    doc.Slot(Port::COM1, doc.deviceSlotNum + 2).module = MakeStatusTableModule(3);
    EXPECT_TRUE(PlaceSlaveStatusModules(doc).has_value());
    // A module in index 56, above the slot count or on the last slot, refuses too.
    CVarnelDoc other = NewDoc({Port::COM1});
    other.Slot(Port::COM1, 56).module = MakeModule(LABEL_READ_COILS, 0, 1, 1);
    EXPECT_TRUE(PlaceSlaveStatusModules(other).has_value());
    other.deviceSlotNum = 54;
    EXPECT_TRUE(PlaceSlaveStatusModules(other).has_value());
}

TEST_F(StatusTables, CompileWritesTheHexFileOnlyWhenStepAPlacesEveryTable)
{
    testsupport::TempDir dir;
    const CompileResult ok = Compile(doc, (dir / "hex.txt").string());
    ASSERT_FALSE(ok.message.has_value());
    EXPECT_TRUE(ok.hexWritten);
    Bytes back;
    ASSERT_TRUE(ReadHexFile((dir / "hex.txt").string(), back));
    EXPECT_EQ(back, ok.image);
    const CompileResult missing = Compile(doc, (dir / "HEX" / "hex.txt").string());
    ASSERT_TRUE(missing.message.has_value());
    EXPECT_NE(missing.message->text.find("HEX/hex.txt"), std::string::npos);
    EXPECT_FALSE(missing.hexWritten);

    // A full COM2 refuses; the table step A already placed on COM1 stays.
    SetupPort(doc, Port::COM2);
    for (int i = 3; i <= doc.deviceSlotNum + 2; ++i)
        doc.Slot(Port::COM2, i).module = MakeModule(LABEL_READ_COILS, 0, 1, 1);
    doc.Slot(Port::COM1, 2).module.modulePrm[2] = 1;
    const CompileResult refused = Compile(doc, (dir / "new.txt").string());
    ASSERT_TRUE(refused.message.has_value());
    EXPECT_EQ(refused.message->text, "从站状态检测需要占用插槽");
    EXPECT_FALSE(refused.hexWritten);
    EXPECT_FALSE(std::filesystem::exists(dir / "new.txt"));
    EXPECT_EQ(doc.Slot(Port::COM1, 8).module.moduleName, "MODBUS从站状态表（8位）");
}

}  // namespace
