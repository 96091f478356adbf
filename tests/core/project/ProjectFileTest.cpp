// The project file: the exact bytes written, the length prefix, the reading
// steps with their stop and failure rules (golden files), the open with its
// compile, and round trips.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/project/ProjectFile.h"
#include "core/project/ProjectStore.h"
#include "core/project/TextCodec.h"
#include "core/util/Hex.h"
#include "support/DocFixtures.h"

using namespace varnel;
using docfixtures::H;
using docfixtures::NewDoc;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

const std::filesystem::path DATA = std::filesystem::path(VARNEL_SOURCE_DIR) / "tests/data/project";

// Every test runs on a data folder whose option file says 192.168.1.10.
class ProjectFileTest : public ::testing::Test {
protected:
    testsupport::HomeEnv env;
};

// A document with something in each field, to see what a read changes.
CVarnelDoc Before()
{
    CVarnelDoc doc = NewDoc();
    doc.deviceIp = "1.1.1.1";
    doc.deviceSlotNum = 7;
    doc.com1Enabled = doc.com2Enabled = 1;
    doc.Slot(Port::COM1, 3).module = CModule{"old1", "", "", 1, 2, "p", {9}};
    doc.Slot(Port::COM2, 3).module = CModule{"old2", "", "", 1, 2, "p", {9}};
    return doc;
}

// The outcome of a read and the document after it, one line per field and
// per occupied slot.
std::string Describe(const Status& read, const CVarnelDoc& doc)
{
    std::string out = read ? "complete" : read.message().text;
    out += "\ndeviceIp " + doc.deviceIp + "\ndeviceSlotNum " + std::to_string(doc.deviceSlotNum) +
           "\nenabled " + std::to_string(doc.com1Enabled) + " " + std::to_string(doc.com2Enabled);
    for (Port port : {Port::COM1, Port::COM2})
        for (int i = 0; i < CVarnelDoc::RACK_SIZE; ++i) {
            const CModule& m = doc.Slot(port, i).module;
            if (m == CModule{}) continue;
            out += "\n" + std::string(PortName(port)) + "." + std::to_string(i) + " " +
                   m.moduleName + "|" + m.usrPrm + "|" + m.Ext_Module_Prm_Data_Len + "|" +
                   m.picture + " in " + std::to_string(m.inputLen) + " out " +
                   std::to_string(m.outputLen) + " prm " + FormatHex(m.modulePrm);
        }
    return out + "\n";
}

// Each read/NAME.vrc, read into Before(), gives read/NAME.expected.
// VARNEL_UPDATE_GOLDEN=1 rewrites the expected files.
TEST_F(ProjectFileTest, GoldenReads)
{
    int cases = 0;
    for (const auto& entry : std::filesystem::directory_iterator(DATA / "read")) {
        if (entry.path().extension() != ".vrc") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++cases;
        CVarnelDoc doc = Before();
        const Status read = ProjectFile::Load(ReadFile(entry.path()), doc);
        const std::string actual = Describe(read, doc);
        auto expected = entry.path();
        expected.replace_extension(".expected");
        if (std::getenv("VARNEL_UPDATE_GOLDEN")) WriteFile(expected, actual);
        EXPECT_EQ(actual, ReadFile(expected));
        if (!read) {
            EXPECT_EQ(read.code(), read.message().text == "文档格式错误" ? Code::ProjectFormat
                                                                         : Code::ProjectIncomplete);
        }
    }
    EXPECT_GE(cases, 19);
}

TEST_F(ProjectFileTest, WrittenBytesAndRoundTrip)
{
    EXPECT_EQ(ProjectFile::Store(NewDoc()), ReadFile(DATA / "new-document/expected.vrc"));
    const std::pair<std::uint64_t, const char*> prefixes[] = {
        {0, "00"},
        {200, "c8"},
        {254, "fe"},
        {255, "ff ff 00"},
        {300, "ff 2c 01"},
        {65533, "ff fd ff"},
        {65534, "ff ff ff fe ff 00 00"},
        {4294967294u, "ff ff ff fe ff ff ff"},
        {4294967295u, "ff ff ff ff ff ff ff ff ff ff ff 00 00 00 00"},
    };
    for (const auto& [n, bytes] : prefixes) {
        const std::string prefix = ProjectFile::LengthPrefix(n);
        EXPECT_EQ(Bytes(prefix.begin(), prefix.end()), H(bytes)) << n;
    }

    CVarnelDoc doc = NewDoc();
    doc.deviceIp = "10.0.0.1&<x>";
    doc.deviceSlotNum = 5;
    doc.com1Enabled = doc.com2Enabled = 1;
    doc.Slot(Port::COM1, 0).module = CModule{"STATE", "", "", 2, 0, "state", {0x01, 0x0a, 0xff}};
    doc.Slot(Port::COM1, 3).module =
        CModule{"读0区 01H", "u&\"q'<>", "12", -5, 2147483647, "图片", {0, 0x10}};
    doc.Slot(Port::COM2, 7).module = CModule{"MODBUS从站状态表（8位）", "", "", 1, 1, "", {}};
    doc.Slot(Port::COM1, 8).module = CModule{"above the count", "", "", 0, 0, "", {1}};
    const std::string bytes = ProjectFile::Store(doc);
    for (const std::string& part :
         {std::string("modulePrm=\"010aff\""),
          std::string("<deviceIp>10.0.0.1&amp;&lt;x&gt;</deviceIp>"),
          std::string("usrPrm=\"u&amp;&quot;q&apos;&lt;&gt;\""), TextCodec::Utf8ToGbk("读0区 01H")})
        EXPECT_NE(bytes.find(part), std::string::npos) << part;
    EXPECT_EQ(bytes.find("above the count"), std::string::npos);  // slot 8 > 5 + 2
    CVarnelDoc back = Before();
    ASSERT_TRUE(ProjectFile::Load(bytes, back));
    doc.Slot(Port::COM1, 8).module = CModule{};  // not saved, and the rack is cleared
    EXPECT_EQ(Describe({}, back), Describe({}, doc));
    EXPECT_EQ(ProjectFile::Store(back), bytes);
    doc.deviceSlotNum = 54;  // every rack entry is saved: 57 modules per port
    const std::string full = ProjectFile::BuildText(doc), tag = "<Module ";
    int modules = 0;
    for (auto at = full.find(tag); at != std::string::npos; at = full.find(tag, at + 1)) ++modules;
    EXPECT_EQ(modules, 2 * 57);
    EXPECT_EQ(ProjectFile::DecimalValue("99999999999"), 2147483647);
    EXPECT_EQ(ProjectFile::DecimalValue("-99999999999"), -2147483647 - 1);
}

TEST_F(ProjectFileTest, SaveRefusalsKeepTheFile)
{
    const std::string path = (env.home / "p.vrc").string();
    WriteFile(path, "old content");
    CVarnelDoc doc = NewDoc();
    doc.deviceSlotNum = 60;  // refused before writing
    Status saved = ProjectFile::Save(path, doc);
    EXPECT_EQ(saved.code(), Code::BadSlotCount);
    EXPECT_EQ(saved.message().text, "无法写入文件 " + path + ": 槽数取值范围:1~54的正整数");
    EXPECT_EQ(ReadFile(path), "old content");
    doc.deviceSlotNum = 10;
    saved = ProjectFile::Save(path + "/q.vrc", doc);  // the folder is a file
    EXPECT_EQ(saved.message().text, "无法写入文件 " + path + "/q.vrc: Not a directory");
    ASSERT_TRUE(ProjectFile::Save(path, doc));
    EXPECT_EQ(ReadFile(path), ProjectFile::Store(doc));
}

// Opening reads and compiles: the hex file matches after a complete read;
// a serial-parameter module too short for the compile is a format error.
TEST_F(ProjectFileTest, OpenReadsAndCompiles)
{
    CVarnelDoc good = NewDoc({Port::COM1});
    CVarnelDoc shortSerial = good;
    shortSerial.Slot(Port::COM1, 2).module.modulePrm = {0x05, 0x00};
    WriteFile(env.home / "good.vrc", ProjectFile::Store(good));
    WriteFile(env.home / "short.vrc", ProjectFile::Store(shortSerial));
    const std::string text = ProjectFile::BuildText(good);
    const std::string cut = text.substr(0, text.find("<COM2>")) + "</VarnelProject>\r\n";
    WriteFile(env.home / "cut.vrc", ProjectFile::LengthPrefix(cut.size()) + cut);
    std::filesystem::create_directory(env.home / "folder.vrc");
    const std::string hex = good.HexFilePath();
    const struct {
        const char* name;
        std::optional<Code> code;
        bool hexWritten;
    } cases[] = {
        {"cut.vrc", Code::ProjectIncomplete, false},
        {"none.vrc", Code::FileMissing, false},
        {"folder.vrc", Code::FileIsDirectory, false},
        {"short.vrc", Code::ProjectFormat, false},
        {"good.vrc", std::nullopt, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(hex);
        CVarnelDoc doc = Before();
        const auto opened = OpenProjectFile((env.home / c.name).string(), doc);
        EXPECT_EQ(opened ? std::nullopt : std::optional(opened.code()), c.code);
        if (opened) {
            EXPECT_TRUE(opened->compile);
        } else if (c.code == Code::ProjectFormat) {
            EXPECT_EQ(opened.message().text, "文档格式错误");
        }
        EXPECT_EQ(std::filesystem::exists(hex), c.hexWritten);
    }
}

}  // namespace
