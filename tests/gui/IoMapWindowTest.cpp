// The I/O map window (32777): its rows are the map's, it follows an edit of
// the document, and copy and the exports give the map's own texts.
#include <QClipboard>
#include <QTableWidget>

#include "GuiTestSupport.h"
#include "core/report/IoMapFormat.h"
#include "gui/report/IoMapWindow.h"

using namespace varnel;
using guitest::FrameTest;

namespace {

// The cells of `table`'s rows as the map writes them (port column dropped).
std::vector<std::vector<std::string>> TableCells(QTableWidget* table)
{
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        rows.emplace_back(1, "COM1");
        for (int c = 0; c + 1 < table->columnCount(); ++c)
            rows.back().push_back(table->item(r, c)->text().toStdString());
    }
    return rows;
}

TEST_F(FrameTest, ModuleReportWindowShowsAndFollowsTheMap)
{
    SetupPort(Doc(), Port::COM1);
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(1)}, "读4区 03H", 0, 10, 1);
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(2)}, "写4区 10H 写多字", 100, 10, 1);
    Doc().Slot(Port::COM1, 2).module.modulePrm[2] = 3;  // a 16-bit status table
    frame->Action(ID_MODULE_REPORT)->trigger();
    auto* window = frame->findChild<IoMapWindow*>("IoMapWindow");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    auto* table = window->findChild<QTableWidget*>("tableCOM1");
    auto expected = IoMapCells(*window->Map());
    expected.erase(expected.begin());
    EXPECT_EQ(TableCells(table), expected);
    EXPECT_EQ(table->rowCount(), 3);
    EXPECT_TRUE(Doc().Slot(Port::COM1, 5).IsEmpty());  // the table went into a copy

    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(3)}, "读0区 01H", 0, 16, 2);
    emit frame->View()->documentChanged();
    ASSERT_EQ(table->rowCount(), 4);
    EXPECT_EQ(table->item(2, 1)->text(), "读0区 01H");
    EXPECT_EQ(table->item(3, 9)->text(), "25");  // the status table moved on by 2 bytes

    window->findChild<QPushButton*>("copyButton")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), FormatIoMapTabs(*window->Map()));
    testsupport::TempDir out;
    ASSERT_TRUE(window->ExportCsv(QString::fromStdString((out / "m.csv").string())));
    EXPECT_EQ(testsupport::ReadFile(out / "m.csv"), FormatIoMapCsv(*window->Map()));
    ASSERT_TRUE(window->ExportJson(QString::fromStdString((out / "m.json").string())));
    EXPECT_EQ(testsupport::ReadFile(out / "m.json"), FormatIoMapJson(*window->Map()));
    ASSERT_TRUE(window->ExportPdf(QString::fromStdString((out / "m.pdf").string())));
    EXPECT_EQ(testsupport::ReadFile(out / "m.pdf").substr(0, 5), "%PDF-");
}

}  // namespace
