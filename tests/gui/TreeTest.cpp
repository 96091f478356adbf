// The catalogue pane: items, port set-up and placing commands in turn.
#include <QLineEdit>
#include <QTreeWidget>

#include "GuiTestSupport.h"
#include "gui/modbus/CCommandDlg.h"
#include "gui/modbus/CDeviceTreeDlg.h"

using namespace varnel;
using guitest::FrameTest;

namespace {
QStringList Children(QTreeWidgetItem* item)
{
    QStringList out;
    for (int i = 0; i < item->childCount(); ++i) out << item->child(i)->text(0);
    return out;
}

void Confirm(int slave, int quantity)
{
    guitest::OnModal<CCommandDlg>([slave, quantity](CCommandDlg* d) {
        d->SlaveEdit()->setText(QString::number(slave));
        d->QuantityEdit()->setText(QString::number(quantity));
        guitest::ClickOk(d);
    });
}
}  // namespace

TEST_F(FrameTest, TreeItemsAndExpansion)
{
    CDeviceTreeDlg* dlg = frame->TreeDlg();
    QTreeWidget* tree = dlg->Tree();
    EXPECT_EQ(Children(tree->invisibleRootItem()), QStringList({"COM", "Module"}));
    EXPECT_EQ(Children(tree->topLevelItem(0)), QStringList({"COM1", "COM2"}));
    EXPECT_EQ(Children(tree->topLevelItem(1)), QStringList({"MOD command"}));
    EXPECT_EQ(Children(dlg->FindItem("MOD command")),
              QStringList({"读0区 01H", "写0区 0FH 写多线圈", "写0区 05H 写单线圈", "读1区 02H",
                           "读3区 04H", "读4区 03H", "写4区 06H 写单字", "写4区 10H 写多字"}));
    for (const char* branch : {"COM", "Module", "MOD command"})
        EXPECT_TRUE(dlg->FindItem(branch)->isExpanded()) << branch;
    EXPECT_EQ(dlg->Description()->height(), 50);
    EXPECT_TRUE(dlg->Description()->isReadOnly());

    // A mouse selection shows the item's text below the tree.
    emit tree->itemPressed(dlg->FindItem("读1区 02H"), 0);
    EXPECT_EQ(dlg->Description()->text(), "读1区 02H");
}

TEST_F(FrameTest, TreePlacesCommandsInConsecutiveSlotsAndStopsAtTheLast)
{
    CDeviceTreeDlg* dlg = frame->TreeDlg();
    Doc().deviceSlotNum = 3;
    dlg->OnItemDoubleClicked(dlg->FindItem("COM2"));
    EXPECT_EQ(Doc().com2Enabled, 1);
    EXPECT_EQ(Doc().selectedSlot, 1004);
    EXPECT_EQ(Doc().Slot(Port::COM2, 2).module.moduleName, "COMPRM");

    for (int slave = 1; slave <= 4; ++slave) {
        Confirm(slave, 2 * slave);
        dlg->OnItemDoubleClicked(dlg->FindItem("读4区 03H"));
    }
    EXPECT_EQ(Doc().Slot(Port::COM2, 3).module.modulePrm[0], 1);
    EXPECT_EQ(Doc().Slot(Port::COM2, 4).module.modulePrm[0], 2);
    // The last user slot was filled twice: the later command stands.
    EXPECT_EQ(Doc().Slot(Port::COM2, 5).module.modulePrm[0], 4);
    EXPECT_EQ(Doc().Slot(Port::COM2, 5).module.inputLen, 16);
    EXPECT_EQ(Doc().selectedSlot, 1006);
    EXPECT_TRUE(Doc().Slot(Port::COM2, 6).IsEmpty());
    EXPECT_TRUE(Doc().modified);
}

TEST_F(FrameTest, TreeCommandEditorDetails)
{
    CDeviceTreeDlg* dlg = frame->TreeDlg();
    dlg->OnItemDoubleClicked(dlg->FindItem("COM1"));

    // Single writes keep the quantity box disabled at 1.
    for (const char* label : {"写0区 05H 写单线圈", "写4区 06H 写单字"}) {
        QString quantity;
        guitest::OnModal<CCommandDlg>([&](CCommandDlg* d) {
            quantity = d->QuantityEdit()->text() + (d->QuantityEdit()->isEnabled() ? " on" : "");
            d->reject();
        });
        dlg->OnItemDoubleClicked(dlg->FindItem(QString::fromUtf8(label)));
        EXPECT_EQ(quantity, "1") << label;
    }
    EXPECT_TRUE(Doc().Slot(Port::COM1, 3).IsEmpty());  // cancelled: nothing placed
    EXPECT_EQ(Doc().selectedSlot, 4);

    // A refused quantity keeps the editor open until it is mended.
    guitest::SeenMessage seen;
    guitest::OnModal<CCommandDlg>([&](CCommandDlg* d) {
        d->QuantityEdit()->setText("126");
        guitest::CaptureMessage(seen);
        guitest::ClickOk(d);
        EXPECT_TRUE(d->isVisible());
        d->QuantityEdit()->setText("125");
        guitest::ClickOk(d);
    });
    dlg->OnItemDoubleClicked(dlg->FindItem("读4区 03H"));
    EXPECT_EQ(seen.text, "长度请添入一个1和125之间的整数");
    EXPECT_EQ(Doc().Slot(Port::COM1, 3).module.inputLen, 250);

    // Level-0 items and "MOD command" do nothing.
    const CVarnelDoc before = Doc();
    for (const char* text : {"COM", "Module", "MOD command"})
        dlg->OnItemDoubleClicked(dlg->FindItem(text));
    EXPECT_EQ(Doc().com1Slots, before.com1Slots);
    EXPECT_EQ(Doc().selectedSlot, before.selectedSlot);
}
