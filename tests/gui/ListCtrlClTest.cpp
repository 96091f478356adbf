// The coloured list control of the IP assignment window's lists.
#include "GuiTestSupport.h"
#include "gui/ui/CListCtrlCl.h"

using namespace varnel;

// The list control of both lists: the first colour entry for a cell wins, a
// selected cell is highlighted, the row height applies to new rows (0: the
// style's own).
TEST(ListCtrlCl, ColoursAndRowHeight)
{
    guitest::App();
    CListCtrlCl list;
    list.InsertColumn(0, "a", 50);
    list.InsertColumn(1, "b", 50);
    list.SetRowHeight(15);
    for (int row = 0; row < 3; ++row) list.AppendRow({"x", "y"});
    list.SetColumnBackground(1, Qt::yellow);
    list.SetCellBackground(2, 1, Qt::red);
    list.SetCellBackground(2, 1, Qt::blue);
    list.SetCellTextColor(0, 0, Qt::green);
    const QPalette palette = list.palette();
    EXPECT_EQ(
        (std::vector<QColor>{list.CellBackground(2, 1, false), list.CellBackground(0, 1, false),
                             list.CellBackground(2, 0, false), list.CellBackground(2, 1, true),
                             list.CellTextColor(0, 0), list.CellTextColor(1, 0)}),
        (std::vector<QColor>{Qt::red, Qt::yellow, palette.color(QPalette::Base),
                             palette.color(QPalette::Highlight), Qt::green, Qt::black}));
    EXPECT_EQ(list.rowHeight(0), 15);
    CListCtrlCl plain;
    plain.SetRowHeight(0);
    plain.InsertColumn(0, "a", 50);
    plain.AppendRow({"z"});
    EXPECT_NE(plain.rowHeight(0), 15);
}
