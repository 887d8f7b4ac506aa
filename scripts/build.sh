#!/usr/bin/env bash
# Builds the native trees (portable core, its tests and benchmarks; the same
# as 32-bit code) and the Windows trees: the files for users, TVN.exe and
# TVN-en.exe for 32-bit Windows (build/win32) and for 64-bit Windows
# (build/win64), and the two test trees with the Windows-side tests and the
# test tools, x86_64 (build/win) and i686 (build/win32-tests; only where the
# kernel runs i386 code, since only then can its lane run).
#
#   scripts/build.sh            deps, the native trees and the Windows trees
#   scripts/build.sh --asan     also build/native-asan (AddressSanitizer, UBSan)
#   scripts/build.sh --win-only deps and the Windows trees only
#   scripts/build.sh --no-deps  skip the package check
#
# The Windows trees need the Windows test root (scripts/wine-env.sh), made
# first if missing: build/win's TVN.exe puts the English script into the
# users' TVN-en.exe under Wine.
# TVN_BUILD_ROOT moves the build trees (default: <repository>/build).
# Every tree is attempted even if an earlier one fails; the exit status is
# non-zero if any failed, and the names of the failed trees are printed.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
build_root="${TVN_BUILD_ROOT:-$root/build}"
jobs="${TVN_BUILD_JOBS:-2}"

want_native=1
want_asan=0
want_deps=1
for arg in "$@"; do
  case "$arg" in
    --asan) want_asan=1 ;;
    --win-only) want_native=0; want_asan=0 ;;
    --no-deps) want_deps=0 ;;
    -h|--help) sed -n '2,16p' "${BASH_SOURCE[0]}"; exit 0 ;;
    *) echo "build.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

if [ "$want_deps" -eq 1 ]; then
  bash "$root/scripts/deps.sh" || exit 1
fi

failed=()

# build_tree <name> <cmake configure arguments...>
build_tree() {
  local name="$1"; shift
  local dir="$build_root/$name"
  echo "== building $name ($dir)"
  if ! cmake -S "$root" -B "$dir" "$@" >"$build_root/.configure-$name.log" 2>&1; then
    cat "$build_root/.configure-$name.log" >&2
    echo "build.sh: configuring $name failed" >&2
    failed+=("$name")
    return 1
  fi
  if ! cmake --build "$dir" -j "$jobs"; then
    echo "build.sh: building $name failed" >&2
    failed+=("$name")
    return 1
  fi
}

mkdir -p "$build_root"
if [ "$want_native" -eq 1 ]; then
  build_tree native -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
if [ "$want_asan" -eq 1 ]; then
  build_tree native-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVN_SANITIZE=ON
fi
if [ "$want_native" -eq 1 ]; then
  build_tree native32 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$root/cmake/linux-i386.cmake"
fi
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
if tvn_wine_root "$build_root"; then
  build_tree win -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
  build_tree win64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64-win32.cmake" \
    -DTVN_TWIN_BUILD_DIR="$build_root/win"
  build_tree win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" \
    -DTVN_TWIN_BUILD_DIR="$build_root/win"
  if tvn_host_runs_i386; then
    build_tree win32-tests -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686-posix.cmake"
  else
    echo "== not building win32-tests: this machine's kernel runs no i386 code, so the i386 lane cannot run"
  fi
else
  echo "build.sh: the Windows test root could not be made; the Windows trees are not built" >&2
  failed+=(win win64 win32)
fi

if [ "${#failed[@]}" -gt 0 ]; then
  echo "build.sh: failed: ${failed[*]}" >&2
  echo "${failed[*]}" >"$build_root/.failed-trees"
  exit 1
fi
rm -f "$build_root/.failed-trees"
