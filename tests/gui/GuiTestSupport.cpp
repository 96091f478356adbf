#include "GuiTestSupport.h"

#include <QPushButton>
#include <cstdlib>
#include <filesystem>

#include "support/TestSupport.h"

namespace guitest {

namespace {
testsupport::TempDir& Folder()
{
    static testsupport::TempDir folder;
    return folder;
}
}  // namespace

std::string Home()
{
    return (Folder() / "home").string();
}

QApplication& App()
{
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        testsupport::MakeHome(Home());
        std::filesystem::copy_file(
            std::filesystem::path(VARNEL_SOURCE_DIR) / "data" / "BITMAP" / "module.bmp",
            std::filesystem::path(Home()) / "BITMAP" / "module.bmp",
            std::filesystem::copy_options::overwrite_existing);
        setenv("VARNEL_HOME", Home().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (Folder() / "config").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        auto* created = new QApplication(argc, argv);
        QCoreApplication::setOrganizationName("VarnelTests");
        QCoreApplication::setApplicationName("Varnel");
        return created;
    }();
    return *app;
}

QPointer<QTimer> OnPopup(std::function<void(QMenu*)> handle, bool failIfMissing)
{
    const int maxTries = 400;
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [=] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            timer->stop();
            timer->deleteLater();
            handle(menu);
            return;
        }
        if (++*tries > maxTries) {
            timer->stop();
            timer->deleteLater();
            if (failIfMissing) ADD_FAILURE() << "expected a popup menu";
        }
    });
    timer->start(10);
    return timer;
}

void CaptureMessage(SeenMessage& seen)
{
    OnModal<QMessageBox>([&seen](QMessageBox* box) {
        seen.text = box->text();
        seen.caption = box->windowTitle();
        seen.icon = box->icon();
        seen.seen = true;
        box->button(QMessageBox::Ok)->click();
    });
}

}  // namespace guitest
