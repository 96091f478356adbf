// varnelctl with ".vrc" project files and the access command.
#include "cli/CliTestSupport.h"
#include "core/model/CVarnelDoc.h"
#include "core/project/ProjectFile.h"

using testsupport::ReadFile;
using testsupport::RunResult;
using varnel::ProjectFile;

namespace {

class VrcCli : public clitest::CliTest {
protected:
    void SetUp() override { testsupport::MakeHome(home.path(), "192.168.1.10"); }
};

TEST_F(VrcCli, AccessAddressIsPickedUpByNew)
{
    for (const char* bad : {"1.2.3", "1.2.3.256", "a.b.c.d", "1.2.3.4.5", ""})
        EXPECT_EQ(Ctl({"access", bad}).exitCode, 2) << bad;
    EXPECT_EQ(ReadFile(home / "IP" / "ETHOption.xml").find("1.2.3."), std::string::npos);

    Ok({"access", "10.20.30.40"});
    Ok({"new", Path("p.vrc")});
    varnel::CVarnelDoc doc;
    ASSERT_TRUE(ProjectFile::Read(Path("p.vrc"), doc).IsComplete());
    EXPECT_EQ(doc.deviceIp, "10.20.30.40");
    EXPECT_EQ(doc.deviceSlotNum, 10);
    EXPECT_NE(Ok({"show", Path("p.vrc")}).out.find("10.20.30.40"), std::string::npos);
    // The slot count goes through the .vrc file and back.
    Ok({"slots", Path("p.vrc"), "54"});
    ASSERT_TRUE(ProjectFile::Read(Path("p.vrc"), doc).IsComplete());
    EXPECT_EQ(doc.deviceSlotNum, 54);
}

TEST_F(VrcCli, FilesThatDoNotReadToTheirEnd)
{
    const std::string head = std::string(ProjectFile::DECLARATION) +
                             "<VarnelProject><softVer>1.0</softVer><deviceIp>1.1.1.1</deviceIp>"
                             "<deviceSlotNum>10</deviceSlotNum><COMInfo com1=\"0\" com2=\"0\"/>"
                             "<COM1></COM1>";
    const auto file = [](const std::string& text) {
        return ProjectFile::LengthPrefix(text.size()) + text;
    };
    std::string modules;
    for (int i = 0; i < 58; ++i) modules += "<Module moduleName=\"\"/>";
    const struct {
        const char* name;
        std::string content;
        std::string message;  // "" = reads to its end
    } cases[] = {
        {"no COM2", file(head + "</VarnelProject>"), "缺少元素 \"COM2\""},
        {"not a project", file("<a/>"), "缺少元素 \"VarnelProject\""},
        {"empty file", "", "缺少元素 \"VarnelProject\""},
        {"truncated", file(head + "<COM2></COM2></VarnelProject>").substr(0, 60), "文档格式错误"},
        {"58 modules", file(head + "<COM2>" + modules + "</COM2></VarnelProject>"), "文档格式错误"},
        {"complete", file(head + "<COM2></COM2></VarnelProject>"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::WriteFile(home / "x.vrc", c.content);
        const RunResult r = Ctl({"show", Path("x.vrc")});
        EXPECT_EQ(r.exitCode, c.message.empty() ? 0 : 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

// The shipped example in both forms converts into the other byte for byte.
TEST_F(VrcCli, ShippedExampleProjectMatchesItsJsonForm)
{
    const std::string examples = std::string(VARNEL_SOURCE_DIR) + "/data/examples/";
    Ok({"export", examples + "example.vrc", "-o", Path("from-vrc.json")});
    EXPECT_EQ(ReadFile(home / "from-vrc.json"), ReadFile(examples + "example.json"));
    Ok({"import", examples + "example.json", "-o", Path("again.vrc")});
    EXPECT_EQ(ReadFile(home / "again.vrc"), ReadFile(examples + "example.vrc"));
}

}  // namespace
