// A real DHCP client gets its address from `varnelctl dhcp-server`: two
// network namespaces of the test's own joined by a veth pair, the server in
// one, busybox udhcpc in the other. The server's side has no default route,
// as a commissioning laptop cabled straight to a gateway often has not.
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
// Private test addresses, used only inside the namespaces.
const std::string SERVER_CIDR = "10.231.7.1/24";
const std::string CLIENT_MAC = "02:1a:2b:3c:4d:5e";

// Two namespaces and a veth pair, removed whatever happens.
class TestNetwork {
public:
    TestNetwork()
        : suffix(std::to_string(::getpid())),
          server("vnl-srv-" + suffix),
          client("vnl-cli-" + suffix),
          serverLink("vns" + suffix),
          clientLink("vnc" + suffix),
          client2("vnl-cl2-" + suffix),
          serverLink2("vnt" + suffix),
          clientLink2("vnd" + suffix)
    {
    }
    ~TestNetwork()
    {
        Run(IP, {"netns", "del", server});
        Run(IP, {"netns", "del", client});
        Run(IP, {"netns", "del", client2});
        // Only if they never left this namespace.
        Run(IP, {"link", "del", serverLink});
        Run(IP, {"link", "del", serverLink2});
    }
    // Empty when the network was made; otherwise the failing step's output.
    std::string Make()
    {
        return RunSteps({
            {"netns", "add", server},
            {"netns", "add", client},
            {"link", "add", serverLink, "type", "veth", "peer", "name", clientLink},
            {"link", "set", serverLink, "netns", server},
            {"link", "set", clientLink, "netns", client},
            {"-n", server, "addr", "add", SERVER_CIDR, "dev", serverLink},
            {"-n", server, "link", "set", serverLink, "up"},
            {"-n", server, "link", "set", "lo", "up"},
            {"-n", client, "link", "set", clientLink, "address", CLIENT_MAC},
            {"-n", client, "link", "set", clientLink, "up"},
        });
    }
    // A second client on a second link of the server, in 10.231.9.0/24.
    std::string MakeSecondLink()
    {
        return RunSteps({
            {"netns", "add", client2},
            {"link", "add", serverLink2, "type", "veth", "peer", "name", clientLink2},
            {"link", "set", serverLink2, "netns", server},
            {"link", "set", clientLink2, "netns", client2},
            {"-n", server, "addr", "add", "10.231.9.1/24", "dev", serverLink2},
            {"-n", server, "link", "set", serverLink2, "up"},
            {"-n", client2, "link", "set", clientLink2, "address", "02:1a:2b:3c:4d:5f"},
            {"-n", client2, "link", "set", clientLink2, "up"},
        });
    }

    std::string suffix, server, client, serverLink, clientLink, client2, serverLink2, clientLink2;

private:
    static std::string RunSteps(const std::vector<std::vector<std::string>>& steps)
    {
        for (const auto& step : steps) {
            auto result = Run(IP, step);
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

// Skips the running test when namespaces cannot be made; true when they were.
#define MAKE_TEST_NETWORK(net)                                                            \
    if (::geteuid() != 0)                                                                 \
        GTEST_SKIP() << "creating network namespaces needs root";                         \
    for (const auto& tool : {IP, UDHCPC})                                                 \
        if (::access(tool.c_str(), X_OK) != 0)                                            \
            GTEST_SKIP() << tool << " is not installed";                                  \
    TestNetwork net;                                                                      \
    if (auto failure = net.Make(); !failure.empty())                                      \
        GTEST_SKIP() << "network namespaces cannot be made here: " << failure;

}  // namespace

TEST(DhcpNamespace, UdhcpcGetsTheAssignedAddressMaskAndLease)
{
    MAKE_TEST_NETWORK(net);

    TempDir dir;
    const fs::path script = dir / "record.sh";
    const fs::path record = dir / "lease.txt";
    const fs::path log = dir / "server.log";
    // udhcpc runs its script for each event; "bound" carries the lease it configured.
    WriteFile(script, "#!/bin/sh\n"
                      "if [ \"$1\" = bound ]; then\n"
                      "  echo \"ip=$ip subnet=$subnet lease=$lease serverid=$serverid\" >> '" +
                          record.string() + "'\n"
                      "  ip addr add \"$ip/$subnet\" dev \"$interface\"\n"
                      "fi\n");
    ::chmod(script.c_str(), 0755);

    ServerProcess server(net, log, {"--assign", "02:1A:2B:3C:4D:5E=10.231.7.20,gw1.local"});
    ASSERT_TRUE(WaitForText(log, "listening on")) << ReadFile(log);

    // Default lease, then a client asking for 600 s.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "ip=10.231.7.20 subnet=255.255.255.0 lease=36000 serverid=10.231.7.1\n"},
        {{"-x", "lease:600"}, "ip=10.231.7.20 subnet=255.255.255.0 lease=600 serverid=10.231.7.1\n"},
    };
    for (const auto& [extra, expected] : cases) {
        fs::remove(record);
        testsupport::Run(IP, {"-n", net.client, "addr", "flush", "dev", net.clientLink});
        std::vector<std::string> args = {"netns", "exec", net.client, UDHCPC, "-i",
                                         net.clientLink, "-f", "-q", "-n", "-t", "5", "-T", "2",
                                         "-s", script.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        auto client = testsupport::Run(IP, args);
        EXPECT_EQ(client.exitCode, 0) << client.out << client.err << ReadFile(log);
        ASSERT_TRUE(fs::exists(record)) << client.err << ReadFile(log);
        EXPECT_EQ(ReadFile(record), expected);
        // The client really configured it.
        auto shown = testsupport::Run(IP, {"-n", net.client, "-4", "-o", "addr", "show", "dev", net.clientLink});
        EXPECT_NE(shown.out.find("inet 10.231.7.20/24"), std::string::npos) << shown.out;
    }

    EXPECT_EQ(server.Stop(), 0);
    const std::string lines = ReadFile(log);
    EXPECT_NE(lines.find("02:1a:2b:3c:4d:5e DISCOVER"), std::string::npos) << lines;
    EXPECT_NE(lines.find("02:1a:2b:3c:4d:5e OFFER 10.231.7.20 -> 255.255.255.255:68"),
              std::string::npos)
        << lines;
    EXPECT_NE(lines.find("02:1a:2b:3c:4d:5e ACK 10.231.7.20"), std::string::npos) << lines;
}

TEST(DhcpNamespace, SwitchToAGatewayThatNeverAcceptsTimesOut)
{
    MAKE_TEST_NETWORK(net);
    // 10.231.7.99 has a link address but nobody behind it: the connect hangs
    // until the connect timer ends it.
    auto neigh = testsupport::Run(IP, {"-n", net.server, "neigh", "add", "10.231.7.99", "lladdr",
                                       "02:00:00:00:00:99", "dev", net.serverLink, "nud",
                                       "permanent"});
    ASSERT_EQ(neigh.exitCode, 0) << neigh.err;
    auto result = testsupport::Run(IP, {"netns", "exec", net.server, VARNELCTL, "dhcp-enable",
                                        "10.231.7.99"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "连接超时,请检查IP和PORT设置和设备是否正常运行\n");
}

TEST(DhcpNamespace, EachLinkIsAnsweredFromItsOwnAddress)
{
    MAKE_TEST_NETWORK(net);
    if (auto failure = net.MakeSecondLink(); !failure.empty())
        GTEST_SKIP() << "a second link cannot be made here: " << failure;
    TempDir dir;
    const fs::path script = dir / "record.sh";
    const fs::path log = dir / "server.log";
    WriteFile(script, "#!/bin/sh\n"
                      "[ \"$1\" = bound ] && echo \"ip=$ip subnet=$subnet serverid=$serverid\" > '" +
                          (dir / "lease-").string() + "'\"$interface\"\n"
                      "exit 0\n");
    ::chmod(script.c_str(), 0755);
    ServerProcess server(net, log,
                         {"--assign", "02:1a:2b:3c:4d:5e=10.231.7.20", "--assign",
                          "02:1a:2b:3c:4d:5f=10.231.9.20"});
    ASSERT_TRUE(WaitForText(log, "listening on")) << ReadFile(log);

    // The server has no default route: each reply must leave by the link its
    // request came in on, carrying that link's address as server identifier.
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {net.client, net.clientLink, "ip=10.231.7.20 subnet=255.255.255.0 serverid=10.231.7.1\n"},
        {net.client2, net.clientLink2, "ip=10.231.9.20 subnet=255.255.255.0 serverid=10.231.9.1\n"},
    };
    for (const auto& [ns, link, expected] : cases) {
        auto client = testsupport::Run(IP, {"netns", "exec", ns, UDHCPC, "-i", link, "-f", "-q",
                                            "-n", "-t", "5", "-T", "2", "-s", script.string()});
        EXPECT_EQ(client.exitCode, 0) << client.err << ReadFile(log);
        const fs::path record = dir / ("lease-" + link);
        ASSERT_TRUE(fs::exists(record)) << client.err << ReadFile(log);
        EXPECT_EQ(ReadFile(record), expected);
    }
}
