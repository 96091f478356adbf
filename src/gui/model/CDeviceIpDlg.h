#pragma once
// The access parameter dialog "访问参数": the gateway's address in an IP
// address field; OK stores it in the document and in the option file.
#include <QDialog>

namespace varnel {

class CVarnelDoc;
class CIpAddressEdit;

class CDeviceIpDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDeviceIpDlg(CVarnelDoc& doc, QWidget* parent = nullptr);

private:
    void OnOk();

    CVarnelDoc& doc;
    CIpAddressEdit* address = nullptr;
};

}  // namespace varnel
