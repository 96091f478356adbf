#include "gui/modbus/CComPrmMaster.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QVBoxLayout>
#include <string>

#include "gui/app/Language.h"
#include "gui/ui/DialogButtons.h"

namespace varnel {

CComPrmMaster::CComPrmMaster(const std::array<std::uint8_t, 5>& comPrm, QWidget* parent)
    : QDialog(parent), comPrm(comPrm)
{
    setObjectName("CComPrmMaster");
    setWindowTitle(QCoreApplication::translate("varnel", "Modbus通讯串口参数"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const SerialChoices choices = OpenSerialParams(std::span<const std::uint8_t, 5>(comPrm));
    for (int id = 0; id < LIST_COUNT; ++id) {
        const SerialList& list = SerialLists()[static_cast<std::size_t>(id)];
        auto* combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("list%1").arg(id));
        for (std::string_view item : list.items)
            combo->addItem(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
        // A stored byte outside the list shows no selection.
        combo->setCurrentIndex(choices.index[static_cast<std::size_t>(id)]);
        lists[static_cast<std::size_t>(id)] = combo;
        // The labels are the core library's, translated by its table of texts.
        form->addRow(Shown(list.label), combo);
    }
    layout->addLayout(form);
    auto* buttons = MakeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CComPrmMaster::OnOk);
    layout->addWidget(buttons);
}

void CComPrmMaster::OnOk()
{
    SerialChoices choices;
    for (std::size_t id = 0; id < LIST_COUNT; ++id) {
        const int index = lists[id]->currentIndex();
        choices.index[id] = index < 0 ? NO_CHOICE : index;
    }
    StoreSerialParams(choices, std::span<std::uint8_t, 5>(comPrm));
    accept();
}

}  // namespace varnel
