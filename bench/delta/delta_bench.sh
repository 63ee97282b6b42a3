#!/usr/bin/env bash
# The delta codec against `xdelta3 -9` and `bsdiff` on three pairs: two
# releases of a real executable and of a large real script bundle (fetched
# with npm, nothing kept), and two versions of a generated game archive.
# Sizes are what each tool's patch takes (ours as a payload entry: header,
# time stamp and delta stream); times are wall seconds of each program,
# files in the page cache. Ratios are ours against each tool, same run.
#
#   bench/delta/delta_bench.sh [ARCHIVE_MEGABYTES]
#
# Needs the release build (scripts/build.sh release), npm, and installs
# xdelta3 and bsdiff if they are missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tool=$root/build/release/bench/delta/delta_bench_tool
gen=$root/build/release/bench/delta/gen_game_archive
megabytes=${1:-64}
for t in "$tool" "$gen"; do
  [ -x "$t" ] || { echo "delta_bench: $t missing; run scripts/build.sh release" >&2; exit 2; }
done
if ! command -v xdelta3 >/dev/null || ! command -v bsdiff >/dev/null; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq && $SUDO apt-get install -y -qq --no-install-recommends xdelta3 bsdiff >/dev/null
fi
command -v npm >/dev/null || { echo "delta_bench: npm is not installed" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/delta-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

fetch() {  # package@version file-inside-package destination
  local dir=$work/npm-${1//[@\/]/_}
  mkdir -p "$dir"
  (cd "$dir" && npm pack --silent "$1" >/dev/null && tar xzf ./*.tgz)
  cp "$dir/package/$2" "$3"
}
echo "fetching releases"
fetch @esbuild/linux-x64@0.19.11 bin/esbuild "$work/exe.old"
fetch @esbuild/linux-x64@0.19.12 bin/esbuild "$work/exe.new"
fetch typescript@5.3.3 lib/typescript.js "$work/script.old"
fetch typescript@5.4.2 lib/typescript.js "$work/script.new"
echo "generating: a game archive of $megabytes MiB, twice"
"$gen" "$work/archive.old" "$work/archive.new" "$megabytes"

seconds() {  # command...: runs it, prints wall seconds
  local t0 t1
  t0=$(date +%s%N)
  "$@" >/dev/null 2>&1
  t1=$(date +%s%N)
  echo "scale=2; ($t1 - $t0) / 1000000000" | bc
}
size() { stat -c %s "$1"; }
ratio() { echo "scale=3; $1 / $2" | bc; }

printf '\n%-8s %9s | %9s %6s %6s | %9s %6s %6s | %9s %6s %6s | %6s %6s\n' pair "new B" \
  "ours B" enc apply "xdelta B" enc dec "bsdiff B" enc patch "/xd" "/bsd"
for pair in exe script archive; do
  old=$work/$pair.old new=$work/$pair.new
  cat "$old" "$new" >/dev/null
  enc=$(seconds "$tool" encode "$old" "$new" "$work/$pair.delta")
  app=$(seconds "$tool" apply "$old" "$work/$pair.delta" "$work/$pair.out")
  cmp -s "$work/$pair.out" "$new" || { echo "delta_bench: $pair: applied file differs" >&2; exit 1; }
  # As a payload entry: name length, name ("data\\$pair" and NUL), size,
  # packed size, time stamp.
  ours=$(( $(size "$work/$pair.delta") + 2 + ${#pair} + 6 + 8 + 8 ))
  xenc=$(seconds xdelta3 -9 -f -e -s "$old" "$new" "$work/$pair.xd")
  xdec=$(seconds xdelta3 -f -d -s "$old" "$work/$pair.xd" "$work/$pair.xout")
  benc=$(seconds bsdiff "$old" "$new" "$work/$pair.bsd")
  bdec=$(seconds bspatch "$old" "$work/$pair.bout" "$work/$pair.bsd")
  cmp -s "$work/$pair.xout" "$new" && cmp -s "$work/$pair.bout" "$new" ||
    { echo "delta_bench: $pair: a baseline tool failed" >&2; exit 1; }
  xd=$(size "$work/$pair.xd") bsd=$(size "$work/$pair.bsd")
  printf '%-8s %9s | %9s %6s %6s | %9s %6s %6s | %9s %6s %6s | %6s %6s\n' "$pair" \
    "$(size "$new")" "$ours" "$enc" "$app" "$xd" "$xenc" "$xdec" "$bsd" "$benc" "$bdec" \
    "$(ratio "$ours" "$xd")" "$(ratio "$ours" "$bsd")"
  # The machine may be shared: the encoder's CPU time too.
  cpu=$( { TIMEFORMAT=%U; time "$tool" encode "$old" "$new" "$work/$pair.delta" >/dev/null 2>&1; } 2>&1 )
  echo "         encoder: $(echo "scale=1; $(size "$new") / 1000000 / $enc" | bc) MB/s of new file (wall)," \
    "$(echo "scale=1; $(size "$new") / 1000000 / $cpu" | bc) MB/s (CPU time)"
done
echo
echo "goals: /xd at most 1 on every pair; /bsd at most 1.25 on exe"
