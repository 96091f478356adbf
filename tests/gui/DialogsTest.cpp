// The catalogue pane (items, port set-up, placing commands in turn), the
// device-wide dialogs and the picture of a configuration.
#include <QTreeWidget>
#include <array>

#include "GuiTestSupport.h"
#include "core/view/DeviceScene.h"
#include "gui/modbus/CCommandDlg.h"
#include "gui/modbus/CDeviceTreeDlg.h"
#include "gui/model/CDeviceIpDlg.h"
#include "gui/model/CDeviceOptionSetDlg.h"

using namespace varnel;
using guitest::FrameTest;

namespace {
// "y text; ..." of the texts drawn at `x`, in drawing order.
std::string Column(const Scene& scene, int x)
{
    std::string out;
    for (const auto& p : scene.items)
        if (p.kind == ScenePrimitive::Kind::Text && p.at.x == x)
            out += (out.empty() ? "" : "; ") + std::to_string(p.at.y) + " " + p.text;
    return out;
}

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

TEST_F(FrameTest, SlotCountDialogRefusesUntilValid)
{
    Doc().deviceSlotNum = 10;
    QStringList log;
    guitest::OnModal<CDeviceOptionSetDlg>([&](CDeviceOptionSetDlg* d) {
        log << d->windowTitle() + " " + d->Edit()->text();
        for (const char* text : {"0", "55", "", "-5", "5a", " 5"}) {
            d->Edit()->setText(text);
            guitest::CaptureMessage(log);
            guitest::ClickOk(d);
            if (!d->isVisible()) log << "closed";
        }
        d->Edit()->setText("054");
        guitest::ClickOk(d);
    });
    frame->Action(ID_SLOT_COUNT)->trigger();
    const QString refusal = "槽数取值范围:1~54的正整数|错误|critical";
    EXPECT_EQ(log,
              QStringList({"槽数设置 10", refusal, refusal, refusal, refusal, refusal, refusal}));
    EXPECT_EQ(Doc().deviceSlotNum, 54);
    EXPECT_FALSE(Doc().modified);
}

TEST_F(FrameTest, AccessDialogWritesTheOptionFile)
{
    const std::string optionFile = Doc().OptionFilePath();
    const auto content = [](const char* ip) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ETHOption>\r\n\t<ip>" +
               std::string(ip) + "</ip>\r\n</ETHOption>\r\n";
    };
    testsupport::WriteFile(optionFile, content("10.0.0.5"));
    Doc().deviceIp = "10.0.0.5";
    // Types `parts` (null: keep) and confirms, or cancels; returns what it showed.
    const auto edit = [this](std::array<const char*, 4> parts, bool ok) {
        QStringList shown;
        guitest::OnModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            shown << d->windowTitle();
            for (int i = 0; i < 4; ++i) {
                shown << d->Part(i)->text();
                if (parts[i] != nullptr) d->Part(i)->setText(parts[i]);
            }
            ok ? guitest::ClickOk(d) : d->reject();
        });
        frame->Action(ID_ACCESS_PARAMS)->trigger();
        return shown;
    };
    EXPECT_EQ(edit({"192", "168", "1", "20"}, true),
              QStringList({"访问参数", "10", "0", "0", "5"}));
    EXPECT_EQ(Doc().deviceIp, "192.168.1.20");
    EXPECT_EQ(testsupport::ReadFile(optionFile), content("192.168.1.20"));

    // Cancel changes nothing; an empty part reads as 0.
    edit({nullptr, nullptr, nullptr, "99"}, false);
    EXPECT_EQ(Doc().deviceIp, "192.168.1.20");
    edit({nullptr, nullptr, "", nullptr}, true);
    EXPECT_EQ(Doc().deviceIp, "192.168.0.20");
    EXPECT_EQ(testsupport::ReadFile(optionFile), content("192.168.0.20"));
}

TEST_F(FrameTest, SceneOfAConfigurationBuiltThroughTheWindow)
{
    SetupPort(Doc(), Port::COM1);
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(1)}, "读0区 01H", 0, 17, 7);  // in 3: 2..4
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(2)}, "写4区 10H 写多字", 0, 2, 8);  // out 4
    const Scene scene = BuildScene(Doc(), 5);
    EXPECT_EQ(Column(scene, 100),
              "40 EIP-MODBUS DEVICE; 80 AllInLength:   5; 510 COM:  COM1; 540 槽号: 2; "
              "570 名称: 写4区 10H 写多字; 600 输入长度: 0; 630 输出长度: 4; "
              "660 用户参数: 0x08 0x10 0x00 0x00 0x00 0x02 ");
    EXPECT_EQ(Column(scene, 200), "80 AllOutLength:  6");
    EXPECT_EQ(Column(scene, 135), "110 COM1");
    EXPECT_EQ(Column(scene, 110), "200 InLength:   3; 230 OutLength:  4");
    EXPECT_EQ(Column(scene, 210), "200 slot 1; 120 MS #7; 160 eipIN; 200 2; 210 . . .; 230 4");
    EXPECT_EQ(Column(scene, 260), "200 slot 2; 120 MS #8; 160 eipOUT; 200 2; 210 . . .; 230 5");
    std::vector<SceneRect> tints;
    for (const auto& p : scene.items)
        if (p.kind == ScenePrimitive::Kind::TintRect) tints.push_back(p.rect);
    EXPECT_EQ(tints, (std::vector<SceneRect>{{250, 100, 50, 200}}));
}

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
    EXPECT_EQ(Selected(), 1004);
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
    EXPECT_EQ(Selected(), 1006);
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
    EXPECT_EQ(Selected(), 4);

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
    const int selectedBefore = Selected();
    for (const char* text : {"COM", "Module", "MOD command"})
        dlg->OnItemDoubleClicked(dlg->FindItem(text));
    EXPECT_EQ(Doc().com1Slots, before.com1Slots);
    EXPECT_EQ(Selected(), selectedBefore);
}
