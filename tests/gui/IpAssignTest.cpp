// The IP assignment window against its server on loopback: requests listed
// as they arrive (datagrams that are not requests ignored), an offer armed
// for the selected MAC only, leaving with the receiving interface's address,
// the assignment dialog's refusal shown over it, a server port that cannot
// be bound. The checks themselves and the DHCP switch are tested in core.
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <filesystem>

#include "GuiTestSupport.h"
#include "gui/ipassign/CDHCPDlg.h"
#include "gui/ipassign/CNewIpDlg.h"
#include "gui/ui/CListCtrlCl.h"
#include "net/CDhcpServer.h"
#include "support/DhcpPacket.h"
#include "support/TestSupport.h"

using namespace varnel;
using guitest::OnModal;

namespace {

const QHostAddress LOOPBACK(QHostAddress::LocalHost);

QByteArray Discover(std::uint8_t lastMacByte)
{
    const auto p = testsupport::DhcpPacket(
        {.mac = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, lastMacByte}, .flags = 0, .options = {0x35, 1, 1}});
    return QByteArray(reinterpret_cast<const char*>(p.data()), static_cast<qsizetype>(p.size()));
}

// "cell|cell|..." of each row of `list`.
QStringList Rows(const CListCtrlCl* list)
{
    QStringList rows;
    for (int r = 0; r < list->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << (list->item(r, c) ? list->item(r, c)->text() : "");
        rows << cells.join("|");
    }
    return rows;
}

// Fills the assignment dialog and confirms it.
void FillNewIp(CNewIpDlg* dialog, const QString& ip, const QString& name = "gw")
{
    const QStringList parts = ip.split('.');
    for (int i = 0; i < 4; ++i) dialog->IpPart(i)->setText(parts.value(i));
    dialog->NameEdit()->setText(name);
    dialog->DescriptionEdit()->setText("line 2");
    guitest::ClickOk(dialog);
}

// A main window and a gateway's side of the DHCP exchange: the socket sends
// requests to the window's server and receives its replies.
class IpAssignTest : public guitest::FrameTest {
protected:
    void SetUp() override
    {
        FrameTest::SetUp();
        ASSERT_TRUE(socket.bind(LOOPBACK, 0));
    }
    CDHCPDlg::Endpoints Endpoints(quint16 serverPort = 0) const
    {
        CDHCPDlg::Endpoints e;
        e.listen = LOOPBACK;
        e.serverPort = serverPort;  // 0: any free port; the test asks the server which
        e.clientPort = e.relayPort = socket.localPort();
        return e;
    }
    // An IP assignment window, shown (its server started).
    CDHCPDlg& Open()
    {
        dialog = std::make_unique<CDHCPDlg>(Endpoints());
        dialog->show();
        return *dialog;
    }
    void Send(std::initializer_list<QByteArray> datagrams)
    {
        for (const auto& d : datagrams) socket.writeDatagram(d, LOOPBACK, dialog->Server().Port());
    }
    // MAC, yiaddr and options 53 and 54 of the next reply, empty when none
    // comes within 5 s.
    QByteArray Reply()
    {
        if (!QTest::qWaitFor([this] { return socket.hasPendingDatagrams(); }, 5000)) return {};
        const QByteArray r = socket.receiveDatagram().data();
        return r.mid(28, 6).toHex() + " " + r.mid(16, 4).toHex() + " " + r.mid(240, 9).toHex();
    }
    // Selects request `row`, associates it with `ip` through "添加关联" and
    // returns the MAC the assignment dialog came up with.
    QString Associate(int row, const QString& ip)
    {
        dialog->RequestList()->selectRow(row);
        QString mac;
        OnModal<CNewIpDlg>([&mac, ip](CNewIpDlg* d) {
            mac = d->MacEdit()->text();
            FillNewIp(d, ip, "gw7");
        });
        dialog->findChild<QPushButton*>("associateButton")->click();
        return mac;
    }

    QUdpSocket socket;
    std::unique_ptr<CDHCPDlg> dialog;
};

}  // namespace

TEST_F(IpAssignTest, RequestsAreListedAndAnOfferGoesOnlyToTheSelectedMac)
{
    CDHCPDlg& dialog = Open();
    CListCtrlCl* requests = dialog.RequestList();
    // Datagrams that are not requests do not stop the server.
    Send({"short", QByteArray(3000, '\x01'), Discover(1).replace(0, 1, "\x02")});
    Send({Discover(0x5e), Discover(0x6f)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return requests->rowCount() == 2; }, 5000));
    QStringList rows = Rows(requests);  // the time as HH:MM:SS
    EXPECT_EQ(rows.replaceInStrings(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\|"), ""),
              QStringList({"DHCP|00:1a:2b:3c:4d:5e||", "DHCP|00:1a:2b:3c:4d:6f||"}));
    // "添加关联" with nothing selected does nothing; nothing is offered before it.
    EXPECT_FALSE(
        guitest::Shows(guitest::ActiveModal<CNewIpDlg>, [&dialog] { dialog.OnAddAssociation(); }));
    EXPECT_FALSE(socket.hasPendingDatagrams());

    EXPECT_EQ(Associate(1, "10.0.0.7"), "00:1a:2b:3c:4d:6f");
    EXPECT_EQ(Rows(dialog.AssignmentList()),
              QStringList({"00:1a:2b:3c:4d:6f|DHCP|10.0.0.7|gw7|line 2"}));
    // The next DISCOVERs: A's gets nothing, B's gets the OFFER. Datagrams on
    // loopback keep their order, so the first reply tells.
    Send({Discover(0x5e), Discover(0x6f)});
    // Option 54: the address of the interface the request came in on.
    EXPECT_EQ(Reply(), "001a2b3c4d6f 0a000007 35010236047f000001");
    EXPECT_FALSE(socket.hasPendingDatagrams());

    // "清除" empties the list; the next DISCOVER of a MAC is listed again.
    // The rows then no longer line up with the requests seen so far; the
    // association still takes the MAC of the row selected.
    dialog.findChild<QPushButton*>("clearButton")->click();
    EXPECT_EQ(requests->rowCount(), 0);
    Send({Discover(0x5e)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return requests->rowCount() == 1; }, 5000));
    EXPECT_EQ(Associate(0, "10.0.0.5"), "00:1a:2b:3c:4d:5e");
    Send({Discover(0x5e)});
    EXPECT_EQ(Reply(), "001a2b3c4d5e 0a000005 35010236047f000001");

    // "新建": a refused entry keeps the dialog open over the check's message;
    // the stored one keeps the MAC as typed and arms no offer.
    QStringList log;
    OnModal<CNewIpDlg>([&](CNewIpDlg* d) {
        d->MacEdit()->setText("00-1A-2B-3C-4D-5E");
        guitest::CaptureMessage(log);
        FillNewIp(d, "10.0.0.9");
        log << (d->isVisible() ? "open" : "closed");
        d->MacEdit()->setText("00:1A:2b:3c:4d:9E");
        FillNewIp(d, "223.255.255.255");
    });
    dialog.findChild<QPushButton*>("newButton")->click();
    EXPECT_EQ(log,
              QStringList(
                  {"MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F|错误|critical", "open"}));
    EXPECT_EQ(Rows(dialog.AssignmentList()).value(2),
              "00:1A:2b:3c:4d:9E|DHCP|223.255.255.255|gw|line 2");
    EXPECT_FALSE(dialog.Server().Assignments().back().offerArmed);
    // "删除" removes the selected row only.
    dialog.AssignmentList()->clearSelection();
    dialog.OnDelete();
    dialog.AssignmentList()->selectRow(0);
    dialog.findChild<QPushButton*>("deleteButton")->click();
    EXPECT_EQ(Rows(dialog.AssignmentList()).size(), 2);
    EXPECT_EQ(dialog.Server().Assignments().front().macText, "00:1a:2b:3c:4d:5e");
}

TEST_F(IpAssignTest, ServerStopsWhenTheWindowClosesAndRefusesAPortInUse)
{
    // Another server holds the port.
    CDhcpServer other;
    ASSERT_TRUE(other.Start(LOOPBACK, 0));
    frame->SetDhcpEndpoints(Endpoints(other.Port()));
    QStringList log;
    guitest::CaptureMessage(log, QMessageBox::Ok, 4000, [&] {
        auto* d = frame->findChild<CDHCPDlg*>();
        ASSERT_NE(d, nullptr);
        log << (d->Server().IsRunning() ? "running" : "stopped");
        QTimer::singleShot(0, d, &QWidget::close);
    });
    frame->Action(ID_NETWORK_PARAMS)->trigger();
    other.Stop();
    EXPECT_EQ(log, QStringList({"接收失败|错误|critical", "stopped"}));

    // On a free port the server runs while the window is open, and the port
    // is free again the moment it closes.
    frame->SetDhcpEndpoints(Endpoints());
    quint16 port = 0;
    OnModal<CDHCPDlg>([&](CDHCPDlg* d) {
        if (d->Server().IsRunning()) port = d->Server().Port();
        d->close();
    });
    frame->OnNetworkParams();
    ASSERT_NE(port, 0);
    QUdpSocket again;
    EXPECT_TRUE(again.bind(LOOPBACK, port, QAbstractSocket::DontShareAddress));
}

TEST_F(IpAssignTest, ListFileRoundTripAndReopening)
{
    testsupport::TempDir data;
    std::filesystem::create_directories(data / "IP");
    const std::string file =
        "mac,ip,name\n02:00:00:00:00:01,10.0.0.5,\"网关,1\"\n"
        "00:1A:2b:3c:4d:5e,10.0.0.6,\n";
    testsupport::WriteFile(data / "in.csv", file);
    CDHCPDlg& dialog = Open();
    dialog.SetDataFolder(data.str());  // nothing kept yet
    EXPECT_EQ(dialog.AssignmentList()->rowCount(), 0);
    ASSERT_TRUE(dialog.OpenList(QString::fromStdString((data / "in.csv").string())));
    EXPECT_EQ(Rows(dialog.AssignmentList()), QStringList({"02:00:00:00:00:01|DHCP|10.0.0.5|网关,1|",
                                                          "00:1A:2b:3c:4d:5e|DHCP|10.0.0.6||"}));
    // Opened MACs are offered their address.
    Send({Discover(0x5e)});
    EXPECT_EQ(Reply(), "001a2b3c4d5e 0a000006 35010236047f000001");
    ASSERT_TRUE(dialog.SaveList(QString::fromStdString((data / "out.csv").string())));
    EXPECT_EQ(testsupport::ReadFile(data / "out.csv"), file);

    // A bad row refuses the whole file over the window; the list stays.
    testsupport::WriteFile(data / "bad.csv",
                           "mac,ip,name\n02:00:00:00:00:01,10.0.0.5,x\nbad,1.1.1.1,\n");
    QStringList log;
    guitest::CaptureMessage(log);
    EXPECT_FALSE(dialog.OpenList(QString::fromStdString((data / "bad.csv").string())));
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].contains("第 3 行 (line 3): MAC格式错误")) << log[0].toStdString();
    EXPECT_EQ(dialog.AssignmentList()->rowCount(), 2);

    // The next window opens the list last saved.
    dialog.close();
    CDHCPDlg next(Endpoints());
    next.SetDataFolder(data.str());
    EXPECT_EQ(Rows(next.AssignmentList()), Rows(dialog.AssignmentList()));
}

TEST_F(IpAssignTest, ForeignServerWarningUnderTheLists)
{
    CDHCPDlg& dialog = Open();
    QLabel* line = dialog.ForeignServerLine();
    EXPECT_TRUE(line->text().isEmpty());
    const QString warning =
        "警告: 另一个DHCP服务器 10.0.0.2 在应答 (warning: another DHCP server at "
        "10.0.0.2 is answering)";
    dialog.ShowForeignServer(warning);
    EXPECT_EQ(line->text(), warning);
    EXPECT_TRUE(line->isVisibleTo(&dialog));
    EXPECT_EQ(line->palette().color(QPalette::WindowText), QColor(Qt::red));

    // Beside it, an address another device holds, until a check finds it free.
    QLabel* address = dialog.AddressLine();
    AddressProbe& probe = dialog.Server().AddressCheck();
    emit probe.checked(0x0A000005, "02:00:00:00:aa:01");
    EXPECT_EQ(address->text(), "地址 10.0.0.5 已被 02:00:00:00:aa:01 使用");
    EXPECT_EQ(address->palette().color(QPalette::WindowText), QColor(Qt::red));
    emit probe.checked(0x0A000006, QString());
    EXPECT_FALSE(address->text().isEmpty());
    emit probe.checked(0x0A000005, QString());
    EXPECT_TRUE(address->text().isEmpty());
}
