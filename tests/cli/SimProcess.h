#pragma once
// The gateway simulator as a child process of a test: started on its own
// loopback address, its event lines read from a pipe, waited on with a
// bounded time-out, stopped when the test ends.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace simtest {

class SimProcess {
public:
    SimProcess(const std::string& address, std::vector<std::string> flags)
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        const std::string program = std::string(VARNEL_BIN_DIR) + "/varnel-gateway-sim";
        std::vector<std::string> args{program, "--listen", address, "--restart-delay", "50"};
        args.insert(args.end(), flags.begin(), flags.end());
        pid = fork();
        if (pid == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        fd = out[0];
    }
    ~SimProcess()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status = 0;
            waitpid(pid, &status, 0);
        }
        if (fd >= 0)
            close(fd);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Waits until a line containing `text` was printed (or was already);
    // false after `timeoutMs`.
    bool WaitForLine(const std::string& text, int timeoutMs = 5000)
    {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (output.find(text) != std::string::npos)
                return true;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || fd < 0)
                return false;
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return false;
            char buf[4096];
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0)
                return false;
            output.append(buf, static_cast<std::size_t>(n));
        }
    }
    // What has been printed so far, read without waiting.
    const std::string& Output()
    {
        pollfd p{fd, POLLIN, 0};
        char buf[4096];
        while (fd >= 0 && poll(&p, 1, 0) > 0) {
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            output.append(buf, static_cast<std::size_t>(n));
        }
        return output;
    }

private:
    pid_t pid = -1;
    int fd = -1;
    std::string output;
};

}  // namespace simtest
