// The update command of the main menu.
#pragma once

// Finds the target folder (from the registry, or through the user), extracts
// the payload into it, writes the [ini] and [reg] entries, deletes the
// [delfiles_afterinst] files, shows the completion dialog and starts the
// game and the readme as chosen. 0 when the update was applied (the current
// folder is then the target folder); -1 when it was abandoned, after
// "アップデートを中止しました", with nothing written.
int RunUpdate();
