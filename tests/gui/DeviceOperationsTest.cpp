// Compile and download, clear and restart from the main window, against the
// gateway simulator's engine on loopback (each case on its own address).
#include <QDesktopServices>
#include <QHostAddress>
#include <QProgressBar>
#include <QTextBrowser>

#include "GuiTestSupport.h"
#include "core/image/HexFile.h"
#include "core/link/DeviceFrames.h"
#include "core/link/LinkMessages.h"
#include "gui/link/CDownDlg.h"
#include "gui/link/COverDlg.h"
#include "gateway/CGatewayServer.h"

using namespace varnel;
using guitest::CaptureMessage;
using guitest::FrameTest;
using guitest::OnModal;

namespace {

constexpr int WAIT_MS = 12000;

// "text|caption|icon" of a message as a box shows it.
QString Shown(const Message& m, const char* icon)
{
    return QString::fromStdString(m.text + "|" + m.caption + "|") + icon;
}

const GatewayFaults C0{.answerFailure = true};          // answers C0

// A gateway on `address`, port 60000, playing `faults`.
struct Gateway {
    Gateway(const char* address, GatewayFaults faults = {})
        : server(QHostAddress(QString::fromLatin1(address)), DEVICE_PORT, faults)
    {
        server.SetRestartDelay(50);
        EXPECT_TRUE(server.Start().ok());
    }
    const GatewayDevice& Device() const { return server.Device(); }
    CGatewayServer server;
};

class DeviceOperationsTest : public FrameTest {
protected:
    void OpenExample(const char* address)
    {
        ASSERT_TRUE(frame->OpenDocumentFile(VARNEL_SOURCE_DIR "/data/examples/example.vrc"));
        Doc().deviceIp = address;
    }
    bool WaitIdle()
    {
        return QTest::qWaitFor([this] { return !frame->DeviceOperationRunning(); }, WAIT_MS);
    }
    // Appends the text of the download's result window to `log` and closes it.
    static void OnResultWindow(QStringList& log)
    {
        OnModal<COverDlg>(
            [&log](COverDlg* over) {
                log << over->Text();
                over->accept();
            },
            true, 8000);
    }
};

}  // namespace

// A download of the example project that restarts the gateway, and one that
// fails as the user meets it (the session's other rows are tested in core).
TEST_F(DeviceOperationsTest, DownloadShowsItsResultAndRestartsWhenAsked)
{
    const QString done = "下 载 完 毕！";
    const QString restart = "重启后配置才能生效 确实要重启设备吗？|重启设备|none";
    const QString failed = QString::fromStdString(DownloadFailedMessage().text);
    const auto yes = QMessageBox::Yes;
    const auto none = QMessageBox::NoButton;
    const struct {
        const char* address;
        GatewayFaults faults;
        bool window;                         // the result window (COverDlg) shows
        QMessageBox::StandardButton answer;  // to the message box that follows, if any
        QStringList shown;
    } rows[] = {
        {"127.77.0.1", {}, true, yes, {done, restart}},
        {"127.77.1.3", C0, true, none, {failed}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.address);
        Gateway gateway(row.address, row.faults);
        OpenExample(row.address);
        QStringList shown;
        if (row.window) OnResultWindow(shown);
        if (row.answer != none) CaptureMessage(shown, row.answer, 9000);

        frame->Action(ID_COMPILE_AND_DOWNLOAD)->trigger();
        CDownDlg* dialog = frame->DownloadDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isModal());
        QList<int> positions;
        QObject::connect(dialog->ProgressBar(), &QProgressBar::valueChanged,
                         [&positions](int v) { positions << v; });
        // Under 1200 bytes: range 0..2, 50 on connection clamped to 2, then
        // the one piece (1), then the maximum.
        EXPECT_EQ(dialog->ProgressBar()->maximum(), 2);
        // A second download cannot start meanwhile, nor a device command.
        EXPECT_FALSE(frame->Action(ID_COMPILE_AND_DOWNLOAD)->isEnabled());
        EXPECT_FALSE(frame->Action(ID_CLEAR_CONFIG)->isEnabled());
        frame->OnCompileAndDownload();
        frame->OnClearConfiguration();
        EXPECT_EQ(frame->DownloadDialog(), dialog);

        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(shown, row.shown);
        const bool restarts = row.answer == yes;
        const Bytes hex = ReadHexFile(Doc().HexFilePath()).value();
        if (row.shown[0] == done) {
            EXPECT_EQ(positions, QList<int>({2, 1, 2}));
            EXPECT_EQ(gateway.Device().Downloaded(), hex);
            EXPECT_EQ(gateway.Device().Pieces().size(), 1u);
        }
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return gateway.Device().Restarts() == restarts; }, WAIT_MS));
        EXPECT_EQ(gateway.Device().Running(), restarts ? hex : Bytes{});
        EXPECT_TRUE(frame->Action(ID_COMPILE_AND_DOWNLOAD)->isEnabled());
        EXPECT_EQ(frame->DownloadDialog(), nullptr);
    }
}

TEST_F(DeviceOperationsTest, HexFileThatCannotBeWrittenStopsTheDownload)
{
    // The HEX folder is missing: the compile cannot write the hex file, so the
    // failure is reported and no download starts.
    Gateway gateway("127.77.1.4");
    OpenExample("127.77.1.4");
    const std::string saved = Doc().appFolder;
    Doc().appFolder = saved + "/no-such-folder";
    QStringList shown;
    CaptureMessage(shown);
    frame->OnCompileAndDownload();
    Doc().appFolder = saved;
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].endsWith("|错误|critical")) << shown[0].toStdString();
    EXPECT_EQ(frame->DownloadDialog(), nullptr);
    EXPECT_TRUE(gateway.Device().Pieces().empty());
}

// Clear and restart ask first and show the gateway's answer; No sends nothing.
TEST_F(DeviceOperationsTest, ClearAndRestartAskFirstAndShowTheResult)
{
    const QString clear = "确实要清除配置吗？|清除配置|none";
    const QString restart = "确实要重启设备吗？|重启设备|none";
    const auto yes = QMessageBox::Yes;
    const struct {
        const char* address;
        int command;
        GatewayFaults faults;
        QMessageBox::StandardButton answer;
        QStringList shown;
        int clears;
    } rows[] = {
        {"127.77.2.1", ID_CLEAR_CONFIG, {}, yes, {clear, Shown(ClearDoneMessage(), "information")}, 1},
        {"127.77.2.4", ID_CLEAR_CONFIG, {}, QMessageBox::No, {clear}, 0},
        {"127.77.2.5", ID_RESTART_DEVICE, C0, yes,
         {restart, Shown(RestartFailedMessage(), "critical")}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.address);
        Gateway gateway(row.address, row.faults);
        Doc().deviceIp = row.address;
        QStringList shown;
        QPointer<QTimer> result;
        CaptureMessage(shown, row.answer, 8000, [&] {
            result = OnModal<QMessageBox>(
                [&shown](QMessageBox* box) {
                    shown << guitest::Describe(box);
                    box->button(QMessageBox::Ok)->click();
                },
                false, 8000);
        });
        frame->Action(row.command)->trigger();
        const bool done =
            WaitIdle() && QTest::qWaitFor([&] { return shown.size() == row.shown.size(); }, WAIT_MS);
        if (result) result->stop();
        EXPECT_TRUE(done);
        EXPECT_EQ(shown, row.shown);
        EXPECT_EQ(gateway.Device().Clears(), row.clears);
        EXPECT_EQ(gateway.Device().Restarts(), 0);
        EXPECT_TRUE(frame->Action(ID_CLEAR_CONFIG)->isEnabled());
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
