// The completion dialog that ends an applied update: it offers to run the
// game and, when INSTREADME names a readme, to open it.
#pragma once

// Shows "ENDINSTALL" (or "ENDINSTALL_SHORT" when INSTREADME is absent or
// begins with "-") modally, owned by the main window, and sets the two
// choices below before it returns. `shown` (may be null) runs once the
// dialog is on the screen, for work the player need not wait for.
void ShowCompletionDialog(void (*shown)() = nullptr);

// The user's choices, 0 at process start: set by OK from the check boxes,
// both 0 when the dialog is closed any other way.
extern int RunGameChosen;
extern int ReadmeChosen;
