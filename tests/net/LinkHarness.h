#pragma once
// Runs a link session over real TCP on loopback against an in-process gateway
// server, waiting on signals with a bounded time-out (never a sleep).
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <vector>

#include "core/link/LinkSession.h"
#include "net/CGatewayServer.h"
#include "net/CTestSocket.h"

namespace linktest {

// The one application object of the test program.
inline void EnsureApp()
{
    static int argc = 1;
    static char name[] = "net_tests";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        new QCoreApplication(argc, argv);
}

// Spins the event loop until `done` holds or `timeoutMs` passed; returns done().
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

struct LinkRun {
    std::vector<varnel::Message> shown;
    std::vector<varnel::Message> asked;
    std::vector<int> progress;
    int range = -1;
    bool finished = false;
    bool ok = false;
};

// Runs `session` against `address` on the device port, answering every
// question with `yes`. Gives up after `timeoutMs`.
inline LinkRun RunSession(varnel::LinkSession& session, const QString& address, bool yes,
                          std::int32_t& linkRequestPending, int timeoutMs = 10000,
                          varnel::CTestSocket::LinkMode mode = varnel::CTestSocket::DownloadDialog)
{
    LinkRun run;
    varnel::CTestSocket link(linkRequestPending);
    link.SetOwner(mode, &session, address);
    QObject::connect(&link, &varnel::CTestSocket::messageShown,
                     [&](const varnel::Message& m) { run.shown.push_back(m); });
    QObject::connect(&link, &varnel::CTestSocket::questionAsked, [&](const varnel::Message& m) {
        run.asked.push_back(m);
        link.AnswerQuestion(yes);
    });
    QObject::connect(&link, &varnel::CTestSocket::progressRange, [&](int max) { run.range = max; });
    QObject::connect(&link, &varnel::CTestSocket::progressChanged,
                     [&](int pos) { run.progress.push_back(pos); });
    QObject::connect(&link, &varnel::CTestSocket::finished, [&](bool ok) {
        run.finished = true;
        run.ok = ok;
    });
    link.Start();
    WaitFor([&] { return run.finished; }, timeoutMs);
    return run;
}

}  // namespace linktest
