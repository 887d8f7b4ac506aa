#!/usr/bin/env bash
# Installs the packages that the build and the tests need, only those that are
# missing. Quiet when everything is there; safe to run any number of times.
#
# The files for users are built with mingw-w64's win32 thread model (no
# winpthreads, nothing newer than Windows 2000 or XP x64 imported), the
# Windows-side tests and test tools with its posix thread model (GoogleTest
# needs std::mutex), each for i686 and x86_64. GCC's multilib with qemu-user
# runs the portable core as 32-bit Linux code. Wine itself is not a host
# package: the tests run Wine 10 from Debian 13 in a root that
# scripts/wine-env.sh makes with debootstrap. Never install the host's
# wine32: where the kernel runs no i386 code, the wine command then stops
# starting 64-bit programs too.
set -euo pipefail

TVN_PACKAGES=(
  g++ cmake googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-posix mingw-w64-tools
  g++-mingw-w64-i686-win32 g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-multilib qemu-user
  debootstrap
  xvfb xdotool imagemagick x11-utils
  locales python3
  clang-14 libclang-rt-14-dev clang-tidy-14 clang-format-14 cppcheck
)

missing=()
for package in "${TVN_PACKAGES[@]}"; do
  # dpkg -s also succeeds for removed packages with config files left; ask
  # for the status word itself.
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  if [ "$status" != "installed" ]; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
  else
    echo "deps.sh: missing packages: ${missing[*]}; run as root or install sudo" >&2
    exit 1
  fi
fi

echo "deps.sh: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq "${missing[@]}" >/dev/null
echo "deps.sh: done" >&2
