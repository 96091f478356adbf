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
#include "gui/app/CommandIds.h"
#include "gui/link/CDownDlg.h"
#include "gui/link/COverDlg.h"
#include "net/CGatewayServer.h"

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

// A gateway on `address`, port 60000, playing `faults`.
struct Gateway {
    Gateway(const char* address, GatewayFaults faults = {})
        : server(QHostAddress(QString::fromLatin1(address)), DEVICE_PORT, faults)
    {
        server.SetRestartDelay(50);
        QString error;
        EXPECT_TRUE(server.Start(&error)) << error.toStdString();
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
    // Records the text of the download's result window and closes it.
    static void OnResultWindow(QString& text)
    {
        OnModal<COverDlg>(
            [&text](COverDlg* over) {
                text = over->Text();
                over->accept();
            },
            true, 8000);
    }
};

}  // namespace

TEST_F(DeviceOperationsTest, DownloadArrivesWholeAndRestartsIntoItWhenAsked)
{
    for (bool restart : {true, false}) {
        SCOPED_TRACE(restart ? "restart" : "no restart");
        const char* address = restart ? "127.77.0.1" : "127.77.0.2";
        Gateway gateway(address);
        OpenExample(address);
        QString result;
        OnResultWindow(result);
        QStringList question;
        CaptureMessage(question, restart ? QMessageBox::Yes : QMessageBox::No, 8000);

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
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(positions, QList<int>({2, 1, 2}));
        EXPECT_EQ(result, "下 载 完 毕！");
        EXPECT_EQ(question, QStringList({"重启后配置才能生效 确实要重启设备吗？|重启设备|none"}));

        Bytes hex;
        ASSERT_TRUE(ReadHexFile(Doc().HexFilePath(), hex));
        EXPECT_EQ(gateway.Device().Downloaded(), hex);
        EXPECT_EQ(gateway.Device().Pieces().size(), 1u);
        const int restarts = restart ? 1 : 0;
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return gateway.Device().Restarts() == restarts; }, WAIT_MS));
        EXPECT_EQ(gateway.Device().Running(), restart ? hex : Bytes{});
        EXPECT_TRUE(frame->Action(ID_COMPILE_AND_DOWNLOAD)->isEnabled());
        EXPECT_EQ(frame->DownloadDialog(), nullptr);
    }
}

// Each row of the download's failure table, as the user meets it.
TEST_F(DeviceOperationsTest, DownloadFailuresShowTheirTexts)
{
    const struct {
        const char* address;
        GatewayFaults faults;
        Message expected;
        bool resultWindow;  // COverDlg rather than a message box
    } rows[] = {
        {"127.77.1.1", {.refuseConnections = true}, EthernetFailedMessage(), false},
        {"127.77.1.2", {.neverAnswer = true}, NoAnswerMessage(), false},
        {"127.77.1.3", {.answerFailure = true}, DownloadFailedMessage(), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.address);
        Gateway gateway(row.address, row.faults);
        OpenExample(row.address);
        QStringList shown{""};
        if (row.resultWindow)
            OnResultWindow(shown[0]);
        else
            CaptureMessage(shown, QMessageBox::Ok, 9000);

        frame->Action(ID_COMPILE_AND_DOWNLOAD)->trigger();
        CDownDlg* dialog = frame->DownloadDialog();
        ASSERT_NE(dialog, nullptr);
        // A second download cannot start meanwhile, nor a device command.
        EXPECT_FALSE(frame->Action(ID_COMPILE_AND_DOWNLOAD)->isEnabled());
        EXPECT_FALSE(frame->Action(ID_CLEAR_CONFIG)->isEnabled());
        frame->OnCompileAndDownload();
        frame->OnClearConfiguration();
        EXPECT_EQ(frame->DownloadDialog(), dialog);

        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(shown.last(), row.resultWindow ? QString::fromStdString(row.expected.text)
                                                 : Shown(row.expected, "critical"));
        EXPECT_TRUE(gateway.Device().Running().empty());
        EXPECT_EQ(gateway.Device().Restarts(), 0);
        EXPECT_TRUE(frame->Action(ID_COMPILE_AND_DOWNLOAD)->isEnabled());
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

// Clear answered 40 0D, C0 0D or not at all: the result is the text,
// "提示"/"错误" the caption.
TEST_F(DeviceOperationsTest, ClearShowsTheGatewaysResult)
{
    const struct {
        const char* address;
        GatewayFaults faults;
        QString expected;
        int clears;
    } rows[] = {
        {"127.77.2.1", {}, Shown(ClearDoneMessage(), "information"), 1},
        {"127.77.2.2", {.answerFailure = true}, Shown(ClearFailedMessage(), "critical"), 0},
        {"127.77.2.4", {.refuseConnections = true}, Shown(EthernetFailedMessage(), "critical"), 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.address);
        Gateway gateway(row.address, row.faults);
        Doc().deviceIp = row.address;
        QStringList shown;
        CaptureMessage(shown, QMessageBox::Yes, 8000,
                       [&shown] { CaptureMessage(shown, QMessageBox::Ok, 8000); });
        frame->Action(ID_CLEAR_CONFIG)->trigger();
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(shown, QStringList({"确实要清除配置吗？|清除配置|none", row.expected}));
        EXPECT_EQ(gateway.Device().Clears(), row.clears);
        EXPECT_TRUE(frame->Action(ID_CLEAR_CONFIG)->isEnabled());
    }
}

TEST_F(DeviceOperationsTest, RestartAnsweredNoSendsNothingYesRestartsSilently)
{
    Gateway gateway("127.77.2.3");
    Doc().deviceIp = "127.77.2.3";
    QStringList shown;
    CaptureMessage(shown, QMessageBox::No, 8000);
    frame->OnRestartDevice();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(gateway.Device().Restarts(), 0);

    // Yes: the gateway drops the connection as it restarts; nothing is shown.
    QPointer<QTimer> watcher;
    CaptureMessage(shown, QMessageBox::Yes, 8000, [&] {
        watcher = OnModal<QMessageBox>(
            [&shown](QMessageBox* box) {
                shown << guitest::Describe(box);
                box->close();
            },
            false);
    });
    frame->OnRestartDevice();
    const bool restarted =
        WaitIdle() && QTest::qWaitFor([&] { return gateway.Device().Restarts() == 1; }, WAIT_MS);
    if (watcher) watcher->stop();
    EXPECT_TRUE(restarted);
    const QString question = "确实要重启设备吗？|重启设备|none";
    EXPECT_EQ(shown, QStringList({question, question}));
}

TEST_F(DeviceOperationsTest, HexFileCommandOpensTheHexFile)
{
    QTextBrowser viewer;
    QDesktopServices::setUrlHandler("file", &viewer, "setSource");
    frame->Action(ID_OPEN_HEX_FILE)->trigger();
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(viewer.source(), QUrl::fromLocalFile(QString::fromStdString(Doc().HexFilePath())));
}
