#!/usr/bin/env bash
# Runs one Windows program under Wine in a private prefix of its own, copied
# from a cached template (scripts/wine-template.sh): null graphics driver
# (dialogs and message boxes run without a display), code page 932, and a
# time limit. The prefix's wineserver is stopped and the prefix removed
# afterwards.
#
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
#
# A 32-bit program runs under wine in a 32-bit prefix, a 64-bit one under
# wine64 in a 64-bit prefix (each with its own template); which one is read
# from the program's header. A name without a file (a program of the prefix,
# such as reg) runs under the loader that scripts/wine-arch.sh selects.
#
# UPD_WINE_TIMEOUT  seconds before the program is killed (default 300)
# UPD_WINE_CACHE    where the template prefixes are kept
# UPD_WINE_KEEP     set to keep the prefix for a look afterwards
# UPD_WINE_DISPLAY  set to keep DISPLAY and use the x11 driver (screenshots)
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-arch.sh
. "$here/wine-arch.sh"

if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi

# The machine field of a PE image: 0x014c i386, 0x8664 x86-64.
pe_arch() {
  local pe machine
  pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$pe" ] || return 1
  machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  case $machine in
    014c) echo i686 ;;
    8664) echo x86_64 ;;
    *) return 1 ;;
  esac
}

if [ -f "$1" ] && arch=$(pe_arch "$1"); then
  :
else
  upd_wine_select || exit 2
  arch=$UPD_WINE_ARCH
fi

if [ "$arch" = i686 ]; then
  loader=/usr/lib/wine/wine
  export WINEARCH=win32
  if ! upd_wine_can_run_32; then
    echo "wine-run: $1 is a 32-bit program and this kernel cannot run 32-bit programs;" \
      "run the x86_64 build (build/win64) instead" >&2
    exit 126
  fi
else
  loader=/usr/lib/wine/wine64
  export WINEARCH=win64
  export WINELOADER=$loader
fi

export WINEDEBUG=-all
export LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
[ -n "${UPD_WINE_DISPLAY:-}" ] || unset DISPLAY

template=$("$here/wine-template.sh" "$arch" tests) || exit 1

prefix=$(mktemp -d "${TMPDIR:-/tmp}/upd-wine.XXXXXX")
cp -a "$template/." "$prefix/"
export WINEPREFIX="$prefix"
if [ -n "${UPD_WINE_DISPLAY:-}" ]; then
  "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
fi

# Where every thread of the prefix's own programs (not Wine's) waits: what
# a program that hangs leaves in the log before it is killed.
dump_stacks() {
  timeout 120 "$loader" winedbg --command "bt all" 2>&1 |
    awk '/^Backtracing for thread/ { show = ($0 !~ /C:\\windows\\/) } show' | head -n 600
}

limit=${UPD_WINE_TIMEOUT:-300}
"$loader" "$@" <&0 &
child=$!
# Ended from outside (ctest's own limit, ^C): the program goes too, and the
# prefix is cleared below as usual.
trap 'kill -TERM "$child" 2>/dev/null' TERM INT
(
  exec 3>&2 2>/dev/null  # no word from the shell when its sleep is ended
  sleep "$limit" || exit 0  # the program ended first
  kill -0 "$child" 2>/dev/null && [ -d "$prefix" ] || exit 0
  : >"$prefix/.timed-out"
  echo "wine-run: $1 did not end within $limit s; its threads:" >&3
  dump_stacks >&3
  kill -TERM "$child" 2>/dev/null
  sleep 10
  kill -KILL "$child" 2>/dev/null
) &
watcher=$!
wait "$child"
rc=$?
# A trapped signal ends the first wait early; the program's end is awaited.
while kill -0 "$child" 2>/dev/null; do wait "$child"; done
pkill -P "$watcher" sleep 2>/dev/null
wait "$watcher" 2>/dev/null
[ -e "$prefix/.timed-out" ] && rc=124

wineserver -k >/dev/null 2>&1  # this prefix's server and its processes only
if [ -n "${UPD_WINE_KEEP:-}" ]; then
  echo "wine-run: prefix kept in $prefix" >&2
else
  rm -rf "$prefix"
fi
exit $rc
