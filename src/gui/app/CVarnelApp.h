#pragma once
// The application: names used for settings, then the main window with a new
// document or the project file named on the command line.
#include <QStringList>
#include <memory>
#include <string>

namespace varnel {

class CMainFrame;

class CVarnelApp {
public:
    // Sets the application's names (the recent-file list is kept under them).
    // `dataFolder` is the program's data folder, resolved once by main.
    explicit CVarnelApp(std::string dataFolder);
    ~CVarnelApp();

    // Builds and shows the main window. `arguments` are the program's
    // arguments without the program name: a project file to open, or none,
    // and the unattended options
    //   --download-and-exit  compile and download at once (results printed,
    //                        the restart answered Yes), then end: status 0
    //                        when the download succeeded, 1 otherwise;
    //   --screenshot FILE    save a picture of the main window to FILE (PNG)
    //                        once it is shown, or after the download, then end.
    // False when the named file cannot be opened (the program then ends).
    bool InitInstance(const QStringList& arguments);

    CMainFrame* MainFrame() const { return frame.get(); }

private:
    std::string dataFolder;
    std::unique_ptr<CMainFrame> frame;
};

inline constexpr const char* APP_ID = "Varnel.AppID.NoVersion";

}  // namespace varnel
