#pragma once
// The slot count dialog "槽数设置": stores a valid count (1 to 54) in the
// document on OK and stays open with a message otherwise.
#include <QDialog>

class QLineEdit;

namespace varnel {

class CVarnelDoc;

class CDeviceOptionSetDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDeviceOptionSetDlg(CVarnelDoc& doc, QWidget* parent = nullptr);

private:
    void OnOk();

    CVarnelDoc& doc;
    QLineEdit* edit;
};

}  // namespace varnel
