#!/usr/bin/env bash
# Builds the project: host (native, sanitizers, with the native tests),
# release (native, optimised: updpack and the benchmarks), win (MinGW i686:
# the updater, updpack.exe and the Windows-side tests), fuzz (clang, libFuzzer).
#
#   scripts/build.sh [host|release|win|fuzz|all]...   (default: all but fuzz)
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

targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(host release win)
[ "${targets[0]}" != all ] || targets=(host release win fuzz)

for t in "${targets[@]}"; do
  case $t in
    host) configure_and_build host -DUPD_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo ;;
    release) configure_and_build release -DCMAKE_BUILD_TYPE=Release -DUPD_TESTS=OFF ;;
    win) configure_and_build win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
           -DCMAKE_BUILD_TYPE=Release ;;
    fuzz) configure_and_build fuzz -DUPD_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ ;;
    *) echo "build: unknown target $t" >&2; exit 2 ;;
  esac
done
