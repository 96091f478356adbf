#pragma once
// The catalogue of a port's Modbus master: double-clicking a port sets it up,
// double-clicking a command type places a new command in the selected slot.
#include <QWidget>

#include "core/model/CVarnelDoc.h"
#include "gui/ui/SlotSelection.h"

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace varnel {

class CDeviceTreeDlg : public QWidget {
    Q_OBJECT
public:
    CDeviceTreeDlg(CVarnelDoc& doc, SlotSelection& selection, QWidget* parent = nullptr);

    // Opens the command editor on the command module in `slot` and writes the
    // confirmed values back; false when nothing changed (cancel, or a module
    // with fewer than six parameter bytes).
    static bool EditCommand(QWidget* parent, CVarnelDoc& doc, SlotRef slot);

    // Runs what a double-click on `item` does.
    void OnItemDoubleClicked(QTreeWidgetItem* item);

    QTreeWidget* Tree() const { return tree; }
    // The width that shows every catalogue label whole at the current font.
    int WidthForLabels() const;

signals:
    // The document changed, `change` naming what was done (the view redraws).
    void documentChanged(const QString& change = QString());

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CVarnelDoc& doc;
    SlotSelection& selection;
    QTreeWidget* tree;
    QLineEdit* description;
};

}  // namespace varnel
