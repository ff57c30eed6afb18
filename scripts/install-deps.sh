#!/bin/sh
# Installs the Debian packages PackMon needs to build and test, and nothing
# else. Does nothing when they are all present; refreshes the package lists
# only when something has to be installed.
#   install-deps.sh           what the build and the tests need
#   install-deps.sh headless  also what `make run` needs without a display
set -eu

PACKAGES="
  cmake
  ninja-build
  g++
  make
  pkg-config
  qt6-base-dev
  libqcustomplot-dev
  libsimpleini-dev
  libgtest-dev
  libsqlite3-dev
  sqlite3
  libmosquitto-dev
  mosquitto
  libbenchmark-dev
  dpkg-dev
  xvfb
  xdotool
  x11-apps
  clang
  libclang-rt-14-dev
  clang-format
  locales
  fonts-dejavu-core
  tzdata
"

if [ "${1:-}" = "headless" ]; then
    PACKAGES="$PACKAGES imagemagick"
fi

missing=""
for package in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    case "$status" in
        *"install ok installed"*) ;;
        *) missing="$missing $package" ;;
    esac
done

# The locale tests run in a real comma locale.
need_locale() { ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; }

[ -z "$missing" ] && ! need_locale && exit 0

if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
else
    echo "install-deps: need root or sudo to install:$missing" >&2
    exit 1
fi

if [ -n "$missing" ]; then
    echo "install-deps: installing$missing"
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
fi
if need_locale; then
    echo "install-deps: generating the de_DE.UTF-8 locale"
    $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
