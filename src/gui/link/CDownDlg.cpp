#include "gui/link/CDownDlg.h"

#include <QCloseEvent>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <iostream>

#include "core/link/DownloadSession.h"
#include "core/link/LinkMessages.h"
#include "core/model/CVarnelDoc.h"
#include "gui/link/COverDlg.h"
#include "gui/ui/MessageBox.h"
#include "net/CTestSocket.h"

namespace varnel {

CDownDlg::CDownDlg(CVarnelDoc& document, std::int32_t& linkRequestPending, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint),
      doc(document),
      progress(new QProgressBar(this)),
      link(new CTestSocket(linkRequestPending, this))
{
    setObjectName("CDownDlg");
    setWindowModality(Qt::ApplicationModal);
    progress->setObjectName("progress1004");
    progress->setRange(0, 2);
    progress->setValue(0);
    progress->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(progress);
    setMinimumWidth(320);

    connect(link, &CTestSocket::progressRange, progress,
            [this](int max) { progress->setRange(0, max); });
    connect(link, &CTestSocket::progressChanged, progress, &QProgressBar::setValue);
    connect(link, &CTestSocket::messageShown, this, &CDownDlg::OnMessage);
    connect(link, &CTestSocket::questionAsked, this, &CDownDlg::OnQuestion);
    connect(link, &CTestSocket::finished, this, &CDownDlg::OnFinished);
}

CDownDlg::~CDownDlg() = default;

void CDownDlg::SetUnattended(bool restart)
{
    unattended = true;
    unattendedRestart = restart;
}

bool CDownDlg::Running() const
{
    return link->Busy();
}

bool CDownDlg::RestartRequested() const
{
    return session != nullptr && session->RestartRequested();
}

bool CDownDlg::Start()
{
    Bytes image;
    if (const LegacyRefusal refusal = DownloadSession::ReadImage(doc.HexFilePath(), image)) {
        OnMessage(*refusal);
        // Reported once the caller has had the chance to connect to it.
        QTimer::singleShot(0, this, [this] { emit downloadFinished(false); });
        return false;
    }
    session = std::make_unique<DownloadSession>(std::move(image));
    link->SetOwner(CTestSocket::DownloadDialog, session.get(), ToQ(doc.deviceIp));
    show();
    link->Start();
    return true;
}

void CDownDlg::OnMessage(const Message& message)
{
    // The download window closes before any result or failure is shown.
    hide();
    const bool result = message == DownloadDoneMessage() || message == DownloadFailedMessage();
    if (unattended) {
        (result && message == DownloadDoneMessage() ? std::cout : std::cerr)
            << message.text << std::endl;
        return;
    }
    if (result) {
        COverDlg over(parentWidget());
        over.SetText(ToQ(message.text));
        over.exec();
        return;
    }
    ShowMessage(parentWidget(), message);
}

void CDownDlg::OnQuestion(const Message& question)
{
    hide();
    const bool yes = unattended ? unattendedRestart : AskYesNo(parentWidget(), question);
    link->AnswerQuestion(yes);
}

void CDownDlg::OnFinished(bool ok)
{
    hide();
    emit downloadFinished(ok);
}

void CDownDlg::reject()
{
    // Escape does not hide a download under way; it ends by itself.
    if (!Running()) QDialog::reject();
}

void CDownDlg::closeEvent(QCloseEvent* event)
{
    if (Running())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

}  // namespace varnel
