#pragma once
// The application: names used for settings, then the main window with a new
// document or the project file named on the command line.
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

namespace varnel {

class CMainFrame;
class StreamSink;

class CVarnelApp {
public:
    // Sets the application's names (the recent-file list is kept under them).
    // `dataFolder` is the program's data folder, resolved once by main.
    explicit CVarnelApp(std::string dataFolder);
    ~CVarnelApp();

    // Builds and shows the main window. `arguments` are the program's
    // arguments without the program name: a project file to open, or none,
    // and the options of a run without a person
    //   --download-and-exit  compile and download the named project at once
    //                        (the restart answered Yes), then end;
    //   --screenshot FILE    save a picture of the main window to FILE (PNG)
    //                        once it is shown, or after the download, then end.
    // In such a run every message is printed on stderr instead of shown in a
    // window ("下 载 完 毕！" on stdout), and the program ends with status 0
    // only when nothing went wrong, else 1.
    // Returns nothing when the event loop is to run, else the status to end
    // with at once: 1 when the named project cannot be opened, 2 for a bad
    // command line.
    std::optional<int> InitInstance(const QStringList& arguments);

private:
    void RunUnattended(bool download, const QString& screenshot);

    std::string dataFolder;
    std::unique_ptr<CMainFrame> frame;
    StreamSink* printed = nullptr;  // owned by the frame in a run without a person
};

inline constexpr const char* APP_ID = "Varnel.AppID.NoVersion";

}  // namespace varnel
