#pragma once
// Helpers of the command-line tests: varnelctl run on a data folder of the
// test's own, and the gateway simulator as a child process on its own
// loopback address, its event lines read from a pipe with a bounded wait.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace clitest {

const std::string VARNELCTL = std::string(VARNEL_BIN_DIR) + "/varnelctl";

// A test with its own data folder (set up by the derived test) and varnelctl
// running on it in the C locale.
class CliTest : public ::testing::Test {
protected:
    testsupport::RunResult Ctl(const std::vector<std::string>& args, const std::string& input = {})
    {
        std::vector<std::string> env{"VARNEL_HOME=" + home.str(), "LC_ALL=C"};
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        return testsupport::Run(VARNELCTL, args, env, input);
    }
    // Runs varnelctl and expects it to succeed.
    testsupport::RunResult Ok(const std::vector<std::string>& args)
    {
        testsupport::RunResult r = Ctl(args);
        EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
        return r;
    }
    std::string Path(const std::string& name) const { return (home / name).string(); }

    testsupport::TempDir home;
    std::vector<std::string> extraEnv;  // more NAME=VALUE for varnelctl
};

class SimProcess {
public:
    SimProcess(const std::string& address, std::vector<std::string> flags)
    {
        std::vector<std::string> args{std::string(VARNEL_BIN_DIR) + "/varnel-gateway-sim",
                                      "--listen", address, "--restart-delay", "50"};
        args.insert(args.end(), flags.begin(), flags.end());
        Start(args);
    }
    // Any program, its output read the same way (argv[0] is its path).
    explicit SimProcess(std::vector<std::string> argv) { Start(argv); }
    ~SimProcess()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (fd >= 0) close(fd);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Sends `signal` and waits for the end; returns the exit status.
    int Stop(int signal)
    {
        int status = -1;
        kill(pid, signal);
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Waits until a line containing `text` was printed (or was already);
    // false after `timeoutMs`.
    bool WaitForLine(const std::string& text, int timeoutMs = 5000)
    {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (output.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !Read(static_cast<int>(left.count()))) return false;
        }
        return true;
    }
    // What has been printed so far, read without waiting.
    const std::string& Output()
    {
        while (Read(0)) {
        }
        return output;
    }

private:
    void Start(std::vector<std::string> args)
    {
        int out[2];
        if (pipe(out) != 0) return;
        pid = fork();
        if (pid == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        fd = out[0];
    }
    // Appends what arrives within `waitMs`; false when nothing did.
    bool Read(int waitMs)
    {
        pollfd p{fd, POLLIN, 0};
        char buf[4096];
        if (fd < 0 || poll(&p, 1, waitMs) <= 0) return false;
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) output.append(buf, static_cast<std::size_t>(n));
        return n > 0;
    }

    pid_t pid = -1;
    int fd = -1;
    std::string output;
};

}  // namespace clitest
