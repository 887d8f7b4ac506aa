"""Running Wine programs."""

import subprocess

from tvn.env import wine_env


def wine(args, timeout=60, env=None, check=False, cwd=None):
    """Runs `wine <args>` and returns the CompletedProcess (stdout/stderr as bytes)."""
    args = [str(a) for a in args]
    command = ["wine"] + args
    try:
        result = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=timeout, env=wine_env(env), cwd=cwd)
    except subprocess.TimeoutExpired as e:
        raise AssertionError("wine %s did not end within %s s" % (" ".join(args), timeout)) from e
    if check and result.returncode != 0:
        raise AssertionError("wine %s ended with %d\nstdout: %s\nstderr: %s" % (
            " ".join(args), result.returncode, decode_console(result.stdout), decode_console(result.stderr)))
    return result


def wine_start(args, env=None, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=None,
               stdin=subprocess.DEVNULL):
    """Starts `wine <args>` without waiting; returns the Popen (its pid is the unix pid)."""
    command = ["wine"] + [str(a) for a in args]
    return subprocess.Popen(command, stdin=stdin, stdout=stdout, stderr=stderr, env=wine_env(env), cwd=cwd)


def decode_console(data):
    """Decodes what a Wine console program printed: the OEM code page (866) here."""
    if isinstance(data, str):
        return data
    return data.decode("cp866", "replace")
