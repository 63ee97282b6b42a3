#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. native unit tests of the platform-free code, under ASan and UBSan;
#   2. Windows-side tests, built with MinGW, under headless Wine;
#   3. end-to-end tests driving Windows programs under Wine (with layer 2);
#   plus short, bounded fuzzer runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
# shellcheck source=wine-arch.sh
. "$root/scripts/wine-arch.sh"
upd_wine_select
echo "Windows layer: $UPD_WINE_REASON"
"$root/scripts/build.sh" host wine fuzz

jobs=${UPD_JOBS:-$(nproc)}
status=0
passed=0
failed=0
summary=()

run_ctest() {
  local name=$1 dir=$2 log line total bad
  echo "== $name"
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$jobs" 2>&1 | tee "$log" ||
    status=1
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1 || true)
  rm -f "$log"
  if [ -z "$line" ]; then
    status=1
    summary+=("$name: no result")
    return
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  summary+=("$name: $((total - bad)) of $total passed")
}

run_ctest "native unit tests (ASan, UBSan)" "$root/build/host"
run_ctest "Windows and end-to-end tests under Wine ($UPD_WINE_ARCH)" "$root/build/$UPD_WIN_BUILD"
run_ctest "fuzzers, short runs" "$root/build/fuzz"

# What ran under Wine, and proof that the build that ships is 32-bit.
echo
echo "Programs run under Wine ($UPD_WINE_ARCH):"
ctest --test-dir "$root/build/$UPD_WIN_BUILD" -N -V 2>/dev/null |
  sed -n -E 's|.*Test command: .*wine-run.sh "?([^" ]+\.exe).*|  \1|p; s|.*Test command: [^ ]*bash "?[^ ]*/([^/ "]+\.sh)"? "?([^" ]+\.exe).*|  \2 (by \1)|p' || true
for exe in "$root"/build/win/bin/*.exe; do
  [ -e "$exe" ] || continue
  echo "shipping build: ${exe#"$root"/} is $(i686-w64-mingw32-objdump -f "$exe" | sed -n -E 's/.*file format (.*)/\1/p')"
done

echo
echo "Windows layer: $UPD_WINE_REASON"
printf '%s\n' "${summary[@]}"
echo "$passed passed, $failed failed"
exit $status
