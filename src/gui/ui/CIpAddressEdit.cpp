#include "gui/ui/CIpAddressEdit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QValidator>
#include <algorithm>

#include "core/util/Ipv4.h"

namespace varnel {

namespace {
// A part takes digits up to 255. Dots pass, at most three, each piece a
// number up to 255, so that the field can spread them over the next parts.
class PartValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        const QStringList pieces = input.split('.');
        if (pieces.size() > 4) return Invalid;
        for (const QString& piece : pieces) {
            if (piece.size() > 3) return Invalid;
            for (QChar c : piece)
                if (c < '0' || c > '9') return Invalid;
            if (piece.toInt() > 255) return Invalid;
        }
        return Acceptable;
    }
};
}  // namespace

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 4; ++i) {
        auto* part = new QLineEdit(this);
        part->setObjectName(QStringLiteral("ipPart%1").arg(i));
        part->setValidator(new PartValidator(part));
        part->setFixedWidth(40);
        part->setAlignment(Qt::AlignCenter);
        connect(part, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.contains('.')) Spread(i, text);
        });
        parts[static_cast<std::size_t>(i)] = part;
        if (i != 0) row->addWidget(new QLabel(QStringLiteral("."), this));
        row->addWidget(part);
    }
    row->addStretch(1);
}

void CIpAddressEdit::Spread(int from, const QString& text)
{
    // A whole address fills the field, whichever part it went into.
    if (ParseIpv4(text.toStdString())) {
        SetText(text);
        Part(3)->setFocus();
        return;
    }
    const QStringList pieces = text.split('.');
    const int last = std::min(3, from + static_cast<int>(pieces.size()) - 1);
    for (int i = from; i <= last; ++i) {
        const QString& piece = pieces[i - from];
        // An empty last piece (a typed '.') keeps the next part's number,
        // selected so that typing replaces it.
        if (i == from || i < last || !piece.isEmpty())
            Part(i)->setText(piece.isEmpty() ? piece : QString::number(piece.toInt()));
    }
    Part(last)->setFocus();
    if (last > from && pieces[last - from].isEmpty()) Part(last)->selectAll();
}

void CIpAddressEdit::SetText(const QString& dotted)
{
    const auto address = ParseIpv4(dotted.toStdString());
    for (int i = 0; i < 4; ++i) {
        if (address)
            Part(i)->setText(QString::number(*address >> (24 - 8 * i) & 0xFF));
        else
            Part(i)->clear();
    }
}

QString CIpAddressEdit::Text() const
{
    std::uint32_t address = 0;
    for (const QLineEdit* part : parts) address = address << 8 | (part->text().toUInt() & 0xFF);
    return QString::fromStdString(FormatIpv4(address));
}

bool CIpAddressEdit::IsBlank() const
{
    return std::all_of(parts.begin(), parts.end(),
                       [](const QLineEdit* part) { return part->text().isEmpty(); });
}

}  // namespace varnel
