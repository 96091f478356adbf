// varnelctl with ".vrc" project files and the access command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/model/CVarnelDoc.h"
#include "core/project/ProjectFile.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

const std::string VARNELCTL = std::string(VARNEL_BIN_DIR) + "/varnelctl";

class VrcCli : public ::testing::Test {
protected:
    void SetUp() override { MakeHome(home.path(), "192.168.1.10"); }

    RunResult Ctl(const std::vector<std::string>& args)
    {
        return testsupport::Run(VARNELCTL, args, {"VARNEL_HOME=" + home.str()});
    }
    std::string Path(const std::string& name) const { return (home / name).string(); }

    TempDir home;
};

TEST_F(VrcCli, AccessAddressIsPickedUpByNew)
{
    RunResult r = Ctl({"access", "10.20.30.40"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Ctl({"new", Path("p.vrc")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    varnel::CVarnelDoc doc;
    ASSERT_TRUE(varnel::ProjectFile::Read(Path("p.vrc"), doc).IsComplete());
    EXPECT_EQ(doc.deviceIp, "10.20.30.40");
    EXPECT_EQ(doc.deviceSlotNum, 10);

    r = Ctl({"show", Path("p.vrc")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("10.20.30.40"), std::string::npos);

    // The slot count goes through the .vrc file and back.
    r = Ctl({"slots", Path("p.vrc"), "54"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(varnel::ProjectFile::Read(Path("p.vrc"), doc).IsComplete());
    EXPECT_EQ(doc.deviceSlotNum, 54);
}

TEST_F(VrcCli, AccessRefusesWhatTheAddressFieldCannotHold)
{
    for (const char* bad : {"1.2.3", "1.2.3.256", "a.b.c.d", "1.2.3.4.5", ""}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(Ctl({"access", bad}).exitCode, 2);
    }
    EXPECT_EQ(ReadFile(home / "IP" / "ETHOption.xml").find("1.2.3.4"), std::string::npos);
}

TEST_F(VrcCli, FilesThatDoNotReadToTheirEnd)
{
    const std::string head = std::string(varnel::ProjectFile::DECLARATION) +
                             "<VarnelProject><softVer>1.0</softVer><deviceIp>1.1.1.1</deviceIp>"
                             "<deviceSlotNum>10</deviceSlotNum><COMInfo com1=\"0\" com2=\"0\"/>"
                             "<COM1></COM1>";
    auto file = [](const std::string& text) {
        return varnel::ProjectFile::LengthPrefix(text.size()) + text;
    };
    std::string modules;
    for (int i = 0; i < 58; ++i) modules += "<Module moduleName=\"\"/>";
    struct Case {
        const char* name;
        std::string content;
        std::string message;
    } cases[] = {
        {"no COM2", file(head + "</VarnelProject>"), "缺少元素 \"COM2\""},
        {"not a project", file("<a/>"), "缺少元素 \"VarnelProject\""},
        {"empty file", "", "缺少元素 \"VarnelProject\""},
        {"truncated", file(head + "<COM2></COM2></VarnelProject>").substr(0, 60), "文档格式错误"},
        {"58 modules", file(head + "<COM2>" + modules + "</COM2></VarnelProject>"), "文档格式错误"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(home / "x.vrc", c.content);
        const RunResult r = Ctl({"show", Path("x.vrc")});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    WriteFile(home / "x.vrc", file(head + "<COM2></COM2></VarnelProject>"));
    EXPECT_EQ(Ctl({"show", Path("x.vrc")}).exitCode, 0);
}

TEST_F(VrcCli, ShippedExampleProjectMatchesItsJsonForm)
{
    const std::string examples = std::string(VARNEL_SOURCE_DIR) + "/data/examples/";
    RunResult r = Ctl({"export", examples + "example.vrc", "-o", Path("from-vrc.json")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(home / "from-vrc.json"), ReadFile(examples + "example.json"));

    // And back: the JSON form imported and saved as .vrc gives the same bytes.
    r = Ctl({"import", examples + "example.json", "-o", Path("again.vrc")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(home / "again.vrc"), ReadFile(examples + "example.vrc"));
}

}  // namespace
