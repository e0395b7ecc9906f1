#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Quillory and runs every test:
# the normal build (unit, server and GUI tests under Xvfb), the unit tests
# under the address/undefined and thread sanitizers, each fuzz target for a
# minute on its seed corpus, then the Windows core cross-built and its tests
# under Wine (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
JOBS=$(nproc)

build() {  # build DIR [cmake args...]
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$JOBS"
}

build build
(cd build && ctest --output-on-failure -j "$JOBS" --timeout 300 -LE gui)
if ctest --test-dir build -N -L gui | grep -q 'Total Tests: [1-9]'; then
  (cd build && ctest --output-on-failure --timeout 300 -L gui)
fi

build build-asan -DQUILLORY_SANITIZE=address -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ctest --output-on-failure -j "$JOBS" --timeout 600 -L unit)

build build-tsan -DQUILLORY_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug
(cd build-tsan && ctest --output-on-failure -j "$JOBS" --timeout 600 -L tsan)

bash scripts/fuzz-ci.sh 60

QUILLORY_SKIP_INSTALL=1 bash scripts/test-windows.sh
