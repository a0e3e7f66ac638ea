#!/usr/bin/env bash
# Builds Snipwell and starts it. Installs the Debian packages it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target snipwell
exec ./build/src/app/snipwell "$@"
