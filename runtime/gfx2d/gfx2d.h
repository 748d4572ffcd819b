// 2D graphics: texture store, BMP files, sprites, fonts, primitives, layers and screen capture.
#pragma once
