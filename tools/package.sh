#!/usr/bin/env bash
# Builds the Debian package in Release with Debian's hardening flags, checks its contents and
# lintian's verdict, installs it, runs the installed program, and removes the package again.
# Installs and removes a system package: CI runs it as root on a fresh machine.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-package
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

echo "== Debian package"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
# Only what is installed is built: the tests have their own builds.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNE_BUILD_UI=ON -DVARNE_WERROR=ON \
    -DVARNE_SANITIZE= -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target varne varne_documents varne_translations varne_desktop_files
rm -f "$build"/varne_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/varne_*.deb)
echo "built $deb"

# The files a user gets, and nothing else.
expected=(
    ./usr/bin/varne
    ./usr/share/applications/org.varne.Varne.desktop
    ./usr/share/metainfo/org.varne.Varne.metainfo.xml
    ./usr/share/icons/hicolor/scalable/apps/org.varne.Varne.svg
    ./usr/share/man/man1/varne.1.gz
    ./usr/share/doc/varne/copyright
    ./usr/share/doc/varne/changelog.Debian.gz
)
for po in po/*.po; do
    expected+=("./usr/share/locale/$(basename "$po" .po)/LC_MESSAGES/varne.mo")
done
for size in 16 24 32 48 64 96 128 256; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/org.varne.Varne.png")
done
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ {print $6}' <<<"$listing" | sort)
if [ "$files" != "$(printf '%s\n' "${expected[@]}" | sort)" ]; then
    echo "unexpected package contents:" >&2
    diff <(printf '%s\n' "${expected[@]}" | sort) <(echo "$files") >&2 || true
    exit 1
fi
if awk '{print $2}' <<<"$listing" | grep -qv '^root/root$'; then
    echo "package files not owned by root" >&2
    exit 1
fi
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "Recommends: $recommends"
if ! grep -q "\bqt6-translations-l10n\b" <<<"$recommends"; then
    echo "the package does not recommend qt6-translations-l10n (Qt's own buttons)" >&2
    exit 1
fi
# Debian 13 renamed some libraries for its 64-bit time_t (libqt6core6t64).
for needed in libqt6core6 libqt6gui6 libqt6widgets6 fprintd; do
    if ! grep -qE "\b$needed(t64)?\b" <<<"$depends"; then
        echo "the package does not depend on $needed" >&2
        exit 1
    fi
done

# Errors fail the run; warnings are printed and explained in the README.
lintian --fail-on error --tag-display-limit 0 "$deb"

# Install as a user would, run the installed program, and take it away again even on failure.
remove() { $sudo dpkg --remove varne >/dev/null || true; }
trap remove EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=120 "./$deb" >/dev/null
/usr/bin/varne --version
/usr/bin/varne --help >/dev/null
# The installed catalogues, found without any variable of the build's.
if ! LC_ALL=de_DE.UTF-8 /usr/bin/varne --help | grep -q '^Aufruf: varne'; then
    echo "the installed program does not find its German translation" >&2
    exit 1
fi
# The benchmark's probe lives in bench/'s own executable, never in the installed program.
if grep -qa -e VARNE_BENCH -e varne-bench /usr/bin/varne; then
    echo "/usr/bin/varne carries the benchmark's probe" >&2
    exit 1
fi
man -w varne >/dev/null
remove
trap - EXIT
if [ -e /usr/bin/varne ]; then
    echo "/usr/bin/varne is still there after removing the package" >&2
    exit 1
fi
echo "package installed, ran and was removed"
