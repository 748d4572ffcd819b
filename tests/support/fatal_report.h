// Test support: code that must end the program through EndProgram, run in a child process.
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

// body runs in debug mode at source line 120 of module 4; it must end the process with status 0
// and leave exactly the end-of-line report for runtime error code `code` in a private log.
inline void ExpectEndWithCode(const std::function<void()>& body, int code, const std::string& tag) {
    const std::string log = PrivateLogPath(tag);
    EXPECT_EXIT(
        {
            SetErrorLogPathForTesting(log.c_str());
            gSettings.debugMode = 1;
            SetLinePosition(4, 120);
            body();
            std::fputs("the body returned instead of ending the program\n", stderr);
            std::_Exit(42);
        },
        ::testing::ExitedWithCode(0), "");
    const std::vector<std::string> expected = {"-End On Line", std::to_string(code), "119", "120", "4"};
    EXPECT_EQ(ReadLogLines(log), expected) << tag << ": error code " << code;
    std::remove(log.c_str());
}

} // namespace voxatest
