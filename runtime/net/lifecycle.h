// The network object's start-up and shutdown steps, run by RuntimeStart and EndProgram (core/).
#pragma once

void CreateNetGame();        // the network object, both connection ids -1
void ShutdownNetGame();      // stops the thread, says goodbye for every local player, frees it
