#!/usr/bin/env bash
# What the example update changed on the player's machine, each point shown
# as "ok" or "FAILED": the game folder against the input, the deletions, the
# INI entries, the registry values and the game started in its folder.
# Run by scripts/run-example.sh after the update, in the update's Wine
# prefix (WINEPREFIX and WINEARCH set). Exit code 1 when a point failed.
#
#   scripts/example-checks.sh INPUT GAME_FOLDER 'C:\GAME\FOLDER' 'HKCU\KEY'
set -uo pipefail
if [ $# -ne 4 ]; then
  echo "usage: $0 INPUT GAME_FOLDER WINDOWS_GAME_FOLDER REGISTRY_KEY" >&2
  exit 2
fi
input=$1 game_unix=$2 game=$3 key=$4
: "${WINEPREFIX:?set WINEPREFIX to the prefix the update ran in}"
if [ "${WINEARCH:-}" = win32 ]; then loader=/usr/lib/wine/wine; else loader=/usr/lib/wine/wine64; fi
wine() { "$loader" "$@"; }

status=0
check() {  # description test...
  local what=$1; shift
  if "$@"; then echo "  ok: $what"; else echo "  FAILED: $what"; status=1; fi
}
(cd "$game_unix" && find . -type f | sort | sed 's/^/  after: /')
for f in $(cd "$input" && find . -type f | sort); do
  case $f in ./install.env) continue ;; esac
  check "$f arrived intact" cmp -s "$input/$f" "$game_unix/$f"
done
check "install.env and insttscr.rct were deleted after the update" \
  test ! -e "$game_unix/install.env" -a ! -e "$game_unix/insttscr.rct"
check 'old\*.dat were deleted' test -z "$(ls "$game_unix"/old/*.dat 2>/dev/null)"
check "the older data/patch101.arc was left alone" test -e "$game_unix/data/patch101.arc"
check "data/voice101.arc, which 1.02 no longer has, was deleted" \
  test ! -e "$game_unix/data/voice101.arc"
check "the old folder, emptied, was removed" test ! -e "$game_unix/old"
# The game writes started.txt when it starts; install.env deletes itself.
check "the game folder is 1.02 (diff -r)" \
  diff -r -x started.txt -x install.env "$game_unix" "$input"
ini="$WINEPREFIX/drive_c/windows/KazamiNatsu.ini"
echo "  INI file C:\\windows\\KazamiNatsu.ini:"
iconv -f CP932 -t UTF-8 "$ini" 2>/dev/null | tr -d '\r' | sed 's/^/    /' || true
check "INI Path is the game folder" grep -qF "Path=$game" "$ini"
check "INI Version is 102" grep -q "^Version=102" "$ini"
echo "  registry $key:"
wine reg query "$key" 2>/dev/null | tr -d '\r' | grep REG_ | sed 's/^ */    /'
reg_value() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }
check "registry Version is 102" test "$(reg_value Version)" = 102
check "registry InstTo is the game folder" test "$(reg_value InstTo)" = "$game"
echo "  the game's record (started.txt):"
tr -d '\r' <"$game_unix/started.txt" 2>/dev/null | sed 's/^/    /' || true
check "the game was started in its folder" grep -qF "current folder: $game" "$game_unix/started.txt"
check "the game read the new INI" grep -q "INI Version: 102" "$game_unix/started.txt"
exit $status
