#pragma once
// The small result window of a download: one text ("下 载 完 毕！" unless the
// caller sets another) and an OK button.
#include <QDialog>

class QLabel;

namespace varnel {

class COverDlg : public QDialog {
    Q_OBJECT
public:
    explicit COverDlg(QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const;

private:
    QLabel* text;
};

}  // namespace varnel
