#pragma once
// The docked pane "设备列表" that hosts the Modbus master catalogue, keeping
// it filling the pane with a one-pixel framed margin.
#include <QDockWidget>

#include "core/model/CVarnelDoc.h"
#include "gui/ui/SlotSelection.h"

namespace varnel {

class CDeviceTreeDlg;

class CTreeWnd : public QDockWidget {
    Q_OBJECT
public:
    CTreeWnd(CVarnelDoc& doc, SlotSelection& selection, QWidget* parent = nullptr);

    CDeviceTreeDlg* TreeDlg() const { return treeDlg; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* host;
    CDeviceTreeDlg* treeDlg;
};

}  // namespace varnel
