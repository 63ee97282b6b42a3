#!/usr/bin/env bash
# Builds the project: host (native, sanitizers, with the native tests),
# release (native, optimised: updpack and the benchmarks), win (MinGW i686:
# the updater, updpack.exe and the Windows-side tests), win64 (MinGW x86_64:
# the same, for wine64 where this kernel cannot run 32-bit programs), fuzz
# (clang, libFuzzer). "wine" stands for the Windows build(s) this machine's
# Wine runs (scripts/wine-arch.sh): win, or win and win64.
#
#   scripts/build.sh [host|release|win|win64|wine|fuzz|all]...
#   (default: host release wine)
#
# Warnings are errors when CI is set (or UPD_WERROR=ON).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
werror=${UPD_WERROR:-$([ -n "${CI:-}" ] && echo ON || echo OFF)}
jobs=${UPD_JOBS:-$(nproc)}

configure_and_build() {
  local dir=$1; shift
  if [ ! -f "$root/build/$dir/build.ninja" ]; then
    cmake -S "$root" -B "$root/build/$dir" -G Ninja -DUPD_WERROR="$werror" "$@" >/dev/null
  else
    cmake "$root/build/$dir" -DUPD_WERROR="$werror" >/dev/null
  fi
  echo "build: $dir"
  cmake --build "$root/build/$dir" -j "$jobs"
}

# shellcheck source=wine-arch.sh
. "$root/scripts/wine-arch.sh"
upd_wine_select

targets=()
for t in "${@:-host release wine}"; do
  for u in $t; do
    case $u in
      all) targets+=(host release win win64 fuzz) ;;
      wine) targets+=(win); [ "$UPD_WIN_BUILD" = win ] || targets+=("$UPD_WIN_BUILD") ;;
      *) targets+=("$u") ;;
    esac
  done
done

for t in "${targets[@]}"; do
  case $t in
    host) configure_and_build host -DUPD_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo ;;
    release) configure_and_build release -DCMAKE_BUILD_TYPE=Release -DUPD_TESTS=OFF ;;
    win) configure_and_build win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
           -DCMAKE_BUILD_TYPE=Release ;;
    win64) configure_and_build win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
           -DCMAKE_BUILD_TYPE=Release ;;
    fuzz) configure_and_build fuzz -DUPD_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ ;;
    *) echo "build: unknown target $t" >&2; exit 2 ;;
  esac
done
