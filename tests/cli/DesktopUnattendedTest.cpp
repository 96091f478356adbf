// The desktop program's unattended download, as the demonstration script
// runs it without a display: compile and download the example to the
// simulator, restart it, save a picture of the main window, end with 0; with
// no gateway, the message on stderr and 1.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CliTestSupport.h"
#include "support/TestSupport.h"

TEST(DesktopUnattended, DownloadsRestartsAndSavesThePictureOrSaysWhyNot)
{
    testsupport::TempDir home;
    testsupport::MakeHome(home.path(), "127.77.5.1");
    const std::string project = (home / "example.vrc").string();
    std::filesystem::copy_file(VARNEL_SOURCE_DIR "/data/examples/example.vrc", project);
    const auto program = [&](const std::string& name, std::vector<std::string> args) {
        return testsupport::Run(std::string(VARNEL_BIN_DIR) + "/" + name, args,
                                {"VARNEL_HOME=" + home.str(), "QT_QPA_PLATFORM=offscreen",
                                 "XDG_CONFIG_HOME=" + (home / "config").string()});
    };
    ASSERT_EQ(program("varnelctl", {"ip", project, "127.77.5.1"}).exitCode, 0);
    clitest::SimProcess sim("127.77.5.1", {});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    const std::string picture = (home / "main-window.png").string();
    auto run = program("varnel", {"--download-and-exit", "--screenshot", picture, project});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("下 载 完 毕！"), std::string::npos) << run.out;
    ASSERT_TRUE(sim.WaitForLine("restarted with the downloaded configuration")) << sim.Output();
    EXPECT_EQ(testsupport::ReadFile(picture).substr(0, 4), "\x89PNG");

    // Nothing listens on this address.
    ASSERT_EQ(program("varnelctl", {"ip", project, "127.77.5.2"}).exitCode, 0);
    run = program("varnel", {"--download-and-exit", project});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("以太网连接不通,请检查IP和PORT设置和设备是否正常运行"),
              std::string::npos)
        << run.err;
}
