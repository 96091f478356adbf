#include "gui/ui/CPrmHexEditDlg.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/view/UserParamsText.h"
#include "gui/ui/DialogButtons.h"
#include "gui/ui/MessageBox.h"

namespace varnel {

CPrmHexEditDlg::CPrmHexEditDlg(const QString& hexText, int byteCount, QWidget* parent)
    : QDialog(parent), hexText(hexText), byteCount(byteCount), edit(new QLineEdit(hexText, this))
{
    setObjectName("CPrmHexEditDlg");
    edit->setObjectName("hexEdit");
    setWindowTitle(QCoreApplication::translate("varnel", "用户参数修改"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit);
    auto* buttons = MakeOkCancel(this);
    okButton = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPrmHexEditDlg::OnOk);
    layout->addWidget(buttons);
    connect(edit, &QLineEdit::textChanged, this, &CPrmHexEditDlg::OnTextChanged);
    resize(360, sizeHint().height());
}

void CPrmHexEditDlg::OnTextChanged(const QString& text)
{
    hexText = text;
    const int max = UserParamsMaxLength(byteCount);
    if (hexText.size() > max) {
        hexText.truncate(max);
        edit->setText(hexText);
        okButton->setFocus();
    }
}

void CPrmHexEditDlg::OnOk()
{
    const QString text = edit->text();
    if (const Status checked = CheckUserParamsText(text.toStdString()); !checked) {
        ShowMessage(this, checked.message());
        return;
    }
    hexText = text;
    accept();
}

}  // namespace varnel
