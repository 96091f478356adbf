// The project file: the exact bytes written, the length prefix, the reading
// steps with their stop and failure rules, the open with its compile, and
// round trips. Cases are golden files under tests/data/project.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/project/ProjectFile.h"
#include "core/project/ProjectStore.h"
#include "core/project/TableRows.h"
#include "core/util/Hex.h"
#include "support/DocFixtures.h"

using namespace varnel;
using docfixtures::NewDoc;
using testsupport::ReadFile;
namespace fs = std::filesystem;

namespace {

const fs::path DATA = fs::path(VARNEL_SOURCE_DIR) / "tests/data/project";

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

// The outcome of a read and the document after it: one line per field and
// per occupied slot.
std::string Describe(const Status& read, const CVarnelDoc& doc)
{
    std::string out = (read ? "complete" : read.message().text) + "\ndeviceIp " + doc.deviceIp +
                      "\ndeviceSlotNum " + std::to_string(doc.deviceSlotNum) + "\nenabled " +
                      std::to_string(doc.com1Enabled) + " " + std::to_string(doc.com2Enabled);
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

// `actual` against a golden file; VARNEL_UPDATE_GOLDEN=1 rewrites the file.
void ExpectGolden(const std::string& actual, const fs::path& file)
{
    if (std::getenv("VARNEL_UPDATE_GOLDEN")) testsupport::WriteFile(file, actual);
    EXPECT_EQ(actual, ReadFile(file)) << file;
}

// Each read/NAME.vrc, read into Before(), gives read/NAME.expected.
TEST_F(ProjectFileTest, GoldenReads)
{
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(DATA / "read")) {
        if (entry.path().extension() != ".vrc") continue;
        ++cases;
        CVarnelDoc doc = Before();
        const Status read = ProjectFile::Load(ReadFile(entry.path()), doc);
        ExpectGolden(Describe(read, doc), fs::path(entry.path()).replace_extension(".expected"));
    }
    EXPECT_GE(cases, 19);
}

TEST_F(ProjectFileTest, WrittenBytesAndRoundTrip)
{
    EXPECT_EQ(ProjectFile::Store(NewDoc()), ReadFile(DATA / "new-document/expected.vrc"));
    for (const auto& row : tablerows::Rows("prefix.tsv")) {
        const std::string prefix = ProjectFile::LengthPrefix(std::stoull(row[0]));
        EXPECT_EQ(FormatHex(Bytes(prefix.begin(), prefix.end()), " "), row[1] + " ");
    }
    // Escaped texts, odd numbers and bytes; slot 8 lies above the count.
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
    ExpectGolden(bytes, DATA / "store/odd-values.vrc");
    CVarnelDoc back = Before();
    ASSERT_TRUE(ProjectFile::Load(bytes, back));
    doc.Slot(Port::COM1, 8).module = CModule{};  // not saved, and the rack is cleared
    EXPECT_EQ(Describe({}, back), Describe({}, doc));
    EXPECT_EQ(ProjectFile::Store(back), bytes);
    const std::string path = (env.home / "p.vrc").string();  // a count out of range:
    testsupport::WriteFile(path, "old content");             // refused before writing
    doc.deviceSlotNum = 60;
    const Status saved = ProjectFile::Save(path, doc);
    EXPECT_EQ(saved.code(), Code::BadSlotCount);
    EXPECT_EQ(saved.message().text, "无法写入文件 " + path + ": 槽数取值范围:1~54的正整数");
    EXPECT_EQ(ReadFile(path), "old content");
    doc.deviceSlotNum = 54;  // every rack entry is saved: 57 modules per port
    const std::string full = ProjectFile::BuildText(doc);
    std::size_t modules = 0;
    for (std::size_t at = 0; (at = full.find("<Module ", at)) != std::string::npos; ++at) ++modules;
    EXPECT_EQ(modules, 2u * 57);
}

// Opening reads and compiles, so the hex file matches after a complete read;
// a serial-parameter module too short for the compile is a format error.
TEST_F(ProjectFileTest, OpenReadsAndCompiles)
{
    fs::create_directory(env.home / "folder.vrc");
    const std::string hex = Before().HexFilePath();
    const std::pair<fs::path, std::optional<Code>> cases[] = {
        {DATA / "read/no-com2.vrc", Code::ProjectIncomplete},
        {env.home / "none.vrc", Code::FileMissing},
        {env.home / "folder.vrc", Code::FileIsDirectory},
        {DATA / "open/short-comprm.vrc", Code::ProjectFormat},
        {DATA / "open/good.vrc", std::nullopt},
    };
    for (const auto& [path, code] : cases) {
        SCOPED_TRACE(path);
        fs::remove(hex);
        CVarnelDoc doc = Before();
        const auto opened = OpenProjectFile(path.string(), doc);
        EXPECT_EQ(opened ? std::nullopt : std::optional(opened.code()), code);
        if (code == Code::ProjectFormat) {
            EXPECT_EQ(Describe(opened.error(), doc), Describe(opened.error(), NewDoc()));
        }
        EXPECT_EQ(fs::exists(hex), !code);
    }
    EXPECT_EQ(ReadFile(hex), ReadFile(DATA / "open/good.hex"));
}

}  // namespace
