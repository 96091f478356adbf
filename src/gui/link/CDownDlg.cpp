#include "gui/link/CDownDlg.h"

#include <QCloseEvent>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include "core/link/CompileForDownload.h"
#include "core/link/DownloadSession.h"
#include "core/model/CVarnelDoc.h"
#include "gui/ui/MessageBox.h"
#include "gui/ui/MessageSink.h"
#include "net/CTestSocket.h"

namespace varnel {

CDownDlg::CDownDlg(CVarnelDoc& document, std::int32_t& linkRequestPending, MessageSink& messages,
                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint),
      doc(document),
      progress(new QProgressBar(this)),
      link(new CTestSocket(linkRequestPending, this)),
      messages(messages)
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
    connect(link, &CTestSocket::resultShown, this, &CDownDlg::OnResult);
    connect(link, &CTestSocket::questionAsked, this, &CDownDlg::OnQuestion);
    connect(link, &CTestSocket::finished, this, &CDownDlg::OnFinished);
}

CDownDlg::~CDownDlg() = default;

bool CDownDlg::Running() const
{
    return link->Busy();
}

bool CDownDlg::RestartRequested() const
{
    return session != nullptr && session->RestartRequested();
}

bool CDownDlg::Start(Bytes image)
{
    const Result<std::uint32_t> address = GatewayAddress(doc);
    if (!address) {
        OnMessage(address.message());
        // Reported once the caller has had the chance to connect to it.
        QTimer::singleShot(0, this, [this] { emit downloadFinished(false); });
        return false;
    }
    session = std::make_unique<DownloadSession>(std::move(image));
    link->SetOwner(CTestSocket::LinkMode::Download, session.get(), *address);
    show();
    link->Start();
    return true;
}

void CDownDlg::OnMessage(const Message& message)
{
    // The download window closes before any result or failure is shown.
    hide();
    messages.Show(parentWidget(), message);
}

void CDownDlg::OnResult(const Message& result)
{
    hide();
    const bool failed = session->Finished() && !session->Succeeded();
    messages.ShowResult(parentWidget(), result, !failed);
}

void CDownDlg::OnQuestion(const Message& question)
{
    hide();
    link->AnswerQuestion(messages.Ask(parentWidget(), question));
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
