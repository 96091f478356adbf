#include "gui/ui/CTreeWnd.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "gui/modbus/CDeviceTreeDlg.h"

namespace varnel {

CTreeWnd::CTreeWnd(CVarnelDoc& doc, SlotSelection& selection, QWidget* parent)
    : QDockWidget(QCoreApplication::translate("varnel", "设备列表"), parent),
      host(new QWidget(this))
{
    setObjectName("CTreeWnd");
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::AllDockWidgetAreas);
    treeDlg = new CDeviceTreeDlg(doc, selection, host);
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(treeDlg);
    host->setContextMenuPolicy(Qt::PreventContextMenu);
    host->installEventFilter(this);
    setWidget(host);
}

bool CTreeWnd::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == host && event->type() == QEvent::Paint) {
        // A one-pixel shadow-coloured frame around the hosted catalogue.
        QPainter p(host);
        p.setPen(host->palette().color(QPalette::Dark));
        p.drawRect(treeDlg->geometry().adjusted(-1, -1, 0, 0));
        return true;
    }
    return QDockWidget::eventFilter(watched, event);
}

}  // namespace varnel
