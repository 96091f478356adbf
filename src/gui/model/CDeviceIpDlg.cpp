#include "gui/model/CDeviceIpDlg.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/model/CVarnelDoc.h"
#include "core/project/OptionFile.h"
#include "gui/ui/CIpAddressEdit.h"
#include "gui/ui/DialogButtons.h"
#include "gui/ui/MessageBox.h"

namespace varnel {

CDeviceIpDlg::CDeviceIpDlg(CVarnelDoc& doc, QWidget* parent) : QDialog(parent), doc(doc)
{
    setObjectName("CDeviceIpDlg");
    setWindowTitle(QCoreApplication::translate("varnel", "访问参数"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("IP:"), this));
    address = new CIpAddressEdit(this);
    address->SetText(ToQ(doc.deviceIp));
    row->addWidget(address);
    layout->addLayout(row);
    auto* buttons = MakeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDeviceIpDlg::OnOk);
    layout->addWidget(buttons);
}

void CDeviceIpDlg::OnOk()
{
    doc.deviceIp = address->Text().toStdString();
    // The address is kept in the document even when the file cannot be written.
    if (const Status written = WriteAccessAddress(doc.appFolder, doc.deviceIp); !written)
        ShowMessage(this, written.message());
    accept();
}

}  // namespace varnel
