#!/usr/bin/env bash
# Start-up figures of TVN.exe under Wine: time until the log-on and command
# dialogs are shown and populated, against the bare script runs they wrap; a
# Refresh cycle; the executable's size; the peak working set.
#   scripts/bench_startup.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds="${1:-5}"
bash scripts/build.sh >/dev/null
source scripts/wine-env.sh
tvn_install_cleanup_trap
tvn_wine_env build/win
tvn_xvfb_start --use-current
tvn_wine_setup
exe_win="Z:$(pwd -P | sed 's#/#\\#g')\\build\\win\\TVN.exe"
wine build/win/tvn_bench.exe "$exe_win" "$rounds"
