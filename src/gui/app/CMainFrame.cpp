#include "gui/app/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUndoStack>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "core/image/Compiler.h"
#include "core/link/CompileForDownload.h"
#include "core/link/DeviceCommandSession.h"
#include "core/project/OptionFile.h"
#include "core/project/ProjectFile.h"
#include "core/project/ProjectStore.h"
#include "core/util/Result.h"
#include "gui/app/CommandIds.h"
#include "gui/app/DocTemplate.h"
#include "gui/app/DocumentHistory.h"
#include "gui/app/WindowSink.h"
#include "gui/ipassign/CDHCPDlg.h"
#include "gui/link/CDownDlg.h"
#include "gui/modbus/CDeviceTreeDlg.h"
#include "gui/model/CDeviceIpDlg.h"
#include "gui/model/CDeviceOptionSetDlg.h"
#include "gui/report/IoMapWindow.h"
#include "gui/ui/CTreeWnd.h"
#include "gui/ui/CVarnelView.h"
#include "gui/ui/MessageBox.h"
#include "net/CTestSocket.h"

namespace varnel {

namespace {
QString FileFilter()
{
    return DocTemplateString(FILTER_NAME) + " (*" + DocTemplateString(FILTER_EXT) +
           ");;JSON (*.json);;" + QCoreApplication::translate("varnel", "所有文件 (*)");
}

}  // namespace

CMainFrame::CMainFrame(const std::string& dataFolder, QWidget* parent)
    : QMainWindow(parent),
      view(new CVarnelView(doc, selection, this)),
      treeWnd(new CTreeWnd(doc, selection, this)),
      history(new DocumentHistory(doc, this)),
      deviceLink(new CTestSocket(linkRequestPending, this)),
      messages(std::make_unique<WindowSink>())
{
    doc.appFolder = dataFolder;
    setObjectName("CMainFrame");
    // A project file dropped on the window is opened.
    setAcceptDrops(true);
    setCentralWidget(view);
    addDockWidget(Qt::RightDockWidgetArea, treeWnd);
    // At least 200 wide, and wide enough for the longest catalogue label.
    resizeDocks({treeWnd}, {std::max(200, TreeDlg()->WidthForLabels() + 4)}, Qt::Horizontal);
    resizeDocks({treeWnd}, {200}, Qt::Vertical);

    // Menu bar items in menu order, then the commands reached elsewhere.
    AddAction(ID_FILE_NEW, QT_TRANSLATE_NOOP("varnel", "新建(&N)\tCtrl+N"),
              QT_TRANSLATE_NOOP("varnel", "创建新文档\n新建"))
        ->setShortcut(QKeySequence::New);
    AddAction(ID_FILE_OPEN, QT_TRANSLATE_NOOP("varnel", "打开(&O)...\tCtrl+O"),
              QT_TRANSLATE_NOOP("varnel", "打开现有文档\n打开"))
        ->setShortcut(QKeySequence::Open);
    AddAction(ID_FILE_SAVE, QT_TRANSLATE_NOOP("varnel", "保存(&S)\tCtrl+S"),
              QT_TRANSLATE_NOOP("varnel", "保存活动文档\n保存"))
        ->setShortcut(QKeySequence::Save);
    AddAction(ID_FILE_SAVE_AS, QT_TRANSLATE_NOOP("varnel", "另存为(&A)..."),
              QT_TRANSLATE_NOOP("varnel", "用新名称保存活动文档\n另存为"));
    AddAction(ID_APP_EXIT, QT_TRANSLATE_NOOP("varnel", "退出(&X)"),
              QT_TRANSLATE_NOOP("varnel", "退出应用程序；提示保存文档\n退出"));
    AddAction(ID_VIEW_STATUS_BAR, QT_TRANSLATE_NOOP("varnel", "状态栏(&S)"),
              QT_TRANSLATE_NOOP("varnel", "显示或隐藏状态栏\n切换状态栏"))
        ->setCheckable(true);
    AddAction(ID_OPEN_HEX_FILE, QT_TRANSLATE_NOOP("varnel", "配置文件"), "");
    AddAction(ID_COMPILE, QT_TRANSLATE_NOOP("varnel", "编译"), "", false);
    AddAction(ID_CONFIG_DOWNLOAD, QT_TRANSLATE_NOOP("varnel", "配置下载"),
              QT_TRANSLATE_NOOP("varnel", "配置下载\n下载"), false);
    AddAction(ID_COMPILE_AND_DOWNLOAD, QT_TRANSLATE_NOOP("varnel", "编译并下载"),
              QT_TRANSLATE_NOOP("varnel", "编译并下载\n编译并下载"));
    AddAction(ID_ACCESS_PARAMS, QT_TRANSLATE_NOOP("varnel", "访问参数设置"),
              QT_TRANSLATE_NOOP("varnel", "访问参数设置\n访问参数设置"));
    AddAction(ID_NETWORK_PARAMS, QT_TRANSLATE_NOOP("varnel", "网络参数设置"),
              QT_TRANSLATE_NOOP("varnel", "网络参数设置\n通过DHCP设置设备IP"));
    AddAction(ID_SLOT_COUNT, QT_TRANSLATE_NOOP("varnel", "槽数设置"),
              QT_TRANSLATE_NOOP("varnel", "槽数设置\n设备槽数设置"));
    AddAction(ID_MODULE_REPORT, QT_TRANSLATE_NOOP("varnel", "设备模块信息报表"),
              QT_TRANSLATE_NOOP("varnel", "设备模块信息报表\n设备模块信息报表"));
    AddAction(ID_CLEAR_CONFIG, QT_TRANSLATE_NOOP("varnel", "清除配置"),
              QT_TRANSLATE_NOOP("varnel", "清除配置\n清除设备现有配置"));
    AddAction(ID_RESTART_DEVICE, QT_TRANSLATE_NOOP("varnel", "重启设备"),
              QT_TRANSLATE_NOOP("varnel", "重启设备\n重新启动设备"));
    AddAction(ID_APP_ABOUT, QT_TRANSLATE_NOOP("varnel", "关于 Varnel(&A)..."),
              QT_TRANSLATE_NOOP("varnel", "显示程序信息、版本号和版权信息\n关于"));
    AddAction(ID_DEVICE_PARAMS, QT_TRANSLATE_NOOP("varnel", "设备参数设置"),
              QT_TRANSLATE_NOOP("varnel", "设备参数设置"));
    AddAction(ID_PLACE_STATUS_TABLES, "", "");
    AddAction(ID_FILE_PRINT, QT_TRANSLATE_NOOP("varnel", "打印(&P)...\tCtrl+P"),
              QT_TRANSLATE_NOOP("varnel", "打印活动文档\n打印"))
        ->setShortcut(QKeySequence::Print);
    AddAction(ID_FILE_PRINT_PREVIEW, QT_TRANSLATE_NOOP("varnel", "打印预览(&V)"),
              QT_TRANSLATE_NOOP("varnel", "显示整页\n打印预览"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    AddAction(ID_NEXT_PANE, "", QT_TRANSLATE_NOOP("varnel", "切换到下一个窗格\n下一窗格"))
        ->setShortcut(Qt::Key_F6);
    AddAction(ID_PREV_PANE, "", QT_TRANSLATE_NOOP("varnel", "切换回上一个窗格\n上一窗格"))
        ->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));

    connect(Action(ID_FILE_NEW), &QAction::triggered, this, &CMainFrame::OnFileNew);
    connect(Action(ID_FILE_OPEN), &QAction::triggered, this, &CMainFrame::OnFileOpen);
    connect(Action(ID_FILE_SAVE), &QAction::triggered, this, &CMainFrame::OnFileSave);
    connect(Action(ID_FILE_SAVE_AS), &QAction::triggered, this, &CMainFrame::OnFileSaveAs);
    connect(Action(ID_APP_EXIT), &QAction::triggered, this, &QWidget::close);
    connect(Action(ID_ACCESS_PARAMS), &QAction::triggered, this, &CMainFrame::OnAccessParams);
    connect(Action(ID_SLOT_COUNT), &QAction::triggered, this, &CMainFrame::OnSlotCount);
    connect(Action(ID_PLACE_STATUS_TABLES), &QAction::triggered, this,
            &CMainFrame::OnPlaceStatusTables);
    connect(Action(ID_APP_ABOUT), &QAction::triggered, this, &CMainFrame::OnAppAbout);
    connect(Action(ID_COMPILE_AND_DOWNLOAD), &QAction::triggered, this,
            &CMainFrame::OnCompileAndDownload);
    connect(Action(ID_CLEAR_CONFIG), &QAction::triggered, this, &CMainFrame::OnClearConfiguration);
    connect(Action(ID_RESTART_DEVICE), &QAction::triggered, this, &CMainFrame::OnRestartDevice);
    connect(Action(ID_OPEN_HEX_FILE), &QAction::triggered, this, &CMainFrame::ShowHexFile);
    connect(Action(ID_NETWORK_PARAMS), &QAction::triggered, this, &CMainFrame::OnNetworkParams);

    // The main frame's link shows its messages and questions over the window.
    connect(deviceLink, &CTestSocket::messageShown, this,
            [this](const Message& message) { messages->Show(this, message); });
    connect(deviceLink, &CTestSocket::resultShown, this,
            [this](const Message& message) { messages->Show(this, message); });
    connect(deviceLink, &CTestSocket::questionAsked, this, [this](const Message& question) {
        deviceLink->AnswerQuestion(messages->Ask(this, question));
    });
    connect(deviceLink, &CTestSocket::finished, this, &CMainFrame::UpdateDeviceActions);
    connect(Action(ID_FILE_PRINT), &QAction::triggered, view, &CVarnelView::OnFilePrint);
    connect(Action(ID_FILE_PRINT_PREVIEW), &QAction::triggered, view,
            &CVarnelView::OnFilePrintPreview);
    auto switchPane = [this] {
        if (view->hasFocus())
            TreeDlg()->setFocus();
        else
            view->setFocus();
    };
    connect(Action(ID_NEXT_PANE), &QAction::triggered, this, switchPane);
    connect(Action(ID_PREV_PANE), &QAction::triggered, this, switchPane);
    // 32776 can be chosen and changes nothing.
    connect(Action(ID_MODULE_REPORT), &QAction::triggered, this,
            [this] { IoMapWindow::ShowFor(this); });

    CreateUndoActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    RebuildRecentMenu();

    connect(view, &CVarnelView::documentChanged, this, &CMainFrame::OnDocumentChanged);
    connect(TreeDlg(), &CDeviceTreeDlg::documentChanged, this, &CMainFrame::OnDocumentChanged);
    resize(1024, 768);
    UpdateTitle();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::CreateUndoActions()
{
    // Undo and redo name the change: "撤销 …", "重做 …".
    // Ctrl+Z and Alt+Backspace undo, Ctrl+Y redoes, besides the platform's keys.
    auto keys = [](QList<QKeySequence> own, QKeySequence::StandardKey standard) {
        for (const QKeySequence& key : QKeySequence::keyBindings(standard))
            if (!own.contains(key)) own << key;
        return own;
    };
    QAction* undo =
        history->Stack()->createUndoAction(this, QCoreApplication::translate("varnel", "撤销"));
    undo->setShortcuts(
        keys({QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)},
             QKeySequence::Undo));
    undo->setData(ID_EDIT_UNDO);
    undo->setStatusTip(QCoreApplication::translate("varnel", "撤销上一次更改"));
    QAction* redo =
        history->Stack()->createRedoAction(this, QCoreApplication::translate("varnel", "重做"));
    redo->setShortcuts(keys({QKeySequence(Qt::CTRL | Qt::Key_Y)}, QKeySequence::Redo));
    redo->setData(ID_EDIT_REDO);
    redo->setStatusTip(QCoreApplication::translate("varnel", "重做上一次撤销的更改"));
    for (QAction* action : {undo, redo}) {
        addAction(action);
        actions.insert(action->data().toInt(), action);
    }
    connect(history, &DocumentHistory::restored, this, [this] {
        view->viewport()->update();
        emit documentChanged();
    });
    connect(history->Stack(), &QUndoStack::indexChanged, this, &CMainFrame::UpdateTitle);
}

CDeviceTreeDlg* CMainFrame::TreeDlg() const
{
    return treeWnd->TreeDlg();
}

QAction* CMainFrame::AddAction(int id, const char* text, const char* prompt, bool enabled)
{
    auto* action = new QAction(QCoreApplication::translate("varnel", text), this);
    action->setData(id);
    const QStringList halves = QCoreApplication::translate("varnel", prompt).split('\n');
    action->setStatusTip(halves.value(0));
    action->setToolTip(halves.size() > 1 ? halves[1] : QString());
    action->setEnabled(enabled);
    // Every command is reachable by its shortcut even when not in a menu.
    addAction(action);
    actions.insert(id, action);
    return action;
}

void CMainFrame::CreateMenus()
{
    fileMenu = menuBar()->addMenu(QCoreApplication::translate("varnel", "文件(&F)"));
    fileMenu->addAction(Action(ID_FILE_NEW));
    fileMenu->addAction(Action(ID_FILE_OPEN));
    fileMenu->addAction(Action(ID_FILE_SAVE));
    fileMenu->addAction(Action(ID_FILE_SAVE_AS));
    fileMenu->addSeparator();
    recentPlaceholder = fileMenu->addAction(QCoreApplication::translate("varnel", "最近的文件"));
    recentPlaceholder->setData(ID_FILE_MRU_FILE1);
    recentPlaceholder->setEnabled(false);
    fileMenu->addSeparator();
    fileMenu->addAction(Action(ID_APP_EXIT));

    QMenu* viewMenu = menuBar()->addMenu(QCoreApplication::translate("varnel", "视图(&V)"));
    QMenu* bars = viewMenu->addMenu(QCoreApplication::translate("varnel", "工具栏和停靠窗口(&T)"));
    viewMenu->addAction(Action(ID_VIEW_STATUS_BAR));
    QMenu* folder = viewMenu->addMenu(QCoreApplication::translate("varnel", "工作目录"));
    folder->addAction(Action(ID_OPEN_HEX_FILE));

    QMenu* operation = menuBar()->addMenu(QCoreApplication::translate("varnel", "操作"));
    operation->addAction(Action(ID_COMPILE));
    operation->addAction(Action(ID_CONFIG_DOWNLOAD));
    operation->addAction(Action(ID_COMPILE_AND_DOWNLOAD));
    operation->addSeparator();
    operation->addAction(Action(ID_ACCESS_PARAMS));
    operation->addAction(Action(ID_NETWORK_PARAMS));
    operation->addSeparator();
    operation->addAction(Action(ID_SLOT_COUNT));
    operation->addSeparator();
    operation->addAction(Action(ID_MODULE_REPORT));
    operation->addSeparator();
    operation->addAction(Action(ID_CLEAR_CONFIG));
    operation->addAction(Action(ID_RESTART_DEVICE));
    operation->addSeparator();
    operation->addAction(Action(ID_EDIT_UNDO));
    operation->addAction(Action(ID_EDIT_REDO));

    QMenu* help = menuBar()->addMenu(QCoreApplication::translate("varnel", "帮助(&H)"));
    help->addAction(Action(ID_APP_ABOUT));

    // The toolkit fills the toolbar and pane entries once they exist.
    connect(bars, &QMenu::aboutToShow, this, [this, bars] {
        bars->clear();
        bars->addAction(toolBar->toggleViewAction());
        bars->addAction(treeWnd->toggleViewAction());
    });
}

void CMainFrame::CreateToolBar()
{
    toolBar = addToolBar(QCoreApplication::translate("varnel", "标准"));
    toolBar->setObjectName("standardToolBar");
    toolBar->setIconSize(QSize(16, 15));
    QStyle* s = style();
    Action(ID_FILE_NEW)->setIcon(s->standardIcon(QStyle::SP_FileIcon));
    Action(ID_FILE_OPEN)->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
    Action(ID_FILE_SAVE)->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
    Action(ID_COMPILE)->setIcon(s->standardIcon(QStyle::SP_BrowserReload));
    Action(ID_CONFIG_DOWNLOAD)->setIcon(s->standardIcon(QStyle::SP_ArrowDown));
    Action(ID_COMPILE_AND_DOWNLOAD)->setIcon(s->standardIcon(QStyle::SP_MediaPlay));
    Action(ID_APP_ABOUT)->setIcon(s->standardIcon(QStyle::SP_MessageBoxInformation));
    toolBar->addAction(Action(ID_FILE_NEW));
    toolBar->addAction(Action(ID_FILE_OPEN));
    toolBar->addAction(Action(ID_FILE_SAVE));
    toolBar->addSeparator();
    toolBar->addAction(Action(ID_COMPILE));
    toolBar->addAction(Action(ID_CONFIG_DOWNLOAD));
    toolBar->addAction(Action(ID_COMPILE_AND_DOWNLOAD));
    toolBar->addSeparator();
    toolBar->addAction(Action(ID_APP_ABOUT));
}

void CMainFrame::CreateStatusBar()
{
    // The message pane shows "就绪" when no prompt is shown; the key
    // indicators follow it (their lock states are not read here).
    auto* ready = new QLabel(QCoreApplication::translate("varnel", "就绪"), this);
    ready->setObjectName("readyPane");
    statusBar()->addWidget(ready, 1);
    for (const char* key : {"CAP", "NUM", "SCRL"}) {
        auto* indicator = new QLabel(QString::fromLatin1(key), this);
        indicator->setObjectName(QString::fromLatin1(key));
        indicator->setEnabled(false);
        statusBar()->addPermanentWidget(indicator);
    }
    QAction* toggle = Action(ID_VIEW_STATUS_BAR);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, statusBar(), &QWidget::setVisible);
}

QString CMainFrame::DocumentTitle() const
{
    return pathName.isEmpty() ? DocTemplateString(DOC_NAME) : QFileInfo(pathName).fileName();
}

void CMainFrame::UpdateTitle()
{
    setWindowTitle(DocumentTitle() + "[*] - " + DocTemplateString(WINDOW_TITLE));
    setWindowModified(doc.modified);
}

void CMainFrame::OnDocumentChanged(const QString& change)
{
    history->Record(change.isEmpty() ? QCoreApplication::translate("varnel", "更改") : change);
    view->viewport()->update();
    UpdateTitle();
    emit documentChanged();
}

void CMainFrame::NewDocument()
{
    doc.OnNewDocument();
    ReadAccessAddress(doc);
    pathName.clear();
    history->Reset();
    OnDocumentChanged();
}

bool CMainFrame::SaveModified()
{
    if (!doc.modified) return true;
    QMessageBox box(
        QMessageBox::Warning, DocTemplateString(TYPE_NAME),
        QCoreApplication::translate("varnel", "是否保存对 %1 的更改?").arg(DocumentTitle()),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
    box.setObjectName("saveChangesBox");
    box.button(QMessageBox::Yes)->setText(QCoreApplication::translate("varnel", "是(&Y)"));
    box.button(QMessageBox::No)->setText(QCoreApplication::translate("varnel", "否(&N)"));
    box.button(QMessageBox::Cancel)->setText(QCoreApplication::translate("varnel", "取消"));
    switch (box.exec()) {
        case QMessageBox::Yes: return OnFileSave();
        case QMessageBox::No: return true;
        default: return false;
    }
}

void CMainFrame::OnFileNew()
{
    if (SaveModified()) NewDocument();
}

void CMainFrame::OnFileOpen()
{
    if (!SaveModified()) return;
    const QString path =
        QFileDialog::getOpenFileName(this, QCoreApplication::translate("varnel", "打开"),
                                     QFileInfo(pathName).path(), FileFilter());
    if (!path.isEmpty()) OpenDocumentFile(path);
}

bool CMainFrame::OpenDocumentFile(const QString& path)
{
    // Read into a copy, so a file that cannot be read leaves the open
    // configuration as it was.
    CVarnelDoc loaded = doc;
    const Result<OpenedProject> opened = OpenProjectFile(path.toStdString(), loaded);
    if (!opened) {
        messages->Show(this, opened.message());
        recent.Remove(path);
        RebuildRecentMenu();
        if (opened.code() == Code::ProjectFormat) {
            // A broken file leaves a new configuration, as the reader renewed
            // it; it stays untitled so a Save cannot overwrite the broken file.
            doc = std::move(loaded);
            doc.modified = false;
            pathName.clear();
            history->Reset();
            OnDocumentChanged();
        }
        return false;
    }
    doc = std::move(loaded);
    doc.modified = false;
    pathName = QFileInfo(path).absoluteFilePath();
    recent.Add(pathName);
    RebuildRecentMenu();
    history->Reset();
    // The open compiled the configuration, so the hex file matches it.
    if (!opened->compile) messages->Show(this, opened->compile.message());
    OnDocumentChanged();
    return true;
}

bool CMainFrame::SaveDocumentFile(const QString& path)
{
    if (const Status saved = SaveProject(path.toStdString(), doc); !saved) {
        messages->Show(this, saved.message());
        return false;
    }
    doc.modified = false;
    history->MarkSaved();
    pathName = QFileInfo(path).absoluteFilePath();
    recent.Add(pathName);
    RebuildRecentMenu();
    UpdateTitle();
    return true;
}

bool CMainFrame::OnFileSave()
{
    if (pathName.isEmpty()) return OnFileSaveAs();
    return SaveDocumentFile(pathName);
}

bool CMainFrame::OnFileSaveAs()
{
    const QString suggested =
        pathName.isEmpty() ? DocTemplateString(DOC_NAME) + DocTemplateString(FILTER_EXT) : pathName;
    const QString path = QFileDialog::getSaveFileName(
        this, QCoreApplication::translate("varnel", "另存为"), suggested, FileFilter());
    if (path.isEmpty()) return false;
    return SaveDocumentFile(path);
}

void CMainFrame::OnAccessParams()
{
    CDeviceIpDlg dialog(doc, this);
    if (dialog.exec() == QDialog::Accepted)
        OnDocumentChanged(QCoreApplication::translate("varnel", "访问参数设置"));
}

void CMainFrame::OnSlotCount()
{
    CDeviceOptionSetDlg dialog(doc, this);
    if (dialog.exec() == QDialog::Accepted)
        OnDocumentChanged(QCoreApplication::translate("varnel", "槽数设置"));
}

void CMainFrame::OnPlaceStatusTables()
{
    if (const Status placed = RefuseBadDocument([&] { return PlaceSlaveStatusModules(doc); });
        !placed) {
        messages->Show(this, placed.message());
        return;
    }
    OnDocumentChanged(QCoreApplication::translate("varnel", "从站状态表"));
}

void CMainFrame::OnAppAbout()
{
    QDialog about(this);
    about.setObjectName("aboutBox");
    about.setWindowTitle(QCoreApplication::translate("varnel", "关于 Varnel"));
    auto* layout = new QVBoxLayout(&about);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(&about);
    icon->setPixmap(windowIcon().pixmap(32, 32));
    row->addWidget(icon);
    row->addWidget(new QLabel(QCoreApplication::translate("varnel", "Varnel，1.1 版"), &about), 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    buttons->button(QDialogButtonBox::Ok)->setText(QCoreApplication::translate("varnel", "确定"));
    connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    layout->addWidget(buttons);
    about.exec();
}

CDownDlg* CMainFrame::DownloadDialog() const
{
    return downDlg.data();
}

bool CMainFrame::DeviceOperationRunning() const
{
    return deviceLink->Busy() || !downDlg.isNull();
}

void CMainFrame::UpdateDeviceActions()
{
    const bool idle = !DeviceOperationRunning();
    for (int id : {ID_COMPILE_AND_DOWNLOAD, ID_CLEAR_CONFIG, ID_RESTART_DEVICE})
        Action(id)->setEnabled(idle);
}

void CMainFrame::SetMessageSink(std::unique_ptr<MessageSink> sink)
{
    messages = std::move(sink);
}

void CMainFrame::OnCompileAndDownload()
{
    if (DeviceOperationRunning()) return;
    Result<Bytes> compiled = CompileForDownload(doc);
    // Step A may have placed or replaced a status table.
    OnDocumentChanged(QCoreApplication::translate("varnel", "从站状态表"));
    if (!compiled) {
        messages->Show(this, compiled.message());
        emit downloadFinished(false);
        return;
    }
    downDlg = new CDownDlg(doc, linkRequestPending, *messages, this);
    connect(downDlg, &CDownDlg::downloadFinished, this, [this](bool ok) {
        if (downDlg) downDlg->deleteLater();
        downDlg = nullptr;
        UpdateDeviceActions();
        emit downloadFinished(ok);
    });
    UpdateDeviceActions();
    downDlg->Start(std::move(*compiled));
}

void CMainFrame::RunDeviceCommand(int command)
{
    if (DeviceOperationRunning()) return;
    const Result<std::uint32_t> address = GatewayAddress(doc);
    if (!address) {
        messages->Show(this, address.message());
        return;
    }
    // The link keeps a pointer to its session: hand it the new one before the
    // old one goes.
    auto session = std::make_unique<DeviceCommandSession>(command);
    deviceLink->SetOwner(CTestSocket::LinkMode::DeviceCommand, session.get(), *address);
    deviceSession = std::move(session);
    deviceLink->Start();
    UpdateDeviceActions();
}

void CMainFrame::OnClearConfiguration()
{
    RunDeviceCommand(DeviceCommandSession::CLEAR);
}

void CMainFrame::OnRestartDevice()
{
    RunDeviceCommand(DeviceCommandSession::RESTART);
}

void CMainFrame::ShowHexFile()
{
    // Whatever the viewer does with it is its own affair; only a file that no
    // program opens is said.
    const QString path = ToQ(doc.HexFilePath());
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        messages->Show(this, ErrorMessage(QCoreApplication::translate(
                                              "varnel", "没有已注册的程序可以打开文件 %1")
                                              .arg(path)
                                              .toStdString()));
}

namespace {
// The project file a drag carries: one local .vrc or .json file, else empty.
QString DraggedProject(const QMimeData* data)
{
    if (!data->hasUrls() || data->urls().size() != 1) return {};
    const QString path = data->urls().first().toLocalFile();
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("vrc") || suffix == QLatin1String("json") ? path : QString();
}
}  // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DraggedProject(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QString path = DraggedProject(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    if (SaveModified()) OpenDocumentFile(path);
}

void CMainFrame::SetDhcpEndpoints(const CDHCPDlg::Endpoints& endpoints)
{
    dhcpEndpoints = std::make_unique<CDHCPDlg::Endpoints>(endpoints);
}

void CMainFrame::OnNetworkParams()
{
    CDHCPDlg dialog(dhcpEndpoints ? *dhcpEndpoints : CDHCPDlg::Endpoints{}, this);
    dialog.SetDataFolder(doc.appFolder);
    dialog.exec();
}

void CMainFrame::RestoreWindowState()
{
    QSettings settings;
    restoreGeometry(settings.value(QStringLiteral("MainFrame/geometry")).toByteArray());
    restoreState(settings.value(QStringLiteral("MainFrame/state")).toByteArray());
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!SaveModified()) {
        event->ignore();
        return;
    }
    // Size, place, maximised state and pane layout for the next run.
    QSettings settings;
    settings.setValue(QStringLiteral("MainFrame/geometry"), saveGeometry());
    settings.setValue(QStringLiteral("MainFrame/state"), saveState());
    event->accept();
}

void CMainFrame::RebuildRecentMenu()
{
    for (QAction* action : recentActions) {
        fileMenu->removeAction(action);
        action->deleteLater();
    }
    recentActions.clear();
    const QStringList files = recent.Files();
    for (int i = 0; i < files.size(); ++i) {
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(files[i]), this);
        action->setData(ID_FILE_MRU_FILE1 + i);
        action->setStatusTip(QCoreApplication::translate("varnel", "打开此文档"));
        const QString file = files[i];
        connect(action, &QAction::triggered, this, [this, file] {
            if (SaveModified()) OpenDocumentFile(file);
        });
        fileMenu->insertAction(recentPlaceholder, action);
        recentActions << action;
    }
    recentPlaceholder->setVisible(files.isEmpty());
}

}  // namespace varnel
