// The catalogue pane: items, port set-up and placing commands in turn.
#include <QLineEdit>
#include <QTreeWidget>

#include "GuiTestSupport.h"
#include "gui/modbus/CCommandDlg.h"
#include "gui/modbus/CDeviceTreeDlg.h"

using namespace varnel;
using guitest::FrameTest;

namespace {
// "text" of a leaf; "text+[children]" of an expanded branch ("-" folded).
QString Dump(QTreeWidgetItem* item)
{
    QStringList children;
    for (int i = 0; i < item->childCount(); ++i) children << Dump(item->child(i));
    if (children.isEmpty()) return item->text(0);
    return item->text(0) + (item->isExpanded() ? "+[" : "-[") + children.join(",") + "]";
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
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(Dump(tree->topLevelItem(0)) + "," + Dump(tree->topLevelItem(1)),
              "COM+[COM1,COM2],Module+[MOD command+[读0区 01H,写0区 0FH 写多线圈,"
              "写0区 05H 写单线圈,读1区 02H,读3区 04H,读4区 03H,写4区 06H 写单字,"
              "写4区 10H 写多字]]");
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
    // The last user slot was filled twice: the later command stands.
    QStringList placed;  // "slave inputLen" of slots 3..6
    for (int slot = 3; slot <= 6; ++slot) {
        const CModule& m = Doc().Slot(Port::COM2, slot).module;
        placed << (m.modulePrm.empty() ? "-"
                                       : QString("%1 %2").arg(m.modulePrm[0]).arg(m.inputLen));
    }
    EXPECT_EQ(placed, QStringList({"1 4", "2 8", "4 16", "-"}));
    EXPECT_EQ(Doc().selectedSlot, 1006);
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
    QStringList log;
    guitest::OnModal<CCommandDlg>([&](CCommandDlg* d) {
        d->QuantityEdit()->setText("126");
        guitest::CaptureMessage(log);
        guitest::ClickOk(d);
        log << (d->isVisible() ? "open" : "closed");
        d->QuantityEdit()->setText("125");
        guitest::ClickOk(d);
    });
    dlg->OnItemDoubleClicked(dlg->FindItem("读4区 03H"));
    EXPECT_EQ(log.join(" "), "长度请添入一个1和125之间的整数|错误|critical open");
    EXPECT_EQ(Doc().Slot(Port::COM1, 3).module.inputLen, 250);

    // Level-0 items and "MOD command" do nothing.
    const CVarnelDoc before = Doc();
    for (const char* text : {"COM", "Module", "MOD command"})
        dlg->OnItemDoubleClicked(dlg->FindItem(text));
    EXPECT_EQ(Doc().com1Slots, before.com1Slots);
    EXPECT_EQ(Doc().selectedSlot, before.selectedSlot);
}
