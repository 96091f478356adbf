#pragma once
// The access parameter dialog "访问参数": the gateway's address in an IP
// address field; OK stores it in the document and in the option file.
#include <QDialog>
#include <array>

class QLineEdit;

namespace varnel {

class CVarnelDoc;

class CDeviceIpDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDeviceIpDlg(CVarnelDoc& doc, QWidget* parent = nullptr);

    // The dotted text the field holds: four numbers 0-255, a blank part as 0.
    QString AddressText() const;
    // The four parts of the address field.
    QLineEdit* Part(int i) const { return parts[static_cast<std::size_t>(i)]; }

private:
    void OnOk();

    CVarnelDoc& doc;
    std::array<QLineEdit*, 4> parts{};
};

}  // namespace varnel
