#include "gui/ui/DialogButtons.h"

#include <QCoreApplication>
#include <QDialog>
#include <QPushButton>

namespace varnel {

QDialogButtonBox* MakeOkCancel(QWidget* dialog)
{
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    box->button(QDialogButtonBox::Ok)->setText(QCoreApplication::translate("varnel", "确定"));
    box->button(QDialogButtonBox::Cancel)->setText(QCoreApplication::translate("varnel", "取消"));
    if (auto* d = qobject_cast<QDialog*>(dialog))
        QObject::connect(box, &QDialogButtonBox::rejected, d, &QDialog::reject);
    return box;
}

}  // namespace varnel
