// varnel: the desktop configuration tool.
#include <QApplication>

#include "core/model/AppFolder.h"
#include "gui/app/CVarnelApp.h"

int main(int argc, char* argv[])
{
    QApplication qapp(argc, argv);
    varnel::CVarnelApp app(varnel::ProgramDataFolder());
    if (const auto status = app.InitInstance(QCoreApplication::arguments().mid(1))) return *status;
    return QApplication::exec();
}
