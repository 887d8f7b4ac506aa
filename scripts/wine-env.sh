# The Windows test platform for TVN.exe; source it from bash:
#   source scripts/wine-env.sh
#   tvn_install_cleanup_trap
#   tvn_wine_env build/win [build/win64] && tvn_xvfb_start && tvn_wine_setup
#
# Wine is Wine 10 from Debian 13, in a root of its own that tvn_wine_root
# makes with debootstrap under the build folder (<build>/wine10-root) and
# re-uses while its recipe stays the same. Wine's commands (wine, wineserver,
# wineboot, winepath) are the links in scripts/wine-bin, which run the root's
# command in a mount namespace of their own (scripts/wine-bin/in-root): the
# host's own packages carry no Wine. Xvfb, xdotool, ImageMagick and the tests
# run on the host, against the same display.
#
# Everything else lives inside the test tree too: the prefix
# (<tree>/wineprefix), the Wine user's home (<tree>/winehome) and the
# compiled ru_RU.UTF-8 host locale (<tree>/locale). The user's own ~/.wine is
# never used.

# Bump when tvn_wine_setup changes what it puts into a prefix: an older prefix
# is then removed and created anew.
TVN_WINE_SETUP_VERSION=4

# The root's recipe. Any change to these lines (or to TVN_WINE_ROOT_VERSION)
# makes the next run build the root anew; wine32:i386 is added where the
# kernel runs i386 code (tvn_host_runs_i386).
TVN_WINE_ROOT_VERSION=1
TVN_WINE_ROOT_SUITE=trixie
TVN_WINE_ROOT_MIRROR="${TVN_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
TVN_WINE_ROOT_PACKAGES="wine wine64 locales fonts-wine"
TVN_WINE_ROOT_PACKAGES_I386="wine32:i386"

TVN_SOURCE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
TVN_XVFB_PID=""
# Set by tvn_wine_env: only then does tvn_wine_stop end anything, so that a
# WINEPREFIX inherited from the caller's environment is never touched.
_TVN_WINE_ENV_SET=""

_tvn_log() { echo "wine-env: $*" >&2; }

# Is $1 one of Wine's own programs (its PE header carries Wine's mark)?
_tvn_is_wine_builtin() {
  [ "$(dd if="$1" bs=1 skip=64 count=16 2>/dev/null)" = "Wine builtin DLL" ]
}

# Installs the cscript shims of the test trees (tests/tools/cscript.cpp) as
# the prefix's script hosts, the files that TVN.exe names by their full path:
# the x86-64 tree's shim as system32\cscript.exe, and the i386 tree's as
# syswow64\cscript.exe, which a 32-bit program reaches as system32\cscript.exe
# (the file-system redirection of 64-bit Windows). The prefix's DllOverrides
# make Wine run these files rather than its built-in cscript. Wine's own
# script host of the same bitness stays beside each as tvn_wine_cscript.exe,
# which the shim runs (a copy under another name still runs as Wine's script
# host). A shim that is not built yet is installed by a later call.
_tvn_install_shim() {
  local build_root
  build_root=$(dirname "$TVN_WINE_BUILD_DIR")
  _tvn_install_one_shim "${TVN_BUILD_ROOT:-$build_root}/win/cscript.exe" system32 || return 1
  _tvn_install_one_shim "${TVN_BUILD_ROOT:-$build_root}/win32-tests/cscript.exe" syswow64
}

# _tvn_install_one_shim <shim> <system-folder-name>
_tvn_install_one_shim() {
  local shim="$1" system="$WINEPREFIX/drive_c/windows/$2"
  local host="$system/cscript.exe" original="$system/tvn_wine_cscript.exe"
  if [ ! -f "$shim" ]; then
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

# Does the kernel run i386 programs? Some machines' kernels do, some do not,
# so this is asked at run time: a five-line i386 program is assembled, linked
# and run. Prints nothing; the answer is cached for the shell.
_TVN_I386=""
tvn_host_runs_i386() {
  if [ -z "$_TVN_I386" ]; then
    local dir
    dir=$(mktemp -d) || return 1
    printf '.globl _start\n_start: mov $1,%%eax\n xor %%ebx,%%ebx\n int $0x80\n' >"$dir/t.s"
    if as --32 "$dir/t.s" -o "$dir/t.o" 2>/dev/null && ld -m elf_i386 "$dir/t.o" -o "$dir/t" 2>/dev/null &&
       "$dir/t" 2>/dev/null; then
      _TVN_I386=yes
    else
      _TVN_I386=no
    fi
    rm -rf "$dir"
  fi
  [ "$_TVN_I386" = yes ]
}

# The recipe as one line; its hash names the root that it makes.
_tvn_root_recipe() {
  local packages="$TVN_WINE_ROOT_PACKAGES"
  tvn_host_runs_i386 && packages="$packages $TVN_WINE_ROOT_PACKAGES_I386"
  echo "version=$TVN_WINE_ROOT_VERSION suite=$TVN_WINE_ROOT_SUITE mirror=$TVN_WINE_ROOT_MIRROR packages=$packages"
}

_tvn_in_root() { "$TVN_SOURCE_ROOT/scripts/wine-bin/in-root" "$@"; }

# _tvn_root_step <log> <what> <command...>: one step of making the root; on
# failure one line says which step failed and where its log is.
_tvn_root_step() {
  local log="$1" what="$2"; shift 2
  echo "== $what" >>"$log"
  if ! "$@" >>"$log" 2>&1; then
    _tvn_log "making the Windows test root failed at: $what (log: $log)"
    return 1
  fi
}

# tvn_wine_root [<build-root>]: makes sure the Windows test root exists under
# the build root (default: TVN_BUILD_ROOT, or <repository>/build) as its
# recipe says, and exports TVN_WINE_ROOT. Made with debootstrap and apt-get
# (about a minute) when it is missing or its recipe changed; re-used
# otherwise. Runs as root (debootstrap, chroot and mount namespaces need it).
tvn_wine_root() {
  local build_root="${1:-${TVN_BUILD_ROOT:-$TVN_SOURCE_ROOT/build}}"
  mkdir -p "$build_root" || return 1
  build_root=$(cd "$build_root" && pwd -P) || return 1
  local root="$build_root/wine10-root" recipe
  recipe=$(_tvn_root_recipe) || return 1
  export TVN_WINE_ROOT="$root"
  if [ -f "$root/.tvn-root" ] && [ "$(cat "$root/.tvn-root")" = "$recipe" ]; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    _tvn_log "making the Windows test root $root needs root (debootstrap, chroot)"
    return 1
  fi
  local tool
  for tool in debootstrap unshare chroot flock; do
    command -v "$tool" >/dev/null 2>&1 || { _tvn_log "making the Windows test root needs $tool"; return 1; }
  done
  # One run at a time makes the root; a second one waits and re-uses it.
  (
    flock 9 || exit 1
    if [ -f "$root/.tvn-root" ] && [ "$(cat "$root/.tvn-root")" = "$recipe" ]; then
      exit 0
    fi
    local new="$root.new" log="$build_root/wine10-root.log" packages
    _tvn_log "making the Windows test root $root (Debian $TVN_WINE_ROOT_SUITE with Wine; log: $log)"
    : >"$log"
    rm -rf "$new" "$root" || { _tvn_log "cannot remove the old root $root"; exit 1; }
    _tvn_root_step "$log" "debootstrap $TVN_WINE_ROOT_SUITE" \
      debootstrap --variant=minbase "$TVN_WINE_ROOT_SUITE" "$new" "$TVN_WINE_ROOT_MIRROR" || exit 1
    packages="$TVN_WINE_ROOT_PACKAGES"
    if tvn_host_runs_i386; then
      packages="$packages $TVN_WINE_ROOT_PACKAGES_I386"
      _tvn_root_step "$log" "dpkg --add-architecture i386" \
        chroot "$new" dpkg --add-architecture i386 || exit 1
    fi
    TVN_WINE_ROOT="$new" _tvn_root_step "$log" "apt-get update" \
      _tvn_in_root /usr/bin/apt-get update -q || exit 1
    # shellcheck disable=SC2086
    TVN_WINE_ROOT="$new" _tvn_root_step "$log" "apt-get install $packages" \
      _tvn_in_root /usr/bin/env DEBIAN_FRONTEND=noninteractive \
      /usr/bin/apt-get install -y -q --no-install-recommends $packages || exit 1
    # The root's programs read their own compiled locales; localedef exits 1
    # for mere warnings, so the result is judged by `locale -a`.
    local name
    for name in ru_RU en_US; do
      TVN_WINE_ROOT="$new" _tvn_in_root /usr/bin/localedef -i "$name" -f UTF-8 "$name.UTF-8" >>"$log" 2>&1
      TVN_WINE_ROOT="$new" _tvn_in_root /usr/bin/locale -a 2>/dev/null | grep -qix "$name.utf8" ||
        { _tvn_log "making the Windows test root failed at: the $name.UTF-8 locale (log: $log)"; exit 1; }
    done
    TVN_WINE_ROOT="$new" _tvn_in_root /usr/bin/apt-get clean >>"$log" 2>&1
    echo "$recipe" >"$new/.tvn-root" && mv "$new" "$root" || { _tvn_log "cannot put the new root in place"; exit 1; }
  ) 9>"$build_root/wine10-root.lock"
}

# The Wine version of the root as it names itself:
# "wine-10.0 (Debian 10.0~repack-6)".
tvn_wine_version() {
  _tvn_in_root /usr/bin/wine --version 2>/dev/null
}

# tvn_wine_env <test-tree> [<product-dir>]: exports the Wine environment of
# that test tree (build/win for the x86-64 lane, build/win32-tests for the
# i386 lane), making the Windows test root first if needed. With a product
# folder (build/win64, build/win32), the end-to-end tests run the TVN.exe and
# TVN-en.exe of that folder (TVN_PRODUCT_DIR) instead of the tree's own.
tvn_wine_env() {
  local build="${1:?tvn_wine_env: build directory expected}"
  mkdir -p "$build" || return 1
  build=$(cd "$build" && pwd -P) || return 1
  tvn_wine_root "${TVN_BUILD_ROOT:-$(dirname "$build")}" || return 1
  export TVN_WINE_BUILD_DIR="$build"
  if [ -n "${2:-}" ]; then
    TVN_PRODUCT_DIR=$(cd "$2" && pwd -P) || { _tvn_log "no product folder $2"; return 1; }
    export TVN_PRODUCT_DIR
  fi
  # Wine's commands run in the root, which sees the repository and the build
  # folders at their host paths.
  case ":$PATH:" in
    *":$TVN_SOURCE_ROOT/scripts/wine-bin:"*) ;;
    *) export PATH="$TVN_SOURCE_ROOT/scripts/wine-bin:$PATH" ;;
  esac
  export TVN_WINE_ROOT_BINDS="$TVN_SOURCE_ROOT:$(dirname "$TVN_WINE_ROOT"):$build"
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
  if [ -d "$TVN_WINE_ROOT/usr/share/wine/fonts" ]; then
    cp -f "$TVN_WINE_ROOT"/usr/share/wine/fonts/* "$fonts"/
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
