// One update at a time per game folder, across processes.
#pragma once

// Takes the lock named after the folder and holds it until the process ends.
// False when another process holds it.
bool GameLockAcquire(const char* folder);
