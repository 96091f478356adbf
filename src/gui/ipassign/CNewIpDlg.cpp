#include "gui/ipassign/CNewIpDlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
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

    auto* ipRow = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        auto* part = new QLineEdit(this);
        part->setValidator(new QIntValidator(0, 255, part));
        part->setMaxLength(3);
        part->setFixedWidth(40);
        part->setAlignment(Qt::AlignCenter);
        ipParts[static_cast<std::size_t>(i)] = part;
        if (i != 0) ipRow->addWidget(new QLabel(QStringLiteral("."), this));
        ipRow->addWidget(part);
    }
    ipRow->addStretch(1);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("MAC地址:"), mac);
    form->addRow(QStringLiteral("IP:"), ipRow);
    form->addRow(QStringLiteral("设备名称:"), name);
    form->addRow(QStringLiteral("设备描述:"), description);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    auto* buttons = MakeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CNewIpDlg::OnOk);
    layout->addWidget(buttons);
    setMinimumWidth(320);
}

QString CNewIpDlg::IpText() const
{
    QStringList numbers;
    bool any = false;
    for (const QLineEdit* part : ipParts) {
        any = any || !part->text().isEmpty();
        numbers << QString::number(part->text().toInt());
    }
    return any ? numbers.join('.') : QString();
}

void CNewIpDlg::OnOk()
{
    NewIpEntry typed{mac->text().toStdString(), IpText().toStdString(), name->text().toStdString(),
                     description->text().toStdString()};
    if (const Refusal refusal = CheckNewIp(typed)) {
        ShowMessage(this, *refusal);
        return;
    }
    entry = std::move(typed);
    accept();
}

}  // namespace varnel
