#include "gui/modbus/CCommandDlg.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/modbus/CommandCheck.h"
#include "core/modbus/CommandType.h"
#include "gui/ui/DialogButtons.h"
#include "gui/ui/MessageBox.h"

namespace varnel {

CCommandDlg::CCommandDlg(const CVarnelDoc& doc, const std::string& commandLabel,
                         const CommandFields& fields, QWidget* parent)
    : QDialog(parent),
      doc(doc),
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
    setWindowTitle(QStringLiteral("命令编辑"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(ToQ(commandLabel), this);
    label->setObjectName("commandLabel");
    layout->addWidget(label);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("从站地址:"), slaveEdit);
    form->addRow(QStringLiteral("起始地址:"), startEdit);
    form->addRow(QStringLiteral("长度:"), quantityEdit);
    layout->addLayout(form);
    auto* buttons = MakeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCommandDlg::OnOk);
    layout->addWidget(buttons);

    // A command whose quantity can only be 1 (the single writes) keeps it fixed.
    const CommandType* type = FindCommandType(commandLabel);
    if (type != nullptr && type->maxQuantity == 1) quantityEdit->setEnabled(false);
}

void CCommandDlg::OnOk()
{
    const LegacyRefusal refusal =
        CheckCommand(doc, commandLabel, startEdit->text().toStdString(),
                     slaveEdit->text().toStdString(), quantityEdit->text().toStdString(), fields);
    if (refusal) {
        ShowMessage(this, *refusal);
        return;
    }
    accept();
}

}  // namespace varnel
