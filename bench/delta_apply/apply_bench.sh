#!/usr/bin/env bash
# Delta applying against inflating under Wine, on two versions of a
# game-like archive made by gen_game_archive (see apply_bench.cpp).
#
#   bench/delta_apply/apply_bench.sh [MEGABYTES] [ROUNDS]
#
# Needs the Windows build that runs here (scripts/build.sh win).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
mb=${1:-100}
rounds=${2:-5}
bin=$root/build/win/bench/delta_apply
work=$(mktemp -d "${TMPDIR:-/tmp}/delta-apply.XXXXXX")
trap 'rm -rf "$work"' EXIT
win() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
UPD_WINE_TIMEOUT=600 "$root/scripts/wine-run.sh" "$bin/gen_game_archive_win.exe" \
  "$(win "$work/old.bin")" "$(win "$work/new.bin")" "$mb"
UPD_WINE_TIMEOUT=1200 "$root/scripts/wine-run.sh" "$bin/delta_apply_bench.exe" \
  "$(win "$work/old.bin")" "$(win "$work/new.bin")" "$rounds"
