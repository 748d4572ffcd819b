// Test support: a program the test started, its standard input and output piped to the test:
// text written to it, its output read a line at a time as it comes.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "support/child_exit.h"
#include "support/spawn_piped.h"

extern char** environ;

namespace voxatest {

class PipedProgram {
public:
    // args[0] is the name the program gets for itself. env goes ahead of the inherited
    // variables, so its values count: a program sees the first of a name.
    PipedProgram(const std::string& path, std::vector<std::string> args, std::vector<std::string> env = {}) {
        std::vector<char*> argv, envp;
        for (std::string& a : args) argv.push_back(a.data());
        for (std::string& e : env) envp.push_back(e.data());
        for (char** e = environ; *e; ++e) envp.push_back(*e);
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        child_ = SpawnPiped(path.c_str(), argv.data(), envp.data());
    }
    ~PipedProgram() { // a program that reads its input ends when it closes; one that does not is killed
        Finish(3000);
        close(child_.output);
    }
    PipedProgram(const PipedProgram&) = delete;
    PipedProgram& operator=(const PipedProgram&) = delete;

    pid_t Pid() const { return child_.pid; }
    bool Write(const std::string& text) {
        return child_.pid > 0 && write(child_.input, text.data(), text.size()) == ssize_t(text.size());
    }
    // The next line of the output, without its newline: 1; 0 when none came within timeoutMs;
    // -1 when the output ended first.
    int ReadLine(int timeoutMs, std::string* line) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (pending_.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd p{child_.output, POLLIN, 0};
            char buffer[65536];
            if (poll(&p, 1, int(std::max<long long>(left, 0))) <= 0) return 0;
            const ssize_t n = read(child_.output, buffer, sizeof buffer);
            if (n <= 0) return -1;
            pending_.append(buffer, size_t(n));
        }
        *line = pending_.substr(0, pending_.find('\n'));
        pending_.erase(0, line->size() + 1);
        return 1;
    }
    // Closes the program's input and waits up to ms for it to end: its exit status (128 for a
    // signal), -1 when it was still running (it is killed) or never started.
    int Finish(int ms) {
        close(child_.input);
        child_.input = -1;
        const int status = child_.pid > 0 ? WaitForExit(child_.pid, ms) : -1;
        child_.pid = -1;
        return status;
    }

private:
    PipedChild child_;
    std::string pending_;
};

} // namespace voxatest
