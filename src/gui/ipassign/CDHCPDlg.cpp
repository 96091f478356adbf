#include "gui/ipassign/CDHCPDlg.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHostInfo>
#include <QLabel>
#include <QPushButton>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include "core/ipassign/AddressCheck.h"
#include "core/ipassign/AssignmentCsv.h"
#include "gui/app/Language.h"
#include "gui/ipassign/CNewIpDlg.h"
#include "gui/ui/CListCtrlCl.h"
#include "gui/ui/MessageBox.h"
#include "net/CDhcpServer.h"
#include "net/CEipClient.h"
#include "net/DhcpWatch.h"

namespace varnel {

namespace {
constexpr int ROW_HEIGHT = 15;
constexpr int FONT_HEIGHT = 13;

// Column of the MAC text in the request list.
constexpr int REQUEST_MAC_COLUMN = 2;

CListCtrlCl* MakeList(QWidget* parent, const char* name,
                      std::initializer_list<std::pair<const char*, int>> columns)
{
    auto* list = new CListCtrlCl(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->SetRowHeight(ROW_HEIGHT);
    list->SetFontHW(FONT_HEIGHT, 0);
    int column = 0;
    for (const auto& [header, width] : columns)
        list->InsertColumn(column++, QCoreApplication::translate("varnel", header), width);
    return list;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}
}  // namespace

CDHCPDlg::CDHCPDlg(QWidget* parent) : CDHCPDlg(Endpoints{}, parent) {}

CDHCPDlg::CDHCPDlg(const Endpoints& where, QWidget* parent)
    : QDialog(parent), endpoints(where), server(new CDhcpServer(this)), eip(new CEipClient(this))
{
    setObjectName("CDHCPDlg");
    setWindowTitle(QCoreApplication::translate("varnel", "IP分配"));
    Build();
    server->SetHostName(QHostInfo::localHostName().toStdString());
    server->SetReplyPorts(endpoints.clientPort, endpoints.relayPort);
    connect(server, &CDhcpServer::requestSeen, this, &CDHCPDlg::OnRequestSeen);
    // Shown once the exchange's step has returned, never from inside it.
    connect(
        eip, &CEipClient::message, this,
        [this](const Message& message) { ShowMessage(this, message); }, Qt::QueuedConnection);
}

CDHCPDlg::~CDHCPDlg()
{
    StopServer();
}

void CDHCPDlg::Build()
{
    const std::pair<const char*, int> time{QT_TRANSLATE_NOOP("varnel", "时间"), 100},
        protocol{QT_TRANSLATE_NOOP("varnel", "协议类型"), 70},
        mac{QT_TRANSLATE_NOOP("varnel", "MAC地址"), 150},
        ip{QT_TRANSLATE_NOOP("varnel", "IP地址"), 150},
        name{QT_TRANSLATE_NOOP("varnel", "设备名称"), 150},
        description{QT_TRANSLATE_NOOP("varnel", "描述"), 150};
    requestList = MakeList(this, "requestList", {time, protocol, mac, ip, name});
    assignmentList = MakeList(this, "assignmentList", {mac, protocol, ip, name, description});

    auto* clear = MakeButton(this, "clearButton", QCoreApplication::translate("varnel", "清除"));
    auto* associate =
        MakeButton(this, "associateButton", QCoreApplication::translate("varnel", "添加关联"));
    auto* add = MakeButton(this, "newButton", QCoreApplication::translate("varnel", "新建"));
    auto* remove = MakeButton(this, "deleteButton", QCoreApplication::translate("varnel", "删除"));
    auto* enable =
        MakeButton(this, "enableButton", QCoreApplication::translate("varnel", "使能DHCP"));
    auto* disable =
        MakeButton(this, "disableButton", QCoreApplication::translate("varnel", "禁止DHCP"));
    auto* openList =
        MakeButton(this, "openListButton", QCoreApplication::translate("varnel", "打开列表"));
    auto* saveList =
        MakeButton(this, "saveListButton", QCoreApplication::translate("varnel", "保存列表"));
    connect(openList, &QPushButton::clicked, this, &CDHCPDlg::OnOpenList);
    connect(saveList, &QPushButton::clicked, this, &CDHCPDlg::OnSaveList);
    connect(clear, &QPushButton::clicked, this, &CDHCPDlg::OnClear);
    connect(associate, &QPushButton::clicked, this, &CDHCPDlg::OnAddAssociation);
    connect(add, &QPushButton::clicked, this, &CDHCPDlg::OnNew);
    connect(remove, &QPushButton::clicked, this, &CDHCPDlg::OnDelete);
    connect(enable, &QPushButton::clicked, this, &CDHCPDlg::OnEnableDhcp);
    connect(disable, &QPushButton::clicked, this, &CDHCPDlg::OnDisableDhcp);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(clear);
    top->addWidget(associate);
    top->addStretch(1);
    layout->addLayout(top);
    layout->addWidget(requestList, 1);
    droppedLabel = new QLabel(this);
    droppedLabel->setObjectName("droppedLabel");
    droppedLabel->hide();
    layout->addWidget(droppedLabel);
    auto* bottom = new QHBoxLayout;
    for (QPushButton* b : {add, remove, enable, disable, openList, saveList}) bottom->addWidget(b);
    bottom->addStretch(1);
    layout->addLayout(bottom);
    layout->addWidget(assignmentList, 1);
    foreignLine = new QLabel(this);
    foreignLine->setObjectName("foreignServerLine");
    foreignLine->setStyleSheet(QStringLiteral("color: red;"));
    addressLine = new QLabel(this);
    addressLine->setObjectName("addressLine");
    addressLine->setStyleSheet(QStringLiteral("color: red;"));
    auto* status = new QHBoxLayout;
    status->addWidget(foreignLine, 1);
    status->addWidget(addressLine, 1);
    layout->addLayout(status);
    // Cleared once five minutes pass without a word from any foreign server.
    silenceTimer = new QTimer(this);
    silenceTimer->setInterval(10 * 1000);
    connect(silenceTimer, &QTimer::timeout, this, [this] {
        if (watch == nullptr || !watch->WarningStands()) {
            foreignLine->clear();
            silenceTimer->stop();
        }
    });
    // No OK or Cancel: the window is closed with its close box.
    resize(700, 480);
}

void CDHCPDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!serverTried) {
        serverTried = true;
        StartServer();
    }
}

void CDHCPDlg::StartServer()
{
    if (const Status started = server->Start(endpoints.listen, endpoints.serverPort); !started) {
        // Over the window, once it is on screen.
        const Message message = started.message();
        QTimer::singleShot(0, this, [this, message] { ShowMessage(this, message); });
        return;
    }
    // Addresses already in use: checked before each OFFER and for each
    // assignment entered while the window is open.
    AddressProbe& probe = server->AddressCheck();
    connect(&probe, &AddressProbe::checkOff, addressLine,
            [this](const QString& line) { addressLine->setText(Shown(line.toStdString())); });
    connect(&probe, &AddressProbe::checked, this, &CDHCPDlg::ShowAddressChecked);
    if (probe.Open())
        for (const DhcpAssignment& assignment : assignments) CheckAddress(assignment);
    // Other DHCP servers: probed beside serving.
    watch = new DhcpWatch(this);
    connect(watch, &DhcpWatch::foreignServer, this, &CDHCPDlg::ShowForeignServer);
    connect(watch, &DhcpWatch::watchOff, foreignLine,
            [this](const QString& reason) { foreignLine->setText(Shown(reason.toStdString())); });
    connect(watch, &DhcpWatch::probeSent, server, &CDhcpServer::IgnoreProbe);
    watch->Monitor(endpoints.listen);
}

void CDHCPDlg::ShowForeignServer(const QString& warning)
{
    foreignLine->setText(Shown(warning.toStdString()));
    silenceTimer->start();
}

void CDHCPDlg::CheckAddress(const DhcpAssignment& assignment)
{
    // A server on loopback serves no link: nothing to check there.
    if (endpoints.listen.isLoopback()) return;
    server->AddressCheck().Check(assignment.address, 0,
                                 ParseMac(assignment.macText).value_or(MacAddress{}));
}

void CDHCPDlg::ShowAddressChecked(std::uint32_t address, const QString& holder)
{
    if (!holder.isEmpty()) {
        shownAddress = address;
        addressLine->setText(Shown(AddressInUseText(address, holder.toStdString())));
    } else if (address == shownAddress) {
        shownAddress = 0;
        addressLine->clear();
    }
}

void CDHCPDlg::StopServer()
{
    delete watch;
    watch = nullptr;
    if (server->IsRunning()) server->Stop();
}

void CDHCPDlg::done(int result)
{
    // The server stops the moment the window closes.
    StopServer();
    QDialog::done(result);
}

void CDHCPDlg::OnRequestSeen(const DhcpOutcome& outcome)
{
    if (!outcome.listed) return;
    requestList->AppendRow({QTime::currentTime().toString(QStringLiteral("HH:mm:ss")),
                            QStringLiteral("DHCP"),
                            QString::fromStdString(outcome.record.macText)});
    // A flood keeps the last rows only, and says how many went.
    if (requestList->rowCount() > static_cast<int>(DhcpRequestTable::ROWS)) {
        requestList->removeRow(0);
        ++droppedRows;
        droppedLabel->setText(
            QCoreApplication::translate("varnel", "已丢弃最早的 %1 行").arg(droppedRows));
        droppedLabel->show();
    }
}

void CDHCPDlg::OnClear()
{
    requestList->setRowCount(0);
    droppedRows = 0;
    droppedLabel->hide();
    server->ClearListing();
}

void CDHCPDlg::OnAddAssociation()
{
    const int row = requestList->FirstSelectedRow();
    if (row < 0) return;
    const QString mac = requestList->item(row, REQUEST_MAC_COLUMN)->text();
    CNewIpDlg dialog(mac, this);
    if (dialog.exec() != QDialog::Accepted) return;
    AddAssignment(dialog, true);
}

void CDHCPDlg::OnNew()
{
    CNewIpDlg dialog(QString(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    AddAssignment(dialog, false);
}

void CDHCPDlg::AddAssignment(const CNewIpDlg& dialog, bool armOffer)
{
    currentAssignment = dialog.Entry();
    AppendAssignment(dialog.Entry(), armOffer);
    server->SetAssignments(assignments);
}

void CDHCPDlg::AppendAssignment(const NewIpEntry& entry, bool armOffer)
{
    // The entry has passed the checks (the dialog's or the file reader's).
    assignments.push_back(*BuildAssignment(entry, armOffer));
    CheckAddress(assignments.back());
    assignmentList->AppendRow({QString::fromStdString(entry.macText), QStringLiteral("DHCP"),
                               QString::fromStdString(entry.ipText),
                               QString::fromStdString(entry.deviceName),
                               QString::fromStdString(entry.description)});
}

void CDHCPDlg::OnDelete()
{
    const int row = assignmentList->FirstSelectedRow();
    if (row < 0) return;
    assignmentList->removeRow(row);
    assignments.erase(assignments.begin() + row);
    server->SetAssignments(assignments);
}

void CDHCPDlg::OnEnableDhcp()
{
    SwitchDhcp(true);
}

void CDHCPDlg::OnDisableDhcp()
{
    SwitchDhcp(false);
}

void CDHCPDlg::SwitchDhcp(bool enable)
{
    const int row = assignmentList->FirstSelectedRow();
    if (row < 0) return;
    eip->Start(QHostAddress(assignments[static_cast<std::size_t>(row)].address), enable,
               endpoints.eipPort);
}

void CDHCPDlg::SetDataFolder(const std::string& folder)
{
    dataFolder = folder;
    const std::string last = LastAssignmentFile(folder);
    if (last.empty()) return;
    // Shown over the window once it is on screen, should the file be gone.
    const auto rows = LoadAssignmentFile(last);
    if (!rows) {
        const Message message = rows.message();
        QTimer::singleShot(0, this, [this, message] { ShowMessage(this, message); });
        return;
    }
    ShowList(*rows);
}

void CDHCPDlg::ShowList(const std::vector<NewIpEntry>& rows)
{
    assignments.clear();
    assignmentList->setRowCount(0);
    for (const NewIpEntry& row : rows) AppendAssignment(row, true);
    server->SetAssignments(assignments);
}

void CDHCPDlg::OnOpenList()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QCoreApplication::translate("varnel", "打开列表"),
                                     QString(), QStringLiteral("CSV (*.csv);;* (*)"));
    if (!path.isEmpty()) OpenList(path);
}

void CDHCPDlg::OnSaveList()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QCoreApplication::translate("varnel", "保存列表"),
                                     QString(), QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty()) SaveList(path);
}

bool CDHCPDlg::OpenList(const QString& path)
{
    const auto rows = LoadAssignmentFile(path.toStdString());
    if (!rows) {
        ShowMessage(this, rows.message());
        return false;
    }
    ShowList(*rows);
    if (!dataFolder.empty()) (void)RememberAssignmentFile(dataFolder, path.toStdString());
    return true;
}

bool CDHCPDlg::SaveList(const QString& path)
{
    std::vector<NewIpEntry> rows;
    for (int r = 0; r < assignmentList->rowCount(); ++r)
        rows.push_back({assignmentList->item(r, 0)->text().toStdString(),
                        assignmentList->item(r, 2)->text().toStdString(),
                        assignmentList->item(r, 3)->text().toStdString(),
                        {}});
    if (const Status saved = SaveAssignmentFile(path.toStdString(), rows); !saved) {
        ShowMessage(this, saved.message());
        return false;
    }
    if (!dataFolder.empty()) (void)RememberAssignmentFile(dataFolder, path.toStdString());
    return true;
}

}  // namespace varnel
