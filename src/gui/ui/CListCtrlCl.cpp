#include "gui/ui/CListCtrlCl.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace varnel {

namespace {

// Draws one cell: its background, then its text 5 pixels in from the left,
// vertically centred, in the list's cell font and colour.
class CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(CListCtrlCl* list) : QStyledItemDelegate(list), list(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        painter->save();
        painter->fillRect(option.rect, list->CellBackground(index.row(), index.column(), selected));
        painter->setFont(list->CellFont());
        painter->setPen(list->CellTextColor(index.row(), index.column()));
        const QRect text = option.rect.adjusted(5, 0, 0, 0);
        const Qt::Alignment horizontal =
            static_cast<Qt::Alignment>(index.data(Qt::TextAlignmentRole).toInt()) &
            Qt::AlignHorizontal_Mask;
        painter->drawText(text, (horizontal ? horizontal : Qt::AlignLeft) | Qt::AlignVCenter,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

private:
    CListCtrlCl* list;
};

}  // namespace

CListCtrlCl::CListCtrlCl(QWidget* parent) : QTableWidget(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    verticalHeader()->hide();
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    setItemDelegate(new CellDelegate(this));
}

void CListCtrlCl::SetRowHeight(int height)
{
    fixedRowHeight = height;
    QHeaderView* rows = verticalHeader();
    if (height > 0) {
        rows->setMinimumSectionSize(height);
        rows->setDefaultSectionSize(height);
        rows->setSectionResizeMode(QHeaderView::Fixed);
    } else {
        rows->setSectionResizeMode(QHeaderView::Interactive);
    }
}

void CListCtrlCl::SetFontHW(int height, int width)
{
    fontHeight = height;
    fontWidth = width;
    viewport()->update();
}

QFont CListCtrlCl::CellFont() const
{
    QFont font(QStringLiteral("宋体"));
    if (fontHeight > 0) font.setPixelSize(fontHeight);
    if (fontWidth > 0 && fontHeight > 0)
        font.setStretch(qBound(1, fontWidth * 200 / fontHeight, 4000));
    return font;
}

void CListCtrlCl::InsertColumn(int column, const QString& header, int width)
{
    insertColumn(column);
    auto* item = new QTableWidgetItem(header);
    item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setHorizontalHeaderItem(column, item);
    setColumnWidth(column, width);
}

int CListCtrlCl::AppendRow(const QStringList& texts)
{
    const int row = rowCount();
    insertRow(row);
    for (int c = 0; c < columnCount(); ++c) {
        auto* item = new QTableWidgetItem(texts.value(c));
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setItem(row, c, item);
    }
    return row;
}

int CListCtrlCl::FirstSelectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows)
        if (first < 0 || index.row() < first) first = index.row();
    return first;
}

void CListCtrlCl::SetColumnBackground(int column, const QColor& color)
{
    columnBackgrounds.push_back({0, column, color});
}

void CListCtrlCl::SetCellBackground(int row, int column, const QColor& color)
{
    cellBackgrounds.push_back({row, column, color});
}

void CListCtrlCl::SetColumnTextColor(int column, const QColor& color)
{
    columnTextColors.push_back({0, column, color});
}

void CListCtrlCl::SetCellTextColor(int row, int column, const QColor& color)
{
    cellTextColors.push_back({row, column, color});
}

const CListCtrlCl::ColourEntry* CListCtrlCl::Find(const std::vector<ColourEntry>& list, int row,
                                                  int column, bool anyRow)
{
    for (const ColourEntry& e : list)
        if (e.column == column && (anyRow || e.row == row)) return &e;
    return nullptr;
}

QColor CListCtrlCl::CellBackground(int row, int column, bool selected) const
{
    if (selected) return palette().color(QPalette::Highlight);
    if (const ColourEntry* cell = Find(cellBackgrounds, row, column, false)) return cell->color;
    if (const ColourEntry* col = Find(columnBackgrounds, row, column, true)) return col->color;
    return palette().color(QPalette::Base);
}

QColor CListCtrlCl::CellTextColor(int row, int column) const
{
    if (const ColourEntry* cell = Find(cellTextColors, row, column, false)) return cell->color;
    if (const ColourEntry* col = Find(columnTextColors, row, column, true)) return col->color;
    return defaultText;
}

}  // namespace varnel
