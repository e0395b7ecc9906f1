#!/usr/bin/env bash
# Builds the Windows core with mingw-w64 and runs its tests under Wine: the
# libraries from Debian's source packages (scripts/build-win-deps.sh), the
# cross build (preset "windows", folder build-win), a Wine prefix inside that
# folder, then CTest with every test program run through wine64. Headless:
# the tests are console programs and need no display.
#
#   bash scripts/test-windows.sh                          installs the packages first
#   QUILLORY_SKIP_INSTALL=1 bash scripts/test-windows.sh  they are there already
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=build-win
JOBS=$(nproc)
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64

timed() {  # timed LABEL COMMAND...: runs the command and says how long it took
  local label=$1 start=$SECONDS
  shift
  "$@"
  echo "test-windows: $label took $((SECONDS - start)) s"
}

build() {
  cmake --preset windows
  cmake --build --preset windows -j "$JOBS"
}

# The build folder's Wine prefix made before CTest starts, and its wineserver
# kept running until the end: CTest runs every test program through
# build-win/wine-run.sh (the build's emulator), which connects to that server.
start_wine() {
  export WINEPREFIX="$PWD/$BUILD_DIR/wine" WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  mkdir -p "$WINEPREFIX"
  "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true  # may be running already
  trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
  # The prefix's services inherit wineboot's output: a log, not our pipe.
  "$WINE64" wineboot -i </dev/null >"$BUILD_DIR/wineboot.log" 2>&1
}

# A failed test is run once more: under Wine one package-import case has once
# waited 60 s for a result that never came (not seen again in repeats). The
# first failure stays in the output to be looked into.
run_tests() {
  (cd "$BUILD_DIR" && ctest --output-on-failure -j "$JOBS" --timeout 300 --repeat until-pass:2)
}

start=$SECONDS
[ -n "${QUILLORY_SKIP_INSTALL:-}" ] || bash scripts/install-deps.sh
timed "libraries for Windows" bash scripts/build-win-deps.sh "$BUILD_DIR"
timed "Windows build" build
timed "Wine prefix" start_wine
timed "tests under Wine" run_tests
echo "test-windows: all took $((SECONDS - start)) s"
