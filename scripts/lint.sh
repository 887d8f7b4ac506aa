#!/usr/bin/env bash
# Static analysis of the whole tool; it must run clean.
#
#   - clang-tidy-14 (checks in .clang-tidy) on the portable core, with the
#     compile commands of the native tree;
#   - clang-tidy-14 on the Windows adapters (<folder>/win/*.cpp), with the
#     compile commands of the Windows tree, parsed as x86_64-w64-mingw32 with
#     the mingw-w64 headers (clang's own intrinsics, GCC's C++ library);
#     both lists of sources are the ones the build's folder libraries are made
#     of (cmake/layers.cmake writes them to <tree>/layers/sources-*.txt);
#   - cppcheck 2.10 (warning, performance, portability) on everything the two
#     trees compile (core, adapters, native and Windows-side tests, tools,
#     benchmarks) and on the fuzz targets.
#
#   scripts/lint.sh            all of the above
#   scripts/lint.sh --fast     cppcheck only (seconds instead of minutes)
#
# The trees are <build>/native and <build>/win (TVN_LINT_NATIVE_BUILD and
# TVN_LINT_WIN_BUILD name others); a tree without compile_commands.json or its
# source list is configured first (configured only, not built). Ends with
# "lint: clean" or "lint: N failed" and a matching exit status.
#
# TVN_BUILD_ROOT moves the build trees (default: <repository>/build).
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
build_root="${TVN_BUILD_ROOT:-$root/build}"
native_build="${TVN_LINT_NATIVE_BUILD:-$build_root/native}"
win_build="${TVN_LINT_WIN_BUILD:-$build_root/win}"
jobs="${TVN_BUILD_JOBS:-2}"
cd "$root" || exit 1

run_tidy=1
for arg in "$@"; do
  case "$arg" in
    --fast) run_tidy=0 ;;
    -h|--help) sed -n '2,23p' "${BASH_SOURCE[0]}"; exit 0 ;;
    *) echo "lint.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

failed=0
fail() {
  echo "lint: FAIL $*" >&2
  failed=$((failed + 1))
}

# ensure_tree <dir> <source list> <cmake configure arguments...>
ensure_tree() {
  local dir="$1" list="$2"; shift 2
  [ -f "$dir/compile_commands.json" ] && [ -f "$dir/layers/$list" ] && return 0
  echo "lint: configuring $dir"
  cmake -S "$root" -B "$dir" "$@" >"$dir.lint-configure.log" 2>&1 || {
    cat "$dir.lint-configure.log" >&2
    return 1
  }
}

for tool in clang-tidy-14 cppcheck; do
  command -v "$tool" >/dev/null 2>&1 || { fail "$tool not found (scripts/deps.sh installs it)"; }
done
[ "$failed" -eq 0 ] || { echo "lint: $failed failed"; exit 1; }

mkdir -p "$build_root"
ensure_tree "$native_build" sources-core.txt -DCMAKE_BUILD_TYPE=RelWithDebInfo || fail "configuring $native_build"
ensure_tree "$win_build" sources-win.txt -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" || fail "configuring $win_build"

# read_sources <array name> <list file>: the product's sources as the build
# lists them, relative to the repository; a listed file that is gone means a
# stale tree.
read_sources() {
  local -n into="$1"
  local list="$2" line
  into=()
  [ -f "$list" ] || { fail "no source list $list"; return; }
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    if [ -f "$line" ]; then into+=("$line"); else fail "$line (listed in $list) does not exist; reconfigure the tree"; fi
  done <"$list"
  [ "${#into[@]}" -gt 0 ] || fail "the source list $list is empty"
}
read_sources core_sources "$native_build/layers/sources-core.txt"
read_sources win_sources "$win_build/layers/sources-win.txt"

# tidy <label> <build dir> <extra clang-tidy arguments...> -- <files...>
tidy() {
  local label="$1" dir="$2"; shift 2
  local args=()
  while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do args+=("$1"); shift; done
  shift
  local log="$build_root/lint-tidy-$label.log"
  echo "lint: clang-tidy on the $label ($# files)"
  # xargs gives 123 when any clang-tidy run fails (a finding is an error
  # through WarningsAsErrors in .clang-tidy).
  if printf '%s\n' "$@" | xargs -P "$jobs" -n 1 clang-tidy-14 -p "$dir" --quiet "${args[@]}" >"$log" 2>&1; then
    return 0
  fi
  grep -E '(warning|error):' "$log" | grep -v '^[0-9]* warnings' >&2
  fail "clang-tidy on the $label (full output in $log)"
}

if [ "$run_tidy" -eq 1 ]; then
  tidy core "$native_build" -- "${core_sources[@]}"

  # The Windows tree is compiled by x86_64-w64-mingw32-g++-posix; clang parses
  # its sources for the same target with its own intrinsics headers (GCC's do
  # not parse under clang) and GCC's C++ library, as the build uses it.
  gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name 2>/dev/null)")
  if [ -d "$gcc_dir/include/c++" ]; then
    tidy adapters "$win_build" \
      --extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-nostdinc++ \
      "--extra-arg=-isystem$gcc_dir/include/c++" \
      "--extra-arg=-isystem$gcc_dir/include/c++/x86_64-w64-mingw32" \
      "--extra-arg=-isystem$gcc_dir/include/c++/backward" \
      -- "${win_sources[@]}"
  else
    fail "the mingw-w64 C++ headers were not found (x86_64-w64-mingw32-g++-posix)"
  fi
fi

# cppcheck. Kept suppressions, each for its reason:
#   missingIncludeSystem   the system, mingw-w64 and GoogleTest headers are not
#                          handed to cppcheck (the googletest and windows
#                          libraries describe their macros and functions);
#   *:/usr/*               nothing under /usr (GoogleTest's sources, built by
#                          the Windows tree, and the system headers) is ours;
#   useInitializationList in tests/wine/dialogs_test.cpp: the test driver
#                          registers itself before it starts its timer, and the
#                          key name is built from a running counter; the order
#                          in the constructor body is the point.
cppcheck_common=(
  --enable=warning,performance,portability --error-exitcode=1 --std=c++17 --inline-suppr --quiet
  --suppress=missingIncludeSystem "--suppress=*:/usr/*"
  "--suppress=useInitializationList:*tests/wine/dialogs_test.cpp"
  --template='{file}:{line}: {severity}: {message} [{id}]' -j "$jobs"
)

echo "lint: cppcheck on the native tree"
cppcheck "${cppcheck_common[@]}" --library=googletest --project="$native_build/compile_commands.json" ||
  fail "cppcheck on the native tree"
echo "lint: cppcheck on the Windows tree"
cppcheck "${cppcheck_common[@]}" --library=windows --library=googletest --project="$win_build/compile_commands.json" ||
  fail "cppcheck on the Windows tree"
echo "lint: cppcheck on the fuzz targets"
cppcheck "${cppcheck_common[@]}" -I "$root" -I "$root/tests/native" -I "$root/tests/fuzz" "$root"/tests/fuzz/*.cpp ||
  fail "cppcheck on the fuzz targets"

if [ "$failed" -eq 0 ]; then
  echo "lint: clean"
else
  echo "lint: $failed failed"
fi
[ "$failed" -eq 0 ]
