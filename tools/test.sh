#!/usr/bin/env bash
# Builds Snipwell and runs every test through CTest. Installs the Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
ctest --test-dir build --output-on-failure -j"$(nproc)"
