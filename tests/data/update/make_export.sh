#!/usr/bin/env bash
# Remakes export.reg: string values with backslashes, double quotes, "=",
# Japanese text and an empty text, a DWORD, a binary value, a default value
# and a subkey, set with reg.exe and exported with regedit under Wine, then
# converted from UTF-16 to Shift-JIS as a game maker's editor would save it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=$(mktemp -d) WINEARCH=win64 WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
wine=${WINE:-wine}
key='HKCU\Software\UpdTestMaker\UpdTestTitle'
$wine wineboot -i >/dev/null 2>&1
$wine reg add "$key" /v Path /d 'C:\Games\Title\save' /f
$wine reg add "$key" /v Quote /d 'say "hi" \"there\"' /f
$wine reg add "$key" /v Formula /d 'a=b "=" c' /f
$wine reg add "$key" /v 日本語 /d '表示テスト　ソフト' /f
$wine reg add "$key" /v Empty /d '' /f
$wine reg add "$key" /v Count /t REG_DWORD /d 16 /f
$wine reg add "$key" /v Raw /t REG_BINARY /d 0102ff /f
$wine reg add "$key" /ve /d 'default text' /f
$wine reg add "$key\Sub" /v Inner /d x /f
$wine regedit /e 'C:\export.reg' 'HKEY_CURRENT_USER\Software\UpdTestMaker'
iconv -f UTF-16 -t CP932 "$WINEPREFIX/drive_c/export.reg" >"$here/export.reg"
wineserver -k || true
rm -rf "$WINEPREFIX"
