#!/usr/bin/env bash
# updpack.exe under Wine on a small folder with a Japanese name and a
# sub-folder: build, verify, list, extract; the update is also walked and
# inflated by Python's zlib, and a reserved name and a damaged update must be
# refused.
#
#   updpack_wine_test.sh UPDPACK.EXE WINE-RUN.SH
set -u
exe=$1
winerun=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/updpack-wine.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
win() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
run() { UPD_WINE_TIMEOUT=120 "$winerun" "$exe" "$@"; }

src=$work/src
mkdir -p "$src/DirectX/sub"
printf 'TITLE=wine\r\n' >"$src/install.env"
printf 'readme\r\n' >"$src/readme.txt"
seq 1 200000 >"$src/update.arc"          # a few pieces' worth
printf 'dx' >"$src/DirectX/dxsetup.exe"
printf 'cab' >"$src/DirectX/sub/a.cab"
printf 'save' >"$src/セーブ.dat"
: >"$src/empty.dat"
touch -d '2020-02-02 12:34:56 UTC' "$src/update.arc"
cp "$exe" "$work/stub.exe"                # any real executable will do as the stub

run build -j 2 --stub "$(win "$work/stub.exe")" -o "$(win "$work/update.exe")" "$(win "$src")" \
  || fail "build"
run verify "$(win "$work/update.exe")" || fail "verify"
run list "$(win "$work/update.exe")" >"$work/list.txt" || fail "list"
grep -q 'update.arc' "$work/list.txt" || fail "list misses update.arc"
run extract "$(win "$work/update.exe")" "$(win "$work/back")" || fail "extract"
diff -r "$src" "$work/back" || fail "extracted files differ"
[ "$(stat -c %Y "$work/back/update.arc")" = "$(stat -c %Y "$src/update.arc")" ] \
  || fail "time stamp not kept"

python3 - "$work/update.exe" "$work/stub.exe" <<'PY' || fail "independent check"
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
stub = open(sys.argv[2], 'rb').read()
first = struct.unpack('<I', data[-4:])[0]
assert first == len(stub) and data[:first] == stub, 'stub not kept'
pos, names = first, []
while True:
    (n,) = struct.unpack_from('<H', data, pos); pos += 2
    if n == 0:
        assert pos + 2 == len(data) - 4, 'end marker misplaced'
        break
    name = data[pos:pos + n - 1]; pos += n
    size, packed = struct.unpack_from('<II', data, pos); pos += 8
    names.append(name)
    if size == 0xFFFFFFFF:
        continue
    pos += 8
    stream = data[pos:pos + packed]; pos += packed
    assert stream[:2] == b'\x78\x9c', name
    assert len(zlib.decompress(stream)) == size, name
assert names[:2] == [b'install.env', b'readme.txt'], names
assert '\u30bb\u30fc\u30d6.dat'.encode('cp932') in names, names
PY

printf 'x' >"$src/CON.txt"
run build --stub "$(win "$work/stub.exe")" -o "$(win "$work/bad.exe")" "$(win "$src")" \
  2>"$work/err.txt" && fail "a reserved name was accepted"
grep -q 'CON.txt' "$work/err.txt" || fail "the reserved name is not named: $(cat "$work/err.txt")"

head -c 3000 "$work/update.exe" >"$work/cut.exe"
run verify "$(win "$work/cut.exe")" 2>/dev/null && fail "a cut update passed verify"
echo "updpack.exe under Wine: OK"
