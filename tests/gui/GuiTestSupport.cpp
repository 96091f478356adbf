#include "GuiTestSupport.h"

#include <cstdlib>
#include <filesystem>

namespace guitest {

QApplication& App()
{
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    // The data folder (with the module picture) and the settings live in a
    // folder removed at exit; programs the tests start find them too.
    static testsupport::TempDir folder;
    static QApplication* app = [] {
        const std::filesystem::path home = folder / "home";
        testsupport::MakeHome(home);
        std::filesystem::copy_file(
            std::filesystem::path(VARNEL_SOURCE_DIR) / "data" / "BITMAP" / "module.bmp",
            home / "BITMAP" / "module.bmp", std::filesystem::copy_options::overwrite_existing);
        setenv("VARNEL_HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        auto* created = new QApplication(argc, argv);
        QCoreApplication::setOrganizationName("VarnelTests");
        QCoreApplication::setApplicationName("Varnel");
        return created;
    }();
    return *app;
}

QPointer<QTimer> Watch(std::function<QWidget*()> find, std::function<void(QWidget*)> handle,
                       bool failIfMissing, int timeoutMs, const char* what)
{
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [=, name = std::string(what)] {
        QWidget* found = find();
        if (found == nullptr && ++*tries <= timeoutMs / 10) return;
        timer->stop();
        timer->deleteLater();
        if (found != nullptr) return handle(found);
        if (failIfMissing) ADD_FAILURE() << "expected " << name;
        if (QWidget* other = QApplication::activeModalWidget()) other->close();
    });
    timer->start(10);
    return timer;
}

bool Shows(std::function<QWidget*()> find, const std::function<void()>& action)
{
    bool shown = false;
    const auto close = [&shown](QWidget* w) {
        shown = true;
        w->close();
    };
    QPointer<QTimer> watcher = Watch(find, close, false, 4000, "");
    action();
    if (watcher) watcher->stop(), watcher->deleteLater();
    return shown;
}

void ClickOk(QWidget* dialog)
{
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

QString Describe(QMessageBox* box)
{
    static const char* const icons[] = {"none", "information", "warning", "critical", "question"};
    return box->text() + "|" + box->windowTitle() + "|" + icons[box->icon()];
}

void CaptureMessage(QStringList& log, QMessageBox::StandardButton button, int timeoutMs,
                    std::function<void()> then)
{
    OnModal<QMessageBox>(
        [&log, button, then](QMessageBox* box) {
            log << Describe(box);
            box->button(button)->click();
            if (then) then();
        },
        true, timeoutMs);
}

}  // namespace guitest
