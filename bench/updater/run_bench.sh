#!/usr/bin/env bash
# The updater's whole run under Wine against a plain chunked zlib extraction
# of the same files under the same Wine (built with the same compiler), and
# its start-up to a visible menu with a payload of about 1 GB. Reports ratios
# and the start-up time measured in this run (see updater_bench.cpp).
#
#   bench/updater/run_bench.sh [ROUNDS] [BIG_MEGABYTES] [SMALL_FILES]
#
# Runs twice: into an empty game folder, and over one that holds every file
# already (an update replacing them). UPD_BENCH_STUB=UPDATER.EXE measures
# another build of the updater (an older one, for a comparison in one run).
#
# Needs the release build and the Windows build that runs here
# (scripts/build.sh release wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/wine-arch.sh
. "$root/scripts/wine-arch.sh"
upd_wine_select
rounds=${1:-3}
big=${2:-1024}
small=${3:-360}
updpack=$root/build/release/src/updpack/updpack
gen=$root/build/release/bench/updpack/gen_mixed
win=$root/build/$UPD_WIN_BUILD
stub=${UPD_BENCH_STUB:-$win/bin/updater.exe}
for tool in "$updpack" "$gen" "$stub" "$win/bench/updater/updater_bench.exe"; do
  [ -e "$tool" ] || { echo "run_bench: $tool missing; run scripts/build.sh release wine" >&2; exit 2; }
done
echo "Windows layer: $UPD_WINE_REASON"

work=$(mktemp -d "${TMPDIR:-/tmp}/updater-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
env_file() {
  printf 'TITLEBAR\tBench\r\nREG_GLOBAL\tUpdBench\r\nREG_LOCAL\tBench\r\nEXENAME\tnone.exe\r\n[EOF]\r\n'
}
# A game update of the usual shape: one large data archive and a few
# hundred small files, 134 MB and 362 files in all.
mkdir -p "$work/update/data"
env_file >"$work/update/install.env"
"$gen" large "$work/update/data/patch.arc" 114 >/dev/null
[ "$small" = 0 ] || "$gen" small "$work/update/data/small" "$small" >/dev/null
# The same start-up files before about 1 GB of data in a sub-folder.
mkdir -p "$work/big/data"
env_file >"$work/big/install.env"
head -c "$((big << 20))" /dev/urandom >"$work/big/data/movie.bin"
"$updpack" -q build --stub "$stub" --title "$root/examples/title.png" -o "$work/update.exe" "$work/update"
"$updpack" -q build --stub "$stub" --title "$root/examples/title.png" -o "$work/big.exe" "$work/big"
echo "update: $(find "$work/update" -type f | wc -l) files, $(du -sm "$work/update" | cut -f1) MB;" \
  "big update: $(du -m "$work/big.exe" | cut -f1) MB"

for mode in ${UPD_BENCH_MODES:-fresh replace}; do
  echo "== $mode"
  UPD_WINE_TIMEOUT=3600 "$root/scripts/wine-run.sh" "$win/bench/updater/updater_bench.exe" \
    "Z:${work//\//\\}\\update.exe" "Z:${work//\//\\}\\big.exe" "$rounds" "$mode"
done
