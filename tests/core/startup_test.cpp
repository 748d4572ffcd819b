// Start-up and shutdown of the runtime, seen from outside: real programs run as child processes
// (a small probe program and the game itself), their exit status, the working directory they
// end up in and the error log "/tmp/ErrorLog.txt" they write.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/errorlog_lines.h"

extern char** environ;

namespace {

const char* const kLog = "/tmp/ErrorLog.txt";

struct RunResult {
    bool exited = false;  // ended by itself within the time limit
    int status = -1;      // exit status when it exited
    std::string output;   // its standard output
};

// Runs program with one argument in workDir. underscore: the value of "_" in its environment,
// or null to leave "_" unset.
RunResult RunProgram(const std::string& program, const std::string& arg, const std::string& workDir,
              const char* underscore, int seconds = 60) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "_=", 2) != 0) env.push_back(*e);
    }
    if (underscore != nullptr) env.push_back(std::string("_=") + underscore);
    env.push_back("SDL_AUDIODRIVER=dummy"); // no sound card on test machines
    std::vector<char*> envp;
    for (std::string& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string prog = program;
    std::string argument = arg;
    char* argv[] = {prog.data(), argument.empty() ? nullptr : argument.data(), nullptr};

    int out[2];
    RunResult r;
    if (pipe(out) != 0) return r;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        if (chdir(workDir.c_str()) != 0) _exit(120);
        execve(prog.c_str(), argv, envp.data());
        _exit(121);
    }
    close(out[1]);
    fcntl(out[0], F_SETFL, O_NONBLOCK);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    for (;;) {
        char buf[4096];
        ssize_t n;
        while ((n = read(out[0], buf, sizeof buf)) > 0) r.output.append(buf, static_cast<size_t>(n));
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            while ((n = read(out[0], buf, sizeof buf)) > 0) r.output.append(buf, static_cast<size_t>(n));
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            close(out[0]);
            return r;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    close(out[0]);
    r.exited = WIFEXITED(status);
    r.status = r.exited ? WEXITSTATUS(status) : -1;
    return r;
}

std::string RealDir(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) return "";
    std::string s(resolved);
    return s.substr(0, s.rfind('/'));
}

// A fresh, empty directory to start the child in, distinct from the program's own directory.
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/voxa_startup_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        workDir_ = tmpl;
        probe_ = VOXA_STARTUP_PROBE;
        probeDir_ = RealDir(probe_);
        ASSERT_FALSE(probeDir_.empty());
    }
    void TearDown() override { rmdir(workDir_.c_str()); }

    // Runs program (with one argument, and "_" as given) in the work directory and checks that
    // it ends by itself with status 0, reports the expected working directory on its "cwd="
    // line (when expectedCwd is not null; the window's start-up prints other lines too), and
    // leaves exactly the expected error log. The log's path is fixed and shared by every
    // program on the machine, so a run whose log other programs wrote to is run again, up to
    // ten times, and a run that fails is repeated up to three times in all (a program that
    // started before it can still add a line); a real fault fails every time.
    void ExpectRun(const std::string& program, const char* arg, const char* underscore,
                   const char* expectedCwd, const std::vector<std::string>& expectedLog,
                   const std::function<void()>& prepare = [] {}) {
        RunResult r;
        std::string cwd;
        std::optional<std::vector<std::string>> log;
        for (int attempt = 0, judged = 0; attempt < 10 && judged < 3; ++attempt) {
            prepare();
            r = RunProgram(program, arg, workDir_, underscore, 60);
            cwd = CwdLine(r.output);
            log = voxatest::LogOfOneRun(kLog, expectedLog.at(1));
            judged += log.has_value();
            if (r.exited && r.status == 0 && (expectedCwd == nullptr || cwd == expectedCwd) && log == expectedLog) {
                return;
            }
        }
        ASSERT_TRUE(r.exited) << program << " " << arg << " did not end by itself";
        EXPECT_EQ(r.status, 0) << arg;
        if (expectedCwd != nullptr) {
            EXPECT_EQ(cwd, expectedCwd) << arg;
        }
        if (log.has_value()) {
            EXPECT_EQ(*log, expectedLog) << arg;
        } else {
            std::printf("%s: other programs wrote to the error log in every run; it was not judged\n", arg);
        }
    }

    static std::string CwdLine(const std::string& output) {
        size_t at = output.find("cwd=");
        if (at == std::string::npos) return "<no cwd line>";
        size_t end = output.find('\n', at);
        return output.substr(at + 4, end == std::string::npos ? std::string::npos : end - at - 4);
    }

    std::vector<std::string> StartLinesAnd(std::vector<std::string> more) const {
        more.insert(more.begin(), {"Current Dir", probeDir_});
        return more;
    }

    std::string workDir_;
    std::string probe_;
    std::string probeDir_;
};

} // namespace

TEST_F(StartupTest, NormalEndExitsZeroWithTheTwoStartLines) {
    // The program changes to its own directory; the log holds "Current Dir" and it, each
    // ended by "\r\n".
    ExpectRun(probe_, "end", probe_.c_str(), probeDir_.c_str(), StartLinesAnd({}));
}

TEST_F(StartupTest, EachRunStartsAFreshLog) {
    auto leaveOldLog = [] {
        std::FILE* f = std::fopen(kLog, "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("left over from an earlier run\r\n", f);
        std::fclose(f);
    };
    ExpectRun(probe_, "end", probe_.c_str(), probeDir_.c_str(), StartLinesAnd({}), leaveOldLog);
    for (const std::string& line : voxatest::ReadLogLines(kLog)) EXPECT_NE(line, "left over from an earlier run");
}

TEST_F(StartupTest, WithoutUnderscoreTheDirectoryIsEmptyAndUnchanged) {
    ExpectRun(probe_, "end", nullptr, workDir_.c_str(), {"Current Dir", ""});
}

TEST_F(StartupTest, UnresolvablePathKeepsTheWorkingDirectory) {
    ExpectRun(probe_, "end", "/no/such/voxa/program", workDir_.c_str(), {"Current Dir", ""});
}

TEST_F(StartupTest, APathWhoseOnlySlashIsTheFirstIsNotCut) {
    // "/tmp" resolves to itself; cutting at index 0 would leave the empty path.
    ExpectRun(probe_, "end", "/tmp", "/tmp", {"Current Dir", "/tmp"});
}

TEST_F(StartupTest, DebugReportIsWrittenOnceHoweverTheProgramEnds) {
    // End(), returning from main (the exit handler registered by RuntimeStart shuts down), and
    // End() again from an exit handler while the process exits: the run-once guard lets exactly
    // one shutdown write its report.
    for (const char* how : {"debug-end", "debug-return", "debug-nested"}) {
        ExpectRun(probe_, how, probe_.c_str(), probeDir_.c_str(),
                  StartLinesAnd({"-End On Line", "0", "-1", "0", "0"}));
    }
}

TEST_F(StartupTest, ArrayErrorEndsWithStatusZeroAndItsCodeInTheReport) {
    ExpectRun(probe_, "debug-array", probe_.c_str(), probeDir_.c_str(),
              StartLinesAnd({"-End On Line", "8", "76", "77", "3"}));
}

TEST_F(StartupTest, ReturningFromMainAlwaysEndsPromptlyWithItsStatus) {
    // A window, textures, and main returning 7: the shutdown runs before the exit handlers and
    // static destructors of the libraries loaded after the start (the GL driver's), so every
    // run ends by itself with the status main returned. The probe ends with 98 when a handler
    // registered after the start finds SDL still running, and with 97 when the start installed
    // SDL's fatal-signal handler. The hang this guards against was seen once in 37 runs.
    constexpr int kRuns = 40;
    for (int run = 0; run < kRuns; ++run) {
        RunResult r = RunProgram(probe_, "textures", workDir_, probe_.c_str(), 60);
        ASSERT_TRUE(r.exited) << "run " << run << " did not end by itself";
        ASSERT_EQ(r.status, 7) << "run " << run;
    }
}
