// varnelctl commands that talk to a gateway over the device link: download,
// clear and restart; and decode, which reads a configuration image back.
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/ProjectCommand.h"
#include "core/image/HexFile.h"
#include "core/image/ImageDecoder.h"
#include "core/link/CompileForDownload.h"
#include "core/link/DeviceCommandSession.h"
#include "core/link/DownloadSession.h"
#include "net/CTestSocket.h"

namespace varnel::cli {

namespace {

enum class Answer { Yes, No, AskTerminal };

// Asks a Yes/No question on the terminal; No when there is no terminal.
bool AskOnTerminal(const Message& question)
{
    if (!isatty(STDIN_FILENO))
        return false;
    std::cerr << question.caption << ": " << question.text << " [y/N] " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line))
        return false;
    return !line.empty() && (line[0] == 'y' || line[0] == 'Y');
}

// Draws the progress bar on a terminal; nothing when stderr is not one.
class ProgressBar {
public:
    ProgressBar() : shown(isatty(STDERR_FILENO) != 0) {}
    void Range(int maximum) { max = maximum; }
    void Position(int position)
    {
        if (!shown || max <= 0)
            return;
        constexpr int WIDTH = 40;
        const int filled = position * WIDTH / max;
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.resize(WIDTH, '.');
        std::fprintf(stderr, "\r[%s] %d/%d", bar.c_str(), position, max);
        std::fflush(stderr);
        drawn = true;
    }
    void End()
    {
        if (drawn)
            std::fputs("\n", stderr);
        drawn = false;
    }

private:
    bool shown;
    bool drawn = false;
    int max = 0;
};

// Runs one session on the device link to `address` until it is over.
// Results go to stdout, failures to stderr; returns the exit code.
int RunLink(LinkSession& session, CTestSocket::LinkMode mode, const std::string& address,
            Answer answer)
{
    static int argc = 1;
    static char name[] = "varnelctl";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        new QCoreApplication(argc, argv);

    std::int32_t linkRequestPending = 0;  // the link's request flag
    CTestSocket link(linkRequestPending);
    link.SetOwner(mode, &session, QString::fromStdString(address));
    ProgressBar bar;
    bool done = false;
    bool ok = false;
    QEventLoop loop;
    QObject::connect(&link, &CTestSocket::progressRange, [&](int max) { bar.Range(max); });
    QObject::connect(&link, &CTestSocket::progressChanged, [&](int pos) { bar.Position(pos); });
    QObject::connect(&link, &CTestSocket::messageShown, [&](const Message& message) {
        bar.End();
        // A session that has already failed shows its failure; anything
        // else is a result.
        if (session.Finished() && !session.Succeeded()) {
            PrintMessage(message);
        } else {
            std::cout << message.text << std::endl;
        }
    });
    QObject::connect(&link, &CTestSocket::questionAsked, [&](const Message& question) {
        bar.End();
        bool yes = answer == Answer::Yes;
        if (answer == Answer::AskTerminal)
            yes = AskOnTerminal(question);
        link.AnswerQuestion(yes);
    });
    QObject::connect(&link, &CTestSocket::finished, [&](bool result) {
        done = true;
        ok = result;
        loop.quit();
    });
    link.Start();
    if (!done)
        loop.exec();
    bar.End();
    return ok ? EXIT_OK : EXIT_REFUSED;
}

// The address of the option file, as a new document takes it.
std::string OptionFileAddress()
{
    return NewDocument().deviceIp;
}

Answer RestartAnswer(Args& args)
{
    const bool restart = args.Flag("restart");
    const bool noRestart = args.Flag("no-restart");
    if (restart && noRestart)
        throw UsageError{"--restart and --no-restart exclude each other"};
    return restart ? Answer::Yes : noRestart ? Answer::No : Answer::AskTerminal;
}

int CmdDownload(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string hexFile = args.Option("hex");
    const bool hasIp = args.HasOption("ip");
    std::string address = args.Option("ip");
    const Answer answer = RestartAnswer(args);
    Bytes image;
    if (!hexFile.empty()) {
        args.Done();
        if (auto refusal = DownloadSession::ReadImage(hexFile, image))
            return Refuse(*refusal);
        if (!hasIp)
            address = OptionFileAddress();
    } else {
        const std::string project = args.Positional("PROJECT");
        args.Done();
        CVarnelDoc doc;
        if (!OpenProject(project, doc))
            return EXIT_REFUSED;
        if (auto refusal = CompileForDownload(doc, image))
            return Refuse(*refusal);
        if (!hasIp)
            address = doc.deviceIp;
    }
    DownloadSession session(std::move(image));
    return RunLink(session, CTestSocket::DownloadDialog, address, answer);
}

int RunDeviceCommand(const std::vector<std::string>& argv, std::int32_t command)
{
    Args args(argv);
    const bool hasIp = args.HasOption("ip");
    std::string address = args.Option("ip");
    const bool yes = args.Flag("yes");
    args.Done();
    if (!hasIp)
        address = OptionFileAddress();
    DeviceCommandSession session(command);
    const int code =
        RunLink(session, CTestSocket::MainFrame, address, yes ? Answer::Yes : Answer::AskTerminal);
    if (session.Declined())
        std::cerr << "varnelctl: not confirmed; nothing was sent (answer y, or pass --yes)\n";
    return code;
}

int CmdClear(const std::vector<std::string>& argv)
{
    return RunDeviceCommand(argv, DeviceCommandSession::CLEAR);
}

int CmdRestart(const std::vector<std::string>& argv)
{
    return RunDeviceCommand(argv, DeviceCommandSession::RESTART);
}

int CmdDecode(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string path = args.Positional("HEXFILE");
    args.Done();
    Bytes image;
    if (!ReadHexFile(path, image))
        return Refuse("无法打开文件 " + path);
    const DecodedImage decoded = DecodeImage(image);
    std::cout << DescribeImage(decoded);
    std::cout.flush();
    if (decoded.Valid())
        return EXIT_OK;
    for (const auto& problem : decoded.problems)
        std::cerr << problem << "\n";
    return EXIT_REFUSED;
}

CliCommand cmdDownload{"download",
                       "download PROJECT|--hex HEXFILE [--ip ADDRESS] [--restart|--no-restart]",
                       &CmdDownload};
CliCommand cmdClear{"clear", "clear [--ip ADDRESS] [--yes]", &CmdClear};
CliCommand cmdRestart{"restart", "restart [--ip ADDRESS] [--yes]", &CmdRestart};
CliCommand cmdDecode{"decode", "decode HEXFILE", &CmdDecode};

}  // namespace

}  // namespace varnel::cli
