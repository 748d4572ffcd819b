// The parsers' library has no start-up and no shutdown: EndProgram lives with RuntimeStart, which
// the fuzz targets do not link. A parser never ends the program on bad input (it reports the
// failure its caller defines), so reaching EndProgram through one (a string command's End, an
// array's bad index) is a finding: the fuzzer sees it as a crash.
#include <cstdlib>

#include "base/errors.h"

void EndProgram() { std::abort(); }
