#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build
cmake --build build -j "$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
