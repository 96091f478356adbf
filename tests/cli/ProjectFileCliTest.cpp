// varnelctl with ".vrc" project files and the access command.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cli/CliTestSupport.h"
#include "core/model/CVarnelDoc.h"
#include "core/project/ProjectFile.h"

using testsupport::ReadFile;
using testsupport::RunResult;
namespace ProjectFile = varnel::ProjectFile;

namespace {

class VrcCli : public clitest::CliTest {
protected:
    void SetUp() override { testsupport::MakeHome(home.path(), "192.168.1.10"); }
};

TEST_F(VrcCli, AccessAddressIsPickedUpByNew)
{
    EXPECT_EQ(Ctl({"access", "1.2.3"}).exitCode, 2);
    Ok({"access", "10.20.30.40"});
    Ok({"new", Path("p.vrc")});
    varnel::CVarnelDoc doc;
    ASSERT_TRUE(ProjectFile::Read(Path("p.vrc"), doc));
    EXPECT_EQ(doc.deviceIp, "10.20.30.40");
    EXPECT_NE(Ok({"show", Path("p.vrc")}).out.find("10.20.30.40"), std::string::npos);
    Ok({"slots", Path("p.vrc"), "54"});  // through the file and back
    ASSERT_TRUE(ProjectFile::Read(Path("p.vrc"), doc));
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
    std::filesystem::create_directory(home / "folder.vrc");
    const std::pair<std::string, std::string> cases[] = {
        {file(head + "</VarnelProject>"), "缺少元素 \"COM2\""},
        {file(head + "<COM2></COM2></VarnelProject>").substr(0, 60), "文档格式错误"},
        {"folder", "Is a directory"},
        {file(head + "<COM2></COM2></VarnelProject>"), ""},
    };
    for (const auto& [content, message] : cases) {
        SCOPED_TRACE(message);
        if (content != "folder") testsupport::WriteFile(home / "x.vrc", content);
        const RunResult r = Ctl({"show", Path(content == "folder" ? "folder.vrc" : "x.vrc")});
        EXPECT_EQ(r.exitCode, message.empty() ? 0 : 1);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
}

// A project another user may read but not write: the edit is refused with
// exit 1, and the file keeps its content and mode.
TEST_F(VrcCli, SaveRefusedForAFileTheUserMayNotWrite)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run varnelctl as another user";
    Ok({"new", Path("p.vrc")});
    ::chmod(home.str().c_str(), 0777);
    ::chmod(Path("p.vrc").c_str(), 0644);
    const std::string before = ReadFile(home / "p.vrc");
    const RunResult r = testsupport::Run("/usr/bin/setpriv",
                                         {"--reuid=65534", "--regid=65534", "--clear-groups",
                                          clitest::VARNELCTL, "ip", Path("p.vrc"), "10.0.0.1"},
                                         {"VARNEL_HOME=" + home.str(), "LC_ALL=C"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("无法写入文件 " + Path("p.vrc") + ": Permission denied"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadFile(home / "p.vrc"), before);
    struct stat st;
    ASSERT_EQ(::stat(Path("p.vrc").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
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
