// Linked into every test program: a program that ends before Google Test has finished its run
// (a runtime command that ends the process with status 0 from inside a test, for example) fails
// with status 1 instead of being counted as a pass. Death-test children, whose exits are the
// thing under test, and programs that never started a test run (helper modes) are left alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool gStarted = false;
bool gFinished = false;
pid_t gRunPid = 0;

class RunEnd : public ::testing::EmptyTestEventListener {
    void OnTestProgramStart(const ::testing::UnitTest&) override {
        gStarted = true;
        gRunPid = getpid();
    }
    void OnTestProgramEnd(const ::testing::UnitTest&) override { gFinished = true; }
};

void CheckRunEnded() {
    if (!gStarted || gFinished || getpid() != gRunPid || ::testing::internal::InDeathTestChild()) return;
    std::fputs("exit_guard: the program ended before its tests finished\n", stderr);
    std::fflush(nullptr);
    _exit(1);
}

const bool gInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new RunEnd);
    std::atexit(CheckRunEnded);
    return true;
}();

} // namespace
