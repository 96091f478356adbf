#include "gui/modbus/CCommandDlg.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/modbus/CommandCheck.h"
#include "core/modbus/CommandType.h"
#include "gui/app/Language.h"
#include "gui/ui/DialogButtons.h"
#include "gui/ui/MessageBox.h"

namespace varnel {

CCommandDlg::CCommandDlg(const CVarnelDoc& doc, SlotRef own, const std::string& commandLabel,
                         const CommandFields& fields, QWidget* parent)
    : QDialog(parent),
      doc(doc),
      own(own),
      commandLabel(commandLabel),
      fields(fields),
      slaveEdit(new QLineEdit(QString::number(fields.slaveAddress), this)),
      startEdit(new QLineEdit(QString::number(fields.startAddress), this)),
      quantityEdit(new QLineEdit(QString::number(fields.quantity), this))
{
    setObjectName("CCommandDlg");
    slaveEdit->setObjectName("slaveEdit");
    startEdit->setObjectName("startEdit");
    quantityEdit->setObjectName("quantityEdit");
    setWindowTitle(QCoreApplication::translate("varnel", "命令编辑"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(Shown(commandLabel), this);
    label->setObjectName("commandLabel");
    layout->addWidget(label);
    auto* form = new QFormLayout;
    form->addRow(QCoreApplication::translate("varnel", "从站地址:"), slaveEdit);
    form->addRow(QCoreApplication::translate("varnel", "起始地址:"), startEdit);
    form->addRow(QCoreApplication::translate("varnel", "长度:"), quantityEdit);
    layout->addLayout(form);
    auto* buttons = MakeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCommandDlg::OnOk);
    layout->addWidget(buttons);

    if (HasFixedQuantity(commandLabel)) quantityEdit->setEnabled(false);
}

void CCommandDlg::OnOk()
{
    const Status checked =
        CheckCommand(doc, own, commandLabel, startEdit->text().toStdString(),
                     slaveEdit->text().toStdString(), quantityEdit->text().toStdString(), fields);
    if (!checked) {
        ShowMessage(this, checked.message());
        return;
    }
    accept();
}

}  // namespace varnel
