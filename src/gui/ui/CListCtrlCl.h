#pragma once
// A report-style list that draws its own rows, so the program decides the
// row height, the cell font and the colours of columns and single cells:
// full-row selection, grid lines, left-aligned columns. The IP assignment
// window shows its request and assignment lists with it.
#include <QColor>
#include <QTableWidget>
#include <vector>

namespace varnel {

class CListCtrlCl : public QTableWidget {
    Q_OBJECT
public:
    explicit CListCtrlCl(QWidget* parent = nullptr);

    // Height of every row in pixels; 0 or less keeps the style's height.
    void SetRowHeight(int height);
    int RowHeight() const { return fixedRowHeight; }
    // Height (and width, 0 = the face's own) of the cell font "宋体".
    void SetFontHW(int height, int width = 0);
    QFont CellFont() const;
    // Columns in order: header text and width in pixels.
    void InsertColumn(int column, const QString& header, int width);
    // Appends a row of texts; returns its index.
    int AppendRow(const QStringList& texts);
    // The first selected row, or -1.
    int FirstSelectedRow() const;

    // Colours of a whole column or of one cell; the first entry given for a
    // place wins. The background of a selected row is the highlight colour.
    void SetColumnBackground(int column, const QColor& color);
    void SetCellBackground(int row, int column, const QColor& color);
    void SetColumnTextColor(int column, const QColor& color);
    void SetCellTextColor(int row, int column, const QColor& color);
    void SetDefaultTextColor(const QColor& color) { defaultText = color; }

    // What a cell is drawn with, as the delegate looks it up.
    QColor CellBackground(int row, int column, bool selected) const;
    QColor CellTextColor(int row, int column) const;

private:
    struct ColourEntry {
        int row;
        int column;
        QColor color;
    };
    static const ColourEntry* Find(const std::vector<ColourEntry>& list, int row, int column,
                                   bool anyRow);

    int fixedRowHeight = 0;
    int fontHeight = 12;
    int fontWidth = 0;
    std::vector<ColourEntry> columnBackgrounds;
    std::vector<ColourEntry> cellBackgrounds;
    std::vector<ColourEntry> columnTextColors;
    std::vector<ColourEntry> cellTextColors;
    QColor defaultText = Qt::black;
};

}  // namespace varnel
