#include "gui/ui/MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include "gui/app/Language.h"

namespace varnel {

namespace {
QMessageBox::Icon IconOf(const Message& message)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (message.icon) {
        case MessageIcon::Error: icon = QMessageBox::Critical; break;
        case MessageIcon::Warning: icon = QMessageBox::Warning; break;
        case MessageIcon::Information: icon = QMessageBox::Information; break;
        case MessageIcon::Question: icon = QMessageBox::Question; break;
        case MessageIcon::None: break;
    }
    return icon;
}
}  // namespace

void ShowMessage(QWidget* parent, const Message& message)
{
    const QMessageBox::Icon icon = IconOf(message);
    QMessageBox box(icon, Shown(message.caption), Shown(message.text), QMessageBox::Ok, parent);
    box.setObjectName("VarnelMessage");
    box.button(QMessageBox::Ok)->setText(QCoreApplication::translate("varnel", "确定"));
    box.exec();
}

bool AskYesNo(QWidget* parent, const Message& question)
{
    QMessageBox box(IconOf(question), Shown(question.caption), Shown(question.text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName("VarnelQuestion");
    box.button(QMessageBox::Yes)->setText(QCoreApplication::translate("varnel", "是(&Y)"));
    box.button(QMessageBox::No)->setText(QCoreApplication::translate("varnel", "否(&N)"));
    return box.exec() == QMessageBox::Yes;
}

}  // namespace varnel
