#pragma once
// An IP address field: four number boxes 0-255 with dots between them. A '.'
// moves on to the next box, and a pasted dotted address fills all four.
#include <QWidget>
#include <array>

class QLineEdit;

namespace varnel {

class CIpAddressEdit : public QWidget {
    Q_OBJECT
public:
    explicit CIpAddressEdit(QWidget* parent = nullptr);

    // Shows a dotted address; a text the address parser refuses leaves the
    // whole field blank.
    void SetText(const QString& dotted);
    // The dotted text of the four parts, a blank part counting as 0.
    QString Text() const;
    // True when all four parts are blank.
    bool IsBlank() const;
    QLineEdit* Part(int i) const { return parts[static_cast<std::size_t>(i)]; }

private:
    // Spreads a part's text that holds dots over that part and the next ones.
    void Spread(int from, const QString& text);

    std::array<QLineEdit*, 4> parts{};
};

}  // namespace varnel
