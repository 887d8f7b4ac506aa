#!/usr/bin/env bash
# Start-up figures of the users' TVN.exe under Wine 10, for both
# architectures side by side: the 32-bit build/win32/TVN.exe measured by the
# i686 test tree's tvn_bench.exe in its prefix, the 64-bit build/win64/TVN.exe
# by the x86_64 one, each side by side in its own run with their floors (a
# trivial program, a bare dialog program, the bare script runs): time until
# the log-on and command dialogs are shown and populated with the in-process
# split from the start-up trace, the extract mode, Refresh and Log on
# hand-overs, peak working sets and the executables' sizes. See
# tests/tools/tvn_bench.cpp for every figure.
#   scripts/bench_startup.sh [ROUNDS]
# Prints one table: each figure, then its value for i386 and for x86-64 (the
# i386 column is "-" where this machine's kernel runs no i386 code). The
# architectures take turns by round pairs, so that the machine's load falls on
# both alike.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds="${1:-5}"
bash scripts/build.sh --win-only >/dev/null
source scripts/wine-env.sh
tvn_install_cleanup_trap
build="Z:$(pwd -P | sed 's#/#\\#g')\\build"
out=$(mktemp -d)
trap 'rm -rf "$out"; tvn_cleanup' EXIT

lanes=(x86-64)
tvn_host_runs_i386 && lanes=(i386 x86-64)
tvn_xvfb_start --use-current
# bench <lane> <rounds>: one run of the lane's bench, its lines added to
# $out/<lane>.
bench() {
  local tree=win product=win64
  [ "$1" = i386 ] && tree=win32-tests product=win32
  tvn_wine_env "build/$tree" "build/$product"
  tvn_wine_setup
  wine "build/$tree/tvn_bench.exe" "$build\\$product\\TVN.exe" "$2" "$build\\$product\\TVN-en.exe" \
    >>"$out/$1" 2>/dev/null
  tvn_wine_stop
}
# Round pairs: i386 then x86-64, then the other way round.
done_rounds=0
while [ "$done_rounds" -lt "$rounds" ]; do
  step=$(( rounds - done_rounds < 2 ? rounds - done_rounds : 2 ))
  order=("${lanes[@]}")
  if [ $(( done_rounds / 2 % 2 )) -eq 1 ] && [ "${#lanes[@]}" -eq 2 ]; then order=(x86-64 i386); fi
  for lane in "${order[@]}"; do bench "$lane" "$step"; done
  done_rounds=$((done_rounds + step))
done

# Each run printed its medians; the table gives the median of those per
# figure (sizes are the same in every run).
python3 - "$out" "${lanes[@]}" <<'PY'
import os, statistics, sys
folder, lanes = sys.argv[1], sys.argv[2:]
values, order = {}, []
for lane in lanes:
    with open(os.path.join(folder, lane), encoding="utf-8", errors="replace") as f:
        for line in f:
            parts = line.split()
            if len(parts) != 2:
                continue
            try:
                number = float(parts[1])
            except ValueError:
                continue
            if parts[0] not in order:
                order.append(parts[0])
            values.setdefault((parts[0], lane), []).append(number)
def cell(name, lane):
    got = values.get((name, lane))
    if not got:
        return "-"
    median = statistics.median(got)
    return "%d" % median if median == int(median) else "%.1f" % median
print("%-44s %14s %14s" % ("figure", "i386", "x86-64"))
for name in order:
    print("%-44s %14s %14s" % (name, cell(name, "i386"), cell(name, "x86-64")))
PY
