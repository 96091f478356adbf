// The desktop program's unattended download, as the demonstration script
// runs it without a display: compile and download the example to the
// simulator, restart it, save a picture of the main window, end with 0.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CliTestSupport.h"
#include "support/TestSupport.h"

namespace {

const char* const ADDRESS = "127.77.5.1";

class DesktopUnattended : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::MakeHome(home.path(), ADDRESS);
        project = (home / "example.vrc").string();
        std::filesystem::copy_file(VARNEL_SOURCE_DIR "/data/examples/example.vrc", project);
        ASSERT_EQ(Program("varnelctl", {"ip", project, ADDRESS}).exitCode, 0);
    }
    testsupport::RunResult Program(const std::string& name, std::vector<std::string> args)
    {
        return testsupport::Run(std::string(VARNEL_BIN_DIR) + "/" + name, args,
                                {"VARNEL_HOME=" + home.str(), "QT_QPA_PLATFORM=offscreen",
                                 "XDG_CONFIG_HOME=" + (home / "config").string()});
    }
    testsupport::TempDir home;
    std::string project;
};

}  // namespace

TEST_F(DesktopUnattended, DownloadsRestartsAndSavesThePicture)
{
    clitest::SimProcess sim(ADDRESS, {});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    const std::string picture = (home / "main-window.png").string();
    const auto run = Program("varnel", {"--download-and-exit", "--screenshot", picture, project});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("下 载 完 毕！"), std::string::npos) << run.out;
    ASSERT_TRUE(sim.WaitForLine("restarted with the downloaded configuration")) << sim.Output();
    const std::string png = testsupport::ReadFile(picture);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

TEST_F(DesktopUnattended, NoGatewayEndsWithTheMessageAndStatus1)
{
    // Nothing listens on this address.
    testsupport::MakeHome(home.path(), "127.77.5.2");
    ASSERT_EQ(Program("varnelctl", {"ip", project, "127.77.5.2"}).exitCode, 0);
    const auto run = Program("varnel", {"--download-and-exit", project});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("以太网连接不通,请检查IP和PORT设置和设备是否正常运行"),
              std::string::npos)
        << run.err;
}
