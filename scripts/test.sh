#!/usr/bin/env bash
# Builds everything and runs all tests: the native core tests, the same tests
# under AddressSanitizer/UBSan, and the Windows-side tests and end-to-end tests
# under Wine on a private Xvfb display. Ends with one line "N passed, N failed"
# and a non-zero status if anything failed.
#
# TVN_BUILD_ROOT moves the build trees (default: <repository>/build).
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
run_ctest "native tests under AddressSanitizer and UBSan" native-asan --output-on-failure -j 2

echo
echo "== preparing Wine"
mkdir -p "$build_root/screenshots"
if tvn_wine_env "$build_root/win" && tvn_xvfb_start && tvn_wine_setup; then
  echo "Wine prefix $WINEPREFIX on display $DISPLAY"
  run_ctest "Windows tests under Wine" win --output-on-failure --timeout 600
else
  echo "test.sh: the Wine environment could not be prepared" >&2
  total_failed=$((total_failed + 1))
fi
tvn_cleanup

echo
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
