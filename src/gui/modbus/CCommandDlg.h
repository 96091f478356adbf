#pragma once
// The Modbus command editor "命令编辑": slave address, start address and
// quantity of one command, checked on OK against the command rules and the
// other write commands of the document.
#include <QDialog>

#include "core/modbus/ModbusMaster.h"

class QLabel;
class QLineEdit;

namespace varnel {

class CCommandDlg : public QDialog {
    Q_OBJECT
public:
    // `fields` are shown in decimal; the quantity box is disabled for the two
    // single writes. The document is read by the overlap check, which leaves
    // out `own`, the slot the command goes into.
    CCommandDlg(const CVarnelDoc& doc, SlotRef own, const std::string& commandLabel,
                const CommandFields& fields, QWidget* parent = nullptr);

    // The confirmed values (valid after OK).
    const CommandFields& Fields() const { return fields; }

private:
    void OnOk();

    const CVarnelDoc& doc;
    SlotRef own;
    std::string commandLabel;
    CommandFields fields;
    QLineEdit* slaveEdit;
    QLineEdit* startEdit;
    QLineEdit* quantityEdit;
};

}  // namespace varnel
