#pragma once
// The application: names used for settings, then the main window with a new
// document or the project file named on the command line.
#include <QStringList>
#include <memory>

namespace varnel {

class CMainFrame;

class CVarnelApp {
public:
    // Sets the application's names (the recent-file list is kept under them).
    CVarnelApp();
    ~CVarnelApp();

    // Builds and shows the main window. `arguments` are the program's
    // arguments without the program name: a project file to open, or none.
    // False when the named file cannot be opened (the program then ends).
    bool InitInstance(const QStringList& arguments);

    CMainFrame* MainFrame() const { return frame.get(); }

private:
    std::unique_ptr<CMainFrame> frame;
};

inline constexpr const char* APP_ID = "Varnel.AppID.NoVersion";

}  // namespace varnel
