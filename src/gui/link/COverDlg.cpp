#include "gui/link/COverDlg.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/link/LinkMessages.h"
#include "gui/app/Language.h"

namespace varnel {

COverDlg::COverDlg(QWidget* parent)
    : QDialog(parent), text(new QLabel(Shown(DownloadDoneMessage().text), this))
{
    setObjectName("COverDlg");
    text->setObjectName("text1164");
    text->setAlignment(Qt::AlignCenter);
    QFont big = text->font();
    big.setPointSize(big.pointSize() + 4);
    text->setFont(big);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QCoreApplication::translate("varnel", "确定"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setMinimumWidth(240);
}

void COverDlg::SetText(const QString& shown)
{
    text->setText(shown);
}

QString COverDlg::Text() const
{
    return text->text();
}

}  // namespace varnel
