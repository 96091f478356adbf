#pragma once
// The device link: a TCP client that carries out a LinkSession's actions on
// a real socket and real timers, and turns socket and timer notifications
// into the session's events. One per owning window; everything runs on the
// thread of the event loop, nothing blocks (the pause after each answer is a
// timer too).
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <deque>

#include "core/link/DeviceLink.h"
#include "core/link/LinkSession.h"
#include "net/LinkSocket.h"

namespace varnel {

class CTestSocket : public QObject {
    Q_OBJECT
public:
    // What the link carries; decides the port (44818 for EtherNet/IP, 60000
    // for the device protocol).
    enum class LinkMode { Download = 1, EtherNetIp = 2, DeviceCommand = 3 };

    // `linkRequestPending` is the flag of the links' owner, shared by all its links.
    explicit CTestSocket(std::int32_t& linkRequestPending, QObject* parent = nullptr);
    ~CTestSocket() override;

    // Sets the owner's session and the gateway address (parsed by core's
    // ParseIpv4, never a name to resolve) before Start. `port` 0 takes the
    // mode's port; other values are for tests only.
    void SetOwner(LinkMode mode, LinkSession* session, std::uint32_t address, quint16 port = 0);
    // Starts the session (feeds its Start event).
    void Start();
    // The user's answer to the last question the session asked.
    void AnswerQuestion(bool yes);

    LinkMode linkMode() const { return mode; }
    // True from Start until `finished` was emitted.
    bool Busy() const { return busy; }

signals:
    // A failure to show (ShowResult: the gateway's answer, for a result window).
    void messageShown(const varnel::Message& message);
    void resultShown(const varnel::Message& message);
    void questionAsked(const varnel::Message& question);
    void progressRange(int max);
    void progressChanged(int position);
    // The session is over and the connection closed; `ok` tells the result.
    void finished(bool ok);

private:
    void Feed(const LinkEvent& event);
    // Carries out one batch; false when a send failed and the rest was dropped.
    bool Execute(const LinkActions& actions);
    void OnReceived(const QByteArray& bytes);
    void MaybeFinish();
    QTimer* TimerById(int id);
    DeviceLink::Writer Writer();

    DeviceLink link;
    LinkSession* session = nullptr;
    LinkMode mode = LinkMode::Download;
    std::uint32_t address = 0;
    quint16 port = 0;
    LinkSocket socket;
    QTimer connectTimer;
    QTimer answerTimer;
    QTimer pauseTimer;
    std::deque<LinkEvent> events;
    bool feeding = false;
    bool busy = false;
    bool finishPending = false;
    bool finishOk = false;
};

}  // namespace varnel
