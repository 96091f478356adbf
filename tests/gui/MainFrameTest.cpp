// The main window: menus, toolbar, status bar, pane and the shell's commands.
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

#include "GuiTestSupport.h"
#include "core/modbus/ModbusMaster.h"
#include "gui/app/CommandIds.h"
#include "gui/ui/CTreeWnd.h"
#include "support/TestSupport.h"

using namespace varnel;
using guitest::FrameTest;

namespace {

// "id text on/off" per visible item, "-" for a separator, "text>" for a submenu.
QStringList Describe(const QList<QAction*>& items)
{
    QStringList out;
    for (QAction* a : items) {
        if (!a->isVisible()) continue;
        if (a->isSeparator())
            out << "-";
        else if (a->menu())
            out << a->text() + ">";
        else
            out << QString("%1 %2 %3")
                       .arg(a->data().toInt())
                       .arg(a->text(), a->isEnabled() ? "on" : "off");
    }
    return out;
}

QMenu* TopMenu(QMainWindow* w, int i)
{
    return w->menuBar()->actions().at(i)->menu();
}

}  // namespace

TEST_F(FrameTest, MenuBarItemsInOrder)
{
    QStringList tops;
    for (QAction* a : frame->menuBar()->actions()) tops << a->text();
    EXPECT_EQ(tops, QStringList({"文件(&F)", "视图(&V)", "操作", "帮助(&H)"}));

    EXPECT_EQ(Describe(TopMenu(frame.get(), 0)->actions()),
              QStringList({"57600 新建(&N)\tCtrl+N on", "57601 打开(&O)...\tCtrl+O on",
                           "57603 保存(&S)\tCtrl+S on", "57604 另存为(&A)... on", "-",
                           "57616 最近的文件 off", "-", "57665 退出(&X) on"}));
    QMenu* viewMenu = TopMenu(frame.get(), 1);
    EXPECT_EQ(Describe(viewMenu->actions()),
              QStringList({"工具栏和停靠窗口(&T)>", "59393 状态栏(&S) on", "工作目录>"}));
    EXPECT_EQ(Describe(viewMenu->actions().at(2)->menu()->actions()),
              QStringList({"32782 配置文件 on"}));
    EXPECT_EQ(Describe(TopMenu(frame.get(), 2)->actions()),
              QStringList({"32783 编译 off", "32771 配置下载 off", "32785 编译并下载 on", "-",
                           "32772 访问参数设置 on", "32774 网络参数设置 on", "-",
                           "32775 槽数设置 on", "-", "32777 设备模块信息报表 on", "-",
                           "32778 清除配置 on", "32779 重启设备 on"}));
    EXPECT_EQ(Describe(TopMenu(frame.get(), 3)->actions()),
              QStringList({"57664 关于 Varnel(&A)... on"}));
}

TEST_F(FrameTest, ToolbarPromptsShortcutsAndPanes)
{
    QList<int> ids;
    for (QAction* a : frame->ToolBar()->actions())
        ids << (a->isSeparator() ? 0 : a->data().toInt());
    EXPECT_EQ(ids, QList<int>({57600, 57601, 57603, 0, 32783, 32771, 32785, 0, 57664}));
    EXPECT_EQ(frame->ToolBar()->windowTitle(), "标准");

    struct Prompt {
        int id;
        const char* status;
        const char* tip;
    };
    for (const Prompt& p :
         {Prompt{32771, "配置下载", "下载"}, Prompt{32774, "网络参数设置", "通过DHCP设置设备IP"},
          Prompt{32778, "清除配置", "清除设备现有配置"}, Prompt{32779, "重启设备", "重新启动设备"},
          Prompt{32785, "编译并下载", "编译并下载"}}) {
        EXPECT_EQ(frame->Action(p.id)->statusTip(), QString::fromUtf8(p.status)) << p.id;
        EXPECT_EQ(frame->Action(p.id)->toolTip(), QString::fromUtf8(p.tip)) << p.id;
    }
    // Pointing at a command shows its prompt in the status bar.
    frame->Action(32772)->showStatusText(frame.get());
    EXPECT_EQ(frame->statusBar()->currentMessage(), "访问参数设置");
    frame->statusBar()->clearMessage();

    EXPECT_EQ(frame->Action(ID_FILE_NEW)->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(frame->Action(ID_FILE_OPEN)->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(frame->Action(ID_FILE_SAVE)->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(frame->Action(ID_FILE_PRINT)->shortcut(), QKeySequence("Ctrl+P"));
    EXPECT_EQ(frame->Action(ID_NEXT_PANE)->shortcut(), QKeySequence("F6"));
    EXPECT_EQ(frame->Action(ID_PREV_PANE)->shortcut(), QKeySequence("Shift+F6"));

    EXPECT_EQ(frame->windowTitle(), "Untitled[*] - Varnel --- Quorwick");
    EXPECT_EQ(frame->TreeWnd()->windowTitle(), "设备列表");
    EXPECT_EQ(frame->dockWidgetArea(frame->TreeWnd()), Qt::RightDockWidgetArea);
    auto* ready = frame->statusBar()->findChild<QLabel*>("readyPane");
    ASSERT_NE(ready, nullptr);
    EXPECT_EQ(ready->text(), "就绪");
    for (const char* key : {"CAP", "NUM", "SCRL"})
        EXPECT_NE(frame->statusBar()->findChild<QLabel*>(key), nullptr) << key;
}

TEST_F(FrameTest, CommandsWithoutEffectChangeNothing)
{
    SetupPort(Doc(), Port::COM1);
    Doc().modified = false;
    const CVarnelDoc before = Doc();
    for (int id : {ID_DEVICE_PARAMS, ID_MODULE_REPORT}) {
        ASSERT_TRUE(frame->Action(id)->isEnabled()) << id;
        frame->Action(id)->trigger();
    }
    EXPECT_EQ(Doc().com1Slots, before.com1Slots);
    EXPECT_EQ(Doc().selectedSlot, before.selectedSlot);
    EXPECT_FALSE(Doc().modified);
}

TEST_F(FrameTest, StatusTableStepRefusesAFullRackAndPlacesOtherwise)
{
    SetupPort(Doc(), Port::COM1);
    Doc().deviceSlotNum = 2;
    Doc().selectedSlot = 4;
    PlaceModule(Doc(), "读0区 01H", 0, 1, 1);
    PlaceModule(Doc(), "读0区 01H", 0, 1, 2);
    Doc().Slot(Port::COM1, 2).module.modulePrm[2] = 1;  // monitor 8 bits
    const CVarnelDoc full = Doc();
    guitest::SeenMessage seen;
    guitest::CaptureMessage(seen);
    frame->Action(ID_PLACE_STATUS_TABLES)->trigger();
    EXPECT_TRUE(seen.seen);
    EXPECT_EQ(seen.text, "从站状态检测需要占用插槽");
    EXPECT_EQ(seen.caption, "错误");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(Doc().com1Slots, full.com1Slots);

    Doc().deviceSlotNum = 3;
    frame->Action(ID_PLACE_STATUS_TABLES)->trigger();
    EXPECT_TRUE(Doc().Slot(Port::COM1, 5).module.IsStatusTable());
}

TEST_F(FrameTest, AboutBox)
{
    QString title;
    QStringList labels;
    guitest::OnModal<QDialog>([&](QDialog* d) {
        title = d->windowTitle();
        for (QLabel* l : d->findChildren<QLabel*>()) labels << l->text();
        d->accept();
    });
    frame->Action(ID_APP_ABOUT)->trigger();
    EXPECT_EQ(title, "关于 Varnel");
    EXPECT_TRUE(labels.contains("Varnel，1.1 版"));
}

TEST_F(FrameTest, KeyboardContextMenuShowsEditItemsWithoutActions)
{
    QStringList items;
    guitest::OnPopup([&](QMenu* menu) {
        items = Describe(menu->actions());
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(10, 10),
                            frame->View()->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(frame->View(), &event);
    EXPECT_EQ(items, QStringList({"57635 剪切(&T)\tCtrl+X off", "57634 复制(&C)\tCtrl+C off",
                                  "57637 粘贴(&P)\tCtrl+V off"}));
}

TEST_F(FrameTest, SaveOpenRecentFilesAndSaveChangesQuestion)
{
    testsupport::TempDir dir;
    SetupPort(Doc(), Port::COM1);
    Doc().selectedSlot = 4;
    PlaceModule(Doc(), "读4区 03H", 0, 10, 3);
    const QString path = QString::fromStdString((dir / "plant.json").string());
    ASSERT_TRUE(frame->SaveDocumentFile(path));
    EXPECT_FALSE(Doc().modified);
    EXPECT_EQ(frame->RecentFiles().value(0), path);
    EXPECT_EQ(frame->windowTitle(), "plant.json[*] - Varnel --- Quorwick");

    // A modified document asks first; Cancel keeps it, No drops it.
    Doc().modified = true;
    guitest::OnModal<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->text(), "是否保存对 plant.json 的更改?");
        box->button(QMessageBox::Cancel)->click();
    });
    frame->OnFileNew();
    EXPECT_EQ(Doc().com1Enabled, 1);
    EXPECT_TRUE(Doc().modified);
    guitest::OnModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
    frame->OnFileNew();
    EXPECT_EQ(Doc().com1Enabled, 0);
    EXPECT_TRUE(frame->PathName().isEmpty());

    // Opening compiles at once: the hex file is written.
    QFile::remove(QString::fromStdString(Doc().HexFilePath()));
    ASSERT_TRUE(frame->OpenDocumentFile(path));
    EXPECT_EQ(Doc().com1Enabled, 1);
    EXPECT_EQ(Doc().Slot(Port::COM1, 3).module.inputLen, 20);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Doc().HexFilePath())));

    // A project file (.vrc) holds the same configuration.
    const QString vrc = QString::fromStdString((dir / "plant.vrc").string());
    ASSERT_TRUE(frame->SaveDocumentFile(vrc));
    const CVarnelDoc saved = Doc();
    frame->NewDocument();
    ASSERT_TRUE(frame->OpenDocumentFile(vrc));
    EXPECT_EQ(Doc().com1Slots, saved.com1Slots);
    EXPECT_EQ(frame->windowTitle(), "plant.vrc[*] - Varnel --- Quorwick");

    // A file that cannot be read leaves the configuration and is dropped
    // from the recent list.
    const QString missing = QString::fromStdString((dir / "gone.json").string());
    frame->SaveDocumentFile(missing);
    QFile::remove(missing);
    ASSERT_EQ(frame->RecentFiles().value(0), missing);
    guitest::SeenMessage seen;
    guitest::CaptureMessage(seen);
    EXPECT_FALSE(frame->OpenDocumentFile(missing));
    EXPECT_TRUE(seen.seen);
    EXPECT_EQ(Doc().com1Enabled, 1);
    EXPECT_FALSE(frame->RecentFiles().contains(missing));

    // A broken project file says "文档格式错误" and leaves a new configuration,
    // untitled, so a Save cannot overwrite the broken file.
    const auto broken = dir / "broken.vrc";
    testsupport::WriteFile(broken, std::string("\xC8<?xml"));
    guitest::SeenMessage format;
    guitest::CaptureMessage(format);
    EXPECT_FALSE(frame->OpenDocumentFile(QString::fromStdString(broken.string())));
    EXPECT_EQ(format.text, "文档格式错误");
    EXPECT_EQ(Doc().com1Enabled, 0);
    EXPECT_TRUE(frame->PathName().isEmpty());
    EXPECT_EQ(testsupport::ReadFile(broken), "\xC8<?xml");
    ASSERT_TRUE(frame->OpenDocumentFile(path));

    // At most four recent files, most recent first.
    for (int i = 0; i < 5; ++i)
        frame->SaveDocumentFile(QString::fromStdString(dir.str()) + QString("/p%1.json").arg(i));
    const QStringList recent = frame->RecentFiles();
    ASSERT_EQ(recent.size(), 4);
    EXPECT_TRUE(recent[0].endsWith("p4.json"));
    EXPECT_TRUE(recent[3].endsWith("p1.json"));
    // The File menu lists them in place of the "最近的文件" entry.
    const QStringList file = Describe(TopMenu(frame.get(), 0)->actions());
    ASSERT_EQ(file.size(), 11);
    EXPECT_EQ(file[5], QString("57616 &1 %1 on").arg(recent[0]));
    EXPECT_EQ(file[8], QString("57619 &4 %1 on").arg(recent[3]));
    EXPECT_EQ(file[9], "-");
}
