#!/usr/bin/env bash
# Leak soak under Wine: the help dialog opened and closed 200 times and
# Load/Release of every description mode 1,000 times in one process; prints
# the handle, GDI, USER, private-memory and heap figures before and after.
#   scripts/soak.sh [ROUNDS]     (default 1000)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/build.sh >/dev/null
source scripts/wine-env.sh
tvn_install_cleanup_trap
tvn_wine_env build/win
tvn_xvfb_start --use-current
tvn_wine_setup
TVN_SOAK_ROUNDS="${1:-1000}" wine build/win/tvn_wine_tests.exe --gtest_filter='SoakTest.*'
