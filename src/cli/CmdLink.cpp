// varnelctl commands that talk to a gateway over the device link: download,
// clear and restart; and decode, which reads a configuration image back.
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/ProjectCommand.h"
#include "core/image/HexFile.h"
#include "core/image/ImageDecoder.h"
#include "core/link/CompileForDownload.h"
#include "core/link/DeviceCommandSession.h"
#include "core/link/DownloadSession.h"
#include "core/model/AtomicFile.h"
#include "core/util/Ipv4.h"
#include "net/CTestSocket.h"

namespace varnel::cli {

namespace {

enum class Answer { Yes, No, AskTerminal };

// Asks a Yes/No question on the terminal; No when there is no terminal.
bool AskOnTerminal(const Message& question)
{
    if (!isatty(STDIN_FILENO)) return false;
    std::cerr << Shown(question.caption) << ": " << Shown(question.text) << " [y/N] " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return false;
    return !line.empty() && (line[0] == 'y' || line[0] == 'Y');
}

// Draws the progress bar on a terminal; nothing when stderr is not one.
class ProgressBar {
public:
    ProgressBar() : shown(isatty(STDERR_FILENO) != 0) {}
    void Range(int maximum) { max = maximum; }
    void Position(int position)
    {
        if (!shown || max <= 0) return;
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
        if (drawn) std::fputs("\n", stderr);
        drawn = false;
    }

private:
    bool shown;
    bool drawn = false;
    int max = 0;
};

// Runs one session on the device link to `address` until it is over.
// Results go to stdout, failures to stderr; returns the exit code.
int RunLink(LinkSession& session, CTestSocket::LinkMode mode, std::uint32_t address, Answer answer)
{
    static int argc = 1;
    static char name[] = "varnelctl";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);

    std::int32_t linkRequestPending = 0;
    CTestSocket link(linkRequestPending);
    link.SetOwner(mode, &session, address);
    ProgressBar bar;
    bool done = false;
    bool ok = false;
    QEventLoop loop;
    QObject::connect(&link, &CTestSocket::progressRange, [&](int max) { bar.Range(max); });
    QObject::connect(&link, &CTestSocket::progressChanged, [&](int pos) { bar.Position(pos); });
    QObject::connect(&link, &CTestSocket::messageShown, [&](const Message& message) {
        bar.End();
        PrintMessage(message);
    });
    QObject::connect(&link, &CTestSocket::resultShown, [&](const Message& message) {
        bar.End();
        // A result that ends the session in failure is its reason.
        if (session.Finished() && !session.Succeeded())
            PrintMessage(message);
        else
            std::cout << Shown(message.text) << std::endl;
    });
    QObject::connect(&link, &CTestSocket::questionAsked, [&](const Message& question) {
        bar.End();
        bool yes = answer == Answer::Yes;
        if (answer == Answer::AskTerminal) yes = AskOnTerminal(question);
        link.AnswerQuestion(yes);
    });
    QObject::connect(&link, &CTestSocket::finished, [&](bool result) {
        done = true;
        ok = result;
        loop.quit();
    });
    link.Start();
    if (!done) loop.exec();
    bar.End();
    return ok ? EXIT_OK : EXIT_REFUSED;
}

// The address of --ip, parsed strictly; a usage error when it is not one.
std::optional<std::uint32_t> AddressOption(Args& args)
{
    if (!args.HasOption("ip")) return std::nullopt;
    const std::string text = args.Option("ip");
    const auto address = ParseIpv4(text);
    if (!address) throw UsageError{"bad address: '" + text + "'"};
    return address;
}

// The gateway address of the option file, as a new document takes it.
Result<std::uint32_t> OptionFileAddress()
{
    const CVarnelDoc doc = NewDocument();
    return GatewayAddress(doc);
}

Answer RestartAnswer(Args& args)
{
    const bool restart = args.Flag("restart");
    const bool noRestart = args.Flag("no-restart");
    if (restart && noRestart) throw UsageError{"--restart and --no-restart exclude each other"};
    return restart ? Answer::Yes : noRestart ? Answer::No : Answer::AskTerminal;
}

int CmdDownload(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string hexFile = args.Option("hex");
    const std::optional<std::uint32_t> ip = AddressOption(args);
    const Answer answer = RestartAnswer(args);
    Result<Bytes> image{Bytes{}};
    Result<std::uint32_t> address = ip ? Result<std::uint32_t>(*ip) : OptionFileAddress();
    if (!hexFile.empty()) {
        args.Done();
        image = ReadHexFile(hexFile);
    } else {
        const std::string project = args.Positional("PROJECT");
        args.Done();
        CVarnelDoc doc;
        if (!OpenProject(project, doc)) return EXIT_REFUSED;
        image = CompileForDownload(doc);
        if (!ip) address = GatewayAddress(doc);
    }
    if (!image) return Refuse(image.message());
    if (!address) return Refuse(address.message());
    DownloadSession session(std::move(*image));
    const int code = RunLink(session, CTestSocket::LinkMode::Download, *address, answer);
    if (code == EXIT_OK)
        std::cout
            << (session.RestartRequested()
                    ? "restart request sent: the gateway restarts into the new configuration\n"
                    : "the gateway was not restarted: the new configuration takes effect "
                      "after a restart (varnelctl restart)\n");
    return code;
}

int RunDeviceCommand(const std::vector<std::string>& argv, std::int32_t command)
{
    Args args(argv);
    const std::optional<std::uint32_t> ip = AddressOption(args);
    const bool yes = args.Flag("yes");
    args.Done();
    const Result<std::uint32_t> address = ip ? Result<std::uint32_t>(*ip) : OptionFileAddress();
    if (!address) return Refuse(address.message());
    DeviceCommandSession session(command);
    const int code = RunLink(session, CTestSocket::LinkMode::DeviceCommand, *address,
                             yes ? Answer::Yes : Answer::AskTerminal);
    if (session.Declined())
        std::cerr << "varnelctl: not confirmed; nothing was sent (answer y, or pass --yes)\n";
    else if (code == EXIT_OK && command == DeviceCommandSession::RESTART)
        std::cout << "the gateway answered 40 0c: it restarts\n";
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
    if (const Result<std::string> read = ReadWholeFile(path); !read) return Refuse(read.message());
    // A file that holds no image bytes decodes as the empty image.
    const Result<Bytes> image = ReadHexFile(path);
    const DecodedImage decoded = DecodeImage(image ? *image : Bytes{});
    std::cout << DescribeImage(decoded);
    std::cout.flush();
    if (decoded.Valid()) return EXIT_OK;
    for (const auto& problem : decoded.problems) std::cerr << problem << "\n";
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
