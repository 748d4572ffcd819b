// Files and system: case-insensitive lookup, the pack archive, text/INI files, system commands.
#pragma once

#include "files/lookup.h"
