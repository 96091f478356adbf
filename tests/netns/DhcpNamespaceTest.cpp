// A real DHCP client gets its address from `varnelctl dhcp-server`: network
// namespaces of the test's own joined by veth pairs, the server in one,
// busybox udhcpc in the others. The server's side has no default route, as a
// commissioning laptop cabled straight to a gateway often has not.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/TestSupport.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const std::string IP = "/usr/sbin/ip";
const std::string UDHCPC = "/usr/sbin/udhcpc";
const std::string VARNELCTL = VARNEL_BIN_DIR "/varnelctl";

RunResult Ip(const std::vector<std::string>& args) { return Run(IP, args); }

// The server's namespace with client namespaces on veth links, removed
// whatever happens.
class TestNetwork {
public:
    const std::string suffix = std::to_string(::getpid());
    const std::string server = "vnl-srv-" + suffix;
    struct Link {
        std::string ns, serverSide, clientSide;
    };
    std::vector<Link> links;

    ~TestNetwork()
    {
        Ip({"netns", "del", server});
        for (const auto& link : links) {
            Ip({"netns", "del", link.ns});
            Ip({"link", "del", link.serverSide});  // only if it never left this namespace
        }
    }
    // The server's namespace and two client links, the server's sides at
    // 10.231.7.1/24 and 10.231.9.1/24 (private test addresses, used only
    // inside the namespaces). Empty when the network was made; otherwise the
    // failing step's output.
    std::string Make()
    {
        auto failure = RunSteps({{"netns", "add", server}, {"-n", server, "link", "set", "lo", "up"}});
        if (failure.empty())
            failure = AddLink("10.231.7.1/24", "02:1a:2b:3c:4d:5e");
        return failure.empty() ? AddLink("10.231.9.1/24", "02:1a:2b:3c:4d:5f") : failure;
    }
    // A client namespace on a new link of the server, the server's side at `serverCidr`.
    std::string AddLink(const std::string& serverCidr, const std::string& clientMac)
    {
        const std::string n = std::to_string(links.size());
        const Link& l = links.emplace_back(
            Link{"vnl-cli" + n + "-" + suffix, "vs" + n + suffix, "vc" + n + suffix});
        return RunSteps({
            {"netns", "add", l.ns},
            {"link", "add", l.serverSide, "type", "veth", "peer", "name", l.clientSide},
            {"link", "set", l.serverSide, "netns", server},
            {"link", "set", l.clientSide, "netns", l.ns},
            {"-n", server, "addr", "add", serverCidr, "dev", l.serverSide},
            {"-n", server, "link", "set", l.serverSide, "up"},
            {"-n", l.ns, "link", "set", l.clientSide, "address", clientMac},
            {"-n", l.ns, "link", "set", l.clientSide, "up"},
        });
    }

private:
    static std::string RunSteps(const std::vector<std::vector<std::string>>& steps)
    {
        for (const auto& step : steps) {
            auto result = Ip(step);
            if (result.exitCode != 0) {
                std::string command = "ip";
                for (const auto& word : step)
                    command += " " + word;
                return command + ": " + result.err;
            }
        }
        return {};
    }
};

// `varnelctl dhcp-server` in the server namespace, output to a file.
class ServerProcess {
public:
    ServerProcess(const TestNetwork& net, const fs::path& log, const std::vector<std::string>& args)
    {
        std::vector<std::string> words = {IP, "netns", "exec", net.server, VARNELCTL, "dhcp-server"};
        words.insert(words.end(), args.begin(), args.end());
        pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            std::vector<char*> argv;
            for (auto& w : words)
                argv.push_back(w.data());
            argv.push_back(nullptr);
            ::execv(IP.c_str(), argv.data());
            ::_exit(127);
        }
    }
    ~ServerProcess() { Stop(); }
    // Ends the server; returns its exit status (-1 if it was killed).
    int Stop()
    {
        if (pid <= 0)
            return status;
        ::kill(pid, SIGTERM);
        int raw = 0;
        ::waitpid(pid, &raw, 0);
        pid = -1;
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return status;
    }

private:
    pid_t pid = -1;
    int status = -1;
};

// Waits (up to 10 s) until `file` contains `text`.
bool WaitForText(const fs::path& file, const std::string& text)
{
    for (int i = 0; i < 200; ++i) {
        if (fs::exists(file) && ReadFile(file).find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Skips the running test when namespaces cannot be made.
#define MAKE_TEST_NETWORK(net)                                                            \
    if (::geteuid() != 0)                                                                 \
        GTEST_SKIP() << "creating network namespaces needs root";                         \
    for (const auto& tool : {IP, UDHCPC})                                                 \
        if (::access(tool.c_str(), X_OK) != 0)                                            \
            GTEST_SKIP() << tool << " is not installed";                                  \
    TestNetwork net;                                                                      \
    if (auto failure = net.Make(); !failure.empty())                                      \
        GTEST_SKIP() << "network namespaces cannot be made here: " << failure;

// A udhcpc script that, on "bound", records the lease in <dir>/lease-<interface>
// and configures the address.
std::string WriteLeaseScript(const TempDir& dir)
{
    const fs::path script = dir / "record.sh";
    WriteFile(script, "#!/bin/sh\n"
                      "[ \"$1\" = bound ] || exit 0\n"
                      "echo \"ip=$ip subnet=$subnet lease=$lease serverid=$serverid\" > '" +
                          (dir / "lease-").string() + "'\"$interface\"\n"
                      "ip addr add \"$ip/$subnet\" dev \"$interface\"\n");
    ::chmod(script.c_str(), 0755);
    return script.string();
}

// Runs udhcpc once on the client side of `link` (a few tries, then gives up).
RunResult Udhcpc(const TestNetwork::Link& link, const std::string& script,
                 const std::vector<std::string>& extra = {})
{
    std::vector<std::string> args = {"netns", "exec", link.ns, UDHCPC, "-i", link.clientSide,
                                     "-f", "-q", "-n", "-t", "5", "-T", "2", "-s", script};
    args.insert(args.end(), extra.begin(), extra.end());
    return Ip(args);
}

}  // namespace

// udhcpc on each of two links gets its assigned address, mask and lease, each
// from the server's address on that link: the server has no default route, so
// each reply must leave by the link its request came in on.
TEST(DhcpNamespace, UdhcpcOnEachLinkGetsItsAddressMaskAndLease)
{
    MAKE_TEST_NETWORK(net);
    TempDir dir;
    const std::string script = WriteLeaseScript(dir);
    const fs::path log = dir / "server.log";
    ServerProcess server(net, log,
                         {"--assign", "02:1A:2B:3C:4D:5E=10.231.7.20,gw1.local", "--assign",
                          "02:1a:2b:3c:4d:5f=10.231.9.20"});
    ASSERT_TRUE(WaitForText(log, "listening on")) << ReadFile(log);

    // The default lease on the first link; the second client asks for 600 s.
    struct Case {
        std::vector<std::string> extra;
        std::string address, expected;
    };
    const std::vector<Case> cases = {
        {{}, "10.231.7.20", "ip=10.231.7.20 subnet=255.255.255.0 lease=36000 serverid=10.231.7.1\n"},
        {{"-x", "lease:600"}, "10.231.9.20",
         "ip=10.231.9.20 subnet=255.255.255.0 lease=600 serverid=10.231.9.1\n"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& link = net.links[i];
        auto client = Udhcpc(link, script, cases[i].extra);
        EXPECT_EQ(client.exitCode, 0) << client.out << client.err << ReadFile(log);
        const fs::path record = dir / ("lease-" + link.clientSide);
        ASSERT_TRUE(fs::exists(record)) << client.err << ReadFile(log);
        EXPECT_EQ(ReadFile(record), cases[i].expected);
        // The client really configured it.
        auto shown = Ip({"-n", link.ns, "-4", "-o", "addr", "show", "dev", link.clientSide});
        EXPECT_NE(shown.out.find("inet " + cases[i].address + "/24"), std::string::npos)
            << shown.out;
    }

    EXPECT_EQ(server.Stop(), 0);
    const std::string lines = ReadFile(log);
    for (const char* line : {"02:1a:2b:3c:4d:5e DISCOVER",
                             "02:1a:2b:3c:4d:5e OFFER 10.231.7.20 -> 255.255.255.255:68",
                             "02:1a:2b:3c:4d:5e ACK 10.231.7.20"})
        EXPECT_NE(lines.find(line), std::string::npos) << line << "\n" << lines;
}
