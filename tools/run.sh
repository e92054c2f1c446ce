#!/usr/bin/env bash
# Installs what is needed, builds Varne and starts it on the simulated sensor, unit 1.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNE_BUILD_UI=ON -DVARNE_WERROR=ON \
    -DVARNE_SANITIZE= >/dev/null
cmake --build build --target varne
# The simulated sensor, named explicitly: unset, Varne would use fprintd and a real reader.
VARNE_SERVICE=simulated exec ./build/app/varne "${@:-1}"
