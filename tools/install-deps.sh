#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Varne need (idempotent).
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev libgl-dev
    gettext qt6-translations-l10n locales-all
    libgtest-dev libgmock-dev googletest
    fonts-dejavu-core
    xvfb xauth
    at-spi2-core gir1.2-atspi-2.0 python3-gi dbus-daemon x11-utils xdotool
    python3
    appstream desktop-file-utils
    dpkg-dev file lintian man-db
    fprintd libfprint-2-2 python3-dbusmock python3-gi gir1.2-glib-2.0 dbus-daemon dbus-bin
    clang libclang-rt-dev clang-format
    weston qt6-wayland
)
# locales-all: the translation tests choose a language with LANGUAGE, which glibc honours only
# under a locale other than C; since glibc 2.41 (Debian 13) C.UTF-8 counts as C.
# The fuzzers link the runtime of the clang that `clang` runs. libclang-rt-dev brings the
# release's default clang's, and is all CI can ask for before clang is installed; once it is,
# the runtime of its own version is asked for too, in case `clang` is another version.
if command -v clang >/dev/null; then
    packages+=("libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev")
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
# CI installs them itself; it only asks which are missing.
if [ "${1:-}" = "--missing" ]; then
    echo "${missing[*]}"
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
