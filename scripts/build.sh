#!/usr/bin/env bash
# Builds the native trees (portable core, its tests and benchmarks; the same
# as 32-bit code) and the Windows trees: the 32-bit TVN.exe and TVN-en.exe for
# users, and their x86_64 twin with the Windows-side tests and the test tools.
#
#   scripts/build.sh            deps, build/native, build/native32, build/win
#                               and build/win32
#   scripts/build.sh --asan     also build/native-asan (AddressSanitizer, UBSan)
#   scripts/build.sh --win-only deps, build/win and build/win32 only
#   scripts/build.sh --no-deps  skip the package check
#
# build/win32 needs build/win: the twin's TVN.exe makes the 32-bit
# TVN-en.exe under Wine.
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
build_tree win -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
build_tree win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" \
  -DTVN_TWIN_BUILD_DIR="$build_root/win"

if [ "${#failed[@]}" -gt 0 ]; then
  echo "build.sh: failed: ${failed[*]}" >&2
  echo "${failed[*]}" >"$build_root/.failed-trees"
  exit 1
fi
rm -f "$build_root/.failed-trees"
