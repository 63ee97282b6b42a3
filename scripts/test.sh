#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
# native unit tests under ASan/UBSan, Windows unit tests and end-to-end
# tests under headless Wine, and short fuzzer runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" host win fuzz

jobs=${UPD_JOBS:-$(nproc)}
status=0
summary=()
run_ctest() {
  local name=$1 dir=$2
  echo "== $name"
  local log
  log=$(mktemp)
  if ctest --test-dir "$dir" --output-on-failure -j "$jobs" 2>&1 | tee "$log"; then :; else status=1; fi
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of' "$log" | tail -1)
  [ -n "$line" ] || status=1
  summary+=("$name: ${line:-no result}")
  passed=$((passed + $(echo "$line" | sed -nE 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2-\1/p' | bc)))
  failed=$((failed + $(echo "$line" | sed -nE 's/.* ([0-9]+) tests failed out of.*/\1/p')))
  rm -f "$log"
}
passed=0
failed=0
run_ctest "native unit tests" "$root/build/host"
run_ctest "Windows tests under Wine" "$root/build/win"
run_ctest "fuzzers (short runs)" "$root/build/fuzz"

echo
printf '%s\n' "${summary[@]}"
echo "$passed passed, $failed failed"
exit $status
