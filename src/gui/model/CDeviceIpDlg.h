#pragma once
// The access parameter dialog "访问参数": the gateway's address in an IP
// address field; OK stores it in the document and in the option file.
#include <QDialog>
#include <QLineEdit>

#include "gui/ui/CIpAddressEdit.h"

namespace varnel {

class CVarnelDoc;

class CDeviceIpDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDeviceIpDlg(CVarnelDoc& doc, QWidget* parent = nullptr);

    // The dotted text the field holds: four numbers 0-255, a blank part as 0.
    QString AddressText() const;
    // The four parts of the address field.
    QLineEdit* Part(int i) const { return address->Part(i); }

private:
    void OnOk();

    CVarnelDoc& doc;
    CIpAddressEdit* address = nullptr;
};

}  // namespace varnel
