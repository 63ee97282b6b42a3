#include "target/setup_dialog.h"

#include <shlobj.h>

#include <cstring>

#include "resources/setup_ids.h"
#include "support/main_window.h"
#include "support/text.h"
#include "target/folder_rules.h"

namespace {

char g_folder[kTargetFolderSize];
bool g_entryTooLong = false;

// Reads the edit field whole, so that an entry too long for the folder text
// is seen as such instead of being cut to another folder's name.
void TakeEntry(HWND dialog) {
  char entry[1024];
  GetDlgItemTextA(dialog, IDC_SETUP_FOLDER, entry, sizeof entry);
  g_entryTooLong = strlen(entry) >= sizeof g_folder;
  if (!g_entryTooLong) CopyText(g_folder, sizeof g_folder, entry);
}

// The shell's folder browser; a chosen file-system folder replaces the
// folder text, a cancelled browse leaves it unchanged.
void BrowseForFolder(HWND owner) {
  char chosen[MAX_PATH];
  char title[] = "フォルダを作成する場所を選択してください";
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;
  info.pszDisplayName = chosen;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
  info.lpfn = nullptr;
  info.lParam = 0;
  info.iImage = 0;
  LPITEMIDLIST items = SHBrowseForFolderA(&info);
  if (!items) return;
  if (SHGetPathFromIDListA(items, chosen)) CopyText(g_folder, sizeof g_folder, chosen);
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
    allocator->Free(items);
    allocator->Release();
  }
}

}  // namespace

char* TargetFolderText() { return g_folder; }

bool SetupEntryTooLong() { return g_entryTooLong; }

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      g_entryTooLong = false;
      CenterWindow(dialog);
      SetDlgItemTextA(dialog, IDC_SETUP_FOLDER, g_folder);
      return TRUE;
    case WM_COMMAND:
      // The whole wParam: notifications other than a click are not ours.
      if (wParam == IDOK) {
        TakeEntry(dialog);
        EndDialog(dialog, 1);
        return TRUE;
      }
      if (wParam == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      if (wParam == IDC_SETUP_BROWSE) {
        BrowseForFolder(dialog);
        SetDlgItemTextA(dialog, IDC_SETUP_FOLDER, g_folder);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}
