#!/usr/bin/env bash
# Start-up figures of TVN.exe under Wine, side by side in one run with their
# floors (a trivial program, a bare dialog program, the bare script runs):
# time until the log-on and command dialogs are shown and populated with the
# in-process split from the start-up trace, the extract mode, Refresh and Log
# on hand-overs, peak working sets and the executables' sizes (both builds). See
# tests/tools/tvn_bench.cpp for every figure.
#   scripts/bench_startup.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds="${1:-5}"
bash scripts/build.sh --win-only >/dev/null
source scripts/wine-env.sh
tvn_install_cleanup_trap
tvn_wine_env build/win
tvn_xvfb_start --use-current
tvn_wine_setup
build_dir="Z:$(pwd -P | sed 's#/#\\#g')\\build"
win_dir="$build_dir\\win"
# The sizes of the other executables: the English twin and the 32-bit pair
# handed to users.
more=()
for name in win/TVN-en.exe win32/TVN.exe win32/TVN-en.exe; do
  [ -f "build/$name" ] && more+=("$build_dir\\${name//\//\\}")
done
wine build/win/tvn_bench.exe "$win_dir\\TVN.exe" "$rounds" "${more[@]}"
