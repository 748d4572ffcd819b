// The error report and log inside the runtime (the commands are in voxa/base.h). Nothing else of
// the runtime is included here, so every layer may include it.
#pragma once

#include "voxa/base.h"

const char* ErrorLogPath();  // the log's path: "/tmp/ErrorLog.txt" unless a test chose its own
