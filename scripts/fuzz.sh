#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz (clang 14, AddressSanitizer,
# LeakSanitizer, UBSan) in <build>/fuzz and runs each for a bounded time.
#
#   scripts/fuzz.sh                 every target for 60 s
#   scripts/fuzz.sh 600             every target for 600 s (the long run)
#   scripts/fuzz.sh 30 fuzz_loader  one target for 30 s
#
# Each target starts from its committed seeds in tests/fuzz/corpus/<target>;
# what it learns goes to <build>/fuzz/corpus/<target>, so the committed seeds
# stay as they are. A finding (crash, failed invariant, leak, timeout, memory
# blow-up) is saved under <build>/fuzz/artifacts/<target>/ and fails the run.
# Ends with one line "fuzz: N passed, N failed"; the status is non-zero if a
# target failed or the targets could not be built.
#
# TVN_BUILD_ROOT moves the build trees (default: <repository>/build).
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
build_root="${TVN_BUILD_ROOT:-$root/build}"
build="$build_root/fuzz"
jobs="${TVN_BUILD_JOBS:-2}"
seconds="${1:-60}"
shift || true

case "$seconds" in
  ''|*[!0-9]*) echo "fuzz.sh: the time must be a whole number of seconds, got '$seconds'" >&2; exit 2 ;;
esac

compiler="${TVN_FUZZ_CXX:-clang++-14}"
if ! command -v "$compiler" >/dev/null 2>&1; then
  echo "fuzz.sh: $compiler not found (scripts/deps.sh installs clang-14 and libclang-rt-14-dev)" >&2
  echo "fuzz: 0 passed, 1 failed"
  exit 1
fi

mkdir -p "$build"
if ! cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_CXX_COMPILER="$compiler" >"$build/configure.log" 2>&1 ||
   ! cmake --build "$build" -j "$jobs" >"$build/build.log" 2>&1; then
  cat "$build/configure.log" "$build/build.log" >&2
  echo "fuzz.sh: building the fuzz targets failed" >&2
  echo "fuzz: 0 passed, 1 failed"
  exit 1
fi

targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for source in "$root"/tests/fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi

passed=0
failed=0
for target in "${targets[@]}"; do
  binary="$build/$target"
  seeds="$root/tests/fuzz/corpus/$target"
  work="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  log="$build/$target.log"
  mkdir -p "$work" "$artifacts"
  if [ ! -x "$binary" ]; then
    echo "FAIL $target: not built" >&2
    failed=$((failed + 1))
    continue
  fi
  # -timeout: one input taking longer than this is a finding (a hang);
  # -rss_limit_mb: so is a run that grows past this much memory.
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}" \
    "$binary" "$work" "$seeds" \
      -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
      -artifact_prefix="$artifacts/" -print_final_stats=1 >"$log" 2>&1
  status=$?
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -n 1)
  if [ "$status" -eq 0 ]; then
    echo "PASS $target: ${runs:-?} inputs in ${seconds} s, corpus $(find "$work" -type f | wc -l) files"
    passed=$((passed + 1))
  else
    echo "FAIL $target (status $status); log $log, inputs in $artifacts" >&2
    grep -E 'invariant failed|ERROR: |SUMMARY: |runtime error' "$log" | head -n 20 >&2
    failed=$((failed + 1))
  fi
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
