#!/usr/bin/env bash
# The main job: installs what is missing, builds updpack and the Windows
# programs, packs the example update (examples/update with the title picture
# examples/title.png and a generated game data archive) and runs it under
# Wine. The packed update runs the updater's start-up and its extraction
# (update-preview.exe as the stub): the game folder it fills is compared with
# the input afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
. scripts/wine-arch.sh
upd_wine_select
echo "Windows layer: $UPD_WINE_REASON"
scripts/build.sh release wine

out=build/example
rm -rf "$out"
mkdir -p "$out"
cp -r examples/update "$out/input"
mkdir -p "$out/input/data"
# A game data archive of a realistic size, so the progress window has work to show.
build/release/bench/updpack/gen_mixed large "$out/input/data/patch102.arc" 24 >/dev/null

updpack=build/release/src/updpack/updpack
echo "== updpack check"
"$updpack" check "$out/input/install.env" | sed -n '1,12p'
echo "== updpack build"
"$updpack" build --stub build/$UPD_WIN_BUILD/bin/update-preview.exe --title examples/title.png \
  -o "$out/update.exe" "$out/input"
echo "== updpack list"
"$updpack" list "$out/update.exe"
echo "== updpack verify"
"$updpack" verify "$out/update.exe"

echo "== the update under Wine"
game=$(cd "$out" && pwd)/game
# Wine's drive Z: is the Linux root.
UPD_WINE_TIMEOUT=120 scripts/wine-run.sh "$out/update.exe" "Z:${game//\//\\}"
iconv -f CP932 -t UTF-8 "$game/preview.log"
rm "$game/preview.log"
# insttscr.rct came from the picture, not from the folder.
diff -r --exclude=insttscr.rct "$out/input" "$game"
echo "run-example: the update's files arrived intact in $game"
