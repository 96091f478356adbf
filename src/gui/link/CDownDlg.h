#pragma once
// The download window: reads the image back from the hex file, sends it to
// the gateway over its own device link, shows the progress, then the result
// window and the restart question. It is application-modal but runs no event
// loop of its own: the link's timers (connect, answer, the pause after each
// answer) keep the program responsive throughout.
#include <QDialog>
#include <memory>

#include "core/model/Message.h"

class QProgressBar;

namespace varnel {

class CVarnelDoc;
class CTestSocket;
class DownloadSession;

class CDownDlg : public QDialog {
    Q_OBJECT
public:
    // `linkRequestPending` is the flag all device links of the program share.
    CDownDlg(CVarnelDoc& doc, std::int32_t& linkRequestPending, QWidget* parent = nullptr);
    ~CDownDlg() override;

    // Shows the window and starts the download; false (after showing "你选择了
    // 下载空文件") when the hex file cannot be read, in which case
    // downloadFinished(false) follows as well.
    bool Start();
    // Without a person: results and failures go to stdout and stderr instead
    // of windows, and the restart question is answered `restart`.
    void SetUnattended(bool restart);

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
    void OnQuestion(const Message& question);
    void OnFinished(bool ok);

    CVarnelDoc& doc;
    QProgressBar* progress;
    std::unique_ptr<DownloadSession> session;
    CTestSocket* link;
    bool unattended = false;
    bool unattendedRestart = false;
};

}  // namespace varnel
