#!/usr/bin/env bash
# `updpack image` from the command line: the committed sample converts to the
# committed RCT file byte for byte, decodes back to the same picture, and
# bad input and bad usage give exit codes 1 and 2.
#   updpack_image_cli.sh UPDPACK DATA_DIR
set -u
updpack=$1
data=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check DESCRIPTION EXPECTED_STATUS COMMAND...
  local what=$1 expected=$2
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  local status=$?
  if [ "$status" != "$expected" ]; then
    echo "FAIL: $what: exit $status, expected $expected"; cat "$work/out" "$work/err"
    failures=$((failures + 1))
  fi
}
contains() {  # contains DESCRIPTION TEXT FILE
  if ! grep -qF -- "$2" "$3"; then
    echo "FAIL: $1: no \"$2\" in"; cat "$3"
    failures=$((failures + 1))
  fi
}

check "encode" 0 "$updpack" image encode "$data/sample.png" "$work/sample.rct"
check "same bytes as the committed file" 0 cmp "$work/sample.rct" "$data/sample.rct"
check "info" 0 "$updpack" image info "$work/sample.rct"
contains "info kind" "kind: TC00" "$work/out"
contains "info size" "size: 61 x 47" "$work/out"
contains "info stream" "stream: well-formed" "$work/out"

check "decode" 0 "$updpack" image decode "$work/sample.rct" "$work/back.png"
check "encode the decoded picture" 0 "$updpack" image encode "$work/back.png" "$work/again.rct"
check "round trip through PNG" 0 cmp "$work/again.rct" "$data/sample.rct"

check "encode with text" 0 "$updpack" -q image encode --text "Title text" "$data/sample.png" "$work/text.rct"
check "quiet encode prints nothing" 0 test ! -s "$work/out"
check "info with text" 0 "$updpack" image info "$work/text.rct"
contains "info kind with text" "kind: TC01" "$work/out"
contains "info text" 'text: "Title text" (11 bytes stored)' "$work/out"

# A copy from the row above in row 0 (the first token after the pixel).
cp "$data/sample.rct" "$work/bad.rct"
printf '\xa4' | dd of="$work/bad.rct" bs=1 seek=23 conv=notrunc 2>/dev/null
check "decode malformed" 1 "$updpack" image decode "$work/bad.rct" "$work/bad.png"
contains "malformed reason" "before the first pixel" "$work/err"
check "no picture left from a malformed file" 0 test ! -e "$work/bad.png"
check "info malformed" 1 "$updpack" image info "$work/bad.rct"
head -c 100 "$data/sample.rct" >"$work/cut.rct"
check "info truncated" 1 "$updpack" image info "$work/cut.rct"
contains "truncated reason" "truncated" "$work/err"
printf '\x98\x5a\x92\x9a8_00\x01\x00\x00\x00\x01\x00\x00\x00\x03\x00\x00\x00abc' >"$work/eight.rct"
check "info of the third kind" 1 "$updpack" image info "$work/eight.rct"
contains "third kind" "8_00" "$work/err"
check "encode a non-picture" 1 "$updpack" image encode "$data/sample.rct" "$work/x.rct"
check "encode a missing file" 1 "$updpack" image encode "$work/missing.png" "$work/x.rct"
check "encode without output" 2 "$updpack" image encode "$data/sample.png"
check "image without a subcommand" 2 "$updpack" image

[ "$failures" = 0 ] && echo "updpack image: all checks passed"
exit $((failures > 0))
