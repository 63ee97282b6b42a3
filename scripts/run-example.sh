#!/usr/bin/env bash
# The main job: a real update, run as a player would.
#
#   scripts/run-example.sh                 headless: Xvfb, driven by the player, screenshots
#   scripts/run-example.sh --interactive   in a visible Wine window on $DISPLAY, for a person
#
# It installs what is missing, builds updpack, the updater and the example's
# game, and puts updpack with the updater beside it (its default stub) into
# build/example/sdk, as a game maker has them. It builds the update from two
# versions of the game (--base): 1.01 (examples/v101 and the game) and 1.02
# (examples/update, the title picture examples/title.png and a generated game
# data archive), proves natively with `updpack apply` that it turns 1.01 into
# 1.02, prepares an installed 1.01 in a fresh Wine prefix (its registry key
# with "IsInst", "InstTo" and "Version"), runs the update there and then shows what changed: the game folder
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
# Two versions of the game's folder: 1.01, as players have it, and 1.02,
# the files of examples/update with what 1.02 keeps of 1.01 and a new data
# archive of a realistic size, so the progress window has work to show.
cp -r examples/v101 "$out/v101"
cp "build/$flavour/examples/KazamiNatsu.exe" "$out/v101/"
cp -r examples/update "$out/input"
mkdir -p "$out/input/data"
cp -p "$out/v101/KazamiNatsu.exe" "$out/input/"
cp -p "$out/v101/data/patch101.arc" "$out/input/data/"
build/release/bench/updpack/gen_mixed large "$out/input/data/patch102.arc" 96 >/dev/null
"$out/sdk/updpack" build --base "$out/v101" -v --title examples/title.png -o "$out/update.exe" \
  "$out/input"
"$out/sdk/updpack" verify "$out/update.exe"
"$out/sdk/updpack" list "$out/update.exe" | grep '^delete' | sed 's/^/  /'

echo "== the proof, natively: 1.01 + the update = 1.02"
cp -a "$out/v101" "$out/proof"
"$out/sdk/updpack" apply "$out/update.exe" "$out/proof"
# install.env is deleted by its own [delfiles_afterinst] line.
if diff -r -x install.env "$out/proof" "$out/input"; then
  echo "  ok: updpack apply turned a copy of 1.01 into 1.02"
else
  echo "run-example: the update does not turn 1.01 into 1.02" >&2
  exit 1
fi

echo "== the player's machine: a Wine prefix with the game installed"
export WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
wine() { "${wine_cmd[@]}" "$@"; }
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
template=$(scripts/wine-template.sh "$UPD_WINE_ARCH" example)
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
mkdir -p "$(dirname "$game_unix")"
cp -a "$out/v101" "$game_unix"
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
scripts/example-checks.sh "$out/input" "$game_unix" "$game" "$key" || status=1

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
