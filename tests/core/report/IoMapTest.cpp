// The I/O map: golden folders (a project with its hand-checked report and
// CSV), the CSV read back into the map's cells, and a refusal that leaves the
// document as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/project/JsonDocument.h"
#include "core/project/ProjectStore.h"
#include "core/report/IoMap.h"
#include "core/report/IoMapFormat.h"
#include "support/DocFixtures.h"

using namespace varnel;
using testsupport::ReadFile;

namespace {

// RFC 4180 as spreadsheets write it: optional quotes, "" for a quote, CRLF.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"')
            rows.back().back() += text[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == ',')
            rows.back().emplace_back();
        else if (!quoted && c == '\r' && text.substr(i, 2) == "\r\n" && ++i)
            rows.emplace_back(1);
        else
            rows.back().back() += c;
    }
    rows.pop_back();  // after the last line end
    return rows;
}

TEST(IoMap, GoldenCasesMatchTheirReportAndCsv)
{
    const auto data = std::filesystem::path(VARNEL_SOURCE_DIR) / "tests/data/report";
    int cases = 0;
    for (const auto& dir : std::filesystem::directory_iterator(data)) {
        SCOPED_TRACE(dir.path().filename().string());
        CVarnelDoc doc;
        ASSERT_TRUE(LoadProject((dir.path() / "project.json").string(), doc).ok());
        const std::string before = ExportJson(doc);
        const Result<IoMap> map = BuildIoMap(doc);
        ASSERT_TRUE(map.ok()) << map.message().text;
        EXPECT_EQ(FormatIoMapText(*map), ReadFile(dir.path() / "expected-report.txt"));
        const std::string csv = ReadFile(dir.path() / "expected.csv");
        EXPECT_EQ(FormatIoMapCsv(*map), csv);
        ASSERT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
        EXPECT_EQ(ParseCsv(csv.substr(3)), IoMapCells(*map));
        EXPECT_EQ(ExportJson(doc), before);  // the status table went into a copy
        ++cases;
    }
    EXPECT_EQ(cases, 3);
}

TEST(IoMap, RefusesAsCompilingDoesAndChangesNothing)
{
    CVarnelDoc doc = docfixtures::NewDoc({Port::COM1});
    doc.deviceSlotNum = 1;
    docfixtures::PlaceAt(doc, 4, LABEL_READ_COILS, 0, 1, 1);
    const std::string before = ExportJson(doc);
    const Result<IoMap> map = BuildIoMap(doc);
    ASSERT_FALSE(map.ok());
    EXPECT_EQ(map.code(), Code::StatusTableRefused);
    EXPECT_EQ(map.message().text, "从站状态检测需要占用插槽");
    EXPECT_EQ(ExportJson(doc), before);
}

}  // namespace
