// Input and sound: keyboard, mouse, joysticks; sound effects and music.
#pragma once
