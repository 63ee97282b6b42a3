#!/usr/bin/env bash
# Makes (once, cached) the Wine prefix that every run copies, and prints its
# folder. One per Wine version, architecture and use:
#   tests    the null graphics driver, so that dialogs and message boxes work
#            without a display (scripts/wine-run.sh)
#   example  Japanese fonts in place of the ones the dialogs ask for, and the
#            caption buttons' symbols, for a real display (run-example.sh)
#
#   scripts/wine-template.sh i686|x86_64 tests|example
#
# UPD_WINE_CACHE  where the templates are kept (default ~/.cache/updater-wine)
set -u
if [ $# -ne 2 ]; then
  echo "usage: $0 i686|x86_64 tests|example" >&2
  exit 2
fi
arch=$1 use=$2
case $arch in
  i686) loader=/usr/lib/wine/wine; export WINEARCH=win32 ;;
  x86_64) loader=/usr/lib/wine/wine64; export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 ;;
  *) echo "wine-template: no architecture $arch" >&2; exit 2 ;;
esac
export WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
# No Mono or Gecko installer prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

cache=${UPD_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/updater-wine}
version=$("$loader" --version | tr -c 'A-Za-z0-9.\n' '_')
case $use in
  tests) template="$cache/template-$arch-$version" lock="$cache/.lock-$arch" ;;
  example) template="$cache/example2-$WINEARCH-$version" lock="$cache/.lock" ;;
  *) echo "wine-template: no use $use" >&2; exit 2 ;;
esac
mkdir -p "$cache"

make_tests() {
  "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
}

make_example() {
  # The dialogs ask for "ＭＳ Ｐゴシック"; a Japanese font stands in for it
  # and for the system's own dialog and caption fonts.
  python3 - "$cache/fonts.reg" <<'PY'
import sys
faces = {"ＭＳ Ｐゴシック": "IPAPGothic", "MS PGothic": "IPAPGothic", "ＭＳ ゴシック": "IPAGothic",
         "MS Gothic": "IPAGothic", "MS UI Gothic": "IPAPGothic", "MS Shell Dlg": "IPAPGothic",
         "MS Shell Dlg 2": "IPAPGothic", "Tahoma": "IPAPGothic"}
lines = ["Windows Registry Editor Version 5.00", "",
         "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]"]
lines += ['"%s"="%s"' % item for item in faces.items()]
open(sys.argv[1], "wb").write(("\r\n".join(lines) + "\r\n").encode("utf-16"))
PY
  local reg="$cache/fonts.reg"
  "$loader" regedit /S "Z:${reg//\//\\}" >/dev/null 2>&1
  # The caption buttons' symbols.
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
}

(
  flock 9
  if [ ! -f "$template/.ready" ]; then
    rm -rf "$template"
    export WINEPREFIX="$template"
    "$loader" wineboot -i >/dev/null 2>&1
    "make_$use"
    wineserver -w
    if [ ! -f "$template/system.reg" ]; then
      echo "wine-template: could not make the $arch Wine prefix in $template" >&2
      exit 1
    fi
    touch "$template/.ready"
  fi
) 9>"$lock" || exit 1
echo "$template"
