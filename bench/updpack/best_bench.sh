#!/usr/bin/env bash
# The smallest updates: `updpack build --best` against `pigz -z -9` with the
# same threads on the same game-like files (one large data archive of mixed
# content and many small files), and against `pigz -11` (zopfli) for size;
# the default level against `pigz -z -6` alongside. Every tool runs in this
# session, in turn, best time of the rounds; ratios are against pigz.
#
#   bench/updpack/best_bench.sh [THREADS] [MEGABYTES] [SMALL_FILES] [ROUNDS]
#
# Needs the release build (scripts/build.sh release) and pigz. pigz -11 is
# slow: it runs once, on the same files, and only its size is compared.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
updpack=$root/build/release/src/updpack/updpack
gen=$root/build/release/bench/updpack/gen_mixed
threads=${1:-$(nproc)}
megabytes=${2:-64}
small=${3:-1000}
rounds=${4:-3}
for tool in "$updpack" "$gen"; do
  [ -x "$tool" ] || { echo "best_bench: $tool missing; run scripts/build.sh release" >&2; exit 2; }
done
command -v pigz >/dev/null || { echo "best_bench: pigz is not installed" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/best-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
{ printf 'MZ'; head -c 65534 /dev/zero; } >"$work/stub.exe"
stub_bytes=65536

echo "generating: one file of $megabytes MiB and $small small files"
mkdir -p "$work/set"
"$gen" large "$work/set/data.arc" "$megabytes"
"$gen" small "$work/set/small" "$small"
printf 'TITLE=bench\r\n' >"$work/set/install.env"
files=$(cd "$work/set" && find . -type f | sort)
input=$(cd "$work/set" && find . -type f -printf '%s\n' | paste -sd+ | bc)
cat $(cd "$work/set" && find "$PWD" -type f) >/dev/null  # into the page cache

declare -A wall bytes
measure() {  # name output command...
  local name=$1 out=$2; shift 2
  /usr/bin/time -f '%e' -o "$work/time" "$@"
  local w
  w=$(cat "$work/time")
  if [ -z "${wall[$name]:-}" ] || [ "$(echo "$w < ${wall[$name]}" | bc -l)" = 1 ]; then
    wall[$name]=$w
  fi
  bytes[$name]=$(stat -c %s "$out")
}
list=$(echo $files)
pigz_cmd() {  # level output: a command line for sh
  echo "cd '$work/set' && pigz -z $1 -p $threads -c $list >'$2'"
}
up=("$updpack" build -q --force -j "$threads" --stub "$work/stub.exe")

for ((r = 0; r < rounds; r++)); do
  measure pigz-6 "$work/p6.z" sh -c "$(pigz_cmd -6 "$work/p6.z")"
  measure updpack "$work/u6.exe" "${up[@]}" -o "$work/u6.exe" "$work/set"
  measure pigz-9 "$work/p9.z" sh -c "$(pigz_cmd -9 "$work/p9.z")"
  measure updpack-best "$work/ub.exe" "${up[@]}" --best -o "$work/ub.exe" "$work/set"
done
measure pigz-11 "$work/p11.z" sh -c "$(pigz_cmd -11 "$work/p11.z")"
for name in updpack updpack-best; do bytes[$name]=$((bytes[$name] - stub_bytes)); done

printf 'game-like set: %s files, %s bytes, %s threads, best of %s rounds\n' \
  "$(echo "$files" | wc -l)" "$input" "$threads" "$rounds"
printf '  %-13s %9s %13s %8s %9s\n' "" "wall s" "bytes" "of input" "speed"
row() {  # name baseline
  printf '  %-13s %9.2f %13s %8.4f %8.2fx\n' "$1" "${wall[$1]}" "${bytes[$1]}" \
    "$(echo "${bytes[$1]} / $input" | bc -l)" "$(echo "${wall[$2]} / ${wall[$1]}" | bc -l)"
}
row pigz-6 pigz-6; row updpack pigz-6
row pigz-9 pigz-9; row updpack-best pigz-9; row pigz-11 pigz-9
size9=$(echo "${bytes[updpack-best]} / ${bytes[pigz-9]}" | bc -l)
speed9=$(echo "${wall[pigz-9]} / ${wall[updpack-best]}" | bc -l)
printf '  --best against pigz -z -9: size %.4f, speed %.2fx (goal: size <= 0.97, speed >= 1)\n' \
  "$size9" "$speed9"
printf '  --best against pigz -11:   size %.4f\n' "$(echo "${bytes[updpack-best]} / ${bytes[pigz-11]}" | bc -l)"
printf '  default against pigz -z -6: speed %.2fx, size %.4f (goal: speed >= 2)\n' \
  "$(echo "${wall[pigz-6]} / ${wall[updpack]}" | bc -l)" \
  "$(echo "${bytes[updpack]} / ${bytes[pigz-6]}" | bc -l)"
