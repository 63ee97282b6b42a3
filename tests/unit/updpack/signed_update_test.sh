#!/usr/bin/env bash
# A signed update: build with updpack, sign with osslsigncode and a throwaway
# certificate made by openssl, and the signed file still lists, verifies and
# extracts; a payload byte changed after signing is caught.
#
#   signed_update_test.sh UPDPACK
set -u
updpack=$1
command -v osslsigncode >/dev/null && command -v openssl >/dev/null \
  || { echo "osslsigncode or openssl missing (scripts/install-deps.sh)"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/updpack-signed.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The stub: a minimal PE32 program (headers and one code section).
python3 - "$work/stub.exe" <<'PY' || fail "stub"
import struct, sys
dos = bytearray(64); dos[0:2] = b'MZ'; struct.pack_into('<I', dos, 0x3C, 64)
coff = struct.pack('<HHIIIHH', 0x14C, 1, 0, 0, 0, 224, 0x0102)
opt = bytearray(224)
struct.pack_into('<HBBIIIIII', opt, 0, 0x10B, 1, 0, 0x200, 0, 0, 0x1000, 0x1000, 0x1000)
struct.pack_into('<IIIHHHHHHIIIIHHIIIIII', opt, 28, 0x400000, 0x1000, 0x200, 4, 0, 0, 0, 4, 0,
                 0, 0x2000, 0x200, 0, 3, 0, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
sect = struct.pack('<8sIIIIIIHHI', b'.text', 1, 0x1000, 0x200, 0x200, 0, 0, 0, 0, 0x60000020)
head = bytes(dos) + b'PE\0\0' + coff + bytes(opt) + sect
open(sys.argv[1], 'wb').write(head.ljust(0x200, b'\0') + b'\xc3'.ljust(0x200, b'\0'))
PY

src=$work/src
mkdir -p "$src/DirectX"
printf 'TITLE=signed\r\n' >"$src/install.env"
printf 'readme\r\n' >"$src/readme.txt"
head -c 200000 /dev/urandom >"$src/update.arc"
printf 'dx' >"$src/DirectX/dxsetup.exe"
"$updpack" -q build --stub "$work/stub.exe" -o "$work/update.exe" "$src" || fail "build"

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
  -subj /CN=updpack-test -days 2 2>/dev/null || fail "openssl"
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$work/update.exe" \
  -out "$work/signed.exe" >/dev/null || fail "osslsigncode sign"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed.exe" >/dev/null \
  || fail "osslsigncode verify"

"$updpack" verify "$work/signed.exe" >"$work/verify.txt" || fail "verify of the signed update"
grep -q 'OK (4 files, 1 folders; signed)' "$work/verify.txt" || fail "verify said: $(cat "$work/verify.txt")"
"$updpack" list "$work/signed.exe" | grep -q 'dxsetup.exe' || fail "list"
"$updpack" -q extract "$work/signed.exe" "$work/back" || fail "extract"
diff -r "$src" "$work/back" || fail "extracted files differ"
# A signed update is not taken as a bare updater.
"$updpack" -q build --stub "$work/signed.exe" -o "$work/twice.exe" "$src" 2>/dev/null \
  && fail "a signed update was taken as a stub"

# One byte in the middle of update.arc's stream, after signing.
python3 - "$work/signed.exe" "$work/changed.exe" <<'PY' || fail "change"
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[0x400 + 100000] ^= 0x55
open(sys.argv[2], 'wb').write(data)
PY
"$updpack" verify "$work/changed.exe" 2>"$work/err.txt" && fail "a changed payload passed verify"
grep -q 'update.arc' "$work/err.txt" || fail "the damaged entry is not named: $(cat "$work/err.txt")"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/changed.exe" >/dev/null 2>&1 \
  && fail "the signature still matched a changed file"
echo "signed update: OK"
