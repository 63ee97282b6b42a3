#!/usr/bin/env bash
# The main job: a real update, run as a player would.
#
#   scripts/run-example.sh                 headless: Xvfb, driven by the player, screenshots
#   scripts/run-example.sh --interactive   in a visible Wine window on $DISPLAY, for a person
#
# It installs what is missing, builds updpack, the updater and the example's
# game, and puts updpack with the updater beside it (its default stub) into
# build/example/sdk, as a game maker has them. It packs examples/update (with
# the title picture examples/title.png and a generated game data archive),
# prepares an installed game in a fresh Wine prefix (its registry key with
# "IsInst", "InstTo" and "Version", a game folder with its key file and older
# data), runs the update there and then shows what changed: the game folder
# against the input, the INI entries, the registry values, the deleted files,
# and that the game was started in its folder. Headless, the player
# (examples/player) goes through the windows and build/example/*.png keep a
# picture of each.
#
# Machines that cannot run 32-bit programs run the x86_64 build of the same
# sources under wine64; the i686 build is made all the same.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

interactive=0
case "${1:-}" in
  "") ;;
  --interactive) interactive=1 ;;
  *) echo "usage: $0 [--interactive]" >&2; exit 2 ;;
esac
if [ $interactive = 1 ] && [ -z "${DISPLAY:-}" ]; then
  echo "run-example: --interactive needs a display (DISPLAY is not set)" >&2
  exit 2
fi

scripts/install-deps.sh

# The Windows build that runs here, and the Wine that runs it.
. scripts/wine-arch.sh
upd_wine_select
echo "Windows layer: $UPD_WINE_REASON"
flavour=$UPD_WIN_BUILD
if [ "$UPD_WINE_ARCH" = i686 ]; then
  export WINEARCH=win32
  wine_cmd=(/usr/lib/wine/wine)
else
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  wine_cmd=(/usr/lib/wine/wine64)
fi
scripts/build.sh release wine
bin=build/$flavour/bin

out=build/example
rm -rf "$out"
mkdir -p "$out/shots"
out=$(cd "$out" && pwd)

echo "== the game maker: updpack with the updater beside it"
mkdir -p "$out/sdk"
cp build/release/src/updpack/updpack "$out/sdk/"
cp "$bin/updater.exe" "$out/sdk/"
cp -r examples/update "$out/input"
mkdir -p "$out/input/data"
# A game data archive of a realistic size, so the progress window has work to show.
build/release/bench/updpack/gen_mixed large "$out/input/data/patch102.arc" 96 >/dev/null
"$out/sdk/updpack" build --title examples/title.png -o "$out/update.exe" "$out/input"
"$out/sdk/updpack" verify "$out/update.exe"

echo "== the player's machine: a Wine prefix with the game installed"
export WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
wine() { "${wine_cmd[@]}" "$@"; }
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
cache=${UPD_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/updater-wine}
template="$cache/example2-$WINEARCH-$(wine --version | tr -c 'A-Za-z0-9.\n' '_')"
mkdir -p "$cache"
(
  flock 9
  if [ ! -f "$template/.ready" ]; then
    rm -rf "$template"
    # The dialogs ask for "ＭＳ Ｐゴシック"; a Japanese font stands in for it
    # and for the system's own dialog and caption fonts.
    python3 - "$cache/fonts.reg" <<'EOF'
import sys
faces = {"ＭＳ Ｐゴシック": "IPAPGothic", "MS PGothic": "IPAPGothic", "ＭＳ ゴシック": "IPAGothic",
         "MS Gothic": "IPAGothic", "MS UI Gothic": "IPAPGothic", "MS Shell Dlg": "IPAPGothic",
         "MS Shell Dlg 2": "IPAPGothic", "Tahoma": "IPAPGothic"}
lines = ["Windows Registry Editor Version 5.00", "",
         "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]"]
lines += ['"%s"="%s"' % item for item in faces.items()]
open(sys.argv[1], "wb").write(("\r\n".join(lines) + "\r\n").encode("utf-16"))
EOF
    WINEPREFIX="$template" wine wineboot -i >/dev/null 2>&1
    WINEPREFIX="$template" wine regedit /S "$(winpath "$cache/fonts.reg")" >/dev/null 2>&1
    # The caption buttons' symbols.
    cp /usr/share/wine/fonts/marlett.ttf "$template/drive_c/windows/Fonts/" 2>/dev/null || true
    WINEPREFIX="$template" wineserver -w
    touch "$template/.ready"
  fi
) 9>"$cache/.lock"
export WINEPREFIX="$out/prefix"
cp -a "$template/." "$WINEPREFIX/"
rm -f "$WINEPREFIX/.ready"

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true  # this prefix's server and its programs only
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
if [ $interactive = 0 ]; then
  exec 8>"$out/display"
  Xvfb -displayfd 8 -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$out/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -1 "$out/display")"
  # No window manager: Wine draws the frames and captions itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi

game_unix="$WINEPREFIX/drive_c/Games/KazamiNatsu"
game='C:\Games\KazamiNatsu'
key='HKCU\Software\KazamiSoft\KazamiNatsu'
mkdir -p "$game_unix/old" "$game_unix/data"
cp "build/$flavour/examples/KazamiNatsu.exe" "$game_unix/"
echo "version 1.00 data" >"$game_unix/old/kazami100.dat"
echo "version 1.01 data" >"$game_unix/old/kazami101.dat"
echo "keeps" >"$game_unix/data/patch101.arc"
wine reg add "$key" /v IsInst /d 1 /f >/dev/null
wine reg add "$key" /v InstTo /d "$game" /f >/dev/null
wine reg add "$key" /v Version /d 100 /f >/dev/null
echo "installed: $game (registry Version 100)"
(cd "$game_unix" && find . -type f | sort | sed 's/^/  before: /')

echo "== the update"
if [ $interactive = 1 ]; then
  echo "run-example: click through the update in the Wine window"
  wine "$(winpath "$out/update.exe")" || echo "run-example: the updater ended with exit code $?"
else
  pngtopnm examples/title.png | ppmtobmp -bpp 24 >"$out/title.bmp" 2>/dev/null
  UPD_PLAYER_OK=1
  wine "$(winpath "$root/build/$flavour/examples/player.exe")" "$(winpath "$out/update.exe")" \
    "$(winpath "$out/shots")" "$(winpath "$out/title.bmp")" || UPD_PLAYER_OK=0
  for shot in "$out"/shots/*.bmp; do
    [ -e "$shot" ] || continue
    name=$(basename "$shot" .bmp)
    bmptopnm "$shot" 2>/dev/null | pnmtopng >"$out/$name.png" 2>/dev/null
  done
  rm -rf "$out/shots"
  [ $UPD_PLAYER_OK = 1 ] || { echo "run-example: the player failed" >&2; exit 1; }
fi
# The game runs on its own; give it a moment to write its record.
for _ in $(seq 100); do [ -s "$game_unix/started.txt" ] && break; sleep 0.1; done

echo "== what changed"
status=0
check() {  # description test...
  local what=$1; shift
  if "$@"; then echo "  ok: $what"; else echo "  FAILED: $what"; status=1; fi
}
(cd "$game_unix" && find . -type f | sort | sed 's/^/  after: /')
for f in $(cd "$out/input" && find . -type f | sort); do
  case $f in ./install.env) continue ;; esac
  check "$f arrived intact" cmp -s "$out/input/$f" "$game_unix/$f"
done
check "install.env and insttscr.rct were deleted after the update" \
  test ! -e "$game_unix/install.env" -a ! -e "$game_unix/insttscr.rct"
check 'old\*.dat were deleted' test -z "$(ls "$game_unix"/old/*.dat 2>/dev/null)"
check "the older data/patch101.arc was left alone" test -e "$game_unix/data/patch101.arc"
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

if [ $interactive = 0 ]; then
  echo "== screenshots"
  ls "$out"/*.png | sed 's/^/  /'
fi
if [ $status = 0 ]; then
  echo "run-example: the update ran end to end (files, INI, registry, deletions, game started)"
else
  echo "run-example: some checks failed" >&2
fi
exit $status
