#!/usr/bin/env bash
# Makes the release kit in dist/:
#   updater-VERSION-windows.zip   updater.exe and updpack.exe (32-bit Windows),
#                                 the READMEs for game makers (Japanese,
#                                 English), the example update and its picture
#   updpack-VERSION-linux-x86_64.tar.gz   the native updpack and updpack.1
# VERSION is `git describe`; updpack --version and the updater's version
# resource say the same. Two runs from the same commit give the same bytes:
# the programs are built without time stamps or build paths, and every file
# in the archives gets the commit's time, in name order, with fixed owners.
#
#   scripts/release.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
version=$(git describe --tags --always --dirty)
epoch=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH=$epoch
kit=$root/build/kit
jobs=${UPD_JOBS:-$(nproc)}
common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DUPD_TESTS=OFF -DUPD_VERSION="$version"
        "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=$root=.")

echo "release: $version"
cmake -S "$root" -B "$kit/win" "${common[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$kit/win" -j "$jobs" --target updater updpack
cmake -S "$root" -B "$kit/linux" "${common[@]}" >/dev/null
cmake --build "$kit/linux" -j "$jobs" --target updpack

updater=$kit/win/bin/updater.exe
objdump -f "$updater" | grep -q 'file format pei-i386' \
  || { echo "release: $updater is not a 32-bit executable" >&2; exit 1; }
strings -el "$updater" | grep -qx "$version" \
  || { echo "release: the updater's version resource does not say $version" >&2; exit 1; }
"$kit/linux/src/updpack/updpack" --version | grep -qx "updpack $version" \
  || { echo "release: updpack does not say $version" >&2; exit 1; }

stage=$kit/stage
rm -rf "$stage"
win=$stage/updater-$version-windows
mkdir -p "$win/example/update"
cp "$updater" "$kit/win/bin/updpack.exe" "$win/"
# The texts for Windows: CRLF line ends, and a BOM so that every Notepad
# reads the UTF-8.
for lang in ja en; do
  { printf '\xef\xbb\xbf'; sed 's/$/\r/' "docs/README-$lang.txt"; } >"$win/README-$lang.txt"
done
cp examples/update/* "$win/example/update/"
cp examples/title.png "$win/example/"

linux=$stage/updpack-$version-linux-x86_64
mkdir -p "$linux"
cp "$kit/linux/src/updpack/updpack" "$linux/"
python3 scripts/updpack-man.py "$linux/updpack" "$version" \
  "$(date -u -d "@$epoch" +%Y-%m-%d)" >"$linux/updpack.1"

mkdir -p dist
zip=dist/updater-$version-windows.zip
tarball=dist/updpack-$version-linux-x86_64.tar.gz
python3 - "$stage" "$(basename "$win")" "$zip" "$epoch" <<'PY'
import os, sys, time, zipfile
stage, top, out, epoch = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980
paths = []
for folder, dirs, files in os.walk(os.path.join(stage, top)):
    dirs.sort()
    paths += [os.path.join(folder, f) for f in files]
with zipfile.ZipFile(out, 'w') as z:
    for path in sorted(paths):
        info = zipfile.ZipInfo(os.path.relpath(path, stage), stamp)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = (0o100755 if path.endswith('.exe') else 0o100644) << 16
        info.create_system = 3
        with open(path, 'rb') as f:
            z.writestr(info, f.read(), compresslevel=9)
PY
tar --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner --format=gnu \
  --mode='u+rwX,go+rX,go-w' -C "$stage" -cf - "$(basename "$linux")" | gzip -n -9 >"$tarball"
sha256sum "$zip" "$tarball"
