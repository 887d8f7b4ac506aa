#!/usr/bin/env bash
# Builds everything and runs all tests: the native core tests, the same tests
# under AddressSanitizer, LeakSanitizer and UBSan, the same tests built as
# 32-bit code (run through qemu-i386), a short run of every fuzz target
# (scripts/fuzz.sh, each target one test), the static analysis
# (scripts/lint.sh, one test), the checks of the 32-bit TVN.exe as a file
# (imports, resources), and the Windows-side tests and end-to-end tests under
# Wine on a private Xvfb display. Ends with one line "N passed, N failed" and a
# non-zero status if anything failed.
#
# TVN_BUILD_ROOT moves the build trees (default: <repository>/build).
# TVN_FUZZ_SECONDS sets the time of each fuzz target (default 20).
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
build_root="${TVN_BUILD_ROOT:-$root/build}"
export TVN_BUILD_ROOT="$build_root"
cd "$root" || exit 1

# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
tvn_install_cleanup_trap

total_passed=0
total_failed=0
log_dir="$build_root/test-logs"

bash "$root/scripts/deps.sh" || { echo "test.sh: installing the packages failed" >&2; exit 1; }
bash "$root/scripts/build.sh" --no-deps --asan
failed_trees=" $(cat "$build_root/.failed-trees" 2>/dev/null) "
mkdir -p "$log_dir"

# run_ctest <label> <tree> <ctest arguments...>: runs one ctest, shows its
# output and adds its counts to the totals. A tree that did not build counts
# as one failure.
run_ctest() {
  local label="$1" tree="$2"; shift 2
  local dir="$build_root/$tree" log="$log_dir/$tree.log"
  echo
  echo "== $label"
  if [[ "$failed_trees" == *" $tree "* ]] || [ ! -f "$dir/CTestTestfile.cmake" ]; then
    echo "test.sh: $tree did not build; its tests count as one failure" >&2
    total_failed=$((total_failed + 1))
    return
  fi
  ctest --test-dir "$dir" "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  local line passed failed total
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((total - failed))
  elif grep -q 'No tests were found' "$log" && [ "$status" -eq 0 ]; then
    passed=0; failed=0
  else
    echo "test.sh: ctest for $tree gave no result (status $status)" >&2
    passed=0; failed=1
  fi
  if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then
    echo "test.sh: ctest for $tree ended with status $status" >&2
    failed=1
  fi
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
}

run_ctest "native tests" native --output-on-failure -j 2

# Leaks end the sanitized tests with a failure, and so does the first
# undefined behaviour, with its stack.
saved_asan="${ASAN_OPTIONS-}" saved_ubsan="${UBSAN_OPTIONS-}"
export ASAN_OPTIONS="detect_leaks=1${saved_asan:+:$saved_asan}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${saved_ubsan:+:$saved_ubsan}"
run_ctest "native tests under AddressSanitizer, LeakSanitizer and UBSan" native-asan --output-on-failure -j 2
export ASAN_OPTIONS="$saved_asan" UBSAN_OPTIONS="$saved_ubsan"

run_ctest "native tests as 32-bit code (qemu-i386)" native32 --output-on-failure -j 2

# run_fuzz: a short run of every fuzz target; fuzz.sh ends with
# "fuzz: N passed, N failed", whose counts are added (a build failure is one).
run_fuzz() {
  local log="$log_dir/fuzz.log" line passed failed
  echo
  echo "== fuzz targets, ${TVN_FUZZ_SECONDS:-20} s each"
  bash "$root/scripts/fuzz.sh" "${TVN_FUZZ_SECONDS:-20}" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  line=$(grep -E '^fuzz: [0-9]+ passed, [0-9]+ failed$' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    echo "test.sh: fuzz.sh gave no result (status $status)" >&2
    total_failed=$((total_failed + 1))
    return
  fi
  passed=$(sed -E 's/^fuzz: ([0-9]+) passed.*/\1/' <<<"$line")
  failed=$(sed -E 's/.* ([0-9]+) failed$/\1/' <<<"$line")
  if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
}
run_fuzz

echo
echo "== static analysis"
bash "$root/scripts/lint.sh" 2>&1 | tee "$log_dir/lint.log"
if [ "${PIPESTATUS[0]}" -eq 0 ]; then
  total_passed=$((total_passed + 1))
else
  echo "test.sh: static analysis failed; see $log_dir/lint.log" >&2
  total_failed=$((total_failed + 1))
fi

# The 32-bit TVN.exe cannot run here: its imports, header and resources are
# checked as a file.
run_ctest "32-bit TVN.exe and TVN-en.exe: imports and resources" win32 --output-on-failure

echo
echo "== preparing Wine"
mkdir -p "$build_root/screenshots"
if tvn_wine_env "$build_root/win" && tvn_xvfb_start && tvn_wine_setup; then
  echo "Wine prefix $WINEPREFIX on display $DISPLAY"
  # Wine on a loaded machine now and then fails a process start of its own
  # (CreateProcess ending in an internal error) or a window that is slow to
  # map: a test that fails runs once more, and only a second failure counts.
  # Every first failure is still listed here, so that none goes unseen.
  run_ctest "Windows tests under Wine" win --output-on-failure --timeout 600 --repeat until-pass:2
  retried=$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*(Failed|Timeout|Exception)' "$log_dir/win.log" |
            sed -E 's/.*Test +#[0-9]+: ([^ ]+).*/\1/' | sort -u)
  if [ -n "$retried" ]; then
    echo "test.sh: failed at a first attempt (a second attempt decides):"
    printf '  %s\n' $retried
  fi
else
  echo "test.sh: the Wine environment could not be prepared" >&2
  total_failed=$((total_failed + 1))
fi
tvn_cleanup

echo
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
