// Start-up and shutdown seen from outside: a probe program's exit status, working directory
// and the error log it writes.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "support/errorlog_lines.h"

namespace {

const char* const kLog = "/tmp/ErrorLog.txt";
const char* const kLeftOver = "left over from an earlier run";

struct RunResult {
    int status = -1;                    // exit status; 137 when it was killed after a minute
    std::string cwd = "<no cwd line>";  // the working directory it printed
};

// Runs the probe with one argument in workDir, with "_" in its environment set to underscore,
// or unset when that is null.
RunResult RunProbe(const std::string& arg, const std::string& workDir, const char* underscore) {
    std::string command = "cd '" + workDir + "' && exec timeout -s KILL 60 env -u _ SDL_AUDIODRIVER=dummy ";
    if (underscore != nullptr) command += "'_=" + std::string(underscore) + "' ";
    FILE* out = popen((command + VOXA_STARTUP_PROBE " " + arg).c_str(), "r");
    RunResult r;
    if (out == nullptr) return r;
    std::string output;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, out)) > 0;) output.append(buf, n);
    const int status = pclose(out);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const size_t at = output.find("cwd=");
    if (at != std::string::npos) r.cwd = output.substr(at + 4, output.find('\n', at) - at - 4);
    return r;
}

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/voxa_startup_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        workDir_ = tmpl;
        char resolved[PATH_MAX];
        ASSERT_NE(realpath(VOXA_STARTUP_PROBE, resolved), nullptr);
        probeDir_ = resolved;
        probeDir_.resize(probeDir_.rfind('/'));
    }
    void TearDown() override { rmdir(workDir_.c_str()); }

    std::string workDir_, probeDir_;
};

// Each run starts in an empty directory with an old log left for it to delete, and must end with
// status 0, its directory and exactly the expected log. The log is shared by every program on the
// machine: a run whose log others wrote to is run again, up to ten times, and a failing one up to
// three times in all (an older program can still add a line); a real fault fails every time.
TEST_F(StartupTest, EachWayToEndLeavesStatusZeroTheWorkingDirectoryAndOneFreshLog) {
    const std::vector<std::string> report = {"-End On Line", "0", "-1", "0", "0"};
    struct Case { std::string arg; const char* underscore; std::string cwd; std::vector<std::string> log; };
    const Case cases[] = {
        {"end", VOXA_STARTUP_PROBE, probeDir_, {}},  // changes to its own directory
        {"end", nullptr, workDir_, {}},              // no "_": the directory is empty and unchanged
        {"end", "/no/such/voxa/program", workDir_, {}},
        {"end", "/tmp", "/tmp", {}},  // a path whose only slash is the first is not cut to ""
        // Debug mode: End(), returning from main (the exit handler RuntimeStart registered shuts
        // down) and End() again from an exit handler; exactly one report is written.
        {"debug-end", VOXA_STARTUP_PROBE, probeDir_, report},
        {"debug-return", VOXA_STARTUP_PROBE, probeDir_, report},
        {"debug-nested", VOXA_STARTUP_PROBE, probeDir_, report},
        {"debug-array", VOXA_STARTUP_PROBE, probeDir_, {"-End On Line", "8", "76", "77", "3"}},  // an array error
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arg + " in " + c.cwd);
        std::vector<std::string> expected = {"Current Dir", c.cwd == workDir_ ? "" : c.cwd};
        expected.insert(expected.end(), c.log.begin(), c.log.end());
        RunResult r;
        std::optional<std::vector<std::string>> log;
        for (int attempt = 0, judged = 0; attempt < 10 && judged < 3; ++attempt) {
            std::FILE* old = std::fopen(kLog, "wb");
            ASSERT_NE(old, nullptr);
            std::fprintf(old, "%s\r\n", kLeftOver);
            std::fclose(old);
            r = RunProbe(c.arg, workDir_, c.underscore);
            log = voxatest::LogOfOneRun(kLog, expected[1]);
            judged += log.has_value();
            if (r.status == 0 && r.cwd == c.cwd && log == expected) break;
        }
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.cwd, c.cwd);
        if (log.has_value()) {
            EXPECT_EQ(*log, expected);
        } else {
            std::printf("other programs wrote to the error log in every run; it was not judged\n");
        }
        for (const std::string& line : voxatest::ReadLogLines(kLog)) EXPECT_NE(line, kLeftOver);
    }
}

TEST_F(StartupTest, ReturningFromMainAlwaysEndsPromptlyWithItsStatus) {
    // The shutdown runs before the exit handlers of the libraries loaded after the start (the GL
    // driver's), so every run ends by itself with main's status; the hang this guards against was
    // seen once in 37 runs.
    for (int run = 0; run < 40; ++run) ASSERT_EQ(RunProbe("textures", workDir_, VOXA_STARTUP_PROBE).status, 7) << run;
}

} // namespace
