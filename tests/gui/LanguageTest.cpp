// English from the translation beside the program; Chinese toolkit dialogs;
// the window remembered between runs.
#include <QAbstractButton>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPrintPreviewDialog>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTreeWidget>

#include "GuiTestSupport.h"
#include "gui/app/Language.h"
#include "gui/ipassign/CDHCPDlg.h"
#include "gui/modbus/CCommandDlg.h"
#include "gui/modbus/CDeviceTreeDlg.h"
#include "gui/model/CDeviceOptionSetDlg.h"
#include "gui/report/IoMapWindow.h"
#include "gui/ui/MessageBox.h"

using namespace varnel;

namespace {
bool HasChinese(const QString& text)
{
    for (QChar c : text)
        if (c.script() == QChar::Script_Han) return true;
    return false;
}

// Every menu title and item below `menu`, with its sub-menus.
void MenuTexts(const QList<QAction*>& actions, QStringList& out)
{
    for (QAction* a : actions) {
        if (a->isSeparator()) continue;
        out << a->text();
        if (a->menu()) {
            emit a->menu()->aboutToShow();
            MenuTexts(a->menu()->actions(), out);
        }
    }
}

// The title, labels, buttons, table headers and cells of `window`.
QStringList WindowTexts(QWidget* window)
{
    QStringList out{window->windowTitle()};
    for (auto* label : window->findChildren<QLabel*>()) out << label->text();
    for (auto* button : window->findChildren<QAbstractButton*>()) out << button->text();
    for (auto* table : window->findChildren<QTableWidget*>())
        for (int c = 0; c < table->columnCount(); ++c) {
            out << table->model()->headerData(c, Qt::Horizontal).toString();
            for (int r = 0; r < table->rowCount(); ++r)
                out << (table->item(r, c) ? table->item(r, c)->text() : QString());
        }
    return out;
}

struct LanguageTest : ::testing::Test {
    void SetUp() override { guitest::App(); }
    void TearDown() override
    {
        if (frame) frame->Document().modified = false;
        frame.reset();
        InstallLanguage({}, {});
    }
    void Open()
    {
        frame = std::make_unique<CMainFrame>(ProgramDataFolder());
        frame->NewDocument();
        frame->RestoreWindowState();
        frame->show();
        QApplication::processEvents();
    }
    std::unique_ptr<CMainFrame> frame;
};
}  // namespace

TEST_F(LanguageTest, EnglishLeavesNoChineseInMenusOrDialogTitles)
{
    ASSERT_TRUE(InstallLanguage("en", VARNEL_BIN_DIR));
    Open();
    QStringList texts;
    MenuTexts(frame->menuBar()->actions(), texts);
    MenuTexts(frame->View()->findChildren<QMenu*>().value(0)->actions(), texts);
    for (const QString& text : texts) EXPECT_FALSE(HasChinese(text)) << text.toStdString();
    const QStringList titles = texts.filter(QRegularExpression("^&[A-Z]"));
    EXPECT_EQ(titles.mid(0, 1), QStringList{"&File"});
    EXPECT_TRUE(texts.contains("&View") && texts.contains("&Operation") && texts.contains("&Help"));
    for (const char* item : {"&New\tCtrl+N", "&Open...\tCtrl+O", "&Save\tCtrl+S", "E&xit"})
        EXPECT_TRUE(texts.contains(item)) << item;
    EXPECT_FALSE(HasChinese(frame->findChild<QDockWidget*>()->windowTitle()));
    QString title;
    guitest::OnModal<CDeviceOptionSetDlg>([&](CDeviceOptionSetDlg* d) {
        title = d->windowTitle();
        d->reject();
    });
    frame->Action(ID_SLOT_COUNT)->trigger();
    EXPECT_EQ(title, "Slot Count");
    // The core library's messages too.
    QStringList shown;
    guitest::CaptureMessage(shown);
    ShowMessage(frame.get(), ErrorMessage("没有选中的槽"));
    EXPECT_EQ(shown, QStringList{"No slot selected|Error|critical"});
    // The catalogue shows English names; the module placed keeps its Chinese name.
    CDeviceTreeDlg* catalogue = frame->TreeDlg();
    auto item = [catalogue](const char* text) {
        return catalogue->Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    };
    catalogue->OnItemDoubleClicked(item("COM1"));
    guitest::OnModal<CCommandDlg>([&](CCommandDlg* d) {
        shown << d->findChild<QLabel*>("commandLabel")->text();
        guitest::ClickOk(d);
    });
    catalogue->OnItemDoubleClicked(item("Read holding registers 03H"));
    EXPECT_EQ(shown.last(), "Read holding registers 03H");
    EXPECT_EQ(frame->Document().Slot(Port::COM1, 3).module.moduleName, "读4区 03H");
}

TEST_F(LanguageTest, EnglishIpAssignmentAndIoMapWindowsShowNoChinese)
{
    ASSERT_TRUE(InstallLanguage("en", VARNEL_BIN_DIR));
    Open();
    SetupPort(frame->Document(), Port::COM1);
    PlaceModule(frame->Document(), {Port::COM1, UserSlotIndex(1)}, "读4区 03H", 0, 10, 1);
    CDHCPDlg ipAssignment(frame.get());  // not shown: its server stays unbound
    QStringList texts = WindowTexts(&ipAssignment) + WindowTexts(IoMapWindow::ShowFor(frame.get()));
    for (const QString& text : texts) EXPECT_FALSE(HasChinese(text)) << text.toStdString();
    for (const char* shown : {"Open List", "MAC address", "Read holding registers 03H", "Slot"})
        EXPECT_TRUE(texts.contains(shown)) << shown;
    EXPECT_FALSE(texts.filter("Baud rate: ").isEmpty());
}

TEST_F(LanguageTest, ChineseToolkitDialogsHaveChineseTitles)
{
    ASSERT_TRUE(InstallLanguage("zh", {}));
    Open();
    QString title;
    guitest::OnModal<QPrintPreviewDialog>([&](QPrintPreviewDialog* d) {
        title = d->windowTitle();
        d->reject();
    });
    frame->Action(ID_FILE_PRINT_PREVIEW)->trigger();
    EXPECT_EQ(title, "打印预览");
}

TEST_F(LanguageTest, WindowIsRememberedAndTheCatalogueShowsWholeLabels)
{
    QSettings().remove("MainFrame");
    Open();
    EXPECT_GE(frame->width(), 1024);
    EXPECT_GE(frame->height(), 768);
    QTreeWidget* tree = frame->TreeDlg()->Tree();
    tree->header()->setStretchLastSection(false);
    tree->resizeColumnToContents(0);  // as wide as the longest label needs
    EXPECT_LE(tree->columnWidth(0), tree->viewport()->width());
    frame->resize(1100, 820);
    QApplication::processEvents();
    frame->close();
    Open();
    EXPECT_EQ(frame->size(), QSize(1100, 820));
}

TEST_F(LanguageTest, ADroppedProjectFileIsOpened)
{
    Open();
    testsupport::TempDir dir;
    const QString path = QString::fromStdString(dir.str() + "/dropped.vrc");
    SetupPort(frame->Document(), Port::COM2);
    ASSERT_TRUE(frame->SaveDocumentFile(path));
    frame->NewDocument();
    auto drop = [&](const QString& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(frame.get(), &enter);
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(frame.get(), &dropped);
        return enter.isAccepted();
    };
    EXPECT_FALSE(drop(QString::fromStdString(dir.str() + "/notes.txt")));
    EXPECT_EQ(frame->Document().com2Enabled, 0);
    EXPECT_TRUE(drop(path));
    EXPECT_EQ(frame->PathName(), QFileInfo(path).absoluteFilePath());
    EXPECT_EQ(frame->Document().com2Enabled, 1);
}
