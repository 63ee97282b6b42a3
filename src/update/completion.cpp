#include "update/completion.h"

#include <windows.h>

#include "env/env_keys.h"
#include "env/env_table.h"
#include "resources/end_install_ids.h"
#include "support/main_window.h"

int RunGameChosen = 0;
int ReadmeChosen = 0;

namespace {

char g_readmeLabel[512];
void (*g_shown)() = nullptr;
constexpr UINT_PTR kShownTimer = 1;

INT_PTR CALLBACK CompletionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      // The short template has no readme box; these two calls then do nothing.
      SendDlgItemMessageA(dialog, IDC_END_README, BM_SETCHECK, BST_UNCHECKED, 0);
      SetDlgItemTextA(dialog, IDC_END_README, g_readmeLabel);
      SendDlgItemMessageA(dialog, IDC_END_RUN_GAME, BM_SETCHECK, BST_CHECKED, 0);
      CenterWindow(dialog);
      // A timer's message comes after the first painting.
      if (g_shown) SetTimer(dialog, kShownTimer, 0, nullptr);
      return TRUE;
    case WM_TIMER:
      if (wParam != kShownTimer) return FALSE;
      KillTimer(dialog, kShownTimer);
      if (g_shown) g_shown();
      g_shown = nullptr;
      return TRUE;
    case WM_COMMAND:
      if (wParam == IDOK) {
        ReadmeChosen = IsDlgButtonChecked(dialog, IDC_END_README) == BST_CHECKED;
        RunGameChosen = IsDlgButtonChecked(dialog, IDC_END_RUN_GAME) == BST_CHECKED;
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (wParam == IDCANCEL) {  // the close box or Esc: nothing is started
        ReadmeChosen = 0;
        RunGameChosen = 0;
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowCompletionDialog(void (*shown)()) {
  g_shown = shown;
  EnvGetString(kEnvInstReadmeKey, g_readmeLabel, sizeof g_readmeLabel, kEnvInstReadmeDefault);
  HWND owner = MainWindow();
  HINSTANCE instance =
      owner ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE)) : nullptr;
  if (!instance) instance = GetModuleHandleA(nullptr);
  bool offerReadme = g_readmeLabel[0] != '-';
  DialogBoxParamA(instance, offerReadme ? "ENDINSTALL" : "ENDINSTALL_SHORT", owner, CompletionProc,
                  0);
  if (!offerReadme) ReadmeChosen = 0;
  g_shown = nullptr;
}
