#include "gui/app/CVarnelApp.h"

#include <QApplication>
#include <QBuffer>
#include <QStyle>
#include <QTimer>
#include <iostream>

#include "core/model/AtomicFile.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/DocTemplate.h"
#include "gui/app/Language.h"
#include "gui/ui/MessageSink.h"

namespace varnel {

namespace {
const char* const USAGE =
    "usage: varnel [--lang zh|en] [--download-and-exit] [--screenshot FILE] "
    "[PROJECT.vrc|PROJECT.json]\n";

struct Options {
    QString project;
    QString screenshot;
    QString language;  // empty: from the locale
    bool download = false;
    std::string problem;  // empty when the command line is usable
};

Options ParseArguments(const QStringList& arguments)
{
    Options options;
    for (int i = 0; i < arguments.size() && options.problem.empty(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--screenshot") && i + 1 < arguments.size())
            options.screenshot = arguments[++i];
        else if (a == QLatin1String("--lang") && i + 1 < arguments.size() &&
                 (arguments[i + 1] == QLatin1String("zh") ||
                  arguments[i + 1] == QLatin1String("en")))
            options.language = arguments[++i];
        else if (a == QLatin1String("--lang") && i + 1 < arguments.size())
            options.problem =
                "bad value for --lang: " + arguments[i + 1].toStdString() + " (zh or en)";
        else if (a == QLatin1String("--download-and-exit"))
            options.download = true;
        else if (a.startsWith('-'))
            options.problem = "unknown option or missing value: " + a.toStdString();
        else if (options.project.isEmpty())
            options.project = a;
        else
            options.problem = "more than one project named";
    }
    if (options.problem.empty() && options.download && options.project.isEmpty())
        options.problem = "--download-and-exit needs a project file";
    return options;
}
}  // namespace

CVarnelApp::CVarnelApp(std::string dataFolder) : dataFolder(std::move(dataFolder))
{
    QCoreApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));
    QCoreApplication::setApplicationName(DocTemplateString(TYPE_NAME));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(APP_ID));
}

CVarnelApp::~CVarnelApp() = default;

std::optional<int> CVarnelApp::InitInstance(const QStringList& arguments)
{
    const Options options = ParseArguments(arguments);
    if (!options.problem.empty()) {
        std::cerr << "varnel: " << options.problem << "\n" << USAGE;
        return 2;
    }
    // The translation lies beside the program.
    InstallLanguage(options.language.isEmpty() ? LanguageFromLocale() : options.language,
                    QCoreApplication::applicationDirPath());
    frame = std::make_unique<CMainFrame>(dataFolder);
    frame->RestoreWindowState();
    frame->setWindowIcon(frame->style()->standardIcon(QStyle::SP_ComputerIcon));
    const bool unattended = options.download || !options.screenshot.isEmpty();
    if (unattended) {
        auto sink = std::make_unique<StreamSink>(std::cout, std::cerr, true);
        printed = sink.get();
        frame->SetMessageSink(std::move(sink));
    }
    if (options.project.isEmpty())
        frame->NewDocument();
    else if (!frame->OpenDocumentFile(options.project))
        return 1;
    frame->show();
    if (unattended) RunUnattended(options.download, options.screenshot);
    return std::nullopt;
}

void CVarnelApp::RunUnattended(bool download, const QString& screenshot)
{
    auto finish = [this, screenshot](bool ok) {
        if (!screenshot.isEmpty()) {
            // Encoded in memory, then written as every user file is.
            QBuffer png;
            png.open(QIODevice::WriteOnly);
            frame->grab().save(&png, "PNG");
            const Status written = WriteFileAtomically(
                screenshot.toStdString(),
                std::string_view(png.data().constData(), static_cast<std::size_t>(png.size())));
            if (!written) printed->Show(frame.get(), written.message());
        }
        QCoreApplication::exit(ok && !printed->Failed() ? 0 : 1);
    };
    if (download) {
        QObject::connect(frame.get(), &CMainFrame::downloadFinished, frame.get(), finish);
        QTimer::singleShot(0, frame.get(), [this] { frame->OnCompileAndDownload(); });
    } else {
        QTimer::singleShot(0, frame.get(), [finish] { finish(true); });
    }
}

}  // namespace varnel
