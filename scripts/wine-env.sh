# Wine test environment for TVN.exe; source it from bash:
#   source scripts/wine-env.sh
#   tvn_install_cleanup_trap
#   tvn_wine_env build/win && tvn_xvfb_start && tvn_wine_setup
#
# Everything lives inside the build tree: the prefix (<build>/wineprefix), the
# Wine user's home (<build>/winehome) and the compiled ru_RU.UTF-8 host locale
# (<build>/locale). The user's own ~/.wine is never used.

# Bump when tvn_wine_setup changes what it puts into a prefix: an older prefix
# is then removed and created anew.
TVN_WINE_SETUP_VERSION=3

TVN_XVFB_PID=""
# Set by tvn_wine_env: only then does tvn_wine_stop end anything, so that a
# WINEPREFIX inherited from the caller's environment is never touched.
_TVN_WINE_ENV_SET=""

_tvn_log() { echo "wine-env: $*" >&2; }

# Is $1 one of Wine's own programs (its PE header carries Wine's mark)?
_tvn_is_wine_builtin() {
  [ "$(dd if="$1" bs=1 skip=64 count=16 2>/dev/null)" = "Wine builtin DLL" ]
}

# Installs the cscript shim of the build (tests/tools/cscript.cpp) as the
# prefix's system32\cscript.exe, the script host that TVN.exe names by its
# full path; the prefix's DllOverrides make Wine run that file rather than its
# built-in cscript. Wine's own script host stays beside it as
# tvn_wine_cscript.exe, which the shim runs (a copy under another name still
# runs as Wine's script host). A shim that is not built yet is installed by a
# later call.
_tvn_install_shim() {
  local shim="$TVN_WINE_BUILD_DIR/cscript.exe" system="$WINEPREFIX/drive_c/windows/system32"
  local host="$system/cscript.exe" original="$system/tvn_wine_cscript.exe"
  if [ ! -f "$shim" ]; then
    _tvn_log "the cscript shim $shim is not built yet; the prefix keeps Wine's own script host for now"
    return 0
  fi
  if [ ! -f "$original" ]; then
    if ! _tvn_is_wine_builtin "$host"; then
      _tvn_log "$host is not Wine's own script host, and no copy of it exists"
      return 1
    fi
    cp -f "$host" "$original" || return 1
  fi
  if ! cmp -s "$shim" "$host"; then
    cp -f "$shim" "$host" || return 1
  fi
}

# tvn_wine_env <build-dir>: exports the Wine environment of that build tree.
tvn_wine_env() {
  local build="${1:?tvn_wine_env: build directory expected}"
  mkdir -p "$build" || return 1
  build=$(cd "$build" && pwd -P) || return 1
  export TVN_WINE_BUILD_DIR="$build"
  _TVN_WINE_ENV_SET=1
  export WINEPREFIX="$build/wineprefix"
  export HOME="$build/winehome"
  mkdir -p "$HOME" || return 1
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64

  # Wine takes its code pages and the decoding of command-line arguments from
  # the host's LC_CTYPE: with ru_RU.UTF-8 the ANSI code page is 1251, the OEM
  # code page 866, and Cyrillic arguments arrive intact. Its user-interface
  # language follows LC_MESSAGES: en_US keeps the system's own texts (the
  # "Open" dialog, message texts) in English, as on the Windows that the tests
  # describe. LC_ALL would override both and must stay unset. The locales are
  # compiled into the build tree once.
  local locdir="$build/locale" name
  for name in ru_RU en_US; do
    if [ ! -f "$locdir/$name.UTF-8/LC_CTYPE" ]; then
      mkdir -p "$locdir" || return 1
      # localedef exits 1 for mere warnings; judge by the result.
      localedef -i "$name" -f UTF-8 "$locdir/$name.UTF-8" >/dev/null 2>&1 || true
      if [ ! -f "$locdir/$name.UTF-8/LC_CTYPE" ]; then
        _tvn_log "could not compile the $name.UTF-8 locale into $locdir (is the 'locales' package installed?)"
        return 1
      fi
    fi
  done
  export LOCPATH="$locdir"
  # bash itself does not see the new LOCPATH and would warn that it cannot
  # switch its own locale; the Wine processes it starts do see it.
  {
    unset LC_ALL
    export LANG=ru_RU.UTF-8 LC_CTYPE=ru_RU.UTF-8 LC_MESSAGES=en_US.UTF-8
  } 2>/dev/null

  # Programs are found the system's way only (the cscript shim lives in the
  # prefix's system folder, see _tvn_install_shim).
  unset WINEPATH
}

# tvn_wine_setup: creates and prepares the prefix if needed and keeps a
# wineserver running for it.
tvn_wine_setup() {
  : "${WINEPREFIX:?tvn_wine_setup: call tvn_wine_env first}"
  local marker="$WINEPREFIX/.tvn-setup"
  if [ -f "$marker" ] && [ "$(cat "$marker" 2>/dev/null)" = "$TVN_WINE_SETUP_VERSION" ] &&
     [ -d "$WINEPREFIX/drive_c" ]; then
    _tvn_install_shim || return 1
    _tvn_wine_warm
    return 0
  fi

  if [ -d "$WINEPREFIX" ]; then
    _tvn_log "recreating the Wine prefix $WINEPREFIX"
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  else
    _tvn_log "creating the Wine prefix $WINEPREFIX"
  fi

  if ! timeout 180 wineboot -u >/dev/null 2>&1; then
    _tvn_log "wineboot -u failed"
    return 1
  fi
  timeout 30 wineserver -p >/dev/null 2>&1 || true

  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  if [ -d /usr/share/wine/fonts ]; then
    cp -f /usr/share/wine/fonts/* "$fonts"/
  fi

  local failed=0
  timeout 60 wine reg add 'HKCR\.script' /ve /d JSFile /f >/dev/null 2>&1 || failed=1
  timeout 60 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 || failed=1
  timeout 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 ||
    failed=1
  # A program in the system folder with the name of one of Wine's own runs as
  # Wine's own unless the prefix asks for the file: the shim must run.
  timeout 60 wine reg add 'HKCU\Software\Wine\DllOverrides' /v cscript.exe /d native /f >/dev/null 2>&1 || failed=1
  if [ "$failed" -ne 0 ]; then
    _tvn_log "could not write the prefix settings"
    return 1
  fi
  _tvn_install_shim || return 1
  echo "$TVN_WINE_SETUP_VERSION" >"$marker"
  _tvn_wine_warm
}

# Is a process of $WINEPREFIX running whose command line starts with $1?
_tvn_prefix_process() {
  local file dir cmdline image="${1%% *}"
  image="${image##*\\}"
  # Narrow down with one grep over all command lines, then check each.
  for file in $(grep -l -a -F -- "$image" /proc/[0-9]*/cmdline 2>/dev/null); do
    dir=${file%/cmdline}
    cmdline=$(tr '\0' ' ' <"$dir/cmdline" 2>/dev/null) || continue
    [[ "$cmdline" == "$1"* ]] || continue
    if tr '\0' '\n' <"$dir/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      return 0
    fi
  done
  return 1
}

# Keeps the prefix warm: a persistent wineserver, the system services and,
# with a display, the virtual desktop. They are started here with their output
# going nowhere: a Wine program that starts them itself passes its own output
# pipes on to them, and whoever reads that program's output (CTest, a test)
# would then wait for the end of the services instead of the program.
_tvn_wine_warm() {
  timeout 30 wineserver -p >/dev/null 2>&1 || true
  timeout 60 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  if [ -n "${DISPLAY:-}" ] && ! _tvn_prefix_process 'C:\windows\system32\explorer.exe /desktop'; then
    (wine explorer /desktop=Default,1024x768 </dev/null >/dev/null 2>&1 &)
    local i
    for i in $(seq 1 50); do
      _tvn_prefix_process 'C:\windows\system32\explorer.exe /desktop' && break
      sleep 0.1
    done
  fi
}

# tvn_wine_stop: ends the prefix's wineserver and every Wine process in it,
# and waits until the server is gone.
tvn_wine_stop() {
  [ -n "$_TVN_WINE_ENV_SET" ] && [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || return 0
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  if ! timeout 30 wineserver -w >/dev/null 2>&1; then
    _tvn_log "the wineserver of $WINEPREFIX did not end"
    return 1
  fi
}

_tvn_display_answers() {
  DISPLAY="$1" timeout 5 xdpyinfo >/dev/null 2>&1
}

# tvn_xvfb_start [--use-current]: starts a private Xvfb on a free display from
# :90 upwards and exports DISPLAY. With --use-current a reachable $DISPLAY is
# kept instead.
tvn_xvfb_start() {
  if [ "${1:-}" = "--use-current" ] && [ -n "${DISPLAY:-}" ] && _tvn_display_answers "$DISPLAY"; then
    TVN_XVFB_PID=""
    return 0
  fi
  if [ -n "$TVN_XVFB_PID" ] && kill -0 "$TVN_XVFB_PID" 2>/dev/null; then
    return 0
  fi
  local n i
  for n in $(seq 90 189); do
    if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then
      continue
    fi
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    TVN_XVFB_PID=$!
    for i in $(seq 1 100); do
      if ! kill -0 "$TVN_XVFB_PID" 2>/dev/null; then
        break  # lost the race for this display number
      fi
      if _tvn_display_answers ":$n"; then
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.1
    done
    kill "$TVN_XVFB_PID" 2>/dev/null || true
    wait "$TVN_XVFB_PID" 2>/dev/null || true
    TVN_XVFB_PID=""
  done
  _tvn_log "could not start Xvfb on any display from :90 to :189"
  return 1
}

tvn_xvfb_stop() {
  if [ -n "$TVN_XVFB_PID" ]; then
    kill "$TVN_XVFB_PID" 2>/dev/null || true
    wait "$TVN_XVFB_PID" 2>/dev/null || true
    TVN_XVFB_PID=""
  fi
}

# Stops what this shell started: Wine first (its windows live on the
# display), then Xvfb. Safe to call more than once.
tvn_cleanup() {
  tvn_wine_stop || true
  tvn_xvfb_stop || true
}

# Installs tvn_cleanup for normal exit, failure and interruption.
tvn_install_cleanup_trap() {
  trap 'tvn_cleanup' EXIT
  trap 'tvn_cleanup; trap - EXIT; exit 130' INT
  trap 'tvn_cleanup; trap - EXIT; exit 143' TERM
}
