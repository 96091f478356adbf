// The compiler and the decoder on golden folders (project, expected hex text,
// expected decode); images the gateway would refuse, named by the decoder and
// refused by the download's gate; step A's status tables and step B's sums;
// the hex file's text and what the download refuses to take from it.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/image/Compiler.h"
#include "core/image/Crc16.h"
#include "core/image/HexFile.h"
#include "core/image/ImageDecoder.h"
#include "core/modbus/StatusTable.h"
#include "core/project/ProjectStore.h"
#include "support/DocFixtures.h"

using namespace docfixtures;
namespace fs = std::filesystem;

namespace {

// tests/data/image/<case>/: a project (project.json or .vrc) compiles to
// expected.hex, or image.hex holds bytes as they might arrive; either decodes
// to decode.txt. The download's gate refuses exactly the images with a
// problem, with the decoder's first sentence. A sound image decodes to the
// compiled document's modules.
TEST(ImageGolden, ImagesCompileDecodeAndPassTheGateAsRecorded)
{
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(VARNEL_SOURCE_DIR "/tests/data/image")) {
        const fs::path dir = entry.path();
        SCOPED_TRACE(dir.filename().string());
        ++cases;
        CVarnelDoc doc = NewDoc();
        Bytes image = ParseHexText(testsupport::ReadFile(dir / "image.hex"));
        for (const char* name : {"project.json", "project.vrc"}) {
            if (!fs::exists(dir / name)) continue;
            (void)LoadProject((dir / name).string(), doc);
            image = CompileImage(doc).value();
            EXPECT_EQ(FormatHexText(image), testsupport::ReadFile(dir / "expected.hex"));
        }
        const DecodedImage decoded = DecodeImage(image);
        EXPECT_EQ(DescribeImage(decoded), testsupport::ReadFile(dir / "decode.txt"));
        const Status gate = CheckImage(image);
        EXPECT_EQ(gate.ok(), decoded.problems.empty());
        EXPECT_TRUE(gate.ok() ||
                    gate.error() == Refuse(Code::ImageRefused, decoded.problems.front()));
        for (const auto& port : decoded.ports) {
            std::vector<CModule> expected;
            for (int i = 0; gate.ok() && i <= doc.LastConfigIndex(); ++i)
                if (!doc.Slot(port.port, i).IsEmpty())
                    expected.push_back(doc.Slot(port.port, i).module);
            EXPECT_TRUE(!gate.ok() || port.Modules() == expected) << PortName(port.port);
        }
    }
    EXPECT_GE(cases, 16);
}

TEST(BuildImage, CrcWorkedExampleAndSixteenBitSums)
{
    const Bytes check{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Crc16Modbus(check.data(), check.size()), 0x4B37);
    Bytes data;
    for (int i = 0; i < 3000; ++i) data.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    EXPECT_EQ(Crc16Modbus(data.data(), data.size()), ReferenceCrc(data));

    CVarnelDoc doc = NewDoc();
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

    // Any size builds; only a port's 16-bit length field limits it.
    doc.deviceSlotNum = 54;
    for (int i = 0; i < CVarnelDoc::RACK_SIZE; ++i)
        doc.Slot(Port::COM2, i).module = Module("big", "", 1, 0);
    doc.Slot(Port::COM2, 56).module.modulePrm.assign(20000, 1);
    const Bytes image = BuildImage(doc);
    EXPECT_EQ(image, WithCrc(Bytes(image.begin(), image.end() - 2)));
    EXPECT_TRUE(CheckImageLimits(doc).ok());
    doc.Slot(Port::COM2, 55).module.modulePrm.assign(60000, 1);
    EXPECT_EQ(CheckImageLimits(doc).code(), Code::ImageLimits);
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
    Status Place(int choice, Port port = Port::COM1)
    {
        doc.Slot(port, 2).module.modulePrm[2] = static_cast<std::uint8_t>(choice);
        return PlaceSlaveStatusModules(doc);
    }
    CVarnelDoc doc = NewDoc({Port::COM1});
};

TEST_F(StatusTables, EveryChoicePlacesReplacesAndRemovesTheTableBehindTheLastModule)
{
    // Choice: name, picture, inputLen; the bytes are 00, 01, ... (8 per "8").
    const char* const kinds[][3] = {
        {"MODBUS从站状态表（8位）", "s8bit", "1"},
        {"MODBUS从站状态表（8字节）", "s8byte", "8"},
        {"MODBUS从站状态表（16位）", "s16bit", "2"},
        {"MODBUS从站状态表（16字节）", "s16byte", "16"},
        {"MODBUS从站状态表（24位）", "s24bit", "3"},
        {"MODBUS从站状态表（24字节）", "s24byte", "24"},
        {"MODBUS从站状态表（32位）", "s32bit", "4"},
        {"MODBUS从站状态表（32字节）", "s32byte", "32"},
    };
    for (int choice = 1; choice <= 8; ++choice) {  // each replaces the one before it in place
        ASSERT_TRUE(Place(choice).ok());
        const CModule& m = doc.Slot(Port::COM1, 8).module;
        Bytes bytes(static_cast<std::size_t>((choice + 1) / 2 * 8));
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
        const auto* k = kinds[choice - 1];
        CModule expected = Module(k[0], FormatHexText(bytes).c_str(), std::stoi(k[2]), 0);
        expected.picture = k[1];
        EXPECT_EQ(m, expected) << choice;
        EXPECT_TRUE(doc.Slot(Port::COM1, 9).IsEmpty());
    }
    // Choice 0 (and anything above 8) removes a table standing last.
    for (int choice : {0, 9, 255}) {
        ASSERT_TRUE(Place(3).ok());
        ASSERT_TRUE(Place(choice).ok());
        EXPECT_TRUE(doc.Slot(Port::COM1, 8).IsEmpty());
        EXPECT_EQ(doc.Slot(Port::COM1, 7).module.moduleName, LABEL_READ_HOLDING);
    }
    // The same table is left alone; a name beginning "MODBUS" counts as a table.
    ASSERT_TRUE(Place(3).ok());
    doc.Slot(Port::COM1, 8).module.usrPrm = "kept";
    ASSERT_TRUE(Place(3).ok());
    EXPECT_EQ(doc.Slot(Port::COM1, 8).module.usrPrm, "kept");
    doc.Slot(Port::COM1, 8).module = Module("MODBUS whatever", "01", 0, 0);
    ASSERT_TRUE(Place(3).ok());
    EXPECT_EQ(doc.Slot(Port::COM1, 8).module.moduleName, "MODBUS从站状态表（16位）");
    doc.Slot(Port::COM1, 8).module = Module("Modbus lower case", "01", 0, 0);
    ASSERT_TRUE(Place(3).ok());
    EXPECT_EQ(doc.Slot(Port::COM1, 9).module.moduleName, "MODBUS从站状态表（16位）");
}

TEST_F(StatusTables, FullRackIsRefusedWhateverTheChoice)
{
    for (int i = 8; i <= doc.deviceSlotNum + 2; ++i)
        doc.Slot(Port::COM1, i).module = MakeModule(LABEL_READ_COILS, 0, 1, 1);
    for (int choice : {0, 3}) {
        const Status r = Place(choice);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error(), Refuse(Code::StatusTableRefused, "从站状态检测需要占用插槽"));
    }
    // Also when the module in the last slot is itself a status table.
    doc.Slot(Port::COM1, doc.deviceSlotNum + 2).module = MakeStatusTableModule(3);
    EXPECT_FALSE(PlaceSlaveStatusModules(doc).ok());
    // A module in index 56, above the slot count or on the last slot, refuses too.
    CVarnelDoc other = NewDoc({Port::COM1});
    other.Slot(Port::COM1, 56).module = MakeModule(LABEL_READ_COILS, 0, 1, 1);
    EXPECT_FALSE(PlaceSlaveStatusModules(other).ok());
    other.deviceSlotNum = 54;
    EXPECT_FALSE(PlaceSlaveStatusModules(other).ok());
}

TEST_F(StatusTables, CompileWritesTheHexFileOnlyWhenEveryStepSucceeds)
{
    testsupport::TempDir dir;
    const Result<Bytes> ok = Compile(doc, (dir / "hex.txt").string());
    ASSERT_TRUE(ok.ok());
    EXPECT_EQ(ReadHexFile((dir / "hex.txt").string()).value(), *ok);
    const Result<Bytes> missing = Compile(doc, (dir / "HEX" / "hex.txt").string());
    EXPECT_EQ(missing.code(), Code::FileWriteFailed);
    EXPECT_NE(missing.message().text.find("HEX/hex.txt"), std::string::npos);

    // A serial-parameter module too short for its byte 2 is the document's
    // byte access error: nothing is written, front ends see "文档格式错误".
    const std::string path = (dir / "short.txt").string();
    doc.Slot(Port::COM1, 2).module.modulePrm.resize(2);
    EXPECT_THROW((void)Compile(doc, path), std::invalid_argument);
    const Result<Bytes> refused = RefuseBadDocument([&] { return Compile(doc, path); });
    EXPECT_EQ(refused.error(), Refuse(Code::ProjectFormat, "文档格式错误"));
    EXPECT_FALSE(fs::exists(path));
    doc.Slot(Port::COM1, 2).module.modulePrm.resize(6);

    // A full COM2 refuses; the table step A already placed on COM1 stays.
    SetupPort(doc, Port::COM2);
    for (int i = 3; i <= doc.deviceSlotNum + 2; ++i)
        doc.Slot(Port::COM2, i).module = MakeModule(LABEL_READ_COILS, 0, 1, 1);
    doc.Slot(Port::COM1, 2).module.modulePrm[2] = 1;
    EXPECT_EQ(Compile(doc, path).code(), Code::StatusTableRefused);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(doc.Slot(Port::COM1, 8).module.moduleName, "MODBUS从站状态表（8位）");
}

TEST(HexFile, RoundTripAndReadingRules)
{
    testsupport::TempDir dir;
    const std::string path = (dir / "hex.txt").string();
    for (std::size_t size : {1u, 256u, 5000u}) {
        Bytes image;
        for (std::size_t i = 0; i < size; ++i)
            image.push_back(static_cast<std::uint8_t>(i * 131 + size));
        ASSERT_TRUE(WriteHexFile(path, image).ok());
        EXPECT_EQ(testsupport::ReadFile(path).size(), 3 * size);
        EXPECT_EQ(ReadHexFile(path).value(), image);
    }
    ASSERT_TRUE(WriteHexFile(path, H("01 00 03 ff")).ok());
    EXPECT_EQ(testsupport::ReadFile(path), "01 00 03 ff ");

    const std::pair<std::string, const char*> cases[] = {
        {"01 0A fF ", "01 0a ff"},  // upper case accepted
        {"010203", "01 02 03"},     // pairs written together
        {"01 02 3", "01 02"},       // lone last character ignored
        {"01 02\r\n03 ", "01 02"},  // a line end ends the parse
        {"01 zz 03", "01"},         // a bad pair ends the parse
        {"  ", ""},
    };
    for (const auto& [text, bytes] : cases) EXPECT_EQ(ParseHexText(text), H(bytes)) << text;

    // The file is read up to a 0xFF character. A file the download cannot
    // use (missing, a folder, empty, no digits) is "你选择了下载空文件".
    testsupport::WriteFile(dir / "hex.txt", std::string("01 02 ") + '\xFF' + "03 ");
    EXPECT_EQ(ReadHexFile(path).value(), H("01 02"));
    testsupport::WriteFile(dir / "empty.txt", "");
    testsupport::WriteFile(dir / "random.bin", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    std::filesystem::create_directory(dir / "folder");
    for (const char* name : {"none.txt", "folder", "empty.txt", "random.bin"})
        EXPECT_EQ(ReadHexFile((dir / name).string()).error(),
                  Refuse(Code::HexFileEmpty, "你选择了下载空文件"))
            << name;
}

}  // namespace
