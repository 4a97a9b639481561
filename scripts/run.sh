#!/usr/bin/env bash
# Installs what is missing, builds the station and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target quillmarsh -j "$(nproc)"
exec build/quillmarsh "$@"
