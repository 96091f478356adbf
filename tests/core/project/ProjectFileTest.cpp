// The project file: the exact bytes written, the length prefix both ways, the
// reading steps with their stop and failure rules, and round trips.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/project/CXmlDoc.h"
#include "core/project/ProjectFile.h"
#include "core/project/TextCodec.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// A data folder with an option file for the documents of one test.
class ProjectFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* old = std::getenv("VARNEL_HOME");
        hadHome = old != nullptr;
        if (hadHome) oldHome = old;
        testsupport::MakeHome(home.path(), "192.168.1.10");
        ::setenv("VARNEL_HOME", home.str().c_str(), 1);
    }
    void TearDown() override
    {
        if (hadHome)
            ::setenv("VARNEL_HOME", oldHome.c_str(), 1);
        else
            ::unsetenv("VARNEL_HOME");
    }

    CVarnelDoc NewDoc()
    {
        CVarnelDoc doc;
        doc.OnNewDocument();
        return doc;
    }

    TempDir home;
    bool hadHome = false;
    std::string oldHome;
};

// A project text in the layout the program writes, with one "Module" line
// per entry of `com1`/`com2` (the attribute text after "Module").
std::string ProjectText(const std::string& head, const std::vector<std::string>& com1,
                        const std::vector<std::string>& com2, bool withCom2 = true)
{
    std::string t = std::string(ProjectFile::DECLARATION) + "<VarnelProject>\r\n" + head;
    t += "<COM1>\r\n";
    for (const auto& m : com1) t += "<Module " + m + "/>\r\n";
    t += "</COM1>\r\n";
    if (withCom2) {
        t += "<COM2>\r\n";
        for (const auto& m : com2) t += "<Module " + m + "/>\r\n";
        t += "</COM2>\r\n";
    }
    return t + "</VarnelProject>\r\n";
}

const std::string HEAD =
    "<softVer>1.0</softVer>\r\n<deviceIp>10.1.2.3</deviceIp>\r\n"
    "<deviceSlotNum>4</deviceSlotNum>\r\n<COMInfo com1=\"1\" com2=\"0\"/>\r\n";

std::string WithPrefix(const std::string& text)
{
    return ProjectFile::LengthPrefix(text.size()) + text;
}

// A document with something in every field, for "nothing changed" checks.
void Fill(CVarnelDoc& doc)
{
    doc.deviceIp = "1.1.1.1";
    doc.deviceSlotNum = 7;
    doc.com1Enabled = doc.com2Enabled = 1;
    for (Port port : {Port::COM1, Port::COM2})
        for (int i = 0; i < CVarnelDoc::RACK_SIZE; ++i)
            doc.Slot(port, i).module = CModule{"old" + std::to_string(i), "", "", 1, 2, "p", {9}};
}

TEST_F(ProjectFileTest, NewDocumentIsWrittenByteForByte)
{
    const CVarnelDoc doc = NewDoc();
    const std::string expected = ReadFile(std::filesystem::path(VARNEL_SOURCE_DIR) /
                                          "tests/data/project/new-document/expected.vrc");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(ProjectFile::Store(doc), expected);
}

TEST(ProjectLengthPrefix, WrittenForms)
{
    struct Case {
        std::uint64_t n;
        std::string bytes;
    } cases[] = {
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        const std::string prefix = ProjectFile::LengthPrefix(c.n);
        EXPECT_EQ(std::vector<std::uint8_t>(prefix.begin(), prefix.end()),
                  testsupport::Bytes(c.bytes));
    }
}

TEST_F(ProjectFileTest, ReadLengthPrefixForms)
{
    const std::string text = ProjectText(HEAD, {"moduleName=\"\xD6\xD0\""}, {});
    auto raw = [](const std::string& hex) {
        const auto b = testsupport::Bytes(hex);
        return std::string(b.begin(), b.end());
    };
    auto le = [](std::uint64_t v, int size) {
        std::string s;
        for (int k = 0; k < size; ++k) s += static_cast<char>(v >> (8 * k) & 0xFF);
        return s;
    };
    // The same text as UTF-16 (little-endian): length in characters.
    std::string wide;
    const std::string utf8 = TextCodec::GbkToUtf8(text);
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        std::uint32_t cp;
        if (c < 0x80) {
            cp = c, i += 1;
        } else {  // the only non-ASCII character is U+4E2D
            cp = 0x4E2D, i += 3;
        }
        wide += le(cp, 2);
        ++chars;
    }
    struct Case {
        const char* name;
        std::string file;
    } cases[] = {
        {"3-byte form", raw("ff") + le(text.size(), 2) + text},
        {"7-byte form for a short text", raw("ff ff ff") + le(text.size(), 4) + text},
        {"15-byte form", raw("ff ff ff ff ff ff ff") + le(text.size(), 8) + text},
        {"UTF-16", raw("ff fe ff ff") + le(chars, 2) + wide},
        {"bytes after the text are not read", raw("ff") + le(text.size(), 2) + text + "junk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CVarnelDoc doc = NewDoc();
        const ProjectReadResult r = ProjectFile::Load(c.file, doc);
        EXPECT_EQ(r.status, ProjectReadStatus::Complete);
        EXPECT_EQ(doc.deviceIp, "10.1.2.3");
        EXPECT_EQ(doc.Slot(Port::COM1, 0).module.moduleName, "中");
    }
}

TEST(ProjectNumbers, DecimalAndHexPairConversions)
{
    struct Dec {
        const char* text;
        std::int32_t value;
    } decs[] = {{"54", 54},
                {" \t+7x", 7},
                {"-12", -12},
                {"", 0},
                {"abc", 0},
                {"0054", 54},
                {"99999999999", 2147483647},
                {"-99999999999", -2147483647 - 1}};
    for (const auto& d : decs) EXPECT_EQ(ProjectFile::DecimalValue(d.text), d.value) << d.text;

    struct Hex {
        const char* text;
        std::string bytes;
    } hexes[] = {
        {"010aff", "01 0a ff"}, {"010AFF", "01 0a ff"}, {"010aF", "01 0a"}, {"", ""},
        {" 1-1+f", "01 ff 0f"}, {"0xzzg1", "00 00 00"}, {"1 ", "01"},
    };
    for (const auto& h : hexes)
        EXPECT_EQ(ProjectFile::HexPairs(h.text), testsupport::Bytes(h.bytes)) << h.text;
}

TEST_F(ProjectFileTest, RoundTripOfAnyDocument)
{
    CVarnelDoc doc = NewDoc();
    doc.deviceIp = "10.0.0.1&<x>";
    doc.deviceSlotNum = 5;
    doc.com1Enabled = 1;
    doc.com2Enabled = 1;
    doc.Slot(Port::COM1, 0).module = CModule{"STATE", "", "", 2, 0, "state", {0x01, 0x0a, 0xff}};
    doc.Slot(Port::COM1, 3).module =
        CModule{"读0区 01H", "u&\"q'<>", "12", -5, 2147483647, "图片", {0, 0x10}};
    doc.Slot(Port::COM2, 7).module = CModule{"MODBUS从站状态表（8位）", "", "", 1, 1, "", {}};
    doc.Slot(Port::COM1, 8).module = CModule{"above the count", "", "", 0, 0, "", {1}};

    const std::string bytes = ProjectFile::Store(doc);
    const std::string text = bytes.substr(3);
    EXPECT_NE(text.find("modulePrm=\"010aff\""), std::string::npos);
    EXPECT_NE(text.find("<deviceIp>10.0.0.1&amp;&lt;x&gt;</deviceIp>"), std::string::npos);
    EXPECT_NE(text.find("usrPrm=\"u&amp;&quot;q&apos;&lt;&gt;\""), std::string::npos);
    EXPECT_NE(text.find(TextCodec::Utf8ToGbk("读0区 01H")), std::string::npos);
    EXPECT_EQ(text.find("above the count"), std::string::npos);  // slot 8 > 5 + 2

    CVarnelDoc back;
    Fill(back);
    ASSERT_EQ(ProjectFile::Load(bytes, back).status, ProjectReadStatus::Complete);
    CVarnelDoc expected = doc;
    expected.Slot(Port::COM1, 8).module = CModule{};  // not saved, and the rack is cleared
    EXPECT_EQ(back.deviceIp, expected.deviceIp);
    EXPECT_EQ(back.deviceSlotNum, 5);
    EXPECT_EQ(back.com1Enabled, 1);
    EXPECT_EQ(back.com2Enabled, 1);
    for (Port port : {Port::COM1, Port::COM2})
        for (int i = 0; i < CVarnelDoc::RACK_SIZE; ++i)
            EXPECT_EQ(back.Slot(port, i).module, expected.Slot(port, i).module)
                << PortName(port) << " " << i;
    EXPECT_EQ(ProjectFile::Store(back), bytes);
}

TEST_F(ProjectFileTest, FiftyFourSlotsGiveFiftySevenModules)
{
    CVarnelDoc doc = NewDoc();
    doc.deviceSlotNum = 54;
    const std::string text = ProjectFile::BuildText(doc);
    CXmlDoc xml;
    ASSERT_TRUE(xml.SetDocument(text));
    ASSERT_TRUE(xml.FindElement("VarnelProject"));
    xml.IntoElement();
    for (const char* port : {"COM1", "COM2"}) {
        ASSERT_TRUE(xml.FindElement(port));
        xml.IntoElement();
        int modules = 0;
        while (xml.FindElement("Module")) ++modules;
        EXPECT_EQ(modules, 57);
        xml.OutOfElement();
    }
}

TEST_F(ProjectFileTest, FailureRows)
{
    const std::string module = "moduleName=\"M\" modulePrm=\"0102\"";
    const std::vector<std::string> thirteen(13, module);
    struct Case {
        const char* name;
        std::string file;
        ProjectReadStatus status;
        std::string missing;
    } cases[] = {
        {"truncated text", WithPrefix(ProjectText(HEAD, thirteen, thirteen)).substr(0, 500),
         ProjectReadStatus::FormatError, ""},
        {"prefix cut short", "\xff\x10", ProjectReadStatus::FormatError, ""},
        {"58 modules in COM1", WithPrefix(ProjectText(HEAD, std::vector(58, module), {})),
         ProjectReadStatus::FormatError, ""},
        {"58 modules in COM2", WithPrefix(ProjectText(HEAD, {}, std::vector(58, module))),
         ProjectReadStatus::FormatError, ""},
        {"slot count 0",
         WithPrefix(ProjectText("<softVer/><deviceIp/><deviceSlotNum>0</deviceSlotNum>", {}, {})),
         ProjectReadStatus::FormatError, ""},
        {"slot count 55",
         WithPrefix(ProjectText("<softVer/><deviceIp/><deviceSlotNum>55</deviceSlotNum>", {}, {})),
         ProjectReadStatus::FormatError, ""},
        {"slot count text",
         WithPrefix(ProjectText("<softVer/><deviceIp/><deviceSlotNum>x</deviceSlotNum>", {}, {})),
         ProjectReadStatus::FormatError, ""},
        {"not a project at all", WithPrefix("<?xml version='1.0'?><other><COM1/></other>"),
         ProjectReadStatus::Incomplete, "VarnelProject"},
        {"an empty file", "", ProjectReadStatus::Incomplete, "VarnelProject"},
        {"an empty text", std::string(1, '\0'), ProjectReadStatus::Incomplete, "VarnelProject"},
        {"no softVer", WithPrefix("<VarnelProject><deviceIp>9.9.9.9</deviceIp></VarnelProject>"),
         ProjectReadStatus::Incomplete, "softVer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CVarnelDoc doc = NewDoc();
        Fill(doc);
        const CVarnelDoc before = doc;
        const ProjectReadResult r = ProjectFile::Load(c.file, doc);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.missing, c.missing);
        if (c.status == ProjectReadStatus::FormatError) {
            ASSERT_TRUE(r.message.has_value());
            EXPECT_EQ(*r.message, ErrorMessage("文档格式错误", "错误"));
            // The document was renewed: option-file address, 10 slots, empty racks.
            EXPECT_EQ(doc.deviceIp, "192.168.1.10");
            EXPECT_EQ(doc.deviceSlotNum, 10);
            EXPECT_EQ(doc.com1Enabled, 0);
            EXPECT_TRUE(doc.Slot(Port::COM1, 0).IsEmpty());
            EXPECT_TRUE(doc.Slot(Port::COM2, 56).IsEmpty());
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
    {
        CVarnelDoc doc = NewDoc();
        Fill(doc);
        const std::string text = ProjectText(
            "<softVer>2.0</softVer><deviceSlotNum>4</deviceSlotNum><deviceIp>7.7.7.7</deviceIp>"
            "<COMInfo com1=\"1\"/>",
            {"moduleName=\"M\" modulePrm=\"0102\""}, {});
        const ProjectReadResult r = ProjectFile::Load(WithPrefix(text), doc);
        EXPECT_EQ(r.status, ProjectReadStatus::Incomplete);
        EXPECT_EQ(r.missing, "deviceSlotNum");
        EXPECT_EQ(doc.deviceIp, "7.7.7.7");
        EXPECT_EQ(doc.deviceSlotNum, 7);
        EXPECT_EQ(doc.Slot(Port::COM1, 0).module.moduleName, "old0");
    }
    // No COM2: COM1 is loaded, COM2 keeps its modules.
    {
        CVarnelDoc doc = NewDoc();
        Fill(doc);
        const ProjectReadResult r = ProjectFile::Load(
            WithPrefix(ProjectText(
                HEAD,
                {"moduleName=\"M\" modulePrm=\"0102\"", "moduleName=\"M\" modulePrm=\"0102\""}, {},
                false)),
            doc);
        EXPECT_EQ(r.status, ProjectReadStatus::Incomplete);
        EXPECT_EQ(r.missing, "COM2");
        EXPECT_EQ(doc.deviceSlotNum, 4);
        EXPECT_EQ(doc.com1Enabled, 1);
        EXPECT_EQ(doc.com2Enabled, 0);
        EXPECT_EQ(doc.Slot(Port::COM1, 1).module.moduleName, "M");
        EXPECT_EQ(doc.Slot(Port::COM1, 1).module.modulePrm, testsupport::Bytes("01 02"));
        EXPECT_TRUE(doc.Slot(Port::COM1, 2).IsEmpty());  // the rack was cleared first
        EXPECT_EQ(doc.Slot(Port::COM2, 3).module.moduleName, "old3");
    }
    // Other elements between the wanted ones are skipped; softVer 2.0 reads alike;
    // missing attributes read as empty text and 0.
    {
        CVarnelDoc doc = NewDoc();
        const std::string text = ProjectText(
            "<softVer>2.0</softVer><extra/><deviceIp>5.5.5.5</deviceIp><deviceSlotNum> 3"
            "</deviceSlotNum><x/><COMInfo/>",
            {"moduleName=\"A\" inputLen=\"12\""}, {"picture='p'"});
        ASSERT_EQ(ProjectFile::Load(WithPrefix(text), doc).status, ProjectReadStatus::Complete);
        EXPECT_EQ(doc.deviceSlotNum, 3);
        EXPECT_EQ(doc.com1Enabled, 0);
        EXPECT_EQ(doc.Slot(Port::COM1, 0).module, (CModule{"A", "", "", 12, 0, "", {}}));
        EXPECT_EQ(doc.Slot(Port::COM2, 0).module.picture, "p");
    }
}

TEST_F(ProjectFileTest, SaveFailureKeepsDocumentAndFile)
{
    TempDir dir;
    CVarnelDoc doc = NewDoc();
    doc.modified = true;
    const std::string path = (dir / "p.vrc").string();
    WriteFile(path, "old content");

    // The folder is a file: nothing can be written there.
    const std::string blocked = (dir / "p.vrc" / "q.vrc").string();
    Refusal r = ProjectFile::Save(blocked, doc);
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
}

TEST_F(ProjectFileTest, OpenCompilesOnlyAfterACompleteRead)
{
    TempDir dir;
    CVarnelDoc doc = NewDoc();
    const std::string hex = doc.HexFilePath();
    const std::string path = (dir / "p.vrc").string();
    ASSERT_FALSE(ProjectFile::Save(path, doc).has_value());

    WriteFile(dir / "cut.vrc", WithPrefix(ProjectText(HEAD, {}, {}, false)));
    ProjectOpenResult cut = ProjectFile::Open((dir / "cut.vrc").string(), doc);
    EXPECT_EQ(cut.read.status, ProjectReadStatus::Incomplete);
    EXPECT_FALSE(cut.compile.has_value());
    EXPECT_FALSE(std::filesystem::exists(hex));

    ProjectOpenResult full = ProjectFile::Open(path, doc);
    EXPECT_TRUE(full.read.IsComplete());
    ASSERT_TRUE(full.compile.has_value());
    EXPECT_FALSE(full.compile->message.has_value());
    EXPECT_TRUE(std::filesystem::exists(hex));

    ProjectOpenResult missing = ProjectFile::Open((dir / "none.vrc").string(), doc);
    EXPECT_EQ(missing.read.status, ProjectReadStatus::Unreadable);
    ASSERT_TRUE(missing.read.message.has_value());
    EXPECT_NE(missing.read.message->text.find("none.vrc"), std::string::npos);
}

}  // namespace
