#!/usr/bin/env bash
# Static analysis of the whole tool; it must run clean.
#
#   - the source checks, over every C++ file of the repository (git ls-files):
#     each is formatted as clang-format-14 formats it with .clang-format, and
#     none calls a release function of the platform (CloseHandle,
#     DeleteObject, RegCloseKey, FreeLibrary, DestroyWindow, ...) itself
#     except the owners and the adapters listed below (raw_release_allowed);
#     and every mutant of tests/mutation/mutants.txt names text that occurs
#     once in its file;
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
#   scripts/lint.sh --fast     the source checks and cppcheck (seconds instead
#                              of minutes)
#   scripts/lint.sh --sources  the source checks only (no build tree needed)
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
run_trees=1
for arg in "$@"; do
  case "$arg" in
    --fast) run_tidy=0 ;;
    --sources) run_tidy=0; run_trees=0 ;;
    -h|--help) sed -n '2,29p' "${BASH_SOURCE[0]}"; exit 0 ;;
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

tools=(clang-format-14 git)
[ "$run_trees" -eq 0 ] || tools+=(clang-tidy-14 cppcheck)
for tool in "${tools[@]}"; do
  command -v "$tool" >/dev/null 2>&1 || { fail "$tool not found (scripts/deps.sh installs it)"; }
done
[ "$failed" -eq 0 ] || { echo "lint: $failed failed"; exit 1; }

# The source checks ----------------------------------------------------------

# Every C++ file of the repository, tracked or new (ignored files, such as
# the build trees, are not).
mapfile -t cxx_files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' '*.c' '*.hpp' |
  sort -u | while IFS= read -r f; do [ -f "$f" ] && printf '%s\n' "$f"; done)
[ "${#cxx_files[@]}" -gt 0 ] || fail "no C++ files found (is $root a git work tree?)"

# Formatting: clang-format-14 with the repository's .clang-format changes
# nothing (clang-format-14 -i <file> fixes a file). One run for all files; it
# names each file that it would change.
echo "lint: formatting of ${#cxx_files[@]} C++ files"
format_log="$(mktemp)"
clang-format-14 --style=file --dry-run --Werror "${cxx_files[@]}" >/dev/null 2>"$format_log"
format_status=$?
mapfile -t unformatted < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' "$format_log" |
  sort -u)
for f in "${unformatted[@]}"; do
  fail "$f is not formatted (clang-format-14 -i $f)"
done
if [ "$format_status" -ne 0 ] && [ "${#unformatted[@]}" -eq 0 ]; then
  cat "$format_log" >&2
  fail "clang-format-14 could not check the files"
fi
rm -f "$format_log"

# Releases of what the platform hands out belong to the owners in
# base/win/unique_handle.h. The files below may call a release function
# themselves, and only these:
raw_release_allowed=(
  base/win/unique_handle.h            # the owners
  description/win/handle_factory.cpp  # the loader's icons and fonts, released through the core's factory
  description/win/registry_source.cpp # reports RegCloseKey's own status
  launching/win/start_as_user.cpp     # the account platform: libraries and handles the core releases
  dialogs/win/shell_platform.cpp      # the shell platform's own FreeIdList, with the shell's allocator
)
raw_release_functions='CloseHandle|DeleteObject|RegCloseKey|FreeLibrary|DestroyWindow|DestroyIcon|DestroyMenu|FindClose|UnhookWindowsHookEx|CoTaskMemFree|LocalFree|CoUninitialize|EndUpdateResourceW?'
echo "lint: releases outside the owners"
checked=()
for f in "${cxx_files[@]}"; do
  allowed=0
  for a in "${raw_release_allowed[@]}"; do [ "$f" = "$a" ] && allowed=1; done
  [ "$allowed" -eq 1 ] || checked+=("$f")
done
# A call is the name, alone or after a lone "::", then "(". A member of the
# same name (x.DestroyIcon(, p->DestroyIcon(, Factory::DestroyIcon() and its
# declaration (void DestroyIcon() are not the platform's function. Text after
# // is a comment and not looked at.
if [ "${#checked[@]}" -gt 0 ]; then
  while IFS= read -r hit; do
    fail "$hit; use an owner of base/win/unique_handle.h"
  done < <(NAMES="$raw_release_functions" perl -ne '
    BEGIN { $names = $ENV{NAMES}; }
    s{//.*$}{};
    print "$ARGV:$.: a raw release ($2)\n" if /(?<![\w.>:])(?<!void )(::)?\b($names)\s*\(/;
    close ARGV if eof;' "${checked[@]}")
fi

# Every mutant of the mutation run must still name text of its file (a tree
# without the list, such as the lint checks' own scratch trees, has none).
if [ -f "$root/tests/mutation/mutants.txt" ]; then
  echo "lint: the mutation list against the sources"
  if ! out=$(python3 "$root/tests/mutation/mutate.py" --check 2>&1); then
    while IFS= read -r hit; do fail "$hit"; done <<<"$out"
  fi
fi

if [ "$run_trees" -eq 0 ]; then
  if [ "$failed" -eq 0 ]; then echo "lint: clean"; else echo "lint: $failed failed"; fi
  [ "$failed" -eq 0 ]
  exit
fi

# The build trees' checks -----------------------------------------------------

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
#                          the Windows tree, and the system headers) is ours.
cppcheck_common=(
  --enable=warning,performance,portability --error-exitcode=1 --std=c++17 --inline-suppr --quiet
  --suppress=missingIncludeSystem "--suppress=*:/usr/*"
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
