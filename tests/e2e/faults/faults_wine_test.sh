#!/usr/bin/env bash
# Runs the fault tests under Wine with what only Linux can prepare: a small
# tmpfs for the drive that fills (as root), and an update built by
# updpack.exe and signed with osslsigncode and a throwaway certificate.
#
#   faults_wine_test.sh E2E_FAULTS.EXE WINE-RUN.SH BIN_DIR
set -u
test=$1
winerun=$2
bin=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/faults-wine.XXXXXX")
cleanup() {
  mountpoint -q "$work/full" && umount "$work/full"
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
win() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

mkdir -p "$work/full"
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=2m tmpfs "$work/full"; then
  export UPD_FULL_DIR=$work/full
else
  echo "faults: not root, no small drive: the drive-full case is skipped"
fi

if command -v osslsigncode >/dev/null && command -v openssl >/dev/null; then
  src=$work/signed-src
  mkdir -p "$src"
  printf 'TITLEBAR\tSigned\r\nREG_GLOBAL\tUpdFault\r\nREG_LOCAL\tSigned\r\nEXENAME\tnot-there.exe\r\n[EOF]\r\n' \
    >"$src/install.env"
  printf 'new a' >"$src/a.dat"
  printf 'new c' >"$src/c.dat"
  # The test's Noise(300000): xorshift32, the top byte of each step.
  python3 - "$src/big.dat" <<'PY'
import sys
x, out = 2463534242, bytearray(300000)
for i in range(len(out)):
    x ^= (x << 13) & 0xFFFFFFFF; x ^= x >> 17; x ^= (x << 5) & 0xFFFFFFFF
    out[i] = x >> 24
open(sys.argv[1], 'wb').write(out)
PY
  UPD_WINE_TIMEOUT=120 "$winerun" "$bin/updpack.exe" build -q -o "$(win "$work/unsigned.exe")" \
    "$(win "$src")" || fail "updpack.exe build"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
    -subj /CN=updater-test -days 2 2>/dev/null || fail "openssl"
  osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$work/unsigned.exe" \
    -out "$work/signed.exe" >/dev/null || fail "osslsigncode sign"
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed.exe" >/dev/null \
    || fail "osslsigncode verify"
  export UPD_SIGNED_UPDATE=$work/signed.exe
else
  echo "faults: osslsigncode or openssl missing: the signed case is skipped"
fi

UPD_WINE_TIMEOUT=${UPD_WINE_TIMEOUT:-600} "$winerun" "$test" --gtest_color=no
