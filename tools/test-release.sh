#!/usr/bin/env bash
# Proves that Varne builds and passes on a Debian release as a new user would find it: a clean
# root of RELEASE made with mmdebstrap in a temporary directory, the packages that
# tools/install-deps.sh asks for, the build with warnings as errors, every test, then the .deb
# built, checked, installed there and run. Needs root (chroot, mounts); removes all it made.
# Usage: sudo bash tools/test-release.sh RELEASE    (e.g. bookworm, trixie)
set -euo pipefail
cd "$(dirname "$0")/.."

release=${1:?usage: tools/test-release.sh RELEASE (e.g. bookworm or trixie)}
mirror=${VARNE_RELEASE_MIRROR:-http://deb.debian.org/debian}
# The builds inside run at low priority: the machine stays usable meanwhile.
niceness=15

if [ "$(id -u)" -ne 0 ]; then
    exec sudo bash "$0" "$@"
fi
# Our mounts live in a mount namespace of their own: the host never sees them, and they vanish
# with this script even if it is killed before it can unmount them.
if [ -z "${VARNE_RELEASE_NAMESPACE:-}" ]; then
    exec env VARNE_RELEASE_NAMESPACE=1 unshare --mount --propagation private bash "$0" "$@"
fi

if ! command -v mmdebstrap >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/varne-$release.XXXXXX")
root="$work/root"
mounted=()
child=""

# Every process whose root is ours was started by this run: daemons a test left behind, or the
# step that was running when we were interrupted.
stop_processes_in_root() {
    local pid pids=()
    for pid in /proc/[0-9]*; do
        if [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ]; then
            pids+=("${pid#/proc/}")
        fi
    done
    if [ ${#pids[@]} -gt 0 ]; then
        kill -KILL "${pids[@]}" 2>/dev/null || true
    fi
}

cleanup() {
    local status=$? index
    trap - EXIT INT TERM
    if [ -n "$child" ]; then
        kill -TERM "$child" 2>/dev/null || true
    fi
    stop_processes_in_root
    for ((index = ${#mounted[@]} - 1; index >= 0; index--)); do
        umount "${mounted[index]}" || umount --lazy "${mounted[index]}" || true
    done
    # Never delete through a mount that is still there (the host's devices, say).
    if grep -qF " $work/" /proc/self/mountinfo; then
        echo "test-release: something is still mounted under $work; left it in place" >&2
    else
        rm -rf --one-file-system "$work"
    fi
    if [ "$status" -ne 0 ]; then
        echo "test-release: $release FAILED (exit status $status)" >&2
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Runs a step in the background and waits for it, so that a signal is handled at once.
run() {
    "$@" &
    child=$!
    wait "$child"
    child=""
}

mount_in_root() {
    local target="$root/${*: -1}"
    mount "${@:1:$#-1}" "$target"
    mounted+=("$target")
}

# What a system offers a program: its own /dev with only the usual devices, a pseudo-terminal
# instance and shared memory of its own, the kernel's /proc and a read-only /sys.
mount_system_dirs() {
    local device
    mount_in_root -t proc proc /proc
    mount_in_root -t sysfs -o ro sysfs /sys
    mount_in_root -t tmpfs -o mode=755,nosuid tmpfs /dev
    for device in null zero full random urandom tty; do
        touch "$root/dev/$device"
        mount_in_root --bind "/dev/$device" "/dev/$device"
    done
    mkdir "$root/dev/pts" "$root/dev/shm"
    mount_in_root -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts /dev/pts
    ln -s pts/ptmx "$root/dev/ptmx"
    mount_in_root -t tmpfs -o mode=1777,nosuid,nodev tmpfs /dev/shm
    ln -s /proc/self/fd "$root/dev/fd"
    ln -s /proc/self/fd/0 "$root/dev/stdin"
    ln -s /proc/self/fd/1 "$root/dev/stdout"
    ln -s /proc/self/fd/2 "$root/dev/stderr"
}

# The steps inside, as a user of that release would take them (see the README).
inside_steps() {
    cat <<EOF
set -euo pipefail
cd /src
# check-format.sh lists the files through git.
git init -q && git add -A
stamp() { echo "== \$1 at \$(date -u +%T) (\$((\$(date +%s) - $started)) s in)"; }
stamp "install-deps.sh"
nice -n $niceness bash tools/install-deps.sh
stamp "formatting"
bash tools/check-format.sh
stamp "build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNE_BUILD_UI=ON \\
    -DVARNE_WERROR=ON -DVARNE_SANITIZE= >/dev/null
nice -n $niceness cmake --build build -j "\$(nproc)"
stamp "tests"
ctest --test-dir build --output-on-failure -j "\$(nproc)" 2>&1 | tee /tmp/ctest.log
stamp "fuzz targets, 1 s each"
nice -n $niceness bash tests/fuzz/run.sh 1
stamp "package"
nice -n $niceness bash tools/package.sh
stamp "done"
EOF
}

started=$(date +%s)
commit=$(git rev-parse --short HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    commit="$commit with uncommitted changes"
fi
echo "== clean root of $release in $work ($commit)"
run nice -n "$niceness" mmdebstrap --quiet --mode=root --variant=apt --include=git \
    "$release" "$root" "$mirror"
mkdir "$root/src"
git ls-files -z | tar --create --null --files-from=- | tar --extract --directory="$root/src"
mount_system_dirs

runtime=/tmp/runtime
mkdir -m 700 "$root$runtime"
run chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS=disabled: \
    VARNE_SERVICE=simulated /bin/bash -c "$(inside_steps)"

summary=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" "$root/tmp/ctest.log")
skipped=$(grep -c -- "\*\*\*Skipped" "$root/tmp/ctest.log" || true)
compiler=$(chroot "$root" g++ --version | head -1)
# shellcheck disable=SC2016 # dpkg-query's own fields
qt=$(chroot "$root" dpkg-query -W -f='${Version}' qt6-base-dev)
# shellcheck disable=SC2016
fprintd=$(chroot "$root" dpkg-query -W -f='${Version}' fprintd)
echo "== $release: $summary; $skipped skipped"
echo "   $compiler, Qt $qt, fprintd $fprintd; commit $commit"
echo "   $(($(date +%s) - started)) s in all"
if [ "$skipped" -ne 0 ]; then
    echo "test-release: every test must run in a root that has what install-deps.sh asks for" >&2
    exit 1
fi
