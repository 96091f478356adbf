// varnelctl end to end: build a configuration, inspect it, compile it.
#include <filesystem>

#include "cli/CliTestSupport.h"

using testsupport::ReadFile;
using testsupport::RunResult;

namespace {

class Varnelctl : public clitest::CliTest {
protected:
    void SetUp() override
    {
        testsupport::MakeHome(home.path());
        project = Path("p.json");
        Ok({"new", project});
    }
    std::string project;
};

TEST_F(Varnelctl, BuildShowAndCompileAConfiguration)
{
    Ok({"setup-port", project, "COM1"});
    Ok({"add", project, "COM1", "1", "读4区 03H", "--slave", "1", "--qty", "10"});
    Ok({"add", project, "COM1", "2", "0x10", "--slave", "1", "--start", "100", "--qty", "10"});
    Ok({"serial", project, "COM1", "--monitor", "3", "--baud", "19.2K", "--update", "1"});
    const RunResult show = Ok({"show", project});
    for (const char* text : {"AllInLength: 24  AllOutLength: 22", "eipIN 2..21", "eipOUT 2..21",
                             "19.2K", "At Evry MD End"})
        EXPECT_NE(show.out.find(text), std::string::npos) << text << "\n" << show.out;

    const RunResult compile = Ok({"compile", project});
    EXPECT_NE(compile.out.find("image: 47 bytes"), std::string::npos) << compile.out;
    const std::string hex = ReadFile(home / "HEX" / "hex.txt");
    EXPECT_EQ(hex.substr(0, 24), "01 00 22 06 00 03 42 14 ");
    EXPECT_EQ(Ctl({"compile", project, "-o", "-"}).out, hex);
    // Compiling never rewrites the project: the status table is not saved.
    EXPECT_EQ(Ctl({"show", project}).out, show.out);
}

TEST_F(Varnelctl, RefusalsPrintTheSystemTextAndExitOne)
{
    Ok({"setup-port", project, "COM2"});
    Ok({"add", project, "COM2", "1", "10", "--slave", "1", "--start", "100", "--qty", "10"});
    const std::string before = ReadFile(project);
    const struct {
        std::vector<std::string> args;
        const char* text;
    } cases[] = {
        {{"add", project, "COM2", "2", "06", "--slave", "1", "--start", "109"}, "写操作重叠"},
        {{"add", project, "COM2", "2", "03", "--start", "65536"}, "起始地址信息错误"},
        {{"add", project, "COM2", "2", "03", "--qty", "126"}, "长度请添入一个1和125之间的整数"},
        {{"add", project, "COM2", "2", "03", "--slave", "300"}, "从站地址取值范围:0-255"},
        {{"add", project, "COM2", "11", "03"}, "槽号 11"},
        {{"edit", project, "COM2", "1", "--qty", "124"}, "长度请添入一个1和123之间的整数"},
        {{"edit", project, "COM2", "2"}, "没有可编辑的命令"},
        {{"slots", project, "55"}, "槽数取值范围:1~54的正整数"},
        {{"delete", project, "COM1"}, "COM1 未配置"},
        {{"delete", project, "COM2:5"}, "是空的"},
        {{"serial", project, "COM1", "--baud", "9600"}, "COM1 未配置"},
        {{"show", Path("missing.json")}, "missing.json"},
        {{"show", Path("p.txt")}, ".vrc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const RunResult r = Ctl(c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(project), before);
    }
}

TEST_F(Varnelctl, StepARefusalStopsTheCompile)
{
    Ok({"slots", project, "2"});
    Ok({"setup-port", project, "COM1"});
    Ok({"add", project, "COM1", "1", "01"});
    Ok({"add", project, "COM1", "2", "02"});
    const RunResult r = Ctl({"compile", project});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("从站状态检测需要占用插槽"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(home / "HEX" / "hex.txt"));
}

TEST_F(Varnelctl, EditDeleteSlotsAndIp)
{
    Ok({"setup-port", project, "COM1"});
    Ok({"add", project, "COM1", "1", "01", "--qty", "8"});
    Ok({"add", project, "COM1", "2", "05", "--start", "3"});
    Ok({"edit", project, "COM1", "1", "--qty", "17"});
    EXPECT_NE(Ctl({"show", project}).out.find("eipIN 2..4"), std::string::npos);
    Ok({"delete", project, "COM1:1"});
    RunResult show = Ctl({"show", project});
    EXPECT_EQ(show.out.find("读0区"), std::string::npos);
    EXPECT_NE(show.out.find("写0区 05H"), std::string::npos);
    Ok({"ip", project, "10.0.0.7"});
    Ok({"slots", project, "054"});
    show = Ctl({"show", project});
    EXPECT_NE(show.out.find("deviceIp: 10.0.0.7"), std::string::npos);
    EXPECT_NE(show.out.find("deviceSlotNum: 54"), std::string::npos);
    Ok({"delete", project, "COM1"});
    EXPECT_NE(Ctl({"show", project}).out.find("no port configured"), std::string::npos);
}

TEST_F(Varnelctl, ExportImportRoundTripAndUsageErrors)
{
    Ok({"setup-port", project, "COM2"});
    Ok({"export", project, "-o", Path("out.json")});
    Ok({"import", Path("out.json"), "-o", Path("copy.json")});
    EXPECT_EQ(ReadFile(home / "copy.json"), ReadFile(project));
    Ok({"serial", project, "COM2", "--baud", "7"});  // an index of the list
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"frobnicate"}, {"add", project, "COM3", "1", "03"},
          {"add", project, "COM1", "1", "99"}, {"serial", project, "COM2", "--baud", "9"},
          {"export", project}, {"ip", project, "10.0.0.256"}})
        EXPECT_EQ(Ctl(args).exitCode, 2) << (args.empty() ? "" : args.back());
}

}  // namespace
