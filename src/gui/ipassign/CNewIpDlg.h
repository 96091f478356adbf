#pragma once
// One MAC-to-IP assignment as the user enters it: MAC text, IP address,
// device name and description. OK runs the checks in their order and stays
// open, with the check's message, until they all pass.
#include <QDialog>
#include <QLineEdit>

#include "core/ipassign/NewIpChecks.h"
#include "gui/ui/CIpAddressEdit.h"

namespace varnel {

class CNewIpDlg : public QDialog {
    Q_OBJECT
public:
    // `macText` presets the MAC field (empty for a new assignment).
    explicit CNewIpDlg(const QString& macText = QString(), QWidget* parent = nullptr);

    // The texts as stored on OK (the MAC as typed, the IP as dotted text).
    const NewIpEntry& Entry() const { return entry; }
    // The assignment built from them (no offer armed).
    const DhcpAssignment& Assignment() const { return assignment; }

    QLineEdit* MacEdit() const { return mac; }
    QLineEdit* IpPart(int i) const { return address->Part(i); }
    QLineEdit* NameEdit() const { return name; }
    QLineEdit* DescriptionEdit() const { return description; }
    // The IP field as dotted text; empty when all four parts are blank, a
    // blank part otherwise counting as 0.
    QString IpText() const;

private:
    void OnOk();

    QLineEdit* mac;
    CIpAddressEdit* address = nullptr;
    QLineEdit* name;
    QLineEdit* description;
    NewIpEntry entry;
    DhcpAssignment assignment;
};

}  // namespace varnel
