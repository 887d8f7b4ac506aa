#!/usr/bin/env bash
# Builds TVN.exe and runs it under Wine 10 in the Windows test root
# (scripts/wine-env.sh makes it when missing). Extra arguments go to TVN.exe.
# It runs the file for 64-bit Windows, build/win64/TVN.exe; with TVN_RUN_ARCH=i386
# the file for 32-bit Windows, build/win32/TVN.exe (where the kernel runs
# i386 code).
#
# With a reachable $DISPLAY the tool opens there and the script waits for it
# to end. Otherwise it runs on a private Xvfb display: the script waits for
# its first window, saves a screenshot to build/screenshots/run.png, then
# waits for the tool to end and ends it after TVN_RUN_TIMEOUT seconds
# (default 60), since nobody can answer its dialogs there.
#
# TVN_BUILD_ROOT moves the build trees (default: <repository>/build).
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
build_root="${TVN_BUILD_ROOT:-$root/build}"
export TVN_BUILD_ROOT="$build_root"
timeout_s="${TVN_RUN_TIMEOUT:-60}"

# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"

bash "$root/scripts/build.sh" --win-only || { echo "run.sh: the build failed" >&2; exit 1; }
tree=win product=win64
if [ "${TVN_RUN_ARCH:-x86-64}" = i386 ]; then
  tvn_host_runs_i386 || { echo "run.sh: this machine's kernel runs no i386 code; run without TVN_RUN_ARCH" >&2; exit 1; }
  tree=win32-tests product=win32
fi
exe="$build_root/$product/TVN.exe"
[ -f "$exe" ] || { echo "run.sh: $exe was not built" >&2; exit 1; }

tvn_install_cleanup_trap
tvn_wine_env "$build_root/$tree" "$build_root/$product" || exit 1
tvn_xvfb_start --use-current || exit 1
virtual=0
[ -n "$TVN_XVFB_PID" ] && virtual=1
tvn_wine_setup || exit 1

if [ "$virtual" -eq 0 ]; then
  echo "run.sh: running TVN.exe on $DISPLAY"
  wine "$exe" "$@"
  echo "run.sh: TVN.exe ended (status $?)"
  exit 0
fi

echo "run.sh: running TVN.exe on the private display $DISPLAY"
wine "$exe" "$@" &
tool_pid=$!

# The first visible window other than Wine's own desktop window.
first_window() {
  local id name
  for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    name=$(xdotool getwindowname "$id" 2>/dev/null) || continue
    case "$name" in
      ""|*"Wine desktop"*) continue ;;
    esac
    echo "$name"
    return 0
  done
  return 1
}

window=""
for _ in $(seq 1 300); do
  window=$(first_window) && break
  kill -0 "$tool_pid" 2>/dev/null || break
  sleep 0.1
done

shot_dir="$build_root/screenshots"
mkdir -p "$shot_dir"
result=0
if [ -n "$window" ]; then
  sleep 1  # let the dialog finish painting
  echo "run.sh: TVN.exe shows \"$window\""
else
  echo "run.sh: TVN.exe showed no window within 30 s" >&2
  result=1
fi
if timeout 30 import -window root "$shot_dir/run.png"; then
  echo "run.sh: screenshot: $shot_dir/run.png"
else
  echo "run.sh: taking the screenshot failed" >&2
fi

for _ in $(seq 1 $((timeout_s * 10))); do
  kill -0 "$tool_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$tool_pid" 2>/dev/null; then
  echo "run.sh: TVN.exe still runs after ${timeout_s} s on a display nobody sees; ending it" \
       "(set TVN_RUN_TIMEOUT to wait longer, or run with DISPLAY set to use your own display)"
  tvn_wine_stop
  wait "$tool_pid" 2>/dev/null
else
  wait "$tool_pid"
  echo "run.sh: TVN.exe ended (status $?)"
fi
exit "$result"
