// The keyboard alone builds, edits and deletes a configuration; every kind of
// change can be undone and redone.
#include <QComboBox>
#include <QMenuBar>
#include <QScrollBar>
#include <QTreeWidget>
#include <QUndoStack>

#include "GuiTestSupport.h"
#include "core/modbus/CommandType.h"
#include "gui/app/DocumentHistory.h"
#include "gui/modbus/CComPrmMaster.h"
#include "gui/modbus/CCommandDlg.h"
#include "gui/modbus/CDeviceTreeDlg.h"
#include "gui/model/CDeviceIpDlg.h"
#include "gui/model/CDeviceOptionSetDlg.h"
#include "gui/ui/CIpAddressEdit.h"
#include "gui/ui/CPrmHexEditDlg.h"

using namespace varnel;
using guitest::FrameTest;

namespace {
// The configuration's part of a document, for comparing states.
std::string Config(const CVarnelDoc& d)
{
    std::string text = std::to_string(d.com1Enabled) + std::to_string(d.com2Enabled) + " " +
                       d.deviceIp + " " + std::to_string(d.deviceSlotNum);
    for (Port port : {Port::COM1, Port::COM2})
        for (const CSlot& slot : d.Slots(port)) {
            text += "|" + slot.module.moduleName;
            for (std::uint8_t b : slot.module.modulePrm) text += " " + std::to_string(b);
        }
    return text;
}

void Key(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    // A closed modal leaves the main window active again.
    w->window()->activateWindow();
    QApplication::processEvents();
    QTest::keyClick(w, key, mods);
    QApplication::processEvents();
}

// Answers the command editor with the quantity `quantity`, typed.
void TypeQuantity(const char* quantity)
{
    guitest::OnModal<CCommandDlg>([quantity](CCommandDlg* d) {
        auto* edit = d->findChild<QLineEdit*>("quantityEdit");
        edit->selectAll();
        QTest::keyClicks(edit, quantity);
        QTest::keyClick(edit, Qt::Key_Return);
    });
}
}  // namespace

TEST_F(FrameTest, KeyboardAloneBuildsEditsAndDeletesAConfiguration)
{
    QWidget* view = frame->View();
    QTreeWidget* tree = frame->TreeDlg()->Tree();
    view->setFocus();
    Key(frame.get(), Qt::Key_F6);
    ASSERT_TRUE(tree->hasFocus());
    // COM, COM1: Enter sets the port up and selects its user slot 1.
    Key(tree, Qt::Key_Home);
    Key(tree, Qt::Key_Down);
    EXPECT_EQ(frame->TreeDlg()->findChild<QLineEdit*>()->text(), "COM1");
    Key(tree, Qt::Key_Return);
    EXPECT_EQ(Doc().com1Enabled, 1);
    EXPECT_EQ(Selected(), 4);
    // Down to the first command type: Enter places it and moves on.
    for (int i = 0; i < 4; ++i) Key(tree, Qt::Key_Down);
    const QString label = tree->currentItem()->text(0);
    EXPECT_EQ(frame->TreeDlg()->findChild<QLineEdit*>()->text(), label);
    TypeQuantity("8");
    Key(tree, Qt::Key_Return);
    EXPECT_EQ(Doc().Slot(Port::COM1, 3).module.moduleName, label.toStdString());
    EXPECT_EQ(Selected(), 5);

    // Back in the view: Left selects the command, Enter edits it, Delete
    // empties the slot; Down and Up cross between the racks.
    Key(tree, Qt::Key_F6, Qt::ShiftModifier);
    ASSERT_TRUE(view->hasFocus());
    Key(view, Qt::Key_Left);
    EXPECT_EQ(Selected(), 4);
    TypeQuantity("16");
    Key(view, Qt::Key_Return);
    EXPECT_EQ(Doc().Slot(Port::COM1, 3).module.modulePrm[5], 16);
    Key(view, Qt::Key_Down);
    EXPECT_EQ(Selected(), 1004);
    Key(view, Qt::Key_Delete);  // COM2 is not set up: nothing to delete
    Key(view, Qt::Key_Up);
    Key(view, Qt::Key_Delete);
    EXPECT_TRUE(Doc().Slot(Port::COM1, 3).module.moduleName.empty());
    EXPECT_EQ(Doc().com1Enabled, 1);

    // The right end of a long rack scrolls into view.
    frame->resize(600, 500);
    QApplication::processEvents();
    for (int i = 0; i < 10; ++i) Key(view, Qt::Key_Right);
    EXPECT_EQ(Selected(), 13);
    EXPECT_GT(frame->View()->horizontalScrollBar()->value(), 0);
    // Shift+F10 offers "删除" on a set-up head, as the right button does.
    Key(view, Qt::Key_Left);
    for (int i = 0; i < 10; ++i) Key(view, Qt::Key_Left);
    EXPECT_EQ(Selected(), 0);
    QStringList shown;
    EXPECT_TRUE(guitest::Shows(
        [&]() -> QWidget* {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu) shown << menu->actions().value(0)->text();
            return menu;
        },
        [&] { Key(view, Qt::Key_F10, Qt::ShiftModifier); }));
    EXPECT_EQ(shown.value(0), "删除");
    // Alt reaches the menu bar (compile and download, save) without a mouse.
    Key(view, Qt::Key_Alt);
    ASSERT_NE(frame->menuBar()->activeAction(), nullptr);
    EXPECT_EQ(frame->menuBar()->activeAction()->text(), "文件(&F)");
    Key(frame->menuBar(), Qt::Key_Escape);
}

TEST_F(FrameTest, EveryKindOfChangeIsUndoneAndRedone)
{
    QUndoStack* stack = frame->History().Stack();
    QWidget* view = frame->View();
    view->setFocus();
    auto setupPort = [&] {
        frame->TreeDlg()->Tree()->setFocus();
        Key(frame->TreeDlg()->Tree(), Qt::Key_Home);
        Key(frame->TreeDlg()->Tree(), Qt::Key_Down);
        Key(frame->TreeDlg()->Tree(), Qt::Key_Return);
        view->setFocus();
    };
    auto place = [&] {
        QTreeWidget* tree = frame->TreeDlg()->Tree();
        tree->setFocus();
        for (int i = 0; i < 4; ++i) Key(tree, Qt::Key_Down);
        TypeQuantity("8");
        Key(tree, Qt::Key_Return);
        Selected() = 4;
        view->setFocus();
    };
    auto edit = [&] {
        TypeQuantity("9");
        Key(view, Qt::Key_Return);
    };
    auto serial = [&] {
        Selected() = 0;
        guitest::OnModal<CComPrmMaster>([](CComPrmMaster* d) {
            d->findChild<QComboBox*>("list0")->setCurrentText("115.2K");
            d->findChild<QComboBox*>("list2")->setCurrentText("Monitor Slave Status(8 Bits)");
            guitest::ClickOk(d);
        });
        Key(view, Qt::Key_Return);
    };
    auto statusTables = [&] { frame->Action(ID_PLACE_STATUS_TABLES)->trigger(); };
    auto statusBytes = [&] {
        Selected() = 5;
        guitest::OnModal<CPrmHexEditDlg>([](CPrmHexEditDlg* d) {
            auto* e = d->findChild<QLineEdit*>("hexEdit");
            e->setText("0a" + e->text().mid(2));
            guitest::ClickOk(d);
        });
        Key(view, Qt::Key_Return);
    };
    auto slotCount = [&] {
        guitest::OnModal<CDeviceOptionSetDlg>([](CDeviceOptionSetDlg* d) {
            d->findChild<QLineEdit*>("slotCountEdit")->setText("12");
            guitest::ClickOk(d);
        });
        frame->Action(ID_SLOT_COUNT)->trigger();
    };
    auto address = [&] {
        guitest::OnModal<CDeviceIpDlg>([](CDeviceIpDlg* d) {
            d->findChild<CIpAddressEdit*>()->SetText("127.0.0.9");
            guitest::ClickOk(d);
        });
        frame->Action(ID_ACCESS_PARAMS)->trigger();
    };
    auto remove = [&] {
        Selected() = 4;
        Key(view, Qt::Key_Delete);
    };
    const std::string_view first = CommandTypes()[0].label;
    const std::vector<std::pair<QString, std::function<void()>>> changes{
        {"设置 COM1", setupPort},
        {"放置 " + QString::fromUtf8(first.data(), static_cast<qsizetype>(first.size())), place},
        {"修改命令", edit},
        {"串口参数", serial},
        {"从站状态表", statusTables},
        {"用户参数修改", statusBytes},
        {"槽数设置", slotCount},
        {"访问参数设置", address},
        {"删除", remove}};
    std::vector<std::string> states{Config(Doc())};
    for (const auto& [name, change] : changes) {
        change();
        states.push_back(Config(Doc()));
        EXPECT_NE(states.back(), states[states.size() - 2]) << name.toStdString();
        EXPECT_EQ(frame->Action(ID_EDIT_UNDO)->text(), "撤销 " + name);
        EXPECT_TRUE(Doc().modified);
    }
    testsupport::TempDir dir;
    ASSERT_TRUE(frame->SaveDocumentFile(QString::fromStdString(dir.str() + "/undo.vrc")));
    // Ctrl+Z walks back through every state, Ctrl+Y forward again; back at
    // the saved state the modified mark is gone.
    for (std::size_t i = states.size() - 1; i > 0; --i) {
        Key(view, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(Config(Doc()), states[i - 1]) << changes[i - 1].first.toStdString();
        EXPECT_TRUE(Doc().modified);
    }
    for (std::size_t i = 1; i < states.size(); ++i) {
        Key(view, Qt::Key_Y, Qt::ControlModifier);
        EXPECT_EQ(Config(Doc()), states[i]);
    }
    EXPECT_FALSE(Doc().modified);
    EXPECT_FALSE(frame->isWindowModified());
    EXPECT_EQ(frame->Action(ID_EDIT_REDO)->isEnabled(), false);
    frame->Action(ID_FILE_NEW)->trigger();
    EXPECT_EQ(stack->count(), 0);
}
