// The game's assets: every font, texture, sound and model under the number the game uses it by.
#pragma once

// Issues the game's 42 loading calls, in their fixed order, resolving the names in the working
// directory. Called at every (re)start of the game; a missing or unreadable file does what the
// loading command does with it (an empty slot, a log entry, or the end of the program).
void LoadAssets();
