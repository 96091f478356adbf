#include "gui/model/CDeviceOptionSetDlg.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/model/CVarnelDoc.h"
#include "core/model/SlotCount.h"
#include "gui/ui/DialogButtons.h"
#include "gui/ui/MessageBox.h"

namespace varnel {

CDeviceOptionSetDlg::CDeviceOptionSetDlg(CVarnelDoc& doc, QWidget* parent)
    : QDialog(parent), doc(doc), edit(new QLineEdit(QString::number(doc.deviceSlotNum), this))
{
    setObjectName("CDeviceOptionSetDlg");
    edit->setObjectName("slotCountEdit");
    setWindowTitle(QCoreApplication::translate("varnel", "槽数设置"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QCoreApplication::translate("varnel", "设备槽数:"), edit);
    layout->addLayout(form);
    auto* buttons = MakeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDeviceOptionSetDlg::OnOk);
    layout->addWidget(buttons);
}

void CDeviceOptionSetDlg::OnOk()
{
    const Result<int> count = CheckSlotCountText(edit->text().toStdString());
    if (!count) {
        ShowMessage(this, count.message());
        return;
    }
    doc.deviceSlotNum = *count;
    accept();
}

}  // namespace varnel
