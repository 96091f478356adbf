#include "gui/model/CDeviceIpDlg.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QVBoxLayout>

#include "core/model/CVarnelDoc.h"
#include "core/model/OptionFile.h"
#include "gui/ui/DialogButtons.h"
#include "gui/ui/MessageBox.h"

namespace varnel {

CDeviceIpDlg::CDeviceIpDlg(CVarnelDoc& doc, QWidget* parent) : QDialog(parent), doc(doc)
{
    setObjectName("CDeviceIpDlg");
    setWindowTitle(QStringLiteral("访问参数"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("IP:"), this));
    // The field shows the address as far as its parts are numbers.
    const QStringList shown = ToQ(doc.deviceIp).split('.');
    for (int i = 0; i < 4; ++i) {
        auto* part = new QLineEdit(this);
        part->setValidator(new QIntValidator(0, 255, part));
        part->setMaxLength(3);
        part->setFixedWidth(40);
        part->setAlignment(Qt::AlignCenter);
        if (shown.size() == 4) {
            bool ok = false;
            const int value = shown[i].toInt(&ok);
            if (ok && value >= 0 && value <= 255) part->setText(QString::number(value));
        }
        parts[static_cast<std::size_t>(i)] = part;
        if (i != 0) row->addWidget(new QLabel(QStringLiteral("."), this));
        row->addWidget(part);
    }
    layout->addLayout(row);
    auto* buttons = MakeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDeviceIpDlg::OnOk);
    layout->addWidget(buttons);
}

QString CDeviceIpDlg::AddressText() const
{
    QStringList numbers;
    for (const QLineEdit* part : parts) numbers << QString::number(part->text().toInt());
    return numbers.join('.');
}

void CDeviceIpDlg::OnOk()
{
    doc.deviceIp = AddressText().toStdString();
    // The address is kept in the document even when the file cannot be written.
    if (const Refusal refusal = WriteAccessAddress(doc.appFolder, doc.deviceIp)) ShowMessage(this, *refusal);
    accept();
}

}  // namespace varnel
