#!/usr/bin/env bash
# Installs what is needed, builds Varne and starts it on the simulated sensor, unit 1.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNE_BUILD_UI=ON -DVARNE_WERROR=ON \
    -DVARNE_SANITIZE= >/dev/null
cmake --build build --target varne varne_translations
# The simulated sensor, named explicitly: unset, Varne would use fprintd and a real reader. The
# translations are the build's own (try LANGUAGE=de tools/run.sh).
VARNE_SERVICE=simulated VARNE_LOCALE_DIR="$PWD/build/locale" exec ./build/app/varne "${@:-1}"
