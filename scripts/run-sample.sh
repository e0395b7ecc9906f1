#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Quillory and runs it on the
# bundled sample content.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)"
echo "Built. The window is not there yet: nothing to run."
