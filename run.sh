#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts Mugwarp on its example picture.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build
cmake --build build -j "$(nproc)"
exec build/mugwarp "$@"
