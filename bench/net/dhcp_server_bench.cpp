// The BOOTP/DHCP server on loopback, run in a second process: replies per
// second for bursts of DISCOVERs and REQUESTs, and the server's CPU time
// while nothing arrives. The peer is a bare blocking UDP echo server, the
// floor of what a loopback round trip costs.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "net/CDhcpServer.h"

namespace {

constexpr int BURST = 64;
constexpr std::uint32_t ASSIGNED = 0x0A000005;  // 10.0.0.5, never sent to

int BoundLoopbackSocket(std::uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    int size = 1 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    return fd;
}

// A request from 00:1a:2b:3c:4d:5e, broadcast flag clear, so the reply is unicast back.
std::vector<std::uint8_t> Request(std::uint8_t type)
{
    std::vector<std::uint8_t> p(240, 0);
    p[0] = 1;
    p[1] = 1;
    p[2] = 6;
    const std::uint8_t mac[] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    std::memcpy(&p[28], mac, 6);
    if (type == 3) {
        p[12] = 10;  // ciaddr 10.0.0.5: renewing the assigned address
        p[15] = 5;
    }
    const std::uint8_t tail[] = {0x63, 0x82, 0x53, 0x63, 0x35, 0x01, type, 0xFF};
    p.resize(236);
    p.insert(p.end(), std::begin(tail), std::end(tail));
    return p;
}

// The server in a child process. `kind` 0: the DHCP server; 1: the echo peer.
struct Child {
    pid_t pid = -1;
    std::uint16_t port = 0;

    Child(int kind, std::uint16_t replyPort)
    {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            ::close(pipeFds[0]);
            if (kind == 0)
                RunDhcp(pipeFds[1], replyPort);
            else
                RunEcho(pipeFds[1]);
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        if (::read(pipeFds[0], &port, sizeof port) != sizeof port) port = 0;
        ::close(pipeFds[0]);
    }
    ~Child()
    {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
    // User + system CPU time of the child so far, in seconds.
    double CpuSeconds() const
    {
        std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(in, line);
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string field;
        unsigned long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14) utime = std::stoul(field);
            if (i == 15) stime = std::stoul(field);
        }
        return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }

    static void RunDhcp(int reportFd, std::uint16_t replyPort)
    {
        int argc = 1;
        char name[] = "dhcp_server_bench";
        char* argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        varnel::CDhcpServer server;
        server.SetAssignments({{"00:1a:2b:3c:4d:5e", ASSIGNED, "gw1", true}});
        server.SetReplyPorts(replyPort, replyPort);
        if (!server.Start(QHostAddress(QHostAddress::LocalHost), 0)) ::_exit(1);
        const std::uint16_t port = server.Port();
        [[maybe_unused]] auto n = ::write(reportFd, &port, sizeof port);
        ::close(reportFd);
        app.exec();
    }

    static void RunEcho(int reportFd)
    {
        std::uint16_t port = 0;
        const int fd = BoundLoopbackSocket(port);
        [[maybe_unused]] auto n = ::write(reportFd, &port, sizeof port);
        ::close(reportFd);
        std::uint8_t buffer[2048];
        for (;;) {
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t got =
                ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (got > 0)
                ::sendto(fd, buffer, static_cast<std::size_t>(got), 0,
                         reinterpret_cast<sockaddr*>(&from), len);
        }
    }
};

// Sends bursts of DISCOVER/REQUEST pairs and counts the replies.
void Burst(benchmark::State& state, int kind)
{
    std::uint16_t clientPort = 0;
    const int fd = BoundLoopbackSocket(clientPort);
    Child child(kind, clientPort);
    if (child.port == 0) {
        state.SkipWithError("server did not start");
        return;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(child.port);
    const auto discover = Request(1);
    const auto request = Request(3);
    std::uint8_t buffer[2048];
    std::int64_t replies = 0;
    const double cpuBefore = child.CpuSeconds();
    for (auto _ : state) {
        for (int i = 0; i < BURST; ++i) {
            const auto& datagram = i % 2 == 0 ? discover : request;
            ::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to),
                     sizeof to);
        }
        for (int i = 0; i < BURST; ++i) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) break;
            if (::recv(fd, buffer, sizeof buffer, 0) > 0) ++replies;
        }
    }
    state.SetItemsProcessed(replies);
    state.counters["replies_per_s"] =
        benchmark::Counter(static_cast<double>(replies), benchmark::Counter::kIsRate);
    state.counters["server_cpu_s"] = child.CpuSeconds() - cpuBefore;
    ::close(fd);
}

// The server's CPU time over 2 s with nothing arriving.
void Idle(benchmark::State& state, int kind)
{
    std::uint16_t clientPort = 0;
    const int fd = BoundLoopbackSocket(clientPort);
    Child child(kind, clientPort);
    double cpu = 0;
    for (auto _ : state) {
        const double before = child.CpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        cpu = child.CpuSeconds() - before;
    }
    state.counters["idle_cpu_percent"] = cpu / 2.0 * 100.0;
    ::close(fd);
}

void BM_DhcpServerBurst(benchmark::State& state)
{
    Burst(state, 0);
}
void BM_EchoPeerBurst(benchmark::State& state)
{
    Burst(state, 1);
}
void BM_DhcpServerIdle(benchmark::State& state)
{
    Idle(state, 0);
}
void BM_EchoPeerIdle(benchmark::State& state)
{
    Idle(state, 1);
}

}  // namespace

BENCHMARK(BM_DhcpServerBurst)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_EchoPeerBurst)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_DhcpServerIdle)->Iterations(1)->UseRealTime();
BENCHMARK(BM_EchoPeerIdle)->Iterations(1)->UseRealTime();

BENCHMARK_MAIN();
