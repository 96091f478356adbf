// The project file: the exact bytes written, the length prefix both ways, the
// reading steps with their stop and failure rules, and round trips.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/project/ProjectFile.h"
#include "core/project/TextCodec.h"
#include "support/DocFixtures.h"

using namespace varnel;
using docfixtures::NewDoc;
using docfixtures::H;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Every test runs on a data folder whose option file says 192.168.1.10.
class ProjectFileTest : public ::testing::Test {
protected:
    testsupport::HomeEnv env;
};

// A project text in the layout the program writes, with one "Module" line
// per entry of `com1`/`com2` (the attribute text after "Module").
std::string ProjectText(const std::string& head, const std::vector<std::string>& com1,
                        const std::vector<std::string>& com2, bool withCom2 = true)
{
    std::string t = std::string(ProjectFile::DECLARATION) + "<VarnelProject>\r\n" + head;
    for (const auto* port : {&com1, &com2}) {
        if (port == &com2 && !withCom2) break;
        const std::string name = port == &com1 ? "COM1" : "COM2";
        t += "<" + name + ">\r\n";
        for (const auto& m : *port) t += "<Module " + m + "/>\r\n";
        t += "</" + name + ">\r\n";
    }
    return t + "</VarnelProject>\r\n";
}

const std::string HEAD =
    "<softVer>1.0</softVer>\r\n<deviceIp>10.1.2.3</deviceIp>\r\n"
    "<deviceSlotNum>4</deviceSlotNum>\r\n<COMInfo com1=\"1\" com2=\"0\"/>\r\n";
const std::string MODULE = "moduleName=\"M\" modulePrm=\"0102\"";

std::string WithPrefix(const std::string& text)
{
    return ProjectFile::LengthPrefix(text.size()) + text;
}

// A new document with something in every field, for "nothing changed" checks.
CVarnelDoc Filled()
{
    CVarnelDoc doc = NewDoc();
    doc.deviceIp = "1.1.1.1";
    doc.deviceSlotNum = 7;
    doc.com1Enabled = doc.com2Enabled = 1;
    for (Port port : {Port::COM1, Port::COM2})
        for (int i = 0; i < CVarnelDoc::RACK_SIZE; ++i)
            doc.Slot(port, i).module = CModule{"old" + std::to_string(i), "", "", 1, 2, "p", {9}};
    return doc;
}

TEST_F(ProjectFileTest, NewDocumentIsWrittenByteForByte)
{
    const std::string expected = ReadFile(std::filesystem::path(VARNEL_SOURCE_DIR) /
                                          "tests/data/project/new-document/expected.vrc");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(ProjectFile::Store(NewDoc()), expected);
}

TEST(ProjectLengthPrefix, WrittenForms)
{
    const std::pair<std::uint64_t, const char*> cases[] = {
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
    for (const auto& [n, bytes] : cases) {
        const std::string prefix = ProjectFile::LengthPrefix(n);
        EXPECT_EQ(std::vector<std::uint8_t>(prefix.begin(), prefix.end()), H(bytes)) << n;
    }
}

TEST_F(ProjectFileTest, ReadLengthPrefixForms)
{
    const std::string text = ProjectText(HEAD, {"moduleName=\"\xD6\xD0\""}, {});
    const auto le = [](std::uint64_t v, int size) {
        std::string s;
        for (int k = 0; k < size; ++k) s += static_cast<char>(v >> (8 * k) & 0xFF);
        return s;
    };
    // The same text as UTF-16 (little-endian): ASCII and one U+4E2D.
    std::string wide;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool han = static_cast<unsigned char>(text[i]) >= 0x80;
        wide += han ? le(0x4E2D, 2) : le(static_cast<unsigned char>(text[i]), 2);
        i += han;
    }
    const std::string ff(7, '\xff');
    const std::pair<const char*, std::string> cases[] = {
        {"3-byte form", ff.substr(0, 1) + le(text.size(), 2) + text},
        {"7-byte form for a short text", ff.substr(0, 3) + le(text.size(), 4) + text},
        {"15-byte form", ff + le(text.size(), 8) + text},
        {"UTF-16", "\xff\xfe\xff" + ff.substr(0, 1) + le(wide.size() / 2, 2) + wide},
        {"bytes after the text are not read", ff.substr(0, 1) + le(text.size(), 2) + text + "x"},
    };
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name);
        CVarnelDoc doc = NewDoc();
        EXPECT_EQ(ProjectFile::Load(file, doc).status, ProjectReadStatus::Complete);
        EXPECT_EQ(doc.deviceIp, "10.1.2.3");
        EXPECT_EQ(doc.Slot(Port::COM1, 0).module.moduleName, "中");
    }
}

TEST(ProjectNumbers, DecimalAndHexPairConversions)
{
    const std::pair<const char*, std::int32_t> decs[] = {
        {"54", 54}, {" \t+7x", 7},  {"-12", -12},          {"", 0},
        {"abc", 0}, {"0054", 54}, {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}};
    for (const auto& [text, value] : decs)
        EXPECT_EQ(ProjectFile::DecimalValue(text), value) << text;
    const std::pair<const char*, const char*> hexes[] = {
        {"010aff", "01 0a ff"}, {"010AFF", "01 0a ff"}, {"010aF", "01 0a"}, {"", ""},
        {" 1-1+f", "01 ff 0f"}, {"0xzzg1", "00 00 00"}, {"1 ", "01"},
    };
    for (const auto& [text, bytes] : hexes)
        EXPECT_EQ(ProjectFile::HexPairs(text), H(bytes)) << text;
}

TEST_F(ProjectFileTest, RoundTripOfAnyDocument)
{
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
    for (const std::string& part : {std::string("modulePrm=\"010aff\""),
                                    std::string("<deviceIp>10.0.0.1&amp;&lt;x&gt;</deviceIp>"),
                                    std::string("usrPrm=\"u&amp;&quot;q&apos;&lt;&gt;\""),
                                    TextCodec::Utf8ToGbk("读0区 01H")})
        EXPECT_NE(bytes.find(part), std::string::npos) << part;
    EXPECT_EQ(bytes.find("above the count"), std::string::npos);  // slot 8 > 5 + 2

    CVarnelDoc back = Filled();
    ASSERT_EQ(ProjectFile::Load(bytes, back).status, ProjectReadStatus::Complete);
    doc.Slot(Port::COM1, 8).module = CModule{};  // not saved, and the rack is cleared
    EXPECT_EQ(back.deviceIp, doc.deviceIp);
    EXPECT_EQ(back.deviceSlotNum, 5);
    EXPECT_EQ(back.com1Enabled, 1);
    EXPECT_EQ(back.com2Enabled, 1);
    EXPECT_EQ(back.com1Slots, doc.com1Slots);
    EXPECT_EQ(back.com2Slots, doc.com2Slots);
    EXPECT_EQ(ProjectFile::Store(back), bytes);

    // At 54 slots every rack entry is saved: 57 modules per port.
    doc.deviceSlotNum = 54;
    const std::string full = ProjectFile::BuildText(doc), tag = "<Module ";
    int modules = 0;
    for (auto at = full.find(tag); at != std::string::npos; at = full.find(tag, at + 1)) ++modules;
    EXPECT_EQ(modules, 2 * 57);
}

TEST_F(ProjectFileTest, FailureRows)
{
    const auto slots = [](const char* n) {
        return WithPrefix(ProjectText(
            std::string("<softVer/><deviceIp/><deviceSlotNum>") + n + "</deviceSlotNum>", {}, {}));
    };
    const std::vector<std::string> thirteen(13, MODULE), many(58, MODULE);
    using S = ProjectReadStatus;
    struct Case {
        const char* name;
        std::string file;
        S status;
        std::string missing;
    } cases[] = {
        {"truncated text", WithPrefix(ProjectText(HEAD, thirteen, thirteen)).substr(0, 500),
         S::FormatError, ""},
        {"prefix cut short", "\xff\x10", S::FormatError, ""},
        {"58 modules in COM1", WithPrefix(ProjectText(HEAD, many, {})), S::FormatError, ""},
        {"58 modules in COM2", WithPrefix(ProjectText(HEAD, {}, many)), S::FormatError, ""},
        {"slot count 0", slots("0"), S::FormatError, ""},
        {"slot count 55", slots("55"), S::FormatError, ""},
        {"slot count text", slots("x"), S::FormatError, ""},
        {"not a project at all", WithPrefix("<?xml version='1.0'?><other><COM1/></other>"),
         S::Incomplete, "VarnelProject"},
        {"an empty file", "", S::Incomplete, "VarnelProject"},
        {"an empty text", std::string(1, '\0'), S::Incomplete, "VarnelProject"},
        {"no softVer", WithPrefix("<VarnelProject><deviceIp>9.9.9.9</deviceIp></VarnelProject>"),
         S::Incomplete, "softVer"},
    };
    const CVarnelDoc before = Filled();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CVarnelDoc doc = before;
        const ProjectReadResult r = ProjectFile::Load(c.file, doc);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.missing, c.missing);
        if (c.status == S::FormatError) {
            EXPECT_EQ(r.message, ErrorMessage("文档格式错误", "错误"));
            // The document was renewed: option-file address, 10 slots, empty racks.
            EXPECT_EQ(doc.deviceIp, "192.168.1.10");
            EXPECT_EQ(doc.deviceSlotNum, 10);
            EXPECT_EQ(doc.com1Enabled, 0);
            EXPECT_EQ(doc.com1Slots, NewDoc().com1Slots);
            EXPECT_EQ(doc.com2Slots, NewDoc().com2Slots);
        } else {
            EXPECT_FALSE(r.message.has_value());
            EXPECT_EQ(doc.deviceIp, before.deviceIp);
            EXPECT_EQ(doc.com1Slots, before.com1Slots);
        }
    }
}

TEST_F(ProjectFileTest, ReadingStopsAtTheFirstMissingElement)
{
    // deviceIp after deviceSlotNum: the IP is read, the search for the slot
    // count starts after it and fails.
    CVarnelDoc doc = Filled();
    ProjectReadResult r = ProjectFile::Load(
        WithPrefix(ProjectText("<softVer>2.0</softVer><deviceSlotNum>4</deviceSlotNum>"
                               "<deviceIp>7.7.7.7</deviceIp><COMInfo com1=\"1\"/>",
                               {MODULE}, {})),
        doc);
    EXPECT_EQ(r.status, ProjectReadStatus::Incomplete);
    EXPECT_EQ(r.missing, "deviceSlotNum");
    EXPECT_EQ(doc.deviceIp, "7.7.7.7");
    EXPECT_EQ(doc.deviceSlotNum, 7);
    EXPECT_EQ(doc.Slot(Port::COM1, 0).module.moduleName, "old0");

    // No COM2: COM1 is loaded, COM2 keeps its modules.
    doc = Filled();
    r = ProjectFile::Load(WithPrefix(ProjectText(HEAD, {MODULE, MODULE}, {}, false)), doc);
    EXPECT_EQ(r.status, ProjectReadStatus::Incomplete);
    EXPECT_EQ(r.missing, "COM2");
    EXPECT_EQ(doc.deviceSlotNum, 4);
    EXPECT_EQ(doc.com1Enabled, 1);
    EXPECT_EQ(doc.com2Enabled, 0);
    EXPECT_EQ(doc.Slot(Port::COM1, 1).module.moduleName, "M");
    EXPECT_EQ(doc.Slot(Port::COM1, 1).module.modulePrm, H("01 02"));
    EXPECT_TRUE(doc.Slot(Port::COM1, 2).IsEmpty());  // the rack was cleared first
    EXPECT_EQ(doc.Slot(Port::COM2, 3).module.moduleName, "old3");

    // Other elements between the wanted ones are skipped; softVer 2.0 reads
    // alike; missing attributes read as empty text and 0.
    doc = NewDoc();
    ASSERT_EQ(ProjectFile::Load(WithPrefix(ProjectText(
                                    "<softVer>2.0</softVer><extra/><deviceIp>5.5.5.5</deviceIp>"
                                    "<deviceSlotNum> 3</deviceSlotNum><x/><COMInfo/>",
                                    {"moduleName=\"A\" inputLen=\"12\""}, {"picture='p'"})),
                                doc)
                  .status,
              ProjectReadStatus::Complete);
    EXPECT_EQ(doc.deviceSlotNum, 3);
    EXPECT_EQ(doc.com1Enabled, 0);
    EXPECT_EQ(doc.Slot(Port::COM1, 0).module, (CModule{"A", "", "", 12, 0, "", {}}));
    EXPECT_EQ(doc.Slot(Port::COM2, 0).module.picture, "p");
}

TEST_F(ProjectFileTest, SaveFailureKeepsDocumentAndFileAndOpenCompiles)
{
    TempDir dir;
    CVarnelDoc doc = NewDoc();
    doc.modified = true;
    const std::string path = (dir / "p.vrc").string(), hex = doc.HexFilePath();
    WriteFile(path, "old content");

    // The folder is a file: nothing can be written there.
    const std::string blocked = (dir / "p.vrc" / "q.vrc").string();
    LegacyRefusal r = ProjectFile::Save(blocked, doc);
    ASSERT_TRUE(r.has_value());
    EXPECT_NE(r->text.find(blocked), std::string::npos);
    EXPECT_NE(r->text.find("Not a directory"), std::string::npos);
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(doc.deviceIp, "192.168.1.10");

    // A document whose slot count is out of range is refused before writing.
    doc.deviceSlotNum = 60;
    r = ProjectFile::Save(path, doc);
    ASSERT_TRUE(r.has_value());
    EXPECT_NE(r->text.find(path), std::string::npos);
    EXPECT_EQ(ReadFile(path), "old content");
    EXPECT_EQ(doc.deviceSlotNum, 60);

    doc.deviceSlotNum = 10;
    EXPECT_FALSE(ProjectFile::Save(path, doc).has_value());
    EXPECT_EQ(ReadFile(path), ProjectFile::Store(doc));

    // Opening compiles only after a complete read.
    WriteFile(dir / "cut.vrc", WithPrefix(ProjectText(HEAD, {}, {}, false)));
    const ProjectOpenResult cut = ProjectFile::Open((dir / "cut.vrc").string(), doc);
    EXPECT_EQ(cut.read.status, ProjectReadStatus::Incomplete);
    EXPECT_FALSE(cut.compile.has_value());
    EXPECT_FALSE(std::filesystem::exists(hex));

    const ProjectOpenResult full = ProjectFile::Open(path, doc);
    EXPECT_TRUE(full.read.IsComplete());
    ASSERT_TRUE(full.compile.has_value());
    EXPECT_TRUE(full.compile->ok());
    EXPECT_TRUE(std::filesystem::exists(hex));

    const ProjectOpenResult missing = ProjectFile::Open((dir / "none.vrc").string(), doc);
    EXPECT_EQ(missing.read.status, ProjectReadStatus::Unreadable);
    ASSERT_TRUE(missing.read.message.has_value());
    EXPECT_NE(missing.read.message->text.find("none.vrc"), std::string::npos);
}

}  // namespace
