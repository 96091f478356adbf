// The application and its main window: the commands as built (compared with
// a snapshot), opening and saving, the recent files, printing, and runs
// without a person, which must end by themselves with the message on stderr.
#include <QDockWidget>
#include <QFile>
#include <QMenuBar>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "GuiTestSupport.h"
#include "core/project/ProjectStore.h"
#include "gui/app/RecentFiles.h"
#include "gui/modbus/CDeviceTreeDlg.h"

using namespace varnel;
using guitest::FrameTest;

namespace {
// One line per visible item: "id text" (" off" when disabled), "-" for a
// separator, "text>" and its items indented for a submenu.
void Items(const QList<QAction*>& actions, const QString& indent, QStringList& out)
{
    for (QAction* a : actions) {
        if (!a->isVisible()) continue;
        const QString id = a->menu() ? ">" : a->data().toString() + " ";
        out << indent + (a->isSeparator() ? "-" : id + a->text() + (a->isEnabled() ? "" : " off"));
        if (a->menu()) Items(a->menu()->actions(), indent + "  ", out);
    }
}
}  // namespace

TEST_F(FrameTest, CommandsAsBuiltMatchTheSnapshot)
{
    QStringList out{"title: " + frame->windowTitle()};
    Items(frame->menuBar()->actions(), "", out);
    out << "toolbar " + frame->findChild<QToolBar*>()->windowTitle();
    Items(frame->findChild<QToolBar*>()->actions(), "  ", out);
    out << "commands: id|status prompt|tool tip|keys";
    for (QAction* a : static_cast<QWidget*>(frame.get())->actions())
        out << "  " + QStringList({a->data().toString(), a->statusTip(), a->toolTip(),
                                   a->shortcut().toString()})
                          .join('|');
    auto* pane = frame->findChild<QDockWidget*>();
    out << "pane " + pane->windowTitle() +
               (frame->dockWidgetArea(pane) == Qt::RightDockWidgetArea ? " right" : " elsewhere");
    for (QTreeWidgetItemIterator it(frame->TreeDlg()->findChild<QTreeWidget*>()); *it; ++it)
        out << QString((*it)->parent() ? (*it)->parent()->parent() ? "    " : "  " : "") +
                   (*it)->text(0) + ((*it)->isExpanded() ? " +" : "");
    for (QLabel* l : frame->statusBar()->findChildren<QLabel*>()) out << "status " + l->text();
    out << "keyboard menu";
    Items(frame->View()->findChild<QMenu*>("editMenu")->actions(), "  ", out);

    const std::string path = VARNEL_SOURCE_DIR "/tests/data/gui/commands.txt";
    const std::string actual = out.join('\n').toStdString() + '\n';
    if (qEnvironmentVariableIsSet("VARNEL_UPDATE_SNAPSHOTS")) testsupport::WriteFile(path, actual);
    EXPECT_EQ(actual, testsupport::ReadFile(path));
}

TEST_F(FrameTest, SaveOpenAndTheSaveChangesQuestion)
{
    testsupport::TempDir dir;
    auto file = [&dir](const char* name) { return QString::fromStdString((dir / name).string()); };
    SetupPort(Doc(), Port::COM1);
    ASSERT_TRUE(frame->SaveDocumentFile(file("plant.vrc")));
    // A modified document asks first; Cancel keeps it, No drops it.
    Doc().modified = true;
    QStringList shown;
    guitest::CaptureMessage(shown, QMessageBox::Cancel);
    frame->OnFileNew();
    EXPECT_TRUE(Doc().com1Enabled == 1 && Doc().modified);
    guitest::CaptureMessage(shown, QMessageBox::No);
    frame->OnFileNew();
    EXPECT_EQ(Doc().com1Enabled, 0);
    // Opening compiles at once: the hex file is written. The File menu lists it.
    QFile::remove(QString::fromStdString(Doc().HexFilePath()));
    ASSERT_TRUE(frame->OpenDocumentFile(file("plant.vrc")));
    EXPECT_EQ(Doc().com1Enabled, 1);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Doc().HexFilePath())));
    QStringList items;
    Items(frame->menuBar()->actions().at(0)->menu()->actions(), "", items);
    EXPECT_EQ(items.value(5), "57616 &1 " + file("plant.vrc"));

    // A missing file leaves the configuration and the recent list; a broken
    // one says "文档格式错误" and leaves a new configuration, untitled, so a
    // Save cannot overwrite the broken file.
    QFile::remove(file("plant.vrc"));
    testsupport::WriteFile(dir / "broken.vrc", "\xC8<?xml");
    guitest::CaptureMessage(shown);
    EXPECT_FALSE(frame->OpenDocumentFile(file("plant.vrc")));
    EXPECT_EQ(Doc().com1Enabled, 1);
    guitest::CaptureMessage(shown);
    EXPECT_FALSE(frame->OpenDocumentFile(file("broken.vrc")));
    EXPECT_EQ(shown.value(0), "是否保存对 plant.vrc 的更改?|Varnel|warning");
    EXPECT_TRUE(shown.value(2).startsWith("无法打开文件")) << shown.value(2).toStdString();
    EXPECT_EQ(shown.value(3), "文档格式错误|错误|critical");
    EXPECT_TRUE(RecentFiles().Files().isEmpty());
    EXPECT_EQ(Doc().com1Enabled, 0);
    EXPECT_EQ(frame->windowTitle(), "Untitled[*] - Varnel --- Quorwick");
}

TEST(RecentFilesList, FourMostRecentFirst)
{
    guitest::App();
    RecentFiles recent;
    for (const char* path : {"/p/a", "/p/b", "/p/c", "/p/d", "/p/e", "/p/c"}) recent.Add(path);
    EXPECT_EQ(recent.Files(), QStringList({"/p/c", "/p/e", "/p/d", "/p/b"}));
    recent.Remove("/p/e");
    EXPECT_EQ(recent.Files(), QStringList({"/p/c", "/p/d", "/p/b"}));
}

TEST_F(FrameTest, PrintsAndPreviewsThePicture)
{
    testsupport::TempDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString((dir / "view.pdf").string()));
    frame->View()->PrintTo(&printer);
    EXPECT_GT(testsupport::ReadFile(dir / "view.pdf").size(), 1000u);
    EXPECT_TRUE(guitest::Shows(guitest::ActiveModal<QPrintPreviewDialog>,
                               [this] { frame->Action(ID_FILE_PRINT_PREVIEW)->trigger(); }));
}

// The real program, run as a script would on a machine without a display: it
// must end by itself, with the message on stderr; a download without a
// project is a usage error, and an interactive start says it needs a display.
TEST(Unattended, FailuresEndTheRunWithTheMessageOnStderr)
{
    guitest::App();
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "broken.vrc", "\xC8<?xml");
    CVarnelDoc refused;  // the status table it monitors has no free slot
    refused.OnNewDocument();
    SetupPort(refused, Port::COM1);
    refused.deviceSlotNum = 1;
    PlaceModule(refused, {Port::COM1, UserSlotIndex(1)}, "读0区 01H", 0, 1, 1);
    refused.Slot(Port::COM1, 2).module.modulePrm[2] = 1;
    ASSERT_TRUE(SaveProject((dir / "refused.json").string(), refused).ok());
    const QString in = QString::fromStdString(dir.str()) + "/";
    const std::tuple<QStringList, int, const char*> runs[] = {
        {{"--download-and-exit"}, 2, "--download-and-exit needs a project file"},
        {{"--screenshot", in + "s.png", in + "missing.vrc"}, 1, "无法打开文件"},
        {{"--download-and-exit", in + "broken.vrc"},
         1,
         "文档格式错误 (The document format is wrong)"},
        {{"--download-and-exit", in + "refused.json"}, 1, "从站状态检测需要占用插槽"},
        {{in + "refused.json"}, 1, "no display"}};
    QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_ALL", "LC_MESSAGES"})
        headless.remove(name);
    headless.insert("LANG", "en_US.UTF-8");  // messages as varnelctl prints them
    for (const auto& [arguments, status, message] : runs) {
        QProcess run;
        run.setProcessEnvironment(headless);
        run.start(VARNEL_BIN_DIR "/varnel", arguments);
        if (!run.waitForFinished(30000)) run.kill();
        run.waitForFinished();
        const std::string err = run.readAllStandardError().toStdString();
        EXPECT_EQ(run.exitStatus(), QProcess::NormalExit)
            << "hung: " << arguments.join(' ').toStdString();
        EXPECT_EQ(run.exitCode(), status) << err;
        EXPECT_NE(err.find(message), std::string::npos) << err;
    }
}
