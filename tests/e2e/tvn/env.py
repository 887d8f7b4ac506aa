"""Where things are, and the Wine environment of the build tree.

CTest runs every tests/e2e/test_*.py as `python3 <file>` from the Windows
build directory with TVN_BUILD_DIR and TVN_SOURCE_DIR set; scripts/test.sh has
already exported the Wine environment and started the display. Run by hand, a
test gets the same environment from the same place: scripts/wine-env.sh sets
the prefix, the locale, the cscript shim and the display up, and this module
takes over the variables that the script exports. A display the script had to
start for the test (and the prefix's wineserver) is stopped when the test ends.
"""

import atexit
import os
import re
import subprocess

_state = {"env_ready": False}

# Variables that bash keeps for itself; they say nothing about Wine.
_SHELL_OWN = {"_", "SHLVL", "PWD", "OLDPWD"}
_NAME = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*$")

# Prepares the Wine environment of build tree $2 with the functions of
# scripts/wine-env.sh ($1) and prints the environment that results. A reachable
# display is kept; a private Xvfb is started otherwise, and a wineserver left
# from an earlier run, whose desktop would sit on a display that is gone, is
# ended first.
_SETUP = r"""
source "$1" || exit 1
tvn_wine_env "$2" || exit 1
tvn_xvfb_start --use-current || exit 1
if [ -n "$TVN_XVFB_PID" ]; then
  tvn_wine_stop || exit 1
fi
tvn_wine_setup || exit 1
export TVN_XVFB_PID
env -0
"""

# Stops what _SETUP started for this test: the prefix's wineserver, then Xvfb $3.
_CLEANUP = r"""
source "$1" || exit 1
tvn_wine_env "$2" || exit 1
TVN_XVFB_PID="$3"
tvn_cleanup
"""


def source_dir():
    """The repository root."""
    path = os.environ.get("TVN_SOURCE_DIR")
    if path:
        return os.path.abspath(path)
    return os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))


def build_dir():
    """The Windows build tree (build/win unless TVN_BUILD_DIR says otherwise)."""
    path = os.environ.get("TVN_BUILD_DIR")
    if path:
        return os.path.abspath(path)
    root = os.environ.get("TVN_BUILD_ROOT") or os.path.join(source_dir(), "build")
    return os.path.join(os.path.abspath(root), "win")


# The users' files: a lane runs those of its architecture (TVN_PRODUCT_DIR,
# build/win32 or build/win64) rather than the test tree's twin.
_PRODUCT_FILES = ("TVN.exe", "TVN-en.exe")


_LANE_PRODUCTS = {"win": "win64", "win32-tests": "win32"}


def product_dir():
    """The folder of the TVN.exe and TVN-en.exe under test: TVN_PRODUCT_DIR, else the users' files of the
    test tree's architecture where they are built (build/win64 for build/win, build/win32 for
    build/win32-tests), else the test tree itself."""
    path = os.environ.get("TVN_PRODUCT_DIR")
    if path:
        return os.path.abspath(path)
    tree = build_dir()
    users = os.path.join(os.path.dirname(tree), _LANE_PRODUCTS.get(os.path.basename(tree), ""))
    return users if os.path.isfile(os.path.join(users, "TVN.exe")) else tree


def exe(name):
    """Unix path of an executable under test (TVN.exe, TVN-en.exe) or built in the test tree (tvn_inspect.exe, ...)."""
    path = os.path.join(product_dir() if name in _PRODUCT_FILES else build_dir(), name)
    if not os.path.isfile(path):
        raise AssertionError("%s was not built (expected at %s)" % (name, path))
    return path


def screenshot_dir():
    path = os.environ.get("TVN_SCREENSHOT_DIR") or os.path.join(os.path.dirname(build_dir()), "screenshots")
    os.makedirs(path, exist_ok=True)
    return path


def prefix_dir():
    ensure_env()
    return os.environ["WINEPREFIX"]


def run_host(args, timeout, env=None, what=None, capture=True):
    """Runs a host command with a timeout; returns CompletedProcess with bytes output.

    Commands that may leave a daemon behind (wineserver -p, wineboot) must not
    capture: the daemon would hold the pipes open and the wait would not end.
    """
    out = subprocess.PIPE if capture else subprocess.DEVNULL
    try:
        return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=out, stderr=out, timeout=timeout, env=env)
    except subprocess.TimeoutExpired as e:
        raise AssertionError("%s did not end within %s s" % (what or " ".join(map(str, args)), timeout)) from e
    except OSError as e:
        raise AssertionError("cannot run %s: %s" % (args[0], e)) from e


def _env_script():
    return os.path.join(source_dir(), "scripts", "wine-env.sh")


def _take_over(output):
    """Makes os.environ what the shell's `env -0` printed: new and changed variables set, unset ones removed."""
    printed = {}
    for entry in output.split(b"\0"):
        name, sep, value = entry.decode("utf-8", "surrogateescape").partition("=")
        if sep and name not in _SHELL_OWN:
            printed[name] = value
    for name in list(os.environ):
        # bash hands on every variable it inherits under a valid name, so one
        # missing from its output was unset by the script (LC_ALL, WINEPATH).
        if name not in printed and name not in _SHELL_OWN and _NAME.match(name):
            del os.environ[name]
    for name, value in printed.items():
        if os.environ.get(name) != value:
            os.environ[name] = value


def _stop_own(xvfb_pid):
    """At exit: stop the wineserver and the Xvfb that the set-up started for this test."""
    try:
        run_host(["bash", "-c", _CLEANUP, "bash", _env_script(), build_dir(), xvfb_pid], timeout=120,
                 what="the clean-up of scripts/wine-env.sh")
    except AssertionError:
        pass


def ensure_env():
    """Makes sure the Wine environment of the build tree is in os.environ.

    Runs the set-up of scripts/wine-env.sh once: with what scripts/test.sh
    exported that only confirms the prepared prefix; run by hand it builds the
    environment, starts a private Xvfb when no display answers and prepares
    the prefix. Safe to call any number of times.
    """
    if _state["env_ready"]:
        return
    build = build_dir()
    result = run_host(["bash", "-c", _SETUP, "bash", _env_script(), build], timeout=600,
                      what="the set-up of scripts/wine-env.sh")
    if result.returncode != 0:
        raise AssertionError("the Wine environment of %s could not be prepared (status %d):\n%s" % (
            build, result.returncode, result.stderr.decode("utf-8", "replace")))
    _take_over(result.stdout)
    xvfb_pid = os.environ.pop("TVN_XVFB_PID", "")
    if xvfb_pid:
        atexit.register(_stop_own, xvfb_pid)
    _state["env_ready"] = True


def wine_env(extra=None):
    """The environment for a Wine program: the prepared one, with `extra` variables added."""
    ensure_env()
    full = dict(os.environ)
    if extra:
        full.update({k: str(v) for k, v in extra.items()})
    return full
