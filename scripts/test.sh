#!/usr/bin/env bash
# Builds everything and runs all tests: the native core tests, the same tests
# under AddressSanitizer, LeakSanitizer and UBSan, the same tests built as
# 32-bit code (run through qemu-i386), a short run of every fuzz target
# (scripts/fuzz.sh, each target one test), the static analysis
# (scripts/lint.sh, one test), the checks of the users' TVN.exe files as files
# (imports, resources), and then, once per architecture (the i386 and x86-64
# lanes), the Windows-side tests and end-to-end tests under Wine 10 in the
# Windows test root (scripts/wine-env.sh) on a private Xvfb display, against
# the users' files of that architecture. Prints one line per lane, "lane
# <lane> on <wine version>: N passed, N failed" (or why the lane was
# skipped), and ends with one line "N passed, N failed" and a non-zero status
# if anything failed.
#
#   scripts/test.sh                      everything
#   scripts/test.sh --lanes [-R REGEX]   only the Windows trees and the two
#                                        lanes, optionally only the tests
#                                        whose CTest names match REGEX
#
# TVN_BUILD_ROOT moves the build trees (default: <repository>/build).
# TVN_FUZZ_SECONDS sets the time of each fuzz target (default 20).
set -uo pipefail

lanes_only=0
lane_filter=()
while [ "$#" -gt 0 ]; do
  case "$1" in
    --lanes) lanes_only=1 ;;
    -R) [ "$#" -ge 2 ] || { echo "test.sh: -R needs a pattern" >&2; exit 2; }
        lane_filter=(-R "$2"); shift ;;
    -h|--help) sed -n '2,23p' "${BASH_SOURCE[0]}"; exit 0 ;;
    *) echo "test.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done

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
# Stage times, for the record of how long a run takes.
stage_start=$SECONDS
stage_times=()
stage_done() { stage_times+=("$1: $((SECONDS - stage_start)) s"); stage_start=$SECONDS; }
if ! tvn_wine_root "$build_root"; then
  echo "test.sh: stopped: the Windows test root could not be made (the line above says at which step)" >&2
  exit 1
fi
stage_done "Windows test root"
if [ "$lanes_only" -eq 1 ]; then
  bash "$root/scripts/build.sh" --no-deps --win-only
else
  bash "$root/scripts/build.sh" --no-deps --asan
fi
stage_done "build"
failed_trees=" $(cat "$build_root/.failed-trees" 2>/dev/null) "
mkdir -p "$log_dir"

# junit_counts <file>: "<passed> <failed>" from a CTest JUnit report (a test
# that did not run counts as failed; a report that cannot be read gives
# nothing).
junit_counts() {
  python3 - "$1" <<'PY' 2>/dev/null
import sys
import xml.etree.ElementTree as ET
cases = ET.parse(sys.argv[1]).getroot().iter("testcase")
passed = failed = 0
for case in cases:
    if case.get("status") == "run" and case.find("failure") is None and case.find("error") is None:
        passed += 1
    else:
        failed += 1
print(passed, failed)
PY
}

# run_ctest <label> <tree> <ctest arguments...>: runs one ctest, shows its
# output and adds its counts (from its JUnit report) to the totals; the counts
# are left in ctest_passed and ctest_failed. A tree that did not build counts
# as one failure.
ctest_passed=0
ctest_failed=0
run_ctest() {
  local label="$1" tree="$2"; shift 2
  local dir="$build_root/$tree" log="$log_dir/$tree.log" report="$log_dir/$tree.xml" counts
  echo
  echo "== $label"
  ctest_passed=0
  ctest_failed=1
  if [[ "$failed_trees" == *" $tree "* ]] || [ ! -f "$dir/CTestTestfile.cmake" ]; then
    echo "test.sh: $tree did not build; its tests count as one failure" >&2
    total_failed=$((total_failed + 1))
    return
  fi
  rm -f "$report"
  ctest --test-dir "$dir" --output-junit "$report" "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  if counts=$(junit_counts "$report") && [ -n "$counts" ]; then
    read -r ctest_passed ctest_failed <<<"$counts"
  elif grep -q 'No tests were found' "$log" && [ "$status" -eq 0 ]; then
    ctest_failed=0
  else
    echo "test.sh: ctest for $tree gave no result (status $status)" >&2
  fi
  if [ "$status" -ne 0 ] && [ "$ctest_failed" -eq 0 ]; then
    echo "test.sh: ctest for $tree ended with status $status" >&2
    ctest_failed=1
  fi
  total_passed=$((total_passed + ctest_passed))
  total_failed=$((total_failed + ctest_failed))
}

# run_host_checks: everything that runs on the host itself.
run_host_checks() {
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

}

[ "$lanes_only" -eq 1 ] || run_host_checks

# The users' files read as files: imports, headers, resources.
run_ctest "TVN.exe and TVN-en.exe for 32-bit Windows: imports and resources" win32 --output-on-failure
run_ctest "TVN.exe and TVN-en.exe for 64-bit Windows: imports and resources" win64 --output-on-failure

# run_lane <lane> <test-tree> <users' files>: the Windows-side GoogleTest suite
# and the end-to-end files of one architecture under Wine in the Windows test
# root, on a private Xvfb display and the tree's own prefix, the end-to-end
# files running the users' TVN.exe of that architecture. Prints the lane's
# line "lane <lane> on <wine>: N passed, N failed", or why it was skipped, and
# writes "<passed> <failed>" and that line to $log_dir/lane-<lane>.result.
run_lane() {
  local lane="$1" tree="$2" product="$3" version line result="$log_dir/lane-$1.result"
  echo
  echo "== lane $lane: preparing Wine"
  if [ "$lane" = i386 ] && ! tvn_host_runs_i386; then
    line="lane $lane on $(tvn_wine_version || echo "an unknown Wine"): skipped: this machine's kernel runs no i386 code"
    line="$line (the i386 test program did not run)"
    echo "$line"
    printf '0 0\n%s\n' "$line" >"$result"
    return
  fi
  export TVN_SCREENSHOT_DIR="$build_root/screenshots/$lane"
  mkdir -p "$TVN_SCREENSHOT_DIR"
  if ! { tvn_wine_env "$build_root/$tree" "$build_root/$product" && tvn_xvfb_start && tvn_wine_setup; }; then
    echo "test.sh: the Wine environment of lane $lane could not be prepared" >&2
    printf '0 1\n%s\n' "lane $lane: the Wine environment could not be prepared: 0 passed, 1 failed" >"$result"
    tvn_cleanup
    return
  fi
  version=$(tvn_wine_version) || version="an unknown Wine"
  echo "Wine prefix $WINEPREFIX on display $DISPLAY ($version), users' files from $TVN_PRODUCT_DIR"
  # Wine on a loaded machine now and then fails a process start of its own
  # (CreateProcess ending in an internal error) or a window that is slow to
  # map: a test that fails runs once more, and only a second failure counts.
  # Every first failure is still listed here, so that none goes unseen.
  run_ctest "lane $lane: Windows tests under Wine" "$tree" --output-on-failure --timeout 600 --repeat until-pass:2 \
    "${lane_filter[@]}"
  local retried
  retried=$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*(Failed|Timeout|Exception)' "$log_dir/$tree.log" |
            sed -E 's/.*Test +#[0-9]+: ([^ ]+).*/\1/' | sort -u)
  if [ -n "$retried" ]; then
    echo "test.sh: lane $lane: failed at a first attempt (a second attempt decides):"
    printf '  %s\n' $retried
  fi
  tvn_cleanup
  line="lane $lane on $version: $ctest_passed passed, $ctest_failed failed"
  echo "$line"
  printf '%s %s\n%s\n' "$ctest_passed" "$ctest_failed" "$line" >"$result"
}

# The two lanes run one after the other. TVN_LANES_SIDE_BY_SIDE=1 runs them
# at the same time, each on its own display and in its own prefix, and shows
# each lane's output when both have ended: quicker, but on two cores the
# popup-menu tests of one lane then now and then miss their popup.
stage_done "native, fuzz, lint and file checks"
lanes=("i386 win32-tests win32" "x86-64 win win64")
lane_pids=()
for spec in "${lanes[@]}"; do
  read -r lane tree product <<<"$spec"
  rm -f "$log_dir/lane-$lane.result"
  if [ "${TVN_LANES_SIDE_BY_SIDE:-0}" != 1 ]; then
    ( trap 'tvn_cleanup' EXIT; trap 'exit 130' INT TERM
      run_lane "$lane" "$tree" "$product" ) 2>&1 | tee "$log_dir/lane-$lane.out"
  else
    echo "== lane $lane: started (output: $log_dir/lane-$lane.out)"
    ( trap 'tvn_cleanup' EXIT; trap 'exit 130' INT TERM
      run_lane "$lane" "$tree" "$product" ) >"$log_dir/lane-$lane.out" 2>&1 &
    lane_pids+=("$!")
  fi
done
for pid in "${lane_pids[@]}"; do wait "$pid"; done
lane_lines=()
for spec in "${lanes[@]}"; do
  read -r lane _ <<<"$spec"
  [ "${TVN_LANES_SIDE_BY_SIDE:-0}" != 1 ] || cat "$log_dir/lane-$lane.out"
  if [ -f "$log_dir/lane-$lane.result" ]; then
    read -r passed failed <"$log_dir/lane-$lane.result"
    lane_lines+=("$(sed -n 2p "$log_dir/lane-$lane.result")")
  else
    passed=0 failed=1
    lane_lines+=("lane $lane: ended without a result: 0 passed, 1 failed")
  fi
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
done
stage_done "the two lanes"
echo
echo "Stage times: $(IFS=';'; echo "${stage_times[*]}" | sed 's/;/; /g'); the whole run: $SECONDS s"

echo
printf '%s\n' "${lane_lines[@]}"
echo
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
