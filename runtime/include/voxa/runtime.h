// The runtime's command interface: the one header a program includes.
#pragma once

#include "voxa/base.h"
#include "voxa/basics.h"
#include "voxa/core.h"
#include "voxa/devices.h"
#include "voxa/files.h"
#include "voxa/gfx2d.h"
#include "voxa/gfx3d.h"
#include "voxa/net.h"
#include "voxa/pathfinding.h"
#include "voxa/window.h"
