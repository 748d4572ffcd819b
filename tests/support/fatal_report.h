// Test support: runs a piece of code that must end the program through EndProgram, in a child
// process, and checks the exit status and the debug report it leaves in a private error log.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "support/errorlog_lines.h"
#include "voxa/testing.h"
#include "voxa/window.h"

namespace voxatest {

// The source position the child reports through SetLinePosition before running the body.
constexpr int kReportModule = 4;
constexpr int kReportLine = 120;

// body runs in debug mode in a forked child; it must end the process with status 0 and leave
// exactly the end-of-line report for runtime error code `code`.
inline void ExpectEndWithCode(const std::function<void()>& body, int code, const std::string& tag) {
    std::string log = PrivateLogPath(tag);
    EXPECT_EXIT(
        {
            SetErrorLogPathForTesting(log.c_str());
            gSettings.debugMode = 1;
            SetLinePosition(kReportModule, kReportLine);
            body();
            std::fputs("the body returned instead of ending the program\n", stderr);
            std::_Exit(42);
        },
        ::testing::ExitedWithCode(0), "");
    std::vector<std::string> expected = {"-End On Line", std::to_string(code),
                                         std::to_string(kReportLine - 1),
                                         std::to_string(kReportLine),
                                         std::to_string(kReportModule)};
    EXPECT_EQ(ReadLogLines(log), expected) << tag << ": error code " << code;
    std::remove(log.c_str());
}

} // namespace voxatest
