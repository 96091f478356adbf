#pragma once
// The download window: sends the compiled image to the gateway over its own
// device link, shows the progress, then the result
// window and the restart question. It is application-modal but runs no event
// loop of its own: the link's timers (connect, answer, the pause after each
// answer) keep the program responsive throughout.
#include <QDialog>
#include <memory>

#include "core/model/CModule.h"
#include "core/model/Message.h"

class QProgressBar;

namespace varnel {

class CVarnelDoc;
class CTestSocket;
class MessageSink;
class DownloadSession;

class CDownDlg : public QDialog {
    Q_OBJECT
public:
    // `linkRequestPending` is the flag all device links of the program share;
    // results, failures and the restart question go to `messages`.
    CDownDlg(CVarnelDoc& doc, std::int32_t& linkRequestPending, MessageSink& messages,
             QWidget* parent = nullptr);
    ~CDownDlg() override;

    // Shows the window and starts the download of `image` to the document's
    // gateway; false (after showing why) when the document's address is not
    // one, in which case downloadFinished(false) follows as well. An image
    // the gateway would refuse is shown and ends the download unsent.
    bool Start(Bytes image);

    QProgressBar* ProgressBar() const { return progress; }
    bool Running() const;
    bool RestartRequested() const;

signals:
    // The session is over and its connection closed.
    void downloadFinished(bool ok);

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnMessage(const Message& message);
    void OnResult(const Message& result);
    void OnQuestion(const Message& question);
    void OnFinished(bool ok);

    CVarnelDoc& doc;
    QProgressBar* progress;
    std::unique_ptr<DownloadSession> session;
    CTestSocket* link;
    MessageSink& messages;
};

}  // namespace varnel
