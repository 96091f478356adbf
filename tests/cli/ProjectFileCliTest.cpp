// varnelctl with ".vrc" project files and the access command.
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
}

// A broken project file reaches the user as the format error, exit 1.
TEST_F(VrcCli, BrokenFileIsAFormatError)
{
    testsupport::WriteFile(home / "cut.vrc", "\xff\x10");
    const RunResult r = Ctl({"show", Path("cut.vrc")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("文档格式错误"), std::string::npos) << r.err;
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
