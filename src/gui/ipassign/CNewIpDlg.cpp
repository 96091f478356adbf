#include "gui/ipassign/CNewIpDlg.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "gui/ui/DialogButtons.h"
#include "gui/ui/MessageBox.h"

namespace varnel {

CNewIpDlg::CNewIpDlg(const QString& macText, QWidget* parent)
    : QDialog(parent),
      mac(new QLineEdit(this)),
      name(new QLineEdit(this)),
      description(new QLineEdit(this))
{
    setObjectName("CNewIpDlg");
    mac->setObjectName("macEdit");
    name->setObjectName("nameEdit");
    description->setObjectName("descriptionEdit");
    if (!macText.isEmpty()) mac->setText(macText);

    address = new CIpAddressEdit(this);

    auto* form = new QFormLayout;
    form->addRow(QCoreApplication::translate("varnel", "MAC地址:"), mac);
    form->addRow(QStringLiteral("IP:"), address);
    form->addRow(QCoreApplication::translate("varnel", "设备名称:"), name);
    form->addRow(QCoreApplication::translate("varnel", "设备描述:"), description);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    auto* buttons = MakeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CNewIpDlg::OnOk);
    layout->addWidget(buttons);
    setMinimumWidth(320);
}

QString CNewIpDlg::IpText() const
{
    return address->IsBlank() ? QString() : address->Text();
}

void CNewIpDlg::OnOk()
{
    NewIpEntry typed{mac->text().toStdString(), IpText().toStdString(), name->text().toStdString(),
                     description->text().toStdString()};
    auto built = BuildAssignment(typed, false);
    if (!built) {
        ShowMessage(this, built.message());
        return;
    }
    entry = std::move(typed);
    assignment = std::move(*built);
    accept();
}

}  // namespace varnel
