#pragma once
// Helpers shared by the network tests: the application object, varnelctl run
// as a user runs it, ports that are free or taken.
#include <gtest/gtest.h>
#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <cstdint>
#include <vector>

namespace nettest {

const QString VARNELCTL = QStringLiteral(VARNEL_BIN_DIR "/varnelctl");

// The one application object of the test program.
inline void EnsureApp()
{
    static int argc = 1;
    static char name[] = "net_tests";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
}

inline QByteArray ToQ(const std::vector<std::uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs varnelctl while this process's event loop keeps serving.
inline CliResult Varnelctl(const QStringList& args)
{
    EnsureApp();
    QProcess process;
    process.start(VARNELCTL, args);
    EXPECT_TRUE(process.waitForStarted());
    EXPECT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// A loopback TCP port that was free a moment ago: connections to it are refused.
inline quint16 FreeTcpPort()
{
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress(QHostAddress::LocalHost), 0));
    return probe.serverPort();
}

}  // namespace nettest
