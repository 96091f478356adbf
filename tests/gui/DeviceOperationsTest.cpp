// Compile and download, clear and restart from the main window, against the
// gateway simulator's engine on loopback (each test on its own address).
#include <QDesktopServices>
#include <QHostAddress>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
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
using guitest::FrameTest;
using guitest::OnModal;
using guitest::SeenMessage;

namespace {

constexpr int WAIT_MS = 12000;

// A gateway on `address`, port 60000, playing `faults`.
struct Gateway {
    Gateway(const char* address, GatewayFaults faults = {})
        : server(QHostAddress(QString::fromLatin1(address)), DEVICE_PORT, faults)
    {
        server.SetRestartDelay(50);
        QString error;
        started = server.Start(&error);
        EXPECT_TRUE(started) << error.toStdString();
    }
    const GatewayDevice& Device() const { return server.Device(); }
    CGatewayServer server;
    bool started = false;
};

// Closes the next message box with `button` and records it.
void AnswerBox(SeenMessage& seen, QMessageBox::StandardButton button, int timeoutMs = 8000)
{
    OnModal<QMessageBox>(
        [&seen, button](QMessageBox* box) {
            seen.text = box->text();
            seen.caption = box->windowTitle();
            seen.icon = box->icon();
            seen.seen = true;
            box->button(button)->click();
        },
        true, timeoutMs);
}

class DeviceOperationsTest : public FrameTest {
protected:
    void OpenExample(const char* address)
    {
        ASSERT_TRUE(frame->OpenDocumentFile(VARNEL_SOURCE_DIR "/data/examples/example.vrc"));
        Doc().deviceIp = address;
    }
    bool WaitIdle(int timeoutMs = WAIT_MS)
    {
        return QTest::qWaitFor([this] { return !frame->DeviceOperationRunning(); }, timeoutMs);
    }
};

}  // namespace

TEST_F(DeviceOperationsTest, DownloadArrivesWholeAndRestartsIntoIt)
{
    Gateway gateway("127.77.0.1");
    OpenExample("127.77.0.1");

    QString overText;
    OnModal<COverDlg>(
        [&overText](COverDlg* over) {
            overText = over->Text();
            over->accept();
        },
        true, 8000);
    SeenMessage question;
    AnswerBox(question, QMessageBox::Yes);

    frame->Action(ID_COMPILE_AND_DOWNLOAD)->trigger();
    CDownDlg* dialog = frame->DownloadDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isModal());
    QList<int> positions;
    QObject::connect(dialog->ProgressBar(), &QProgressBar::valueChanged,
                     [&positions](int v) { positions << v; });
    // Under 1200 bytes: range 0..2, 50 on connection clamped to 2, then the
    // one piece (1), then the maximum.
    EXPECT_EQ(dialog->ProgressBar()->maximum(), 2);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(positions, QList<int>({2, 1, 2}));

    EXPECT_EQ(overText, "下 载 完 毕！");
    EXPECT_EQ(question.text, "重启后配置才能生效 确实要重启设备吗？");
    EXPECT_EQ(question.caption, "重启设备");

    Bytes hex;
    ASSERT_TRUE(ReadHexFile(Doc().HexFilePath(), hex));
    EXPECT_EQ(gateway.Device().Downloaded(), hex);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gateway.Device().Restarts() == 1; }, WAIT_MS));
    EXPECT_EQ(gateway.Device().Running(), hex);
    EXPECT_TRUE(frame->Action(ID_COMPILE_AND_DOWNLOAD)->isEnabled());
    EXPECT_EQ(frame->DownloadDialog(), nullptr);
}

TEST_F(DeviceOperationsTest, RestartDeclinedAfterDownloadSendsNothingMore)
{
    Gateway gateway("127.77.0.2");
    OpenExample("127.77.0.2");
    OnModal<COverDlg>([](COverDlg* over) { over->accept(); }, true, 8000);
    SeenMessage question;
    AnswerBox(question, QMessageBox::No);
    frame->OnCompileAndDownload();
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(question.seen);
    EXPECT_EQ(gateway.Device().Pieces().size(), 1u);
    EXPECT_EQ(gateway.Device().Restarts(), 0);
    EXPECT_TRUE(gateway.Device().Running().empty());
}

// Each row of the download's failure table, as the user meets it.
TEST_F(DeviceOperationsTest, DownloadFailuresShowTheirTexts)
{
    struct Row {
        const char* address;
        GatewayFaults faults;
        Message expected;
        bool resultWindow;  // COverDlg rather than a message box
    };
    GatewayFaults refuse;
    refuse.refuseConnections = true;
    GatewayFaults silent;
    silent.neverAnswer = true;
    GatewayFaults c0;
    c0.answerFailure = true;
    const Row rows[] = {
        {"127.77.1.1", refuse, EthernetFailedMessage(), false},
        {"127.77.1.2", silent, NoAnswerMessage(), false},
        {"127.77.1.3", c0, DownloadFailedMessage(), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.address);
        Gateway gateway(row.address, row.faults);
        OpenExample(row.address);
        SeenMessage seen;
        QString overText;
        if (row.resultWindow)
            OnModal<COverDlg>(
                [&overText](COverDlg* over) {
                    overText = over->Text();
                    over->accept();
                },
                true, 8000);
        else
            AnswerBox(seen, QMessageBox::Ok, 9000);

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
        if (row.resultWindow) {
            EXPECT_EQ(overText.toStdString(), row.expected.text);
        } else {
            EXPECT_EQ(seen.text.toStdString(), row.expected.text);
            EXPECT_EQ(seen.caption, "错误");
            EXPECT_EQ(seen.icon, QMessageBox::Critical);
        }
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
    SeenMessage seen;
    AnswerBox(seen, QMessageBox::Ok);
    frame->OnCompileAndDownload();
    Doc().appFolder = saved;
    EXPECT_TRUE(seen.seen);
    EXPECT_EQ(seen.caption, "错误");
    EXPECT_EQ(frame->DownloadDialog(), nullptr);
    EXPECT_TRUE(gateway.Device().Pieces().empty());
}

// Clear answered 40 0D and C0 0D: the result is the text, "提示"/"错误" the caption.
TEST_F(DeviceOperationsTest, ClearShowsTheGatewaysResult)
{
    struct Row {
        const char* address;
        bool failure;
        Message expected;
        QMessageBox::Icon icon;
    };
    const Row rows[] = {
        {"127.77.2.1", false, ClearDoneMessage(), QMessageBox::Information},
        {"127.77.2.2", true, ClearFailedMessage(), QMessageBox::Critical},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.address);
        GatewayFaults faults;
        faults.answerFailure = row.failure;
        Gateway gateway(row.address, faults);
        Doc().deviceIp = row.address;
        SeenMessage question;
        SeenMessage result;
        OnModal<QMessageBox>(
            [&](QMessageBox* box) {
                question.text = box->text();
                question.caption = box->windowTitle();
                question.icon = box->icon();
                box->button(QMessageBox::Yes)->click();
                AnswerBox(result, QMessageBox::Ok);
            },
            true, 8000);
        frame->Action(ID_CLEAR_CONFIG)->trigger();
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(question.text, "确实要清除配置吗？");
        EXPECT_EQ(question.caption, "清除配置");
        EXPECT_EQ(question.icon, QMessageBox::NoIcon);
        EXPECT_EQ(result.text.toStdString(), row.expected.text);
        EXPECT_EQ(result.caption.toStdString(), row.expected.caption);
        EXPECT_EQ(result.icon, row.icon);
        EXPECT_EQ(gateway.Device().Clears(), row.failure ? 0 : 1);
        EXPECT_TRUE(frame->Action(ID_CLEAR_CONFIG)->isEnabled());
    }
}

TEST_F(DeviceOperationsTest, RestartAnsweredNoSendsNothingYesRestartsSilently)
{
    Gateway gateway("127.77.2.3");
    Doc().deviceIp = "127.77.2.3";
    SeenMessage question;
    AnswerBox(question, QMessageBox::No);
    frame->OnRestartDevice();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(question.text, "确实要重启设备吗？");
    EXPECT_EQ(question.caption, "重启设备");
    EXPECT_EQ(gateway.Device().Restarts(), 0);

    // Yes: the gateway drops the connection as it restarts; nothing is shown.
    SeenMessage after;
    QPointer<QTimer> watcher;
    OnModal<QMessageBox>(
        [&](QMessageBox* box) {
            box->button(QMessageBox::Yes)->click();
            watcher = OnModal<QMessageBox>(
                [&after](QMessageBox* shown) {
                    after.text = shown->text();
                    after.seen = true;
                    shown->close();
                },
                false);
        },
        true, 8000);
    frame->OnRestartDevice();
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(QTest::qWaitFor([&] { return gateway.Device().Restarts() == 1; }, WAIT_MS));
    if (watcher) watcher->stop();
    EXPECT_FALSE(after.seen) << after.text.toStdString();
}

TEST_F(DeviceOperationsTest, ClearWithoutGatewayReportsTheConnectionFailure)
{
    GatewayFaults refuse;
    refuse.refuseConnections = true;
    Gateway gateway("127.77.2.4", refuse);
    Doc().deviceIp = "127.77.2.4";
    SeenMessage result;
    OnModal<QMessageBox>(
        [&](QMessageBox* box) {
            box->button(QMessageBox::Yes)->click();
            AnswerBox(result, QMessageBox::Ok);
        },
        true, 8000);
    frame->OnClearConfiguration();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(result.text.toStdString(), EthernetFailedMessage().text);
    EXPECT_EQ(result.caption, "错误");
}

TEST_F(DeviceOperationsTest, HexFileCommandOpensTheHexFile)
{
    QTextBrowser viewer;
    QDesktopServices::setUrlHandler("file", &viewer, "setSource");
    frame->Action(ID_OPEN_HEX_FILE)->trigger();
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(viewer.source(), QUrl::fromLocalFile(QString::fromStdString(Doc().HexFilePath())));
}
