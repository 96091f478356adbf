#include "gui/app/CVarnelApp.h"

#include <QApplication>
#include <QRegularExpression>
#include <QStyle>

#include "gui/app/CMainFrame.h"
#include "gui/app/DocTemplate.h"

namespace varnel {

CVarnelApp::CVarnelApp()
{
    QCoreApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));
    QCoreApplication::setApplicationName(DocTemplateString(TYPE_NAME));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(APP_ID));
}

CVarnelApp::~CVarnelApp() = default;

bool CVarnelApp::InitInstance(const QStringList& arguments)
{
    frame = std::make_unique<CMainFrame>();
    frame->setWindowIcon(frame->style()->standardIcon(QStyle::SP_ComputerIcon));
    const QStringList files = arguments.filter(QRegularExpression("^[^-]"));
    if (!files.isEmpty()) {
        if (!frame->OpenDocumentFile(files.first())) return false;
    } else {
        frame->NewDocument();
    }
    frame->show();
    return true;
}

}  // namespace varnel
