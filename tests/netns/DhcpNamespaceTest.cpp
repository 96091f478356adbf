// A real DHCP client gets its address from `varnelctl dhcp-server`: network
// namespaces of the test's own joined by veth pairs, the server in one,
// busybox udhcpc and ISC dhclient in the others. The server's side has no
// default route, as a commissioning laptop cabled straight to a gateway often
// has not, so each reply must leave by the link its request came in on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>

#include "support/TestSupport.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const std::string IP = "/usr/sbin/ip";
const std::string UDHCPC = "/usr/sbin/udhcpc";
const std::string DHCLIENT = "/usr/sbin/dhclient";
const std::string TSHARK = "/usr/bin/tshark";
const std::string DUMPCAP = "/usr/bin/dumpcap";
const std::string VARNELCTL = VARNEL_BIN_DIR "/varnelctl";

// The server's namespace and client namespaces on veth links (private test
// addresses, used only inside the namespaces), removed whatever happens.
struct TestNetwork {
    const std::string id = std::to_string(::getpid());
    const std::string server = "vnl-srv-" + id;
    std::vector<std::string> clients;  // namespace n holds interface "vc<n><id>"

    ~TestNetwork()
    {
        for (const auto& ns : clients) testsupport::Run(IP, {"netns", "del", ns});
        testsupport::Run(IP, {"netns", "del", server});
    }
    // Empty when made; otherwise the failing step and its output. Each link
    // is a veth pair holding its server address; with `bridgeCidr` they are
    // all ports of one bridge holding that address instead (one link).
    std::string Make(const std::vector<std::pair<std::string, std::string>>& links,
                     const std::string& bridgeCidr = {})
    {
        std::vector<std::vector<std::string>> steps = {{"netns", "add", server}};
        if (!bridgeCidr.empty())
            steps.insert(steps.end(), {{"-n", server, "link", "add", "br0", "type", "bridge"},
                                       {"-n", server, "addr", "add", bridgeCidr, "dev", "br0"},
                                       {"-n", server, "link", "set", "br0", "up"}});
        for (const auto& [serverCidr, clientMac] : links) {
            const std::string n = std::to_string(clients.size()), ns = "vnl-cli" + n + "-" + id;
            const std::string vs = "vs" + n + id, vc = "vc" + n + id;
            clients.push_back(ns);
            steps.insert(steps.end(), {{"netns", "add", ns},
                                       {"link", "add", vs, "netns", server, "type", "veth", "peer",
                                        "name", vc, "netns", ns},
                                       {"-n", ns, "link", "set", vc, "address", clientMac, "up"}});
            if (bridgeCidr.empty())
                steps.push_back({"-n", server, "addr", "add", serverCidr, "dev", vs});
            steps.push_back({"-n", server, "link", "set", vs, "up"});
            if (!bridgeCidr.empty())
                steps.push_back({"-n", server, "link", "set", vs, "master", "br0"});
        }
        return RunSteps(steps);
    }

private:
    static std::string RunSteps(const std::vector<std::vector<std::string>>& steps)
    {
        for (const auto& step : steps)
            if (auto result = testsupport::Run(IP, step); result.exitCode != 0)
                return "ip " + step[0] + " " + step[1] + " " + step[2] + ": " + result.err;
        return {};
    }
};

// Starts `varnelctl dhcp-server ARGS` in the namespace, its output in `log`.
pid_t StartServer(const std::string& ns, const fs::path& log, std::vector<std::string> args)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1), ::dup2(fd, 2);
        args.insert(args.begin(), {IP, "netns", "exec", ns, VARNELCTL, "dhcp-server"});
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(IP.c_str(), argv.data());
        ::_exit(127);
    }
    // The server's log is polled: it is another process, not a timer of ours.
    for (int i = 0; i < 200 && ReadFile(log).find("listening on") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return pid;
}

int Stop(pid_t pid)
{
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

}  // namespace

// Two busybox udhcpc and one ISC dhclient, each on a link of its own, while
// tshark captures the server's side: every frame is read without a malformed
// mark and every reply is at least the 300 bytes of a BOOTP message.
TEST(DhcpNamespace, RealClientsGetTheirAddressMaskAndLease)
{
    if (::geteuid() != 0) GTEST_SKIP() << "creating network namespaces needs root";
    for (const auto& tool : {IP, UDHCPC, DHCLIENT, TSHARK, DUMPCAP})
        if (::access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << tool << " is not installed";
    TestNetwork net;
    if (auto failure = net.Make({{"10.231.7.1/24", "02:1a:2b:3c:4d:5e"},
                                 {"10.231.9.1/24", "02:1a:2b:3c:4d:5f"},
                                 {"10.231.11.1/24", "02:1a:2b:3c:4d:61"}});
        !failure.empty())
        GTEST_SKIP() << "network namespaces cannot be made here: " << failure;

    TempDir dir;
    const fs::path capture = dir / "capture.pcapng", captureLog = dir / "tshark.log";
    const pid_t dumpcap = ::fork();
    if (dumpcap == 0) {
        const int fd = ::open(captureLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1), ::dup2(fd, 2);
        ::execl(IP.c_str(), IP.c_str(), "netns", "exec", net.server.c_str(), DUMPCAP.c_str(), "-i",
                "any", "-f", "udp port 67 or udp port 68", "-w", capture.c_str(), nullptr);
        ::_exit(127);
    }
    for (int i = 0; i < 200 && ReadFile(captureLog).find("Capturing") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // On "bound", udhcpc's script records the lease in <dir>/lease-<interface>.
    const fs::path script = dir / "record.sh";
    WriteFile(script,
              "#!/bin/sh\n[ \"$1\" = bound ] || exit 0\n"
              "echo \"ip=$ip subnet=$subnet lease=$lease serverid=$serverid\" > '" +
                  (dir / "lease-").string() + "'\"$interface\"\n");
    ::chmod(script.c_str(), 0755);
    const fs::path log = dir / "server.log", list = dir / "list.csv";
    WriteFile(list,
              "mac,ip,name\n02:1a:2b:3c:4d:5f,10.231.9.20,\n02:1a:2b:3c:4d:61,10.231.11.20,gw3\n");
    const pid_t server = StartServer(
        net.server, log,
        {"--assign", "02:1A:2B:3C:4D:5E=10.231.7.20,gw1.local", "--assign-file", list.string()});

    // The default lease on the first link; the second client asks for 600 s.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "ip=10.231.7.20 subnet=255.255.255.0 lease=36000 serverid=10.231.7.1\n"},
        {{"-x", "lease:600"},
         "ip=10.231.9.20 subnet=255.255.255.0 lease=600 serverid=10.231.9.1\n"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string interface = "vc" + std::to_string(i) + net.id;
        std::vector<std::string> args = {"netns", "exec", net.clients[i], UDHCPC, "-fqn", "-t5",
                                         "-T2",   "-i",   interface,      "-s",   script};
        args.insert(args.end(), cases[i].first.begin(), cases[i].first.end());
        const auto client = testsupport::Run(IP, args);
        EXPECT_EQ(client.exitCode, 0) << client.out << client.err << ReadFile(log);
        EXPECT_EQ(ReadFile(dir / ("lease-" + interface)), cases[i].second) << ReadFile(log);
    }
    // dhclient tries once for 10 s, records the lease through its script and
    // goes on in the background until it is stopped.
    WriteFile(dir / "dhclient.conf", "timeout 10;\n");
    WriteFile(dir / "dhclient.sh",
              "#!/bin/sh\n[ \"$reason\" = BOUND ] || exit 0\necho \"ip=$new_ip_address "
              "subnet=$new_subnet_mask lease=$new_dhcp_lease_time name=$new_host_name\" > '" +
                  (dir / "lease-dhclient").string() + "'\n");
    ::chmod((dir / "dhclient.sh").c_str(), 0755);
    const auto dhclient = testsupport::Run(
        IP,
        {"netns", "exec", net.clients[2], DHCLIENT, "-1", "-cf", (dir / "dhclient.conf").string(),
         "-sf", (dir / "dhclient.sh").string(), "-lf", (dir / "dhclient.leases").string(), "-pf",
         (dir / "dhclient.pid").string(), "vc2" + net.id});
    EXPECT_EQ(dhclient.exitCode, 0) << dhclient.err << ReadFile(log);
    EXPECT_EQ(ReadFile(dir / "lease-dhclient"),
              "ip=10.231.11.20 subnet=255.255.255.0 lease=36000 name=gw3\n");
    if (const std::string pid = ReadFile(dir / "dhclient.pid"); !pid.empty())
        ::kill(std::stoi(pid), SIGTERM);

    // dumpcap hands frames to its file a little later than they pass: the
    // capture is read until it holds an OFFER and an ACK per client.
    const auto replyLengths = [&] {
        return testsupport::Run(
            TSHARK, {"-r", capture.string(), "-Y", "dhcp.option.dhcp == 2 || dhcp.option.dhcp == 5",
                     "-T", "fields", "-e", "udp.length"});
    };
    std::vector<int> lengths;
    for (int i = 0; i < 50 && lengths.size() < 6; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::istringstream out(replyLengths().out);
        lengths.assign(std::istream_iterator<int>(out), {});
    }
    ::kill(dumpcap, SIGINT);
    ::waitpid(dumpcap, nullptr, 0);
    EXPECT_GE(lengths.size(), 6u);
    for (int length : lengths) EXPECT_GE(length, 8 + 300);
    const auto malformed = testsupport::Run(
        TSHARK, {"-r", capture.string(), "-Y", "_ws.malformed || _ws.expert.severity >= warning"});
    EXPECT_EQ(malformed.out, "") << malformed.err;

    const int status = Stop(server);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(log);
    // Each request and reply logged as it happened.
    const std::string lines = ReadFile(log);
    for (const char* line : {"02:1a:2b:3c:4d:5e DISCOVER - (listed)\n",
                             "02:1a:2b:3c:4d:5e OFFER 10.231.7.20 -> 255.255.255.255:68\n",
                             "02:1a:2b:3c:4d:5e ACK 10.231.7.20"})
        EXPECT_NE(lines.find(line), std::string::npos) << line << lines;
}

// dnsmasq in a namespace of its own on the server's link: dhcp-probe names
// it within its wait, and dhcp-server warns about it once. dnsmasq pings an
// address for 3 s before it offers it, hence the longer wait.
TEST(DhcpNamespace, AnotherServerIsNamed)
{
    if (::geteuid() != 0) GTEST_SKIP() << "creating network namespaces needs root";
    const std::string DNSMASQ = "/usr/sbin/dnsmasq";
    for (const auto& tool : {IP, DNSMASQ})
        if (::access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << tool << " is not installed";
    TestNetwork net;
    if (auto failure = net.Make({{"10.232.1.1/24", "02:1a:2b:3c:4d:60"}}); !failure.empty())
        GTEST_SKIP() << "network namespaces cannot be made here: " << failure;
    const std::string other = net.clients[0], vc = "vc0" + net.id;
    ASSERT_EQ(
        testsupport::Run(IP, {"-n", other, "addr", "add", "10.232.1.2/24", "dev", vc}).exitCode, 0);
    TempDir dir;
    const pid_t dnsmasq = ::fork();
    if (dnsmasq == 0) {
        ::execl(IP.c_str(), IP.c_str(), "netns", "exec", other.c_str(), DNSMASQ.c_str(),
                "--no-daemon", "--port=0", "--conf-file=/dev/null", "--bind-interfaces",
                ("--interface=" + vc).c_str(), "--dhcp-range=10.232.1.50,10.232.1.60,255.255.255.0",
                "--leasefile-ro", "--user=root", nullptr);
        ::_exit(127);
    }
    // The link carries frames once the kernel has seen its carrier; dnsmasq
    // has no ready line.
    for (int i = 0; i < 60; ++i) {
        const auto link = testsupport::Run(IP, {"-n", net.server, "link", "show", "vs0" + net.id});
        if (link.out.find("state UP") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    const auto probe =
        testsupport::Run(IP, {"netns", "exec", net.server, VARNELCTL, "dhcp-probe", "--wait", "5"});
    EXPECT_EQ(probe.exitCode, 0) << probe.err;
    // One line: the identifier, the source, an address of the pool and its mask.
    EXPECT_TRUE(std::regex_match(probe.out, std::regex("DHCP服务器 10.232.1.2 \\(server identifier "
                                                       "10.232.1.2, source 10.232.1.2\\) offers "
                                                       "10.232.1.(5\\d|60) mask 255.255.255.0\n")))
        << probe.out;

    const fs::path log = dir / "server.log";
    const pid_t server = StartServer(net.server, log, {});
    const std::string warning =
        "警告: 另一个DHCP服务器 10.232.1.2 在应答 (warning: another DHCP "
        "server at 10.232.1.2 is answering)";
    for (int i = 0; i < 200 && ReadFile(log).find(warning) == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Stop(server);
    Stop(dnsmasq);
    const std::string lines = ReadFile(log);
    const auto first = lines.find(warning);
    EXPECT_NE(first, std::string::npos) << lines;
    EXPECT_EQ(lines.find("10.232.1.2", first + warning.size()), std::string::npos) << lines;
    // Its own probe is no request to the server.
    EXPECT_EQ(lines.find("DISCOVER"), std::string::npos) << lines;
}

// A device in another namespace holds the assigned address (the kernel
// answers ARP for it): the server does not offer it and names the holder's
// MAC; once the address is removed, the next DISCOVER is offered it.
TEST(DhcpNamespace, AnAddressInUseIsNotOffered)
{
    if (::geteuid() != 0) GTEST_SKIP() << "creating network namespaces needs root";
    for (const auto& tool : {IP, UDHCPC})
        if (::access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << tool << " is not installed";
    TestNetwork net;
    if (auto failure =
            net.Make({{"", "02:00:00:00:aa:01"}, {"", "02:00:00:00:cc:01"}}, "10.234.1.1/24");
        !failure.empty())
        GTEST_SKIP() << "network namespaces cannot be made here: " << failure;
    const std::vector<std::string> holding = {
        "-n", net.clients[0], "addr", "add", "10.234.1.20/24", "dev", "vc0" + net.id};
    ASSERT_EQ(testsupport::Run(IP, holding).exitCode, 0);
    TempDir dir;
    const fs::path log = dir / "server.log";
    const pid_t server =
        StartServer(net.server, log, {"--assign", "02:00:00:00:cc:01=10.234.1.20"});
    const auto udhcpc = [&](const char* tries) {
        return testsupport::Run(IP, {"netns", "exec", net.clients[1], UDHCPC, "-fqn", "-t", tries,
                                     "-T1", "-i", "vc1" + net.id, "-s", "/bin/true"});
    };
    const std::string held =
        "地址 10.234.1.20 已被 02:00:00:00:aa:01 使用 (address 10.234.1.20 is in use by "
        "02:00:00:00:aa:01)\n";
    EXPECT_EQ(udhcpc("2").exitCode, 1) << ReadFile(log);
    std::string lines = ReadFile(log);
    EXPECT_NE(lines.find(held), std::string::npos) << lines;
    EXPECT_NE(lines.find("02:00:00:00:cc:01 DISCOVER - (listed) (no reply: address in use)\n"),
              std::string::npos)
        << lines;
    EXPECT_EQ(lines.find("OFFER"), std::string::npos) << lines;

    ASSERT_EQ(testsupport::Run(IP, {"-n", net.clients[0], "addr", "del", "10.234.1.20/24", "dev",
                                    "vc0" + net.id})
                  .exitCode,
              0);
    const auto client = udhcpc("4");
    EXPECT_EQ(client.exitCode, 0) << client.out << client.err << ReadFile(log);
    EXPECT_EQ(Stop(server), 0);
    lines = ReadFile(log);
    EXPECT_NE(lines.find("02:00:00:00:cc:01 OFFER 10.234.1.20 -> 255.255.255.255:68\n"),
              std::string::npos)
        << lines;
}
