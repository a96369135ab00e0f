#!/usr/bin/env bash
# Installs what is missing, builds quillory3 and opens it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target quillory3
exec build/quillory3
