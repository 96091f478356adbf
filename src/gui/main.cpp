// varnel: the desktop configuration tool.
#include <QApplication>
#include <cstring>
#include <iostream>

#include "core/model/AppFolder.h"
#include "gui/app/CVarnelApp.h"

namespace {
// The unattended modes draw offscreen and never need a screen.
bool Unattended(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--download-and-exit") == 0 ||
            std::strcmp(argv[i], "--screenshot") == 0)
            return true;
    return false;
}
}  // namespace

int main(int argc, char* argv[])
{
    // Without a display the toolkit would abort: the unattended modes use the
    // offscreen platform, an interactive start says what to do instead.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        if (!Unattended(argc, argv)) {
            std::cerr << "varnel: no display (DISPLAY is not set): run it inside one, for "
                         "example with xvfb-run -a varnel, or use varnelctl\n";
            return 1;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication qapp(argc, argv);
    varnel::CVarnelApp app(varnel::ProgramDataFolder());
    if (const auto status = app.InitInstance(QCoreApplication::arguments().mid(1))) return *status;
    return QApplication::exec();
}
