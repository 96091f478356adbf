#pragma once
// The IP assignment window "IP分配": lists the DHCP requests the BOOTP/DHCP
// server sees while the window is open, keeps the MAC-to-IP assignments the
// server answers from, arms an offer for a listed gateway ("添加关联"), and
// switches a gateway's DHCP client on or off over EtherNet/IP. The server
// runs on the event loop from the window's opening until its closing; no
// command blocks the window.
#include <QDialog>
#include <QHostAddress>
#include <vector>

#include "core/ipassign/DhcpServerContext.h"
#include "core/ipassign/HandleDatagram.h"
#include "core/ipassign/NewIpChecks.h"

class QLabel;
class QPushButton;
class QTimer;

namespace varnel {

class CListCtrlCl;
class CDhcpServer;
class DhcpWatch;
class CEipClient;
class CNewIpDlg;

class CDHCPDlg : public QDialog {
    Q_OBJECT
public:
    // Where the server listens and replies, and the EtherNet/IP port; other
    // values than the defaults are for tests on loopback.
    struct Endpoints {
        QHostAddress listen = QHostAddress(QHostAddress::AnyIPv4);
        quint16 serverPort = 67;
        quint16 clientPort = 68;
        quint16 relayPort = 67;
        quint16 eipPort = 44818;
    };

    explicit CDHCPDlg(const Endpoints& endpoints, QWidget* parent = nullptr);
    explicit CDHCPDlg(QWidget* parent = nullptr);
    ~CDHCPDlg() override;

    // "清除": empties the request list; every MAC's next DISCOVER is listed again.
    void OnClear();
    // "添加关联": asks for the assignment of the selected request's MAC and
    // arms the offer of its address to that MAC only.
    void OnAddAssociation();
    // "新建": an assignment entered by hand; its REQUESTs are acknowledged.
    void OnNew();
    // "删除": removes the selected assignment.
    void OnDelete();
    // "使能DHCP" / "禁止DHCP" on the selected assignment's address.
    void OnEnableDhcp();
    void OnDisableDhcp();
    // "打开列表" / "保存列表": the assignment list as a CSV file (a file dialog
    // asks for the path); OpenList and SaveList take the path. An opened
    // list replaces the assignments and its MACs are offered their address;
    // a bad row refuses the whole file over the window.
    void OnOpenList();
    void OnSaveList();
    bool OpenList(const QString& path);
    bool SaveList(const QString& path);
    // The data folder: the last list used is kept there beside the option
    // file, and opened again now.
    void SetDataFolder(const std::string& folder);

    CListCtrlCl* RequestList() const { return requestList; }
    CListCtrlCl* AssignmentList() const { return assignmentList; }
    CDhcpServer& Server() const { return *server; }
    // The red line under the lists naming another DHCP server (empty when
    // none was heard for five minutes).
    QLabel* ForeignServerLine() const { return foreignLine; }
    // The red line beside it naming an address another device holds
    // ("地址 A 已被 MAC 使用"), or saying that the check is off.
    QLabel* AddressLine() const { return addressLine; }
    // A foreign server's warning, as the watch reports it.
    void ShowForeignServer(const QString& warning);
    // The last assignment entered.
    const NewIpEntry& CurrentAssignment() const { return currentAssignment; }
    // The assignments the server answers from, in list order.
    const std::vector<DhcpAssignment>& Assignments() const { return assignments; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void Build();
    void StartServer();
    void StopServer();
    void OnRequestSeen(const DhcpOutcome& outcome);
    void AddAssignment(const CNewIpDlg& dialog, bool armOffer);
    void SwitchDhcp(bool enable);
    void AppendAssignment(const NewIpEntry& entry, bool armOffer);
    void CheckAddress(const DhcpAssignment& assignment);
    void ShowAddressChecked(std::uint32_t address, const QString& holder);
    void ShowList(const std::vector<NewIpEntry>& rows);

    Endpoints endpoints;
    CListCtrlCl* requestList = nullptr;
    CListCtrlCl* assignmentList = nullptr;
    QLabel* droppedLabel = nullptr;
    QLabel* foreignLine = nullptr;
    QLabel* addressLine = nullptr;
    std::uint32_t shownAddress = 0;  // the address addressLine names
    QTimer* silenceTimer = nullptr;
    DhcpWatch* watch = nullptr;
    int droppedRows = 0;
    CDhcpServer* server;
    CEipClient* eip;
    std::vector<DhcpAssignment> assignments;
    NewIpEntry currentAssignment;
    bool serverTried = false;
    std::string dataFolder;
};

}  // namespace varnel
