// The IP assignment window against its server on loopback: requests listed
// as they arrive, an offer armed for the selected MAC only, the assignment
// dialog's refusal shown over it, a server port that cannot be bound, and the
// colours of its list control. The checks themselves and the DHCP switch are
// tested in core.
#include <QNetworkDatagram>
#include <QUdpSocket>

#include "GuiTestSupport.h"
#include "gui/ipassign/CDHCPDlg.h"
#include "gui/ipassign/CNewIpDlg.h"
#include "gui/ui/CListCtrlCl.h"
#include "net/CDhcpServer.h"

using namespace varnel;
using guitest::FrameTest;
using guitest::OnModal;

namespace {

const QHostAddress LOOPBACK(QHostAddress::LocalHost);

// A DHCPDISCOVER from `mac` (six bytes): BOOTREQUEST over Ethernet, the MAC
// at offset 28, the magic cookie at 236, then option 53 = 1.
QByteArray Discover(const QByteArray& mac)
{
    return QByteArray::fromHex("0101060012") + QByteArray(23, '\0') + mac + QByteArray(202, '\0') +
           QByteArray::fromHex("63825363350101ff");
}

const QByteArray MAC_A = QByteArray::fromHex("001a2b3c4d5e");
const QByteArray MAC_B = QByteArray::fromHex("001a2b3c4d6f");

// "cell|cell|..." of each row of `list`, from column `first` on.
QStringList Rows(const CListCtrlCl* list, int first = 0)
{
    QStringList rows;
    for (int r = 0; r < list->rowCount(); ++r) {
        QStringList cells;
        for (int c = first; c < list->columnCount(); ++c)
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

// Selects request `row`, associates it with `ip` through "添加关联" and
// returns the MAC the assignment dialog came up with.
QString Associate(CDHCPDlg& dialog, int row, const QString& ip)
{
    dialog.RequestList()->selectRow(row);
    QString mac;
    OnModal<CNewIpDlg>([&mac, ip](CNewIpDlg* d) {
        mac = d->MacEdit()->text();
        FillNewIp(d, ip, "gw7");
    });
    dialog.findChild<QPushButton*>("associateButton")->click();
    return mac;
}

// A main window and a gateway's side of the DHCP exchange: the socket sends
// requests to the window's server and receives its replies.
class IpAssignTest : public FrameTest {
protected:
    void SetUp() override
    {
        FrameTest::SetUp();
        ASSERT_TRUE(socket.bind(LOOPBACK, 0));
    }
    CDHCPDlg::Endpoints Endpoints() const
    {
        CDHCPDlg::Endpoints e;
        e.listen = LOOPBACK;
        e.serverPort = 0;  // any free port; the test asks the server which
        e.clientPort = socket.localPort();
        e.relayPort = socket.localPort();
        return e;
    }
    // An IP assignment window, shown (its server started).
    CDHCPDlg& Open()
    {
        dialog = std::make_unique<CDHCPDlg>(Endpoints());
        dialog->show();
        return *dialog;
    }
    void Send(const QByteArray& datagram)
    {
        socket.writeDatagram(datagram, LOOPBACK, dialog->Server().Port());
    }
    // The next reply of the server, empty when none comes within 5 s.
    QByteArray Reply()
    {
        if (!QTest::qWaitFor([this] { return socket.hasPendingDatagrams(); }, 5000)) return {};
        return socket.receiveDatagram().data();
    }

    QUdpSocket socket;
    std::unique_ptr<CDHCPDlg> dialog;
};

}  // namespace

TEST(ListCtrlCl, ColoursAndRowHeight)
{
    guitest::App();
    // Colours: the first entry for a cell wins; a selected cell is highlighted.
    CListCtrlCl list;
    list.InsertColumn(0, "a", 50);
    list.InsertColumn(1, "b", 50);
    for (int row = 0; row < 3; ++row) list.AppendRow({"x", "y"});
    list.SetColumnBackground(1, Qt::yellow);
    list.SetCellBackground(2, 1, Qt::red);
    list.SetCellBackground(2, 1, Qt::blue);  // a later entry for the same cell loses
    list.SetCellTextColor(0, 0, Qt::green);
    EXPECT_EQ(list.CellBackground(2, 1, false), QColor(Qt::red));
    EXPECT_EQ(list.CellBackground(0, 1, false), QColor(Qt::yellow));
    EXPECT_EQ(list.CellBackground(2, 0, false), list.palette().color(QPalette::Base));
    EXPECT_EQ(list.CellBackground(2, 1, true), list.palette().color(QPalette::Highlight));
    EXPECT_EQ(list.CellTextColor(0, 0), QColor(Qt::green));
    EXPECT_EQ(list.CellTextColor(1, 0), QColor(Qt::black));

    // Row height 0 leaves the rows at the style's own height; 15 makes them 15.
    list.SetRowHeight(0);
    list.AppendRow({"z"});
    EXPECT_NE(list.rowHeight(3), 15);
    CListCtrlCl tall;
    tall.SetRowHeight(15);
    tall.InsertColumn(0, "a", 50);
    tall.AppendRow({"x"});
    EXPECT_EQ(tall.rowHeight(0), 15);
}

TEST_F(IpAssignTest, RequestsAreListedAndAnOfferGoesOnlyToTheSelectedMac)
{
    CDHCPDlg& dialog = Open();
    ASSERT_TRUE(dialog.Server().IsRunning());
    CListCtrlCl* requests = dialog.RequestList();

    Send(Discover(MAC_A));
    Send(Discover(MAC_B));
    ASSERT_TRUE(QTest::qWaitFor([&] { return requests->rowCount() == 2; }, 5000));
    EXPECT_EQ(Rows(requests, 1),
              QStringList({"DHCP|00:1a:2b:3c:4d:5e||", "DHCP|00:1a:2b:3c:4d:6f||"}));
    EXPECT_EQ(requests->item(0, 0)->text().size(), 8);  // HH:MM:SS
    // Nothing is offered before an association is made.
    EXPECT_FALSE(socket.hasPendingDatagrams());

    // "添加关联" with nothing selected does nothing.
    EXPECT_FALSE(
        guitest::Shows(guitest::ActiveModal<CNewIpDlg>, [&dialog] { dialog.OnAddAssociation(); }));
    EXPECT_TRUE(dialog.Assignments().empty());

    EXPECT_EQ(Associate(dialog, 1, "10.0.0.7"), "00:1a:2b:3c:4d:6f");
    EXPECT_EQ(Rows(dialog.AssignmentList()),
              QStringList({"00:1a:2b:3c:4d:6f|DHCP|10.0.0.7|gw7|line 2"}));

    // The next DISCOVERs: A's gets nothing, B's gets the OFFER. Datagrams on
    // loopback keep their order, so the first reply tells.
    Send(Discover(MAC_A));
    Send(Discover(MAC_B));
    const QByteArray offer = Reply();
    ASSERT_GT(offer.size(), 243);
    EXPECT_EQ(offer.mid(28, 6) + offer.mid(16, 4), MAC_B + QByteArray::fromHex("0a000007"));
    EXPECT_EQ(offer.mid(240, 3), QByteArray::fromHex("350102"));
    EXPECT_FALSE(socket.hasPendingDatagrams());

    // "清除" empties the list; the next DISCOVER of a MAC is listed again.
    // The rows then no longer line up with the requests seen so far; the
    // association still takes the MAC of the row selected.
    dialog.findChild<QPushButton*>("clearButton")->click();
    EXPECT_EQ(requests->rowCount(), 0);
    Send(Discover(MAC_A));
    ASSERT_TRUE(QTest::qWaitFor([&] { return requests->rowCount() == 1; }, 5000));
    EXPECT_EQ(Associate(dialog, 0, "10.0.0.5"), "00:1a:2b:3c:4d:5e");
    Send(Discover(MAC_A));
    const QByteArray second = Reply();
    ASSERT_GT(second.size(), 243);
    EXPECT_EQ(second.mid(28, 6) + second.mid(16, 4), MAC_A + QByteArray::fromHex("0a000005"));
}

TEST_F(IpAssignTest, ServerStopsWhenTheWindowClosesAndRefusesAPortInUse)
{
    // A socket bound without address sharing keeps its port to itself.
    QUdpSocket blocker;
    ASSERT_TRUE(blocker.bind(LOOPBACK, 0, QAbstractSocket::DontShareAddress));
    CDHCPDlg::Endpoints busy = Endpoints();
    busy.serverPort = blocker.localPort();
    frame->SetDhcpEndpoints(busy);
    QStringList log;
    guitest::CaptureMessage(log, QMessageBox::Ok, 4000, [&] {
        auto* d = frame->findChild<CDHCPDlg*>();
        ASSERT_NE(d, nullptr);
        log << (d->Server().IsRunning() ? "running" : "stopped");
        QTimer::singleShot(0, d, &QWidget::close);
    });
    frame->Action(ID_NETWORK_PARAMS)->trigger();
    blocker.close();
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

TEST_F(IpAssignTest, NewAssignmentRefusedOrStoredAndDeleteRemovesIt)
{
    CDHCPDlg& dialog = Open();
    const QString mac = "MAC格式错误 应该为XX:XX:XX:XX:XX:XX\nX不能为全0或全F|错误|critical";
    const struct {
        const char* mac;
        const char* ip;
        QStringList log;  // the refusal and "open", or nothing when stored
    } rows[] = {
        {"00-1A-2B-3C-4D-5E", "10.0.0.5", {mac, "open"}},
        {"00:1A:2b:3c:4d:5e", "223.255.255.255", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mac + std::string(" ") + row.ip);
        QStringList log;
        OnModal<CNewIpDlg>([&](CNewIpDlg* d) {
            d->MacEdit()->setText(row.mac);
            if (!row.log.isEmpty()) guitest::CaptureMessage(log);
            FillNewIp(d, row.ip);
            if (d->isVisible()) {
                log << "open";
                d->reject();
            }
        });
        dialog.findChild<QPushButton*>("newButton")->click();
        EXPECT_EQ(log, row.log);
        EXPECT_EQ(dialog.Assignments().size(), row.log.isEmpty() ? 1u : 0u);
    }
    // The MAC as typed.
    EXPECT_EQ(Rows(dialog.AssignmentList()),
              QStringList({"00:1A:2b:3c:4d:5e|DHCP|223.255.255.255|gw|line 2"}));
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
