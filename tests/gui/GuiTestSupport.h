#pragma once
// Shared set-up of the widget tests: one application on the offscreen
// platform, a data folder with the module picture, watchers for modal
// dialogs and popups (which block until closed) and a shown main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "core/modbus/ModbusMaster.h"
#include "core/model/AppFolder.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CommandIds.h"
#include "gui/ui/CVarnelView.h"
#include "support/TestSupport.h"

// Readable QStrings (and lists of them) in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace guitest {

// The one application; the data folder and settings live in a temp folder.
QApplication& App();

// Polls the event loop every 10 ms until `find` returns a widget and calls
// `handle` with it. After `timeoutMs` it gives up, failing the test when
// `failIfMissing`, and closes any modal left open. Returns the watcher, which
// a test expecting nothing stops once its action has returned.
QPointer<QTimer> Watch(std::function<QWidget*()> find, std::function<void(QWidget*)> handle,
                       bool failIfMissing, int timeoutMs, const char* what);

// The active modal widget when it is a T, else null.
template <class T>
QWidget* ActiveModal()
{
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

// Calls `handle` with the next active modal widget of type T.
template <class T>
QPointer<QTimer> OnModal(std::function<void(T*)> handle, bool failIfMissing = true,
                         int timeoutMs = 4000)
{
    return Watch(
        ActiveModal<T>, [handle](QWidget* w) { handle(static_cast<T*>(w)); }, failIfMissing,
        timeoutMs, T::staticMetaObject.className());
}

// Runs `action` and tells whether a widget that `find` returns showed
// meanwhile (it is closed at once), e.g. Shows(ActiveModal<QDialog>, ...).
bool Shows(std::function<QWidget*()> find, const std::function<void()>& action);

// Clicks the OK button of a dialog's button box.
void ClickOk(QWidget* dialog);

// "text|caption|icon" of a message box, the icon as none, information,
// warning, critical or question.
QString Describe(QMessageBox* box);
// Appends the next message box to `log` (as Describe), closes it with
// `button`, then runs `then` (for instance to watch for the box that follows).
void CaptureMessage(QStringList& log, QMessageBox::StandardButton button = QMessageBox::Ok,
                    int timeoutMs = 4000, std::function<void()> then = {});

// A shown main window on a new document, with an empty recent-file list.
class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        QSettings().remove("Recent File List");
        frame = std::make_unique<varnel::CMainFrame>(varnel::ProgramDataFolder());
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
    int& Selected() { return frame->Selection().code; }
    QWidget* Viewport() { return frame->View()->viewport(); }
    void Click(QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(Viewport(), button, Qt::NoModifier, at);
    }
    void DoubleClick(QPoint at) { QTest::mouseDClick(Viewport(), Qt::LeftButton, {}, at); }

    std::unique_ptr<varnel::CMainFrame> frame;
};

}  // namespace guitest
