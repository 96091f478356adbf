// varnelctl report and diff end to end: show's totals against the compiled
// image, the PDF sheet read back with poppler, and diff's lines and exit codes.
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/CliTestSupport.h"

using testsupport::ReadFile;
using testsupport::RunResult;
using testsupport::WriteFile;

namespace {

const std::filesystem::path GOLDEN = std::filesystem::path(VARNEL_SOURCE_DIR) / "tests/data/report";

class ReportCli : public clitest::CliTest {
protected:
    void SetUp() override { testsupport::MakeHome(home.path()); }
    // The number after `key` in `text`.
    static long After(const std::string& text, const std::string& key)
    {
        const auto at = text.find(key);
        return at == std::string::npos ? -1 : std::stol(text.substr(at + key.size()));
    }
};

TEST_F(ReportCli, ShowTotalsEqualTheDecodedImage)
{
    for (const auto& dir : std::filesystem::directory_iterator(GOLDEN)) {
        SCOPED_TRACE(dir.path().filename().string());
        const std::string project = (dir.path() / "project.json").string();
        const std::string show = Ok({"show", project}).out;
        WriteFile(home / "image.hex", Ok({"compile", project, "-o", "-"}).out);
        const std::string decoded = Ctl({"decode", Path("image.hex")}).out;
        EXPECT_EQ(After(show, "AllInLength: "), After(decoded, "input total "));
        EXPECT_EQ(After(show, "AllOutLength: "), After(decoded, ", output total "));
        const auto json = nlohmann::json::parse(Ok({"report", project, "--json"}).out);
        EXPECT_EQ(json["allInLength"], After(decoded, "input total "));
    }
}

// No display and a platform that needs one: the PDF is still written.
TEST_F(ReportCli, PdfSheetHoldsAddressCrcAndEverySlave)
{
    const std::string project = (GOLDEN / "both-ports" / "project.json").string();
    const RunResult r = testsupport::Run(
        clitest::VARNELCTL, {"report", project, "--pdf", Path("sheet.pdf"), "--csv", Path("m.csv")},
        {"VARNEL_HOME=" + home.str(), "QT_QPA_PLATFORM=xcb", "DISPLAY=", "WAYLAND_DISPLAY="});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "CSV written: " + Path("m.csv") + "\nPDF written: " + Path("sheet.pdf") + "\n");
    EXPECT_EQ(ReadFile(home / "m.csv"), ReadFile(GOLDEN / "both-ports" / "expected.csv"));
    ASSERT_EQ(
        testsupport::Run("/usr/bin/pdftoppm", {"-png", "-r", "50", Path("sheet.pdf"), Path("page")})
            .exitCode,
        0);
    EXPECT_GT(std::filesystem::file_size(home / "page-1.png"), 1000u);
    const std::string text =
        testsupport::Run("/usr/bin/pdftotext", {"-layout", Path("sheet.pdf"), "-"}).out;
    for (const char* expected : {"192.168.1.10", "CRC 9485", "设备模块信息报表", "第 1 页，共 1 页",
                                 "MODBUS从站状态表（16位）"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    // Each command's row: label, slave and reference on one line.
    for (const auto& [label, rest] :
         {std::pair{"读4区 03H", " 1 "}, {"写4区 10H 写多字", "40101"}, {"读0区 01H", " 17 "}}) {
        const auto at = text.find(std::string(label) + " ", text.find("槽号"));
        ASSERT_NE(at, std::string::npos) << label;
        EXPECT_NE(text.substr(at, text.find('\n', at) - at).find(rest), std::string::npos) << label;
    }
}

TEST_F(ReportCli, DiffComparesContentAndExitsByTheResult)
{
    const std::string a = (GOLDEN / "both-ports" / "project.json").string();
    // The same configuration with its keys in another order, and as a .vrc.
    WriteFile(home / "reordered.json", nlohmann::json::parse(ReadFile(a)).dump());
    Ok({"import", Path("reordered.json"), "-o", Path("same.vrc")});
    Ok({"import", a, "-o", Path("b.json")});
    Ok({"edit", Path("b.json"), "COM1", "1", "--qty", "20"});
    WriteFile(home / "a.hex", Ok({"compile", a, "-o", "-"}).out);
    WriteFile(home / "b.hex", Ok({"compile", Path("b.json"), "-o", "-"}).out);
    std::string upper = ReadFile(home / "a.hex");
    std::erase(upper, ' ');
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    WriteFile(home / "A2.TXT", upper);
    WriteFile(home / "bad.hex", "01 02 zz");
    // An image the decoder has remarks on (3 serial bytes) still compares.
    const std::string hand = (GOLDEN / "hand-edited" / "project.json").string();
    std::string damaged = Ok({"compile", hand, "-o", "-"}).out;
    WriteFile(home / "hand.hex", damaged);
    damaged[damaged.size() - 2] ^= 1;  // the checksum's last digit
    WriteFile(home / "damaged.hex", damaged);
    const std::string qty = "COM1 slot 1: 读4区 03H slave 1 start 0 qty 10 → qty 20\n";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    } cases[] = {
        {{"diff", a, Path("reordered.json")}, 0, ""},
        {{"diff", a, Path("same.vrc")}, 0, ""},
        {{"diff", a, Path("b.json")}, 1, qty},
        {{"diff", Path("a.hex"), Path("A2.TXT")}, 0, ""},
        {{"diff", Path("a.hex"), a}, 0, ""},
        {{"diff", Path("a.hex"), Path("b.hex")},
         1,
         "COM1 module 1: 读4区 03H slave 1 start 0 qty 10 → qty 20\n"},
        {{"diff", a}, 2, ""},
        {{"diff", a, Path("missing.json")}, 2, ""},
        {{"diff", Path("hand.hex"), hand}, 0, ""},
        {{"diff", Path("bad.hex"), Path("a.hex")}, 2, ""},
        {{"diff", Path("damaged.hex"), Path("hand.hex")}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const RunResult r = Ctl(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

}  // namespace
