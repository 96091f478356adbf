#include "gui/app/CVarnelApp.h"

#include <QApplication>
#include <QStyle>
#include <QTimer>
#include <iostream>

#include "gui/app/CMainFrame.h"
#include "gui/app/DocTemplate.h"

namespace varnel {

CVarnelApp::CVarnelApp(std::string dataFolder) : dataFolder(std::move(dataFolder))
{
    QCoreApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));
    QCoreApplication::setApplicationName(DocTemplateString(TYPE_NAME));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(APP_ID));
}

CVarnelApp::~CVarnelApp() = default;

bool CVarnelApp::InitInstance(const QStringList& arguments)
{
    frame = std::make_unique<CMainFrame>(dataFolder);
    frame->setWindowIcon(frame->style()->standardIcon(QStyle::SP_ComputerIcon));
    QStringList files;
    QString screenshot;
    bool downloadAndExit = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--screenshot") && i + 1 < arguments.size())
            screenshot = arguments[++i];
        else if (a == QLatin1String("--download-and-exit"))
            downloadAndExit = true;
        else if (!a.startsWith('-'))
            files << a;
    }
    if (!files.isEmpty()) {
        if (!frame->OpenDocumentFile(files.first())) return false;
    } else {
        frame->NewDocument();
    }
    frame->show();

    auto saveAndExit = [this, screenshot](int code) {
        if (!screenshot.isEmpty() && !frame->grab().save(screenshot, "PNG")) {
            std::cerr << "varnel: cannot write " << screenshot.toStdString() << std::endl;
            code = 1;
        }
        QCoreApplication::exit(code);
    };
    if (downloadAndExit) {
        frame->SetUnattended(true);
        QObject::connect(frame.get(), &CMainFrame::downloadFinished, frame.get(),
                         [saveAndExit](bool ok) { saveAndExit(ok ? 0 : 1); });
        QTimer::singleShot(0, frame.get(), [this] { frame->OnCompileAndDownload(); });
    } else if (!screenshot.isEmpty()) {
        QTimer::singleShot(0, frame.get(), [saveAndExit] { saveAndExit(0); });
    }
    return true;
}

}  // namespace varnel
