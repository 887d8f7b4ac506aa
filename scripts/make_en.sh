#!/usr/bin/env bash
# Makes <build>/TVN-en.exe: a copy of <build>/TVN.exe whose description script
# (resource RCDATA 750, language neutral) is the packed English script.
#
#   scripts/make_en.sh <build-dir> <packed-script> [<runner-build-dir>]
#
# The script goes in through the tool's own update mode, run under Wine:
#   TVN.exe i "<packed-script>" "<copy>" "10" "750"
# The original TVN.exe does the update, since a running executable cannot
# update itself. The copy's extract mode then writes its script back out, and
# that must equal the packed file byte for byte. The copy is made under a
# temporary name and renamed to TVN-en.exe only when all of this succeeded, so
# a failed run never leaves a TVN-en.exe that looks up to date.
#
# With a runner build directory (the x86_64 twin of a 32-bit tree, since
# 32-bit programs cannot run on these machines), that tree's TVN.exe and
# tvn_spawn.exe do the update in its Wine prefix, and the copy, which cannot
# run here, is checked by reading its resource as a file
# (scripts/pe_resource.py): the script must come back byte for byte, as the
# only language of RCDATA 750, in an executable of the same machine type.
#
# The update and extract modes need no display: without DISPLAY the splash
# window of the start-up is simply not created. The Wine prefix is the build
# tree's own (<build>/wineprefix, or the runner's), created here if it does
# not exist yet. A wineserver that this script had to start is stopped again
# at the end.
set -uo pipefail

if [ "$#" -ne 2 ] && [ "$#" -ne 3 ]; then
  echo "usage: make_en.sh <build-dir> <packed-script> [<runner-build-dir>]" >&2
  exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
build=$(cd "$1" 2>/dev/null && pwd -P) || { echo "make_en.sh: no build directory $1" >&2; exit 1; }
packed="$2"
case "$packed" in /*) ;; *) packed="$PWD/$packed" ;; esac
runner="$build"
if [ "$#" -eq 3 ]; then
  runner=$(cd "$3" 2>/dev/null && pwd -P) ||
    { echo "make_en.sh: no runner build directory $3 (build the x86_64 tree first)" >&2; exit 1; }
fi

source_tvn="$build/TVN.exe"
tvn="$runner/TVN.exe"
spawn="$runner/tvn_spawn.exe"
target="$build/TVN-en.exe"
work="$build/TVN-en.new.exe"
extracted="$build/resources/description_en.extracted"

fail() {
  echo "make_en.sh: $*" >&2
  rm -f "$work" "$extracted"
  exit 1
}

for file in "$source_tvn" "$tvn" "$spawn" "$packed"; do
  [ -f "$file" ] || fail "missing $file"
done

# Each Wine program gets a time limit: the tool reports a failure in a message
# box that nobody would answer.
limit=120

# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
unset DISPLAY
tvn_wine_env "$runner" || fail "cannot set up the Wine environment of $runner"

# Is a wineserver of this prefix running already (say, for tests)?
prefix_server_running() {
  local dir
  for dir in /proc/[0-9]*; do
    case "$(cat "$dir/comm" 2>/dev/null)" in
      wineserver*) ;;
      *) continue ;;
    esac
    # (The process may end meanwhile: its environ is then unreadable.)
    if tr '\0' '\n' 2>/dev/null <"$dir/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      return 0
    fi
  done
  return 1
}

had_server=0
prefix_server_running && had_server=1
finish() {
  if [ "$had_server" -eq 0 ]; then
    tvn_wine_stop >/dev/null 2>&1 || true
  fi
}
trap finish EXIT

tvn_wine_setup || fail "cannot prepare the Wine prefix $WINEPREFIX"

# Windows paths of the build files: drive Z: is the host's root.
dos() { printf 'Z:%s' "${1//\//\\}"; }

rm -f "$work" "$extracted"
cp -f "$source_tvn" "$work" || fail "cannot copy $source_tvn"

# run_tool <exe> <tail>: runs the exe with the exact command-line tail.
run_tool() {
  local output status
  output=$(timeout "$limit" wine "$spawn" "$(dos "$1")" "$2" </dev/null 2>&1)
  status=$?
  if [ "$status" -ne 0 ]; then
    echo "$output" >&2
    fail "$(basename "$1")$2 ended with status $status"
  fi
}

run_tool "$tvn" " i \"$(dos "$packed")\" \"$(dos "$work")\" \"10\" \"750\""
if [ "$runner" = "$build" ]; then
  run_tool "$work" " e \"$(dos "$extracted")\" \"10\" \"750\""
  [ -f "$extracted" ] || fail "the copy's extract mode wrote no $extracted"
else
  pe() { python3 "$root/scripts/pe_resource.py" "$@"; }
  before=$(pe info "$source_tvn") || fail "cannot read $source_tvn"
  after=$(pe info "$work") || fail "the updated copy is no longer a readable executable"
  [ "$before" = "$after" ] || fail "the updated copy changed from $before to $after"
  pe extract "$work" 10 750 "$extracted" || fail "cannot read resource 10/750 back from the copy"
fi
cmp -s "$packed" "$extracted" || fail "the script in the copy differs from $packed"

mv -f "$work" "$target" || fail "cannot rename $work"
rm -f "$extracted"
echo "make_en.sh: $target carries $(basename "$packed") as resource 10/750"
