#!/usr/bin/env bash
# Packing speed and size of `updpack build` against `pigz -z -6` with the same
# number of threads on the same files: one large data archive of mixed
# content, and many small files. Both run side by side in one session, each
# several times in turn; the best time of each counts. Reports ratios against
# the baseline measured here: of wall time, and of processor time (user +
# system), which other load on a shared machine disturbs less.
#
#   bench/updpack/pack_bench.sh [THREADS] [MEGABYTES] [SMALL_FILES] [ROUNDS]
#
# Needs the release build (scripts/build.sh release) and pigz.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
updpack=$root/build/release/src/updpack/updpack
gen=$root/build/release/bench/updpack/gen_mixed
threads=${1:-$(nproc)}
megabytes=${2:-512}
small=${3:-4000}
rounds=${4:-3}
for tool in "$updpack" "$gen"; do
  [ -x "$tool" ] || { echo "pack_bench: $tool missing; run scripts/build.sh release" >&2; exit 2; }
done
command -v pigz >/dev/null || { echo "pack_bench: pigz is not installed" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/pack-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# A stand-in for the updater: the payload is what is measured.
{ printf 'MZ'; head -c 65534 /dev/zero; } >"$work/stub.exe"
stub_bytes=65536

echo "generating: one file of $megabytes MiB, $small small files"
mkdir -p "$work/large"
"$gen" large "$work/large/data.arc" "$megabytes"
"$gen" small "$work/small" "$small"
# An update always carries its environment file.
for set in large small; do printf 'TITLE=bench\r\n' >"$work/$set/install.env"; done

# Best wall and processor times of a command over the rounds (seconds).
declare -A best_wall best_cpu
measure() {  # name command...
  local name=$1; shift
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$@"
  local wall cpu
  read -r wall user sys <"$work/time"
  cpu=$(echo "$user + $sys" | bc -l)
  if [ -z "${best_wall[$name]:-}" ] || [ "$(echo "$wall < ${best_wall[$name]}" | bc -l)" = 1 ]; then
    best_wall[$name]=$wall
  fi
  if [ -z "${best_cpu[$name]:-}" ] || [ "$(echo "$cpu < ${best_cpu[$name]}" | bc -l)" = 1 ]; then
    best_cpu[$name]=$cpu
  fi
}

run_set() {  # label folder
  local label=$1 dir=$2
  local files
  files=$(cd "$dir" && find . -type f | sort)
  cat $(cd "$dir" && find "$PWD" -type f) >/dev/null  # into the page cache for both
  for ((r = 0; r < rounds; r++)); do
    measure "$label/updpack" "$updpack" build -q --force -j "$threads" --stub "$work/stub.exe" \
      -o "$work/$label.exe" "$dir"
    measure "$label/pigz" sh -c "cd '$dir' && pigz -z -6 -p $threads -c $(echo $files) >'$work/$label.z'"
    measure "$label/zlib-engine" "$updpack" build -q --force -j "$threads" --engine zlib \
      --stub "$work/stub.exe" -o "$work/$label-zlib.exe" "$dir"
  done
  local ours pigz_bytes zlib_bytes input
  ours=$(( $(stat -c %s "$work/$label.exe") - stub_bytes ))
  zlib_bytes=$(( $(stat -c %s "$work/$label-zlib.exe") - stub_bytes ))
  pigz_bytes=$(stat -c %s "$work/$label.z")
  input=$(cd "$dir" && find . -type f -printf '%s\n' | paste -sd+ | bc)
  printf '%s (%s files, %s bytes, %s threads):\n' "$label" "$(echo "$files" | wc -l)" "$input" "$threads"
  printf '  %-15s %8s %8s %13s %10s %10s %9s\n' "" "wall s" "cpu s" "bytes" "speed" "cpu speed" "size"
  local tool bytes
  for tool in pigz updpack zlib-engine; do
    case $tool in
      pigz) bytes=$pigz_bytes ;;
      updpack) bytes=$ours ;;
      zlib-engine) bytes=$zlib_bytes ;;
    esac
    local w=${best_wall[$label/$tool]} c=${best_cpu[$label/$tool]}
    local pw=${best_wall[$label/pigz]} pc=${best_cpu[$label/pigz]}
    printf '  %-15s %8.2f %8.2f %13s %9.2fx %9.2fx %9.4f\n' "$tool" "$w" "$c" "$bytes" \
      "$(echo "$pw / $w" | bc -l)" "$(echo "$pc / $c" | bc -l)" "$(echo "$bytes / $pigz_bytes" | bc -l)"
  done
  local speed met=no
  speed=$(echo "${best_wall[$label/pigz]} / ${best_wall[$label/updpack]}" | bc -l)
  if [ "$(echo "$speed >= 2 && $ours <= $pigz_bytes" | bc -l)" = 1 ]; then met=yes; fi
  echo "  updpack against pigz: twice as fast and no larger: $met"
}

run_set large "$work/large"
run_set small "$work/small"
