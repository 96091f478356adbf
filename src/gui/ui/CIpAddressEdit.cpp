#include "gui/ui/CIpAddressEdit.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>

namespace varnel {

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 4; ++i) {
        auto* part = new QLineEdit(this);
        part->setValidator(new QIntValidator(0, 255, part));
        part->setMaxLength(3);
        part->setFixedWidth(40);
        part->setAlignment(Qt::AlignCenter);
        parts[static_cast<std::size_t>(i)] = part;
        if (i != 0) row->addWidget(new QLabel(QStringLiteral("."), this));
        row->addWidget(part);
    }
    row->addStretch(1);
}

void CIpAddressEdit::SetText(const QString& dotted)
{
    const QStringList shown = dotted.split('.');
    for (int i = 0; i < 4; ++i) {
        QLineEdit* part = parts[static_cast<std::size_t>(i)];
        part->clear();
        if (shown.size() != 4) continue;
        bool ok = false;
        const int value = shown[i].toInt(&ok);
        if (ok && value >= 0 && value <= 255) part->setText(QString::number(value));
    }
}

QString CIpAddressEdit::Text() const
{
    QStringList numbers;
    for (const QLineEdit* part : parts) numbers << QString::number(part->text().toInt());
    return numbers.join('.');
}

bool CIpAddressEdit::IsBlank() const
{
    for (const QLineEdit* part : parts)
        if (!part->text().isEmpty()) return false;
    return true;
}

}  // namespace varnel
