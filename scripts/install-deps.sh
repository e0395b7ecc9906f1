#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Quillory needs.
# Safe to run again; needs root (or sudo).
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  # build
  build-essential cmake pkg-config ninja-build git ca-certificates
  libgtk-3-dev libwebkit2gtk-4.1-dev
  libtinyxml-dev libminizip-dev zlib1g-dev libdeflate-dev libcurl4-openssl-dev
  libsodium-dev libssl-dev
  googletest libgtest-dev libgmock-dev
  # the Windows core (scripts/build-win-deps.sh, scripts/test-windows.sh):
  # mingw-w64 with posix threads, zlib for mingw, Debian source packages
  # (dpkg-source, autotools for libsodium) and Wine to run the tests
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  dpkg-dev xz-utils autoconf automake libtool wine wine64
  # fuzzing and sanitizers
  clang libclang-rt-14-dev
  # tools used by tests and benchmarks
  xvfb xauth xdotool openbox x11-utils imagemagick
  nginx-light webkit2gtk-driver curl zip unzip libarchive-tools openssl procps minisign
  python3
  # the program folder's menu entry (install-desktop-entry.sh) and its check
  xdg-utils desktop-file-utils
  # fonts so Chinese texts render
  fonts-wqy-zenhei fonts-dejavu-core
)

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${PACKAGES[@]}"
