// The runtime's command interface: the one header a program includes.
#pragma once

#include "basics/basics.h"
#include "core/core.h"
#include "devices/devices.h"
#include "files/files.h"
#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d.h"
#include "net/net.h"
#include "pathfinding/pathfinding.h"
