#include "gui/ui/MessageBox.h"

#include <QMessageBox>
#include <QPushButton>

namespace varnel {

void ShowMessage(QWidget* parent, const Message& message)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (message.icon) {
        case MessageIcon::Error:
            icon = QMessageBox::Critical;
            break;
        case MessageIcon::Warning:
            icon = QMessageBox::Warning;
            break;
        case MessageIcon::Information:
            icon = QMessageBox::Information;
            break;
        case MessageIcon::Question:
            icon = QMessageBox::Question;
            break;
        case MessageIcon::None:
            break;
    }
    QMessageBox box(icon, ToQ(message.caption), ToQ(message.text), QMessageBox::Ok, parent);
    box.setObjectName("VarnelMessage");
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

}  // namespace varnel
