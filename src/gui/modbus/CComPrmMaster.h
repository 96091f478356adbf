#pragma once
// The serial parameter editor "Modbus通讯串口参数": the five parameter bytes
// of a port's COMPRM module shown as seven lists.
#include <QDialog>
#include <array>
#include <cstdint>

#include "core/modbus/SerialParams.h"

class QComboBox;

namespace varnel {

class CComPrmMaster : public QDialog {
    Q_OBJECT
public:
    // Opens the lists on `comPrm` (bytes 0-4 of the module's parameters).
    explicit CComPrmMaster(const std::array<std::uint8_t, 5>& comPrm, QWidget* parent = nullptr);

    // The bytes rebuilt from the lists (valid after OK).
    const std::array<std::uint8_t, 5>& ComPrm() const { return comPrm; }

private:
    void OnOk();

    std::array<std::uint8_t, 5> comPrm;
    std::array<QComboBox*, LIST_COUNT> lists{};
};

}  // namespace varnel
