#!/usr/bin/env bash
# Installs what is needed, builds everything and runs all tests, then again under
# AddressSanitizer + UndefinedBehaviorSanitizer, and the core tests under ThreadSanitizer, and
# fuzzes the parsers and texts for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
jobs=$(nproc)

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
# Nothing in the tests may start a session bus of its own.
export DBUS_SESSION_BUS_ADDRESS=disabled:
# The simulated sensor by name; the tests against fprintd choose it themselves.
export VARNE_SERVICE=simulated

# Line tables are all a failure's stack trace needs; full debug information took a third of the
# compile time. Debug with a build of your own.
line_tables=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_DEBUG="-g1")

echo "== formatting (clang-format)"
bash tools/check-format.sh

echo "== build and test (all targets)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNE_BUILD_UI=ON -DVARNE_WERROR=ON \
    -DVARNE_SANITIZE= "${line_tables[@]}" >/dev/null
cmake --build build -j "$jobs"
# VARNE_PLAIN_TESTS, a ctest regular expression, runs only those tests here: CI runs the rest
# under the sanitizers below only, to stay within its time.
ctest --test-dir build --output-on-failure -j "$jobs" ${VARNE_PLAIN_TESTS:+-R "$VARNE_PLAIN_TESTS"}

echo "== benchmarks, once and briefly, so they cannot rot (timings are not judged here)"
/usr/bin/python3 bench/driver.py --build build --quick

echo "== all tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNE_BUILD_UI=ON -DVARNE_WERROR=ON \
    -DVARNE_SANITIZE=address,undefined "${line_tables[@]}" >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== core tests under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNE_BUILD_UI=OFF -DVARNE_WERROR=ON \
    -DVARNE_SANITIZE=thread "${line_tables[@]}" >/dev/null
cmake --build build-tsan -j "$jobs"
# Recent kernels randomise mappings beyond what this ThreadSanitizer accepts.
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    setarch "$(uname -m)" -R ctest --test-dir build-tsan --output-on-failure -j "$jobs"

echo "== the window's side of the capture thread crossing under ThreadSanitizer"
# Only this test and what it links: Qt itself is not instrumented, so the window is tested
# where its own code meets the service's thread, without painting (see the test).
cmake -S . -B build-tsan-ui -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNE_BUILD_UI=ON -DVARNE_WERROR=ON \
    -DVARNE_SANITIZE=thread "${line_tables[@]}" >/dev/null
cmake --build build-tsan-ui -j "$jobs" --target window_thread_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    setarch "$(uname -m)" -R build-tsan-ui/tests/window_thread_tests

echo "== fuzz targets, ${VARNE_FUZZ_SECONDS:-20} s each"
bash tests/fuzz/run.sh "${VARNE_FUZZ_SECONDS:-20}"
