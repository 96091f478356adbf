// The IP assignment window against its server and a gateway's EtherNet/IP
// side on loopback: the lists, requests listed as they arrive, an offer armed
// for the selected MAC only, the assignment dialog's checks, DHCP switched on
// and off, and a server port that cannot be bound.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QTest>
#include <QUdpSocket>

#include "GuiTestSupport.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CommandIds.h"
#include "gui/ipassign/CDHCPDlg.h"
#include "gui/ipassign/CNewIpDlg.h"
#include "gui/ui/CListCtrlCl.h"
#include "net/CDhcpServer.h"
#include "net/CEipServer.h"

using namespace varnel;
using guitest::FrameTest;
using guitest::OnModal;
using guitest::SeenMessage;

namespace {

const QHostAddress LOOPBACK(QHostAddress::LocalHost);

// A DHCP message of `type` (option 53) from `mac` (six bytes).
QByteArray Discover(const QByteArray& mac, std::uint8_t type = 1)
{
    QByteArray p(240, '\0');
    p[0] = 1;  // BOOTREQUEST
    p[1] = 1;  // Ethernet
    p[2] = 6;  // hlen
    p[4] = 0x12;
    p.replace(28, 6, mac);
    p.replace(236, 4, QByteArray::fromHex("63825363"));
    p.append(QByteArray::fromHex("3501"));
    p.append(static_cast<char>(type));
    p.append('\xff');
    return p;
}

const QByteArray MAC_A = QByteArray::fromHex("001a2b3c4d5e");
const QByteArray MAC_B = QByteArray::fromHex("001a2b3c4d6f");

// A gateway's side of the DHCP exchange: sends requests to the window's
// server and receives the replies on its own port.
struct Gateways {
    QUdpSocket socket;
    Gateways() { EXPECT_TRUE(socket.bind(LOOPBACK, 0)); }
    CDHCPDlg::Endpoints Endpoints() const
    {
        CDHCPDlg::Endpoints e;
        e.listen = LOOPBACK;
        e.serverPort = 0;  // any free port; the test asks the server which
        e.clientPort = socket.localPort();
        e.relayPort = socket.localPort();
        return e;
    }
    void Send(const CDHCPDlg& dialog, const QByteArray& datagram)
    {
        socket.writeDatagram(datagram, LOOPBACK, dialog.Server().Port());
    }
};

// Fills the assignment dialog and confirms it.
void FillNewIp(CNewIpDlg* dialog, const QString& ip, const QString& name = "gw")
{
    const QStringList parts = ip.split('.');
    for (int i = 0; i < 4; ++i) dialog->IpPart(i)->setText(parts.value(i));
    dialog->NameEdit()->setText(name);
    dialog->DescriptionEdit()->setText("line 2");
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

class IpAssignTest : public ::testing::Test {
protected:
    void SetUp() override { guitest::App(); }
};

}  // namespace

TEST_F(IpAssignTest, ListsHaveTheirColumnsRowHeightFontAndSelection)
{
    Gateways gateways;
    CDHCPDlg dialog(gateways.Endpoints());
    EXPECT_EQ(dialog.windowTitle(), "IP分配");
    struct Expected {
        CListCtrlCl* list;
        QStringList headers;
        QList<int> widths;
    };
    const Expected lists[] = {
        {dialog.RequestList(),
         {"时间", "协议类型", "MAC地址", "IP地址", "设备名称"},
         {100, 70, 150, 150, 150}},
        {dialog.AssignmentList(),
         {"MAC地址", "协议类型", "IP地址", "设备名称", "描述"},
         {150, 70, 150, 150, 150}},
    };
    for (const Expected& e : lists) {
        SCOPED_TRACE(e.list->objectName().toStdString());
        QStringList headers;
        QList<int> widths;
        for (int c = 0; c < e.list->columnCount(); ++c) {
            headers << e.list->horizontalHeaderItem(c)->text();
            widths << e.list->columnWidth(c);
        }
        EXPECT_EQ(headers, e.headers);
        EXPECT_EQ(widths, e.widths);
        EXPECT_EQ(e.list->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_TRUE(e.list->showGrid());
        EXPECT_EQ(e.list->CellFont().family(), "宋体");
        EXPECT_EQ(e.list->CellFont().pixelSize(), 13);
        e.list->AppendRow({"a", "b"});
        EXPECT_EQ(e.list->rowHeight(0), 15);
    }
    // No OK or Cancel: the window closes with its close box.
    EXPECT_EQ(dialog.findChild<QDialogButtonBox*>(), nullptr);
}

TEST_F(IpAssignTest, ListColoursFirstEntryWinsSelectionUsesHighlight)
{
    CListCtrlCl list;
    list.InsertColumn(0, "a", 50);
    list.InsertColumn(1, "b", 50);
    list.AppendRow({"1", "2"});
    list.AppendRow({"3", "4"});
    list.AppendRow({"5", "6"});
    list.SetColumnBackground(1, Qt::yellow);
    list.SetCellBackground(2, 1, Qt::red);
    list.SetCellBackground(2, 1, Qt::blue);  // a later entry for the same cell loses
    list.SetCellTextColor(0, 0, Qt::green);
    const QColor base = list.palette().color(QPalette::Base);
    EXPECT_EQ(list.CellBackground(2, 1, false), QColor(Qt::red));
    EXPECT_EQ(list.CellBackground(0, 1, false), QColor(Qt::yellow));
    EXPECT_EQ(list.CellBackground(2, 0, false), base);
    EXPECT_EQ(list.CellBackground(2, 1, true), list.palette().color(QPalette::Highlight));
    EXPECT_EQ(list.CellTextColor(0, 0), QColor(Qt::green));
    EXPECT_EQ(list.CellTextColor(1, 0), QColor(Qt::black));

    CListCtrlCl plain;
    plain.SetRowHeight(0);
    plain.InsertColumn(0, "a", 50);
    plain.AppendRow({"x"});
    EXPECT_NE(plain.rowHeight(0), 15);
}

TEST_F(IpAssignTest, RequestsAreListedAndAnOfferGoesOnlyToTheSelectedMac)
{
    Gateways gateways;
    CDHCPDlg dialog(gateways.Endpoints());
    dialog.show();
    ASSERT_TRUE(dialog.Server().IsRunning());
    CListCtrlCl* requests = dialog.RequestList();

    gateways.Send(dialog, Discover(MAC_A));
    gateways.Send(dialog, Discover(MAC_B));
    ASSERT_TRUE(QTest::qWaitFor([&] { return requests->rowCount() == 2; }, 5000));
    EXPECT_EQ(requests->item(0, 1)->text(), "DHCP");
    EXPECT_EQ(requests->item(0, 2)->text(), "00:1a:2b:3c:4d:5e");
    EXPECT_EQ(requests->item(1, 2)->text(), "00:1a:2b:3c:4d:6f");
    EXPECT_EQ(requests->item(0, 0)->text().size(), 8);  // HH:MM:SS
    // Nothing is offered before an association is made.
    EXPECT_FALSE(gateways.socket.hasPendingDatagrams());

    // "添加关联" with nothing selected does nothing.
    QPointer<QTimer> none = OnModal<CNewIpDlg>([](CNewIpDlg* d) { d->reject(); }, false);
    dialog.OnAddAssociation();
    if (none) none->stop();
    EXPECT_TRUE(dialog.Assignments().empty());

    requests->selectRow(1);
    QString presetMac;
    OnModal<CNewIpDlg>([&presetMac](CNewIpDlg* d) {
        presetMac = d->MacEdit()->text();
        FillNewIp(d, "10.0.0.7", "gw7");
    });
    dialog.findChild<QPushButton*>("associateButton")->click();
    EXPECT_EQ(presetMac, "00:1a:2b:3c:4d:6f");
    ASSERT_EQ(dialog.AssignmentList()->rowCount(), 1);
    EXPECT_EQ(dialog.AssignmentList()->item(0, 2)->text(), "10.0.0.7");
    EXPECT_EQ(dialog.CurrentAssignment().deviceName, "gw7");

    // The next DISCOVERs: A's gets nothing, B's gets the OFFER. Datagrams on
    // loopback keep their order, so the first reply tells.
    gateways.Send(dialog, Discover(MAC_A));
    gateways.Send(dialog, Discover(MAC_B));
    ASSERT_TRUE(QTest::qWaitFor([&] { return gateways.socket.hasPendingDatagrams(); }, 5000));
    const QByteArray offer = gateways.socket.receiveDatagram().data();
    ASSERT_GT(offer.size(), 243);
    EXPECT_EQ(offer.mid(28, 6), MAC_B);
    EXPECT_EQ(offer.mid(16, 4), QByteArray::fromHex("0a000007"));
    EXPECT_EQ(offer.mid(240, 3), QByteArray::fromHex("350102"));
    EXPECT_FALSE(gateways.socket.hasPendingDatagrams());

    // "清除" empties the list; the next DISCOVER of a MAC is listed again.
    dialog.findChild<QPushButton*>("clearButton")->click();
    EXPECT_EQ(requests->rowCount(), 0);
    gateways.Send(dialog, Discover(MAC_A));
    ASSERT_TRUE(QTest::qWaitFor([&] { return requests->rowCount() == 1; }, 5000));
    EXPECT_EQ(requests->item(0, 2)->text(), "00:1a:2b:3c:4d:5e");
    // After a clear the rows no longer line up with the requests seen so
    // far; the association still takes the MAC of the row selected.
    requests->selectRow(0);
    OnModal<CNewIpDlg>([&presetMac](CNewIpDlg* d) {
        presetMac = d->MacEdit()->text();
        FillNewIp(d, "10.0.0.5");
    });
    dialog.OnAddAssociation();
    EXPECT_EQ(presetMac, "00:1a:2b:3c:4d:5e");
    gateways.Send(dialog, Discover(MAC_A));
    ASSERT_TRUE(QTest::qWaitFor([&] { return gateways.socket.hasPendingDatagrams(); }, 5000));
    const QByteArray second = gateways.socket.receiveDatagram().data();
    ASSERT_GT(second.size(), 243);
    EXPECT_EQ(second.mid(28, 6), MAC_A);
    EXPECT_EQ(second.mid(16, 4), QByteArray::fromHex("0a000005"));
}

TEST_F(IpAssignTest, ServerStopsWhenTheWindowClosesAndRefusesAPortInUse)
{
    Gateways gateways;
    auto frame = std::make_unique<CMainFrame>();
    frame->show();
    // A socket bound without address reuse keeps its port to itself.
    const int blocker = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(blocker, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(blocker, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ::getsockname(blocker, reinterpret_cast<sockaddr*>(&addr), &len);
    CDHCPDlg::Endpoints busy = gateways.Endpoints();
    busy.serverPort = ntohs(addr.sin_port);
    frame->SetDhcpEndpoints(busy);
    SeenMessage refused;
    bool runningWhenRefused = true;
    OnModal<QMessageBox>([&](QMessageBox* box) {
        refused.text = box->text();
        refused.caption = box->windowTitle();
        auto* d = qobject_cast<CDHCPDlg*>(box->parentWidget());
        ASSERT_NE(d, nullptr);
        runningWhenRefused = d->Server().IsRunning();
        box->button(QMessageBox::Ok)->click();
        QTimer::singleShot(0, d, &QWidget::close);
    });
    frame->Action(ID_NETWORK_PARAMS)->trigger();
    ::close(blocker);
    EXPECT_EQ(refused.text, "接收失败");
    EXPECT_EQ(refused.caption, "错误");
    EXPECT_FALSE(runningWhenRefused);

    // On a free port the server runs while the window is open, and the port
    // is free again the moment it closes.
    frame->SetDhcpEndpoints(gateways.Endpoints());
    quint16 port = 0;
    bool running = false;
    OnModal<CDHCPDlg>([&](CDHCPDlg* d) {
        running = d->Server().IsRunning();
        port = d->Server().Port();
        d->close();
    });
    frame->OnNetworkParams();
    EXPECT_TRUE(running);
    ASSERT_NE(port, 0);
    QUdpSocket again;
    EXPECT_TRUE(again.bind(LOOPBACK, port, QAbstractSocket::DontShareAddress));
}

TEST_F(IpAssignTest, NewAssignmentIsCheckedAndDeleteRemovesIt)
{
    Gateways gateways;
    CDHCPDlg dialog(gateways.Endpoints());
    dialog.show();
    struct Row {
        const char* mac;
        const char* ip;
        const char* expected;  // the refusal, or nullptr when stored
    };
    const Row rows[] = {
        {"00-1A-2B-3C-4D-5E", "10.0.0.5", "MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F"},
        {"ff:ff:ff:ff:ff:ff", "10.0.0.5", "MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F"},
        {"00:1A:2b:3c:4d:5e", "224.0.0.1", "IP设置错误"},
        {"00:1A:2b:3c:4d:5e", "", "IP设置错误"},
        {"00:1A:2b:3c:4d:5e", "223.255.255.255", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mac + std::string(" ") + row.ip);
        SeenMessage refusal;
        bool stillOpen = false;
        OnModal<CNewIpDlg>([&](CNewIpDlg* d) {
            d->MacEdit()->setText(row.mac);
            if (row.expected != nullptr)
                OnModal<QMessageBox>([&, d](QMessageBox* box) {
                    refusal.text = box->text();
                    refusal.caption = box->windowTitle();
                    refusal.icon = box->icon();
                    box->button(QMessageBox::Ok)->click();
                    QTimer::singleShot(0, d, [&, d] {
                        stillOpen = d->isVisible();
                        d->reject();
                    });
                });
            FillNewIp(d, row.ip);
        });
        dialog.findChild<QPushButton*>("newButton")->click();
        if (row.expected != nullptr) {
            EXPECT_EQ(refusal.text, QString::fromUtf8(row.expected));
            EXPECT_EQ(refusal.caption, "错误");
            EXPECT_EQ(refusal.icon, QMessageBox::Critical);
            EXPECT_TRUE(stillOpen);
            EXPECT_TRUE(dialog.Assignments().empty());
        }
    }
    ASSERT_EQ(dialog.AssignmentList()->rowCount(), 1);
    EXPECT_EQ(dialog.AssignmentList()->item(0, 0)->text(), "00:1A:2b:3c:4d:5e");  // as typed
    EXPECT_EQ(dialog.AssignmentList()->item(0, 1)->text(), "DHCP");
    EXPECT_EQ(dialog.AssignmentList()->item(0, 4)->text(), "line 2");
    ASSERT_EQ(dialog.Server().Assignments().size(), 1u);
    // Entered by hand: acknowledged on REQUEST, but no offer armed.
    EXPECT_FALSE(dialog.Server().Assignments()[0].offerArmed);

    dialog.OnDelete();  // nothing selected: nothing removed
    EXPECT_EQ(dialog.AssignmentList()->rowCount(), 1);
    dialog.AssignmentList()->selectRow(0);
    dialog.findChild<QPushButton*>("deleteButton")->click();
    EXPECT_EQ(dialog.AssignmentList()->rowCount(), 0);
    EXPECT_TRUE(dialog.Server().Assignments().empty());
}

TEST_F(IpAssignTest, EnableThenDisableDhcpOverEtherNetIp)
{
    CEipServer gateway;
    ASSERT_TRUE(gateway.Listen(QHostAddress("127.77.4.1"), 0)) << gateway.ErrorText().toStdString();
    Gateways gateways;
    CDHCPDlg::Endpoints endpoints = gateways.Endpoints();
    endpoints.eipPort = gateway.Port();
    CDHCPDlg dialog(endpoints);
    dialog.show();
    OnModal<CNewIpDlg>([](CNewIpDlg* d) {
        d->MacEdit()->setText("00:1a:2b:3c:4d:5e");
        FillNewIp(d, "127.77.4.1");
    });
    dialog.OnNew();
    ASSERT_EQ(dialog.AssignmentList()->rowCount(), 1);

    // Nothing selected: nothing is sent.
    dialog.OnEnableDhcp();
    dialog.AssignmentList()->selectRow(0);

    struct Step {
        const char* button;
        std::uint32_t value;
    };
    for (const Step& step : {Step{"enableButton", 2}, Step{"disableButton", 0}}) {
        SCOPED_TRACE(step.button);
        SeenMessage outcome;
        guitest::CaptureMessage(outcome);
        dialog.findChild<QPushButton*>(step.button)->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.seen; }, 8000));
        EXPECT_EQ(gateway.ConfigurationControl(), step.value);
        EXPECT_FALSE(outcome.text.isEmpty());
        EXPECT_NE(outcome.icon, QMessageBox::Critical) << outcome.text.toStdString();
    }
}
