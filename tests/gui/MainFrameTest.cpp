// The application and its main window: start-up, menus, toolbar, status bar,
// pane, the shell's commands and printing.
#include <QDockWidget>
#include <QFile>
#include <QMenuBar>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>

#include "GuiTestSupport.h"
#include "core/project/ProjectStore.h"
#include "gui/app/CVarnelApp.h"
#include "gui/ui/CTreeWnd.h"

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
    const QList<QStringList> menus = {
        {"57600 新建(&N)\tCtrl+N on", "57601 打开(&O)...\tCtrl+O on", "57603 保存(&S)\tCtrl+S on",
         "57604 另存为(&A)... on", "-", "57616 最近的文件 off", "-", "57665 退出(&X) on"},
        {"工具栏和停靠窗口(&T)>", "59393 状态栏(&S) on", "工作目录>"},
        {"32783 编译 off", "32771 配置下载 off", "32785 编译并下载 on", "-",
         "32772 访问参数设置 on", "32774 网络参数设置 on", "-", "32775 槽数设置 on", "-",
         "32777 设备模块信息报表 on", "-", "32778 清除配置 on", "32779 重启设备 on"},
        {"57664 关于 Varnel(&A)... on"}};
    for (int i = 0; i < menus.size(); ++i)
        EXPECT_EQ(Describe(TopMenu(frame.get(), i)->actions()), menus[i]) << i;
    EXPECT_EQ(Describe(TopMenu(frame.get(), 1)->actions().at(2)->menu()->actions()),
              QStringList({"32782 配置文件 on"}));
}

TEST_F(FrameTest, ToolbarPromptsShortcutsAndPanes)
{
    QList<int> ids;
    for (QAction* a : frame->ToolBar()->actions())
        ids << (a->isSeparator() ? 0 : a->data().toInt());
    EXPECT_EQ(ids, QList<int>({57600, 57601, 57603, 0, 32783, 32771, 32785, 0, 57664}));
    EXPECT_EQ(frame->ToolBar()->windowTitle(), "标准");

    // "status prompt|tool tip" of the device commands.
    const std::pair<int, const char*> prompts[] = {{32771, "配置下载|下载"},
                                                   {32774, "网络参数设置|通过DHCP设置设备IP"},
                                                   {32778, "清除配置|清除设备现有配置"},
                                                   {32779, "重启设备|重新启动设备"},
                                                   {32785, "编译并下载|编译并下载"}};
    for (const auto& [id, prompt] : prompts)
        EXPECT_EQ(frame->Action(id)->statusTip() + "|" + frame->Action(id)->toolTip(), prompt);
    // Pointing at a command shows its prompt in the status bar.
    frame->Action(32772)->showStatusText(frame.get());
    EXPECT_EQ(frame->statusBar()->currentMessage(), "访问参数设置");
    frame->statusBar()->clearMessage();

    const std::pair<int, const char*> keys[] = {
        {ID_FILE_NEW, "Ctrl+N"},   {ID_FILE_OPEN, "Ctrl+O"}, {ID_FILE_SAVE, "Ctrl+S"},
        {ID_FILE_PRINT, "Ctrl+P"}, {ID_NEXT_PANE, "F6"},     {ID_PREV_PANE, "Shift+F6"}};
    for (const auto& [id, key] : keys)
        EXPECT_EQ(frame->Action(id)->shortcut(), QKeySequence(key)) << id;

    EXPECT_EQ(frame->windowTitle(), "Untitled[*] - Varnel --- Quorwick");
    EXPECT_EQ(frame->TreeWnd()->windowTitle(), "设备列表");
    EXPECT_EQ(frame->dockWidgetArea(frame->TreeWnd()), Qt::RightDockWidgetArea);
    for (const char* pane : {"readyPane", "CAP", "NUM", "SCRL"})
        ASSERT_NE(frame->statusBar()->findChild<QLabel*>(pane), nullptr) << pane;
    EXPECT_EQ(frame->statusBar()->findChild<QLabel*>("readyPane")->text(), "就绪");
}

TEST_F(FrameTest, CommandsWithoutEffectAndTheStatusTableStep)
{
    SetupPort(Doc(), Port::COM1);
    Doc().modified = false;
    const CVarnelDoc before = Doc();
    const int selectedBefore = Selected();
    for (int id : {ID_DEVICE_PARAMS, ID_MODULE_REPORT}) {
        ASSERT_TRUE(frame->Action(id)->isEnabled()) << id;
        frame->Action(id)->trigger();
    }
    EXPECT_EQ(Doc().com1Slots, before.com1Slots);
    EXPECT_EQ(Selected(), selectedBefore);
    EXPECT_FALSE(Doc().modified);

    // The status-table step refuses a full rack and places the table otherwise.
    Doc().deviceSlotNum = 2;
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(1)}, "读0区 01H", 0, 1, 1);
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(2)}, "读0区 01H", 0, 1, 2);
    Doc().Slot(Port::COM1, 2).module.modulePrm[2] = 1;  // monitor 8 bits
    const CVarnelDoc full = Doc();
    QStringList shown;
    guitest::CaptureMessage(shown);
    frame->Action(ID_PLACE_STATUS_TABLES)->trigger();
    EXPECT_EQ(shown, QStringList({"从站状态检测需要占用插槽|错误|critical"}));
    EXPECT_EQ(Doc().com1Slots, full.com1Slots);
    Doc().deviceSlotNum = 3;
    frame->Action(ID_PLACE_STATUS_TABLES)->trigger();
    EXPECT_TRUE(Doc().Slot(Port::COM1, 5).module.IsStatusTable());
}

TEST_F(FrameTest, AboutBoxAndKeyboardContextMenu)
{
    QStringList texts;
    guitest::OnModal<QDialog>([&](QDialog* d) {
        texts << d->windowTitle();
        for (QLabel* l : d->findChildren<QLabel*>()) texts << l->text();
        d->accept();
    });
    frame->Action(ID_APP_ABOUT)->trigger();
    EXPECT_EQ(texts.value(0), "关于 Varnel");
    EXPECT_TRUE(texts.contains("Varnel，1.1 版"));

    // The view's keyboard context menu: the edit items, without actions.
    guitest::OnPopup([&](QMenu* menu) {
        texts = Describe(menu->actions());
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(10, 10),
                            frame->View()->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(frame->View(), &event);
    EXPECT_EQ(texts, QStringList({"57635 剪切(&T)\tCtrl+X off", "57634 复制(&C)\tCtrl+C off",
                                  "57637 粘贴(&P)\tCtrl+V off"}));
}

TEST_F(FrameTest, SaveOpenRecentFilesAndSaveChangesQuestion)
{
    testsupport::TempDir dir;
    auto file = [&dir](const char* name) { return QString::fromStdString((dir / name).string()); };
    SetupPort(Doc(), Port::COM1);
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(1)}, "读4区 03H", 0, 10, 3);
    ASSERT_TRUE(frame->SaveDocumentFile(file("plant.json")));
    EXPECT_FALSE(Doc().modified);
    EXPECT_EQ(frame->RecentFiles().value(0), file("plant.json"));
    EXPECT_EQ(frame->windowTitle(), "plant.json[*] - Varnel --- Quorwick");

    // A modified document asks first; Cancel keeps it, No drops it.
    Doc().modified = true;
    QStringList shown;
    guitest::CaptureMessage(shown, QMessageBox::Cancel);
    frame->OnFileNew();
    EXPECT_EQ(shown.value(0).section('|', 0, 0), "是否保存对 plant.json 的更改?");
    EXPECT_TRUE(Doc().com1Enabled == 1 && Doc().modified);
    guitest::CaptureMessage(shown, QMessageBox::No);
    frame->OnFileNew();
    EXPECT_EQ(Doc().com1Enabled, 0);
    EXPECT_TRUE(frame->PathName().isEmpty());

    // Opening compiles at once: the hex file is written.
    QFile::remove(QString::fromStdString(Doc().HexFilePath()));
    ASSERT_TRUE(frame->OpenDocumentFile(file("plant.json")));
    EXPECT_EQ(Doc().Slot(Port::COM1, 3).module.inputLen, 20);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Doc().HexFilePath())));

    // A project file (.vrc) holds the same configuration.
    ASSERT_TRUE(frame->SaveDocumentFile(file("plant.vrc")));
    const CVarnelDoc saved = Doc();
    frame->NewDocument();
    ASSERT_TRUE(frame->OpenDocumentFile(file("plant.vrc")));
    EXPECT_EQ(Doc().com1Slots, saved.com1Slots);
    EXPECT_EQ(frame->windowTitle(), "plant.vrc[*] - Varnel --- Quorwick");

    // A file that cannot be read leaves the configuration and is dropped
    // from the recent list.
    frame->SaveDocumentFile(file("gone.json"));
    QFile::remove(file("gone.json"));
    shown.clear();
    guitest::CaptureMessage(shown);
    EXPECT_FALSE(frame->OpenDocumentFile(file("gone.json")));
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(Doc().com1Enabled, 1);
    EXPECT_FALSE(frame->RecentFiles().contains(file("gone.json")));

    // A broken project file says "文档格式错误" and leaves a new configuration,
    // untitled, so a Save cannot overwrite the broken file.
    testsupport::WriteFile(dir / "broken.vrc", std::string("\xC8<?xml"));
    guitest::CaptureMessage(shown);
    EXPECT_FALSE(frame->OpenDocumentFile(file("broken.vrc")));
    EXPECT_EQ(shown.value(1).section('|', 0, 0), "文档格式错误");
    EXPECT_EQ(Doc().com1Enabled, 0);
    EXPECT_TRUE(frame->PathName().isEmpty());
    EXPECT_EQ(testsupport::ReadFile(dir / "broken.vrc"), "\xC8<?xml");

    // At most four recent files, most recent first, listed in the File menu
    // in place of the "最近的文件" entry.
    for (int i = 0; i < 5; ++i) frame->SaveDocumentFile(file("p%1.json").arg(i));
    const QStringList recent = frame->RecentFiles();
    ASSERT_EQ(recent.size(), 4);
    EXPECT_TRUE(recent[0].endsWith("p4.json") && recent[3].endsWith("p1.json"));
    const QStringList items = Describe(TopMenu(frame.get(), 0)->actions());
    ASSERT_EQ(items.size(), 11);
    EXPECT_EQ(items.mid(5, 5), QStringList({QString("57616 &1 %1 on").arg(recent[0]),
                                            QString("57617 &2 %1 on").arg(recent[1]),
                                            QString("57618 &3 %1 on").arg(recent[2]),
                                            QString("57619 &4 %1 on").arg(recent[3]), "-"}));
}

TEST(CVarnelApp, StartsNewOrWithTheNamedProject)
{
    guitest::App();
    testsupport::TempDir dir;
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM2);
    const std::string path = (dir / "start.json").string();
    ASSERT_FALSE(SaveProject(path, doc).has_value());
    for (const QString& named : {QString(), QString::fromStdString(path)}) {
        CVarnelApp app(ProgramDataFolder());
        ASSERT_TRUE(app.InitInstance(named.isEmpty() ? QStringList() : QStringList{named}));
        EXPECT_TRUE(app.MainFrame()->isVisible());
        EXPECT_EQ(app.MainFrame()->Document().com2Enabled, named.isEmpty() ? 0 : 1);
        EXPECT_EQ(app.MainFrame()->Document().deviceSlotNum, 10);
        EXPECT_EQ(app.MainFrame()->PathName(), named);
    }
    // A project that cannot be opened ends the start after its message.
    CVarnelApp app(ProgramDataFolder());
    QStringList shown;
    guitest::CaptureMessage(shown);
    EXPECT_FALSE(app.InitInstance({QString::fromStdString((dir / "missing.json").string())}));
    EXPECT_EQ(shown.size(), 1);
}

TEST_F(FrameTest, PrintsAndPreviewsThePicture)
{
    SetupPort(Doc(), Port::COM1);
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(1)}, "读0区 01H", 0, 8, 1);
    Selected() = 4;
    testsupport::TempDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString((dir / "view.pdf").string()));
    frame->View()->PrintTo(&printer);
    EXPECT_GT(testsupport::ReadFile(dir / "view.pdf").size(), 1000u);

    EXPECT_TRUE(guitest::Shows(guitest::ActiveModal<QPrintPreviewDialog>,
                               [this] { frame->Action(ID_FILE_PRINT_PREVIEW)->trigger(); }));
}
