#pragma once
// The user parameter editor "用户参数修改": a status table's parameter bytes
// as hexadecimal text, kept within the length the byte count allows and
// checked on OK.
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace varnel {

class CPrmHexEditDlg : public QDialog {
    Q_OBJECT
public:
    // `hexText` is shown as it is; `byteCount` fixes the longest text.
    CPrmHexEditDlg(const QString& hexText, int byteCount, QWidget* parent = nullptr);

    // The checked text (valid after OK).
    const QString& HexText() const { return hexText; }

private:
    void OnTextChanged(const QString& text);
    void OnOk();

    QString hexText;
    int byteCount;
    QLineEdit* edit;
    QPushButton* okButton;
};

}  // namespace varnel
