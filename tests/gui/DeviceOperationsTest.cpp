// Compile and download, clear and restart from the main window against the
// gateway server on loopback: one good and one refused row each (the
// sessions' other rows are tested in core).
#include <QDesktopServices>
#include <QHostAddress>
#include <QProgressBar>
#include <QTextBrowser>

#include "GuiTestSupport.h"
#include "core/image/HexFile.h"
#include "core/link/DeviceFrames.h"
#include "core/link/LinkMessages.h"
#include "gateway/CGatewayServer.h"
#include "gui/link/CDownDlg.h"
#include "gui/link/COverDlg.h"

using namespace varnel;
using guitest::CaptureMessage;
using guitest::FrameTest;
using guitest::OnModal;

namespace {

constexpr int WAIT_MS = 12000;
const GatewayFaults C0{.answerFailure = true};  // answers C0 + the request code

// "text|caption|icon" of a message as a box shows it.
QString Shown(const Message& m, const char* icon)
{
    return QString::fromStdString(m.text + "|" + m.caption + "|") + icon;
}

class DeviceOperationsTest : public FrameTest {
protected:
    // A gateway on `address` playing `faults`, and the main window aimed at it.
    std::unique_ptr<CGatewayServer> Gateway(const char* address, GatewayFaults faults)
    {
        auto server =
            std::make_unique<CGatewayServer>(QHostAddress(QString(address)), DEVICE_PORT, faults);
        server->SetRestartDelay(50);
        EXPECT_TRUE(server->Start().ok());
        Doc().deviceIp = address;
        return server;
    }
    bool WaitIdle()
    {
        return QTest::qWaitFor([this] { return !frame->DeviceOperationRunning(); }, WAIT_MS);
    }
};

}  // namespace

TEST_F(DeviceOperationsTest, DownloadShowsItsResultAndRestartsWhenAsked)
{
    const QString done = "下 载 完 毕！",
                  restart = "重启后配置才能生效 确实要重启设备吗？|重启设备|none";
    const struct {
        const char* address;
        GatewayFaults faults;
        QStringList shown;
    } rows[] = {{"127.77.0.1", {}, {done, restart}},
                {"127.77.1.3", C0, {QString::fromStdString(DownloadFailedMessage().text)}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.address);
        ASSERT_TRUE(frame->OpenDocumentFile(VARNEL_SOURCE_DIR "/data/examples/example.vrc"));
        const auto gateway = Gateway(row.address, row.faults);
        QStringList shown;
        OnModal<COverDlg>(
            [&shown](COverDlg* over) {
                shown << over->Text();
                over->accept();
            },
            true, 8000);
        if (row.shown.size() > 1) CaptureMessage(shown, QMessageBox::Yes, 9000);
        frame->Action(ID_COMPILE_AND_DOWNLOAD)->trigger();
        CDownDlg* dialog = frame->DownloadDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isModal());
        QList<int> positions;
        QObject::connect(dialog->ProgressBar(), &QProgressBar::valueChanged,
                         [&positions](int v) { positions << v; });
        // A second download cannot start meanwhile, nor a device command.
        EXPECT_FALSE(frame->Action(ID_CLEAR_CONFIG)->isEnabled());
        frame->OnCompileAndDownload();
        EXPECT_EQ(frame->DownloadDialog(), dialog);
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(shown, row.shown);
        const Bytes hex = ReadHexFile(Doc().HexFilePath()).value();
        const bool restarts = row.shown.size() > 1;
        // Under 1200 bytes: range 0..2, 50 on connection clamped to 2, the piece, the end.
        EXPECT_EQ(positions, restarts ? QList<int>({2, 1, 2}) : QList<int>({2, 1}));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return gateway->Device().Restarts() == restarts; }, WAIT_MS));
        EXPECT_EQ(gateway->Device().Running(), restarts ? hex : Bytes{});
        EXPECT_TRUE(frame->Action(ID_COMPILE_AND_DOWNLOAD)->isEnabled());
    }
}

TEST_F(DeviceOperationsTest, ClearAndRestartAskFirstAndShowTheResult)
{
    const struct {
        const char* address;
        int command;
        GatewayFaults faults;
        QStringList shown;
        int clears;
    } rows[] = {
        {"127.77.2.1",
         ID_CLEAR_CONFIG,
         {},
         {"确实要清除配置吗？|清除配置|none", Shown(ClearDoneMessage(), "information")},
         1},
        {"127.77.2.5",
         ID_RESTART_DEVICE,
         C0,
         {"确实要重启设备吗？|重启设备|none", Shown(RestartFailedMessage(), "critical")},
         0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.address);
        const auto gateway = Gateway(row.address, row.faults);
        QStringList shown;
        CaptureMessage(shown, QMessageBox::Yes, 8000,
                       [&] { CaptureMessage(shown, QMessageBox::Ok, 8000); });
        frame->Action(row.command)->trigger();
        EXPECT_TRUE(WaitIdle() && QTest::qWaitFor([&] { return shown.size() == 2; }, WAIT_MS));
        EXPECT_EQ(shown, row.shown);
        EXPECT_EQ(gateway->Device().Clears(), row.clears);
        EXPECT_EQ(gateway->Device().Restarts(), 0);
    }
}

TEST_F(DeviceOperationsTest, HexFileCommandOpensTheHexFile)
{
    QTextBrowser viewer;
    QDesktopServices::setUrlHandler("file", &viewer, "setSource");
    frame->Action(ID_OPEN_HEX_FILE)->trigger();
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(viewer.source(), QUrl::fromLocalFile(QString::fromStdString(Doc().HexFilePath())));
}
