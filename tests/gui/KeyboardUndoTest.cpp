// The keyboard alone builds, edits and deletes a configuration, and every kind
// of change is undone and redone.
#include <QComboBox>
#include <QContextMenuEvent>
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

// Fills the next dialog D with `fill` and confirms it.
template <class D>
void Answer(std::function<void(D*)> fill)
{
    guitest::OnModal<D>([fill](D* d) {
        fill(d);
        guitest::ClickOk(d);
    });
}

void TypeQuantity(const char* quantity)
{
    Answer<CCommandDlg>([quantity](CCommandDlg* d) {
        auto* edit = d->findChild<QLineEdit*>("quantityEdit");
        edit->selectAll();
        QTest::keyClicks(edit, quantity);
    });
}
}  // namespace

TEST_F(FrameTest, KeyboardBuildsTheConfigurationAndEveryChangeIsUndoneAndRedone)
{
    QWidget* view = frame->View();
    QTreeWidget* tree = frame->TreeDlg()->Tree();
    auto* description = frame->TreeDlg()->findChild<QLineEdit*>();
    const std::string_view first = CommandTypes()[0].label;
    const QString label = QString::fromUtf8(first.data(), static_cast<qsizetype>(first.size()));
    std::vector<std::string> states{Config(Doc())};
    QStringList names;
    auto changed = [&](const QString& name) {
        EXPECT_NE(Config(Doc()), states.back()) << name.toStdString();
        EXPECT_EQ(frame->Action(ID_EDIT_UNDO)->text(), "撤销 " + name);
        states.push_back(Config(Doc()));
        names << name;
    };

    // F6 to the catalogue; COM1 and Enter set the port up, selecting slot 1.
    view->setFocus();
    Key(frame.get(), Qt::Key_F6);
    ASSERT_TRUE(tree->hasFocus());
    Key(tree, Qt::Key_Home);
    Key(tree, Qt::Key_Down);
    EXPECT_EQ(description->text(), "COM1");
    Key(tree, Qt::Key_Return);
    EXPECT_EQ(Selected(), 4);
    changed("设置 COM1");
    // Down to the first command type: Enter places it and moves on.
    for (int i = 0; i < 4; ++i) Key(tree, Qt::Key_Down);
    EXPECT_EQ(description->text(), label);
    TypeQuantity("8");
    Key(tree, Qt::Key_Return);
    EXPECT_EQ(Doc().Slot(Port::COM1, 3).module.moduleName, label.toStdString());
    EXPECT_EQ(Selected(), 5);
    changed("放置 " + label);

    // In the view: Left selects the command, Enter edits it.
    Key(tree, Qt::Key_F6, Qt::ShiftModifier);
    ASSERT_TRUE(view->hasFocus());
    Key(view, Qt::Key_Left);
    TypeQuantity("16");
    Key(view, Qt::Key_Return);
    EXPECT_EQ(Doc().Slot(Port::COM1, 3).module.modulePrm[5], 16);
    changed("修改命令");
    // Enter on the head edits the serial parameters.
    Key(view, Qt::Key_Left);
    Answer<CComPrmMaster>([](CComPrmMaster* d) {
        d->findChild<QComboBox*>("list2")->setCurrentText("Monitor Slave Status(8 Bits)");
    });
    Key(view, Qt::Key_Return);
    changed("串口参数");
    frame->Action(ID_PLACE_STATUS_TABLES)->trigger();
    changed("从站状态表");
    Key(view, Qt::Key_Right);
    Key(view, Qt::Key_Right);
    Answer<CPrmHexEditDlg>([](CPrmHexEditDlg* d) {
        auto* e = d->findChild<QLineEdit*>("hexEdit");
        e->setText("0a" + e->text().mid(2));
    });
    Key(view, Qt::Key_Return);
    changed("用户参数修改");
    Answer<CDeviceOptionSetDlg>(
        [](CDeviceOptionSetDlg* d) { d->findChild<QLineEdit*>("slotCountEdit")->setText("12"); });
    frame->Action(ID_SLOT_COUNT)->trigger();
    changed("槽数设置");
    Answer<CDeviceIpDlg>(
        [](CDeviceIpDlg* d) { d->findChild<CIpAddressEdit*>()->SetText("127.0.0.9"); });
    frame->Action(ID_ACCESS_PARAMS)->trigger();
    changed("访问参数设置");
    // Delete empties the command's slot; on COM2, not set up, it does nothing.
    Key(view, Qt::Key_Down);
    Key(view, Qt::Key_Delete);
    EXPECT_EQ(Config(Doc()), states.back());
    Key(view, Qt::Key_Up);
    Key(view, Qt::Key_Left);
    Key(view, Qt::Key_Delete);
    EXPECT_TRUE(Doc().Slot(Port::COM1, 3).module.moduleName.empty());
    changed("删除");

    // The right end of a long rack scrolls into view; Shift+F10 on a set-up
    // head offers "删除" as the right button does; Alt reaches the menu bar.
    frame->resize(600, 500);
    for (int i = 0; i < 12; ++i) Key(view, Qt::Key_Right);
    EXPECT_EQ(Selected(), 15);
    EXPECT_GT(frame->View()->horizontalScrollBar()->value(), 0);
    Selected() = 0;
    // Shift+F10, and the Menu key, which the platform turns into a keyboard
    // context-menu request.
    auto menuKey = [&] {
        QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), QPoint(), {});
        QApplication::sendEvent(view, &request);
    };
    for (const auto& press : std::vector<std::function<void()>>{
             [&] { Key(view, Qt::Key_F10, Qt::ShiftModifier); }, menuKey}) {
        QString popup;
        EXPECT_TRUE(guitest::Shows(
            [&]() -> QWidget* {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                if (menu) popup = menu->actions().value(0)->text();
                return menu;
            },
            press));
        EXPECT_EQ(popup, "删除");
    }
    Key(view, Qt::Key_Alt);
    ASSERT_NE(frame->menuBar()->activeAction(), nullptr);
    EXPECT_EQ(frame->menuBar()->activeAction()->text(), "文件(&F)");
    Key(frame->menuBar(), Qt::Key_Escape);

    // Saved, then Ctrl+Z walks back through every state and Ctrl+Y forward;
    // back at the saved state the modified mark is gone. New forgets it all.
    testsupport::TempDir dir;
    ASSERT_TRUE(frame->SaveDocumentFile(QString::fromStdString(dir.str() + "/undo.vrc")));
    for (std::size_t i = states.size() - 1; i > 0; --i) {
        Key(view, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(Config(Doc()), states[i - 1]) << names[int(i) - 1].toStdString();
        EXPECT_TRUE(Doc().modified && frame->isWindowModified());
    }
    for (std::size_t i = 1; i < states.size(); ++i) {
        Key(view, Qt::Key_Y, Qt::ControlModifier);
        EXPECT_EQ(Config(Doc()), states[i]);
    }
    EXPECT_FALSE(Doc().modified || frame->isWindowModified());
    frame->Action(ID_FILE_NEW)->trigger();
    EXPECT_EQ(frame->History().Stack()->count(), 0);
}
