#pragma once
// The main window: menus, toolbar, status bar, the catalogue pane and the
// device view, and the commands that act on the one document.
#include <QMainWindow>
#include <QMap>
#include <QStringList>

#include "core/model/CVarnelDoc.h"

class QMenu;
class QToolBar;

namespace varnel {

class CTreeWnd;
class CVarnelView;
class CDeviceTreeDlg;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CVarnelDoc& Document() { return doc; }
    CVarnelView* View() const { return view; }
    CTreeWnd* TreeWnd() const { return treeWnd; }
    CDeviceTreeDlg* TreeDlg() const;
    QToolBar* ToolBar() const { return toolBar; }
    // The action of a command identifier, or nullptr.
    QAction* Action(int id) const { return actions.value(id, nullptr); }
    // The path of the open project; empty for a new document.
    const QString& PathName() const { return pathName; }

    // New document without asking (start-up and after the save question).
    void NewDocument();
    // Opens a project file; shows the reason and returns false on failure.
    bool OpenDocumentFile(const QString& path);
    // Saves to `path`; shows the reason and returns false on failure.
    bool SaveDocumentFile(const QString& path);
    // Asks "save changes?" for a modified document; false when the user
    // cancels or the save fails.
    bool SaveModified();

    // The recent-file list, most recent first (at most four).
    QStringList RecentFiles() const;

    // The commands.
    void OnFileNew();
    void OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    void OnAccessParams();
    void OnSlotCount();
    void OnPlaceStatusTables();
    void OnAppAbout();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddAction(int id, const QString& text, const QString& prompt, bool enabled = true);
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void OnDocumentChanged();
    void UpdateTitle();
    void AddRecentFile(const QString& path);
    void RemoveRecentFile(const QString& path);
    void StoreRecentFiles(const QStringList& files);
    void RebuildRecentMenu();
    QString DocumentTitle() const;

    CVarnelDoc doc;
    QString pathName;
    CVarnelView* view;
    CTreeWnd* treeWnd;
    QToolBar* toolBar = nullptr;
    QMenu* fileMenu = nullptr;
    QAction* recentPlaceholder = nullptr;
    QList<QAction*> recentActions;
    QMap<int, QAction*> actions;
};

}  // namespace varnel
