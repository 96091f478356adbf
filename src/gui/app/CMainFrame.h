#pragma once
// The main window: menus, toolbar, status bar, the catalogue pane and the
// device view, and the commands that act on the one document.
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <memory>

#include "core/model/CVarnelDoc.h"
#include "gui/app/RecentFiles.h"
#include "gui/ipassign/CDHCPDlg.h"
#include "gui/ui/SlotSelection.h"

class QMenu;
class QToolBar;

namespace varnel {

class CTreeWnd;
class DocumentHistory;
class CVarnelView;
class CDeviceTreeDlg;
class CDownDlg;
class CTestSocket;
class DeviceCommandSession;
class MessageSink;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // `dataFolder` is the program's data folder, resolved once by main.
    explicit CMainFrame(const std::string& dataFolder, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CVarnelDoc& Document() { return doc; }
    SlotSelection& Selection() { return selection; }
    // The project file's path; empty for a document never saved.
    QString PathName() const { return pathName; }
    CVarnelView* View() const { return view; }
    CDeviceTreeDlg* TreeDlg() const;
    // The action of a command identifier, or nullptr.
    QAction* Action(int id) const { return actions.value(id, nullptr); }
    // Undo and redo of the configuration's changes.
    DocumentHistory& History() const { return *history; }

    // The window's size, place, maximised state and pane layout of the last
    // run; the first run keeps 1024 x 768 with the catalogue on the right.
    void RestoreWindowState();

    // New document without asking (start-up and after the save question).
    void NewDocument();
    // Opens a project file; shows the reason and returns false on failure.
    bool OpenDocumentFile(const QString& path);
    // Saves to `path`; shows the reason and returns false on failure.
    bool SaveDocumentFile(const QString& path);
    // Asks "save changes?" for a modified document; false when the user
    // cancels or the save fails.
    bool SaveModified();

    // The commands.
    void OnFileNew();
    void OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    void OnAccessParams();
    void OnSlotCount();
    void OnPlaceStatusTables();
    void OnAppAbout();
    // Compile and download (32785): step A, step B, the hex file, then the
    // download window. Refused while a download or device command runs.
    void OnCompileAndDownload();
    // Clear configuration (32778) and restart device (32779) over the main
    // frame's own link; refused while another device operation runs.
    void OnClearConfiguration();
    void OnRestartDevice();
    // Opens the hex file with the desktop's viewer (32782).
    void ShowHexFile();
    // The IP assignment window (32774), its server on port 67 unless told
    // otherwise (tests use a high port on loopback).
    void OnNetworkParams();
    void SetDhcpEndpoints(const CDHCPDlg::Endpoints& endpoints);

    // True while a download or a device command is under way: the links
    // share the document's request flag, so one runs at a time.
    bool DeviceOperationRunning() const;
    // The download window while a download runs, else nullptr.
    CDownDlg* DownloadDialog() const;
    // Where the frame and its download window send messages and questions
    // (windows unless replaced, e.g. by a StreamSink for a run without a person).
    void SetMessageSink(std::unique_ptr<MessageSink> sink);

signals:
    // A download started by OnCompileAndDownload is over.
    void downloadFinished(bool ok);
    // The document changed (windows that follow it refresh).
    void documentChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* AddAction(int id, const char* text, const char* prompt, bool enabled = true);
    void CreateUndoActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    // Redraws and refreshes the title; a configuration change is recorded for
    // undo under the name `change`.
    void OnDocumentChanged(const QString& change = QString());
    void UpdateTitle();
    void RebuildRecentMenu();
    QString DocumentTitle() const;
    void RunDeviceCommand(int command);
    void UpdateDeviceActions();

    CVarnelDoc doc;
    SlotSelection selection;
    QString pathName;
    CVarnelView* view;
    CTreeWnd* treeWnd;
    DocumentHistory* history;
    QToolBar* toolBar = nullptr;
    QMenu* fileMenu = nullptr;
    QAction* recentPlaceholder = nullptr;
    QList<QAction*> recentActions;
    RecentFiles recent;
    QMap<int, QAction*> actions;
    // 1 while a request on any device link awaits its answer (all links share it).
    std::int32_t linkRequestPending = 0;
    // The main frame's device link (clear, restart) and its current session;
    // a session is kept until the next one replaces it.
    CTestSocket* deviceLink;
    std::unique_ptr<DeviceCommandSession> deviceSession;
    QPointer<CDownDlg> downDlg;
    std::unique_ptr<MessageSink> messages;
    std::unique_ptr<CDHCPDlg::Endpoints> dhcpEndpoints;
};

}  // namespace varnel
