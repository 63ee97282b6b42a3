#include "update/run_update.h"

#include <windows.h>

#include "env/env_keys.h"
#include "env/env_table.h"
#include "env/sections.h"
#include "payload/delta_check.h"
#include "payload/extract.h"
#include "payload/format.h"
#include "support/ansi.h"
#include "support/message_box.h"
#include "target/registry.h"
#include "target/target_folder.h"
#include "txn/game_lock.h"
#include "txn/staging.h"
#include "update/cdrom.h"
#include "update/completion.h"
#include "update/deletion.h"
#include "update/launch.h"
#include "update/transfer.h"

namespace {

int Abandon() {
  ErrorBox("アップデートを中止しました");
  return -1;
}

// The target folder from the registry, or from the user when none is
// recorded and the user agrees to pick it. False when the run is abandoned.
bool FindFolder(char* folder) {
  int found = FindTargetFolder(folder);
  if (found == 0) return true;
  if (found != -1) return false;
  if (!AskYesNo(
          "[ %s ] "
          "本体のインストール先を特定できませんでした。\nインストール先を手動で指定しますか？",
          EnvTitleBar())) {
    return false;
  }
  return AskTargetFolder(folder) == 0;
}

void TransferIniLines(char* key, char* value) {
  if (EnvIniFile()[0] == '-') return;
  for (const SectionEntry* e = IniList.first; e; e = e->next) {
    if (ParseIniLine(e->text, key, value) == 0) {
      WritePrivateProfileStringA(EnvIniSection(), key, value, EnvIniFile());
    }
  }
}

void TransferRegLines(char* name, char* data) {
  if (EnvRegGlobal()[0] == '-') return;
  for (const SectionEntry* e = RegList.first; e; e = e->next) {
    if (ParseRegLine(e->text, name, data) == 0) {
      RegWriteString(EnvRegGlobal(), EnvRegLocal(), name, data);
    }
  }
}

}  // namespace

int RunUpdate() {
  char folder[MAX_PATH] = "";
  char name[kTransferTextSize];
  char value[kTransferTextSize];

  if (!FindFolder(folder)) return Abandon();
  // Held to the end of the process: no other update writes into this
  // folder meanwhile.
  if (!GameLockAcquire(folder)) {
    ErrorBox(
        "[ %s ] "
        "は別のアップデートが更新中です。\nそのアップデートが終わってから、もう一度実行してください"
        "。",
        folder);
    return Abandon();
  }
  // Delta entries need the very files they were made from. Checked here,
  // the last place a refusal can still go back to the menu (the extraction
  // ends the program when it fails), and under the lock, so no other update
  // changes them before they are read. A killed run's files go back first:
  // the bases are the old versions.
  StagingRecover(folder);
  int bases = CheckDeltaBases(folder);
  if (bases == kBasesDiffer) ErrorBox("%s", kVersionTooOld);
  // Nothing was written: the player gets the menu back either way.
  if (bases != kBasesMatch) return Abandon();
  ExtractPayload(folder, kPayloadFullMode);  // does not come back when it fails

  SetTransferPlatform(GetCdromDrive, AnsiIsLeadByte);
  SetTransferTargetFolder(folder);
  TransferIniLines(name, value);
  TransferRegLines(name, value);
  SetTransferTargetFolder(nullptr);  // the folder text lives only as long as this run
  DeleteAfterInstallFiles(folder);

  ShowCompletionDialog(StagingClearBehind);
  SetCurrentDirectoryA(folder);  // stays: the game and the readme are found here
  if (RunGameChosen) StartProgram(EnvExeName());
  if (ReadmeChosen) {
    EnvGetString(kEnvInstReadmeFlKey, name, sizeof name, kEnvInstReadmeFlDefault);
    OpenDocument(name);
  }
  return 0;
}
