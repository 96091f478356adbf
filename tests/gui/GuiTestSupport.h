#pragma once
// Shared set-up of the widget tests: one application on the offscreen
// platform, a data folder with the module picture, and handlers for modal
// dialogs and popups (which block until closed).
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

namespace guitest {

// The one application; the data folder and settings live in a temp folder.
QApplication& App();
// The data folder the tests run with (VARNEL_HOME).
std::string Home();

// Calls `handle` with the first active modal widget of type T, polling the
// event loop that the dialog runs; gives up (closing the modal) after
// `timeoutMs` (about 4 s unless told).
// Returns the watcher, which a test that expects no dialog stops once the
// action that might have opened one has returned (a dialog would block it).
template <class T>
QPointer<QTimer> OnModal(std::function<void(T*)> handle, bool failIfMissing = true,
                         int timeoutMs = 4000)
{
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    const int maxTries = timeoutMs / 10;
    QObject::connect(timer, &QTimer::timeout, [timer, tries, handle, failIfMissing, maxTries] {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            handle(widget);
            return;
        }
        if (++*tries > maxTries) {
            timer->stop();
            timer->deleteLater();
            if (failIfMissing)
                ADD_FAILURE() << "expected modal " << T::staticMetaObject.className();
            if (QWidget* other = QApplication::activeModalWidget()) other->close();
        }
    });
    timer->start(10);
    return timer;
}

// The same for a popup menu. Returns the watcher, which a test that expects
// no popup stops once the action that might have shown one has returned.
QPointer<QTimer> OnPopup(std::function<void(QMenu*)> handle, bool failIfMissing = true);

// A message box seen by a handler.
struct SeenMessage {
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool seen = false;
};
// Records the next message box and closes it with OK.
void CaptureMessage(SeenMessage& seen);

}  // namespace guitest

#include <QSettings>

#include "gui/app/CMainFrame.h"
#include "gui/ui/CVarnelView.h"

namespace guitest {

// A shown main window on a new document, with an empty recent-file list.
class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        QSettings().remove("Recent File List");
        frame = std::make_unique<varnel::CMainFrame>();
        frame->NewDocument();
        frame->resize(1000, 800);
        frame->show();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        frame->Document().modified = false;
        frame.reset();
        QApplication::processEvents();
    }
    varnel::CVarnelDoc& Doc() { return frame->Document(); }
    QWidget* Viewport() { return frame->View()->viewport(); }

    std::unique_ptr<varnel::CMainFrame> frame;
};

}  // namespace guitest
