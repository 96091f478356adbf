#include "gui/ui/DialogButtons.h"

#include <QDialog>
#include <QPushButton>

namespace varnel {

QDialogButtonBox* MakeOkCancel(QWidget* dialog)
{
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    if (auto* d = qobject_cast<QDialog*>(dialog))
        QObject::connect(box, &QDialogButtonBox::rejected, d, &QDialog::reject);
    return box;
}

}  // namespace varnel
