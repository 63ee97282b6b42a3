#!/usr/bin/env bash
# Runs one Windows program under Wine in a private prefix of its own, copied
# from a cached template: null graphics driver (dialogs and message boxes run
# without a display), code page 932, and a time limit. The prefix's wineserver
# is stopped and the prefix removed afterwards.
#
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
#
# UPD_WINE_TIMEOUT  seconds before the program is killed (default 300)
# UPD_WINE_CACHE    where the template prefix is kept
# UPD_WINE_KEEP     set to keep the prefix for a look afterwards
set -u

if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi

export WINEDEBUG=-all
export LC_ALL=ja_JP.UTF-8
export WINEARCH=win32
# No Mono or Gecko installer prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

cache=${UPD_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/updater-wine}
template="$cache/template-$(wine --version | tr -c 'A-Za-z0-9.\n' '_')"
mkdir -p "$cache"

(
  flock 9
  if [ ! -f "$template/.ready" ]; then
    rm -rf "$template"
    WINEPREFIX="$template" wineboot -i >/dev/null 2>&1
    WINEPREFIX="$template" wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
      >/dev/null 2>&1
    WINEPREFIX="$template" wineserver -w
    touch "$template/.ready"
  fi
) 9>"$cache/.lock"

prefix=$(mktemp -d "${TMPDIR:-/tmp}/upd-wine.XXXXXX")
cp -a "$template/." "$prefix/"
export WINEPREFIX="$prefix"

timeout --kill-after=10 "${UPD_WINE_TIMEOUT:-300}" wine "$@"
rc=$?
if [ $rc = 124 ] || [ $rc = 137 ]; then
  echo "wine-run: $1 did not end within ${UPD_WINE_TIMEOUT:-300} s" >&2
fi

wineserver -k >/dev/null 2>&1  # this prefix's server and its processes only
if [ -n "${UPD_WINE_KEEP:-}" ]; then
  echo "wine-run: prefix kept in $prefix" >&2
else
  rm -rf "$prefix"
fi
exit $rc
