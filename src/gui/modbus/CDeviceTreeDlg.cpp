#include "gui/modbus/CDeviceTreeDlg.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>

#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "gui/app/Language.h"
#include "gui/modbus/CCommandDlg.h"

namespace varnel {

namespace {
QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

CDeviceTreeDlg::CDeviceTreeDlg(CVarnelDoc& doc, SlotSelection& selection, QWidget* parent)
    : QWidget(parent),
      doc(doc),
      selection(selection),
      tree(new QTreeWidget(this)),
      description(new QLineEdit(this))
{
    setObjectName("CDeviceTreeDlg");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tree, 1);
    layout->addWidget(description);
    description->setReadOnly(true);
    description->setFixedHeight(50);

    tree->setHeaderHidden(true);
    tree->setRootIsDecorated(true);
    tree->setIconSize(QSize(15, 15));
    const QIcon icon = style()->standardIcon(QStyle::SP_FileIcon);
    // Items show their text in the program's language; the text of the
    // catalogue (the module name) stays their key.
    auto add = [&](QTreeWidgetItem* parentItem, std::string_view key) {
        auto* item = parentItem ? new QTreeWidgetItem(parentItem, {Shown(key)})
                                : new QTreeWidgetItem(tree, {Shown(key)});
        item->setData(0, Qt::UserRole, Text(key));
        item->setIcon(0, icon);
        return item;
    };
    QTreeWidgetItem* com = add(nullptr, "COM");
    add(com, "COM1");
    add(com, "COM2");
    QTreeWidgetItem* module = add(nullptr, "Module");
    QTreeWidgetItem* command = add(module, "MOD command");
    for (const CommandType& type : CommandTypes()) add(command, type.label);
    com->setExpanded(true);
    module->setExpanded(true);
    command->setExpanded(true);

    // The item chosen with the mouse or the keyboard shows its text below the tree.
    connect(tree, &QTreeWidget::itemPressed, this,
            [this](QTreeWidgetItem* item) { description->setText(item->text(0)); });
    connect(tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item) description->setText(item->text(0));
    });
    // Enter does what a double-click does; the pane's focus goes to the tree.
    tree->installEventFilter(this);
    setFocusProxy(tree);
    connect(tree, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { OnItemDoubleClicked(item); });
}

void CDeviceTreeDlg::OnItemDoubleClicked(QTreeWidgetItem* item)
{
    if (item == nullptr || item->parent() == nullptr) return;
    const QString parentText = item->parent()->data(0, Qt::UserRole).toString();
    const std::string label = item->data(0, Qt::UserRole).toString().toStdString();
    if (parentText == "COM") {
        const Port port = label == "COM2" ? Port::COM2 : Port::COM1;
        SetupPort(doc, port);
        selection.code = SlotToSelection({port, FIRST_USER_INDEX});
        emit documentChanged(QCoreApplication::translate("varnel", "设置 %1").arg(item->text(0)));
    } else if (parentText == "MOD command") {
        const auto target = SelectionToSlot(selection.code);
        CCommandDlg dialog(doc, target ? *target : SlotRef{}, label, CommandFields{}, this);
        if (dialog.exec() != QDialog::Accepted) return;
        if (!target || !target->InRack()) return;  // nothing, or a port head, selected
        const CommandFields& f = dialog.Fields();
        PlaceModule(doc, *target, label, f.startAddress, f.quantity, f.slaveAddress);
        selection.code = NextSelection(doc, *target);
        emit documentChanged(QCoreApplication::translate("varnel", "放置 %1").arg(item->text(0)));
    }
}

int CDeviceTreeDlg::WidthForLabels() const
{
    int widest = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        int depth = 1;  // the root decoration
        for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent()) ++depth;
        widest = std::max(widest, depth * tree->indentation() + tree->iconSize().width() +
                                      tree->fontMetrics().horizontalAdvance((*it)->text(0)));
    }
    // Item padding, the frame and room for a vertical scroll bar.
    return widest + 16 + 2 * tree->frameWidth() +
           tree->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

bool CDeviceTreeDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OnItemDoubleClicked(tree->currentItem());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool CDeviceTreeDlg::EditCommand(QWidget* parent, CVarnelDoc& doc, SlotRef slot)
{
    CModule& module = doc.Slot(slot.port, slot.index).module;
    const auto fields = ReadCommandFields(module);
    if (!fields) return false;
    CCommandDlg dialog(doc, slot, module.moduleName, *fields, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    ApplyCommandEdit(module, dialog.Fields());
    return true;
}

}  // namespace varnel
