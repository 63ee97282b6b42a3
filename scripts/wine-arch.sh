#!/usr/bin/env bash
# Which Windows build runs under Wine on this machine. Some x86-64 kernels
# cannot run 32-bit programs at all (no IA-32 emulation): the 32-bit Wine
# loader then fails with "Exec format error", and the Windows tests run the
# x86_64 build of the same sources under wine64 instead. The i686 build is
# made everywhere all the same: it is what ships.
#
# Sourced by the other scripts; sets
#   UPD_WINE_ARCH    i686 or x86_64 (set it beforehand to force either)
#   UPD_WIN_BUILD    the build folder whose programs run: win or win64
#   UPD_WINE_REASON  one line that says which and why
# Run on its own, it prints that line.

upd_wine_can_run_32() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

upd_wine_select() {
  case "${UPD_WINE_ARCH:-}" in
    i686) UPD_WINE_REASON="i686 under wine (forced by UPD_WINE_ARCH)" ;;
    x86_64) UPD_WINE_REASON="x86_64 under wine64 (forced by UPD_WINE_ARCH)" ;;
    "")
      if upd_wine_can_run_32; then
        UPD_WINE_ARCH=i686
        UPD_WINE_REASON="i686 under wine"
      else
        UPD_WINE_ARCH=x86_64
        UPD_WINE_REASON="x86_64 under wine64 (this kernel cannot run 32-bit programs)"
      fi
      ;;
    *)
      echo "UPD_WINE_ARCH must be i686 or x86_64, not '$UPD_WINE_ARCH'" >&2
      return 2
      ;;
  esac
  if [ "$UPD_WINE_ARCH" = i686 ]; then UPD_WIN_BUILD=win; else UPD_WIN_BUILD=win64; fi
  export UPD_WINE_ARCH UPD_WIN_BUILD UPD_WINE_REASON
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -eu
  upd_wine_select
  echo "Windows layer: $UPD_WINE_REASON"
fi
