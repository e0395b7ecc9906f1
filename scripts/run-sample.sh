#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Quillory and runs it on the
# bundled sample content (the program folder build/sample). Without a display
# it runs the shell under Xvfb for a few seconds and saves a screenshot.
#   QUILLORY_SKIP_DEPS=1  skip the package installation
#   QUILLORY_BUILD_DIR    build folder (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${QUILLORY_BUILD_DIR:-build}

if [ "${QUILLORY_SKIP_DEPS:-0}" != 1 ]; then bash scripts/install-deps.sh; fi
cmake -S . -B "$BUILD" -G Ninja
cmake --build "$BUILD" --target sample -j "$(nproc)"
SAMPLE="$(cd "$BUILD/sample" && pwd)"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting $SAMPLE/quillory"
  exec "$SAMPLE/quillory"
fi

echo "No display: running the shell under Xvfb for a few seconds."
DISPLAY_NUMBER=99
while [ -e "/tmp/.X11-unix/X$DISPLAY_NUMBER" ] || [ -e "/tmp/.X$DISPLAY_NUMBER-lock" ]; do
  DISPLAY_NUMBER=$((DISPLAY_NUMBER + 1))
done
export DISPLAY=":$DISPLAY_NUMBER"
RUNTIME=$(mktemp -d)
export XDG_RUNTIME_DIR="$RUNTIME" GSETTINGS_BACKEND=memory
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
cleanup() {
  [ -n "${SHELL_PID:-}" ] && kill "$SHELL_PID" 2>/dev/null || true
  [ -n "${WM:-}" ] && kill "$WM" 2>/dev/null || true
  kill "$XVFB" 2>/dev/null || true
  rm -rf "$RUNTIME"
}
trap cleanup EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
WM=$!
"$SAMPLE/quillory" &
SHELL_PID=$!
sleep "${QUILLORY_RUN_SECONDS:-6}"
SHOT="$(pwd)/$BUILD/sample-screenshot.png"
import -window root "$SHOT"
echo "Screenshot of the running shell: $SHOT"
