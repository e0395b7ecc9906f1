#!/usr/bin/env bash
# Builds for Windows (x86_64-w64-mingw32, static) the libraries the core needs
# that Debian does not ship for mingw: minizip, TinyXML, libsodium, libdeflate
# and GoogleTest/GoogleMock. Each comes from Debian's own source package of the
# release this machine runs, fetched with `apt-get source` from the mirror the
# machine already uses, with Debian's patches (security fixes among them)
# applied by dpkg-source. zlib comes from Debian's libz-mingw-w64-dev.
#
#   scripts/build-win-deps.sh [BUILD_DIR]      (default: build-win)
#
# Installs into BUILD_DIR/deps/prefix; a library already built there from the
# same source version is not built again, so a second run takes no time.
# Needs no root: apt runs on a private state folder under BUILD_DIR/deps/apt.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=$(realpath -m "${1:-build-win}")
DEPS="$BUILD_DIR/deps"
PREFIX="$DEPS/prefix"
SRC="$DEPS/src"
APT_DIR="$DEPS/apt"
HOST=x86_64-w64-mingw32
JOBS=$(nproc)
# Every library in the order built: Debian source package name, build function.
LIBRARIES=(minizip:build_minizip tinyxml:build_tinyxml libsodium:build_libsodium
           libdeflate:build_libdeflate googletest:build_googletest)

log() { echo "build-win-deps: $*" >&2; }

# --- Sources ---------------------------------------------------------------

# deb-src entries for the Debian suites of this release among the machine's
# own apt sources (same mirrors, same keys); other repositories are left out.
write_source_entries() {
  local codename
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  mkdir -p "$APT_DIR/sources.list.d"
  local parts=(/etc/apt/sources.list.d/*.sources)
  awk -v codename="$codename" '
    function flush() {
      if (para != "" && has_deb && suite_ok && enabled != "no") print para "\n"
      para = ""; has_deb = 0; suite_ok = 0; enabled = ""
    }
    /^#/ { next }
    /^[ \t]*$/ { flush(); next }
    {
      key = tolower($1); line = $0
      if (key == "types:") {
        for (i = 2; i <= NF; i++) if ($i == "deb") has_deb = 1
        line = "Types: deb-src"
      }
      if (key == "enabled:") enabled = tolower($2)
      if (key == "suites:")
        for (i = 2; i <= NF; i++) if ($i ~ ("^" codename "(-[a-z]+)?$")) suite_ok = 1
      para = para (para == "" ? "" : "\n") line
    }
    END { flush() }
  ' $( [ -e "${parts[0]}" ] && printf '%s\n' "${parts[@]}" ) /dev/null \
    > "$APT_DIR/sources.list.d/debian-src.sources"
  # One-line entries: "deb [options] URI SUITE COMPONENTS...".
  { cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true; } |
    awk -v codename="$codename" '
      $1 == "deb" {
        suite = ($2 ~ /^\[/) ? "" : $3
        for (i = 2; i <= NF; i++) if ($i ~ /\]$/) { suite = $(i + 2); break }
        if (suite ~ ("^" codename "(-[a-z]+)?$")) { $1 = "deb-src"; print }
      }' > "$APT_DIR/sources.list.d/debian-src.list"
  if ! grep -q . "$APT_DIR/sources.list.d/debian-src.sources" \
              "$APT_DIR/sources.list.d/debian-src.list"; then
    log "no Debian $codename entry in the machine's apt sources"; exit 1
  fi
}

APT_OPTIONS=()
prepare_apt() {
  [ ${#APT_OPTIONS[@]} -gt 0 ] && return
  write_source_entries
  mkdir -p "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial"
  APT_OPTIONS=(-o "Dir::Etc::SourceList=/dev/null"
               -o "Dir::Etc::SourceParts=$APT_DIR/sources.list.d"
               -o "Dir::State::Lists=$APT_DIR/lists"
               -o "Dir::Cache=$APT_DIR/cache"
               -o "Debug::NoLocking=1"
               -o "APT::Sandbox::User=$(id -un)")
  log "reading the Debian source indices"
  apt-get "${APT_OPTIONS[@]}" -qq update
}

# Newest version of source package $1 in the machine's Debian suites.
source_version() {
  apt-cache "${APT_OPTIONS[@]}" showsrc --only-source "$1" |
    awk '$1 == "Version:" { print $2 }' | sort -V | tail -n 1
}

# Unpacks source package $1 at version $2 into $SRC; prints its folder.
fetch_source() {
  local package=$1 version=$2 upstream
  upstream=${version#*:}; upstream=${upstream%-*}
  local folder="$SRC/$package-$upstream"
  rm -rf "$folder" "$SRC/$package"_*
  mkdir -p "$SRC"
  log "fetching $package $version"
  (cd "$SRC" && apt-get "${APT_OPTIONS[@]}" -qq source --only-source "$package=$version" \
     >/dev/null)
  [ -d "$folder" ] || { log "apt-get source did not unpack $folder"; exit 1; }
  echo "$folder"
}

# --- Builds (each runs in its unpacked source folder) -----------------------

# The posix threads variant of the compilers, as the project itself uses.
CC_WIN=$HOST-gcc-posix
CXX_WIN=$HOST-g++-posix
CROSS_ENV=(CC=$CC_WIN CXX=$CXX_WIN AR=$HOST-ar RANLIB=$HOST-ranlib)
CFLAGS_WIN="-O2"

# minizip: the zip/unzip layer over zlib, with Windows file I/O (iowin32),
# the files Debian's own makefile puts in the library. Its warnings are
# upstream's and the same on Linux.
build_minizip() {
  local objects=()
  for file in ioapi unzip zip mztools iowin32; do
    $CC_WIN $CFLAGS_WIN -w -c "$file.c" -o "$file.o"
    objects+=("$file.o")
  done
  $HOST-ar rcs libminizip.a "${objects[@]}"
  install -d "$PREFIX/include/minizip" "$PREFIX/lib/pkgconfig"
  install -m 644 ioapi.h unzip.h zip.h mztools.h iowin32.h crypt.h "$PREFIX/include/minizip"
  install -m 644 libminizip.a "$PREFIX/lib"
  # Included as <minizip/unzip.h>, as on Linux.
  write_pc minizip "$upstream" "-I\${includedir}" "-lminizip" "Requires.private: zlib"
}

# tinyxml: four sources; the project uses its std::string interface.
build_tinyxml() {
  local objects=()
  for file in tinyxml tinystr tinyxmlerror tinyxmlparser; do
    $CXX_WIN $CFLAGS_WIN -DTIXML_USE_STL -c "$file.cpp" -o "$file.o"
    objects+=("$file.o")
  done
  $HOST-ar rcs libtinyxml.a "${objects[@]}"
  install -d "$PREFIX/include" "$PREFIX/lib"
  install -m 644 tinyxml.h tinystr.h "$PREFIX/include"
  install -m 644 libtinyxml.a "$PREFIX/lib"
}

# The source package carries no configure script: Debian makes it with
# autoreconf as well.
build_libsodium() {
  autoreconf -fi
  ./configure --host=$HOST --prefix="$PREFIX" --disable-shared --enable-static \
    --disable-dependency-tracking CFLAGS="$CFLAGS_WIN"
  make -j "$JOBS"
  make install
  # This install is static only, and sodium.h declares its functions as DLL
  # imports unless told otherwise.
  sed -i 's/^Cflags:.*/& -DSODIUM_STATIC/' "$PREFIX/lib/pkgconfig/libsodium.pc"
}

# libdeflate's own makefile names the static library for MSVC; it is an ar
# archive all the same.
build_libdeflate() {
  make -j "$JOBS" CC=$CC_WIN AR=$HOST-ar CFLAGS="$CFLAGS_WIN" libdeflatestatic.lib
  install -d "$PREFIX/include" "$PREFIX/lib/pkgconfig"
  install -m 644 libdeflate.h "$PREFIX/include"
  install -m 644 libdeflatestatic.lib "$PREFIX/lib/libdeflate.a"
  write_pc libdeflate "$upstream" "-I\${includedir}" "-ldeflate"
}

build_googletest() {
  cmake_build -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=ON
}

# CMake projects: a static release build installed into the prefix.
cmake_build() {
  cmake -S . -B _build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DQUILLORY_WIN_DEPS_PREFIX="$PREFIX" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DBUILD_SHARED_LIBS=OFF "$@"
  cmake --build _build -j "$JOBS"
  cmake --install _build
}

# write_pc NAME VERSION CFLAGS LIBS [EXTRA_LINE]
write_pc() {
  cat > "$PREFIX/lib/pkgconfig/$1.pc" <<EOF
prefix=$PREFIX
includedir=\${prefix}/include
libdir=\${prefix}/lib

Name: $1
Description: $1 built for $HOST from Debian's source package
Version: $2
Cflags: $3
Libs: -L\${libdir} $4
${5:-}
EOF
}

# --- Main --------------------------------------------------------------------

TOOLCHAIN=$(realpath cmake/toolchain-mingw64.cmake)

main() {
  mkdir -p "$PREFIX"
  local entry package builder stamp version folder
  for entry in "${LIBRARIES[@]}"; do
    package=${entry%%:*}; builder=${entry#*:}
    stamp="$PREFIX/.built-$package"
    # A library is built again only when Debian's version moved on; the
    # indices are read at most once per run, and not at all when every
    # library is there.
    if [ -f "$stamp" ] && [ -z "${QUILLORY_DEPS_REFRESH:-}" ]; then continue; fi
    prepare_apt
    version=$(source_version "$package")
    [ -n "$version" ] || { log "no source package $package"; exit 1; }
    if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ]; then continue; fi
    folder=$(fetch_source "$package" "$version")
    upstream=${version#*:}; upstream=${upstream%-*}
    log "building $package $version (log: $DEPS/log/$package.log)"
    mkdir -p "$DEPS/log"
    if ! (cd "$folder" && export "${CROSS_ENV[@]}" && "$builder") >"$DEPS/log/$package.log" 2>&1
    then
      tail -n 40 "$DEPS/log/$package.log" >&2
      log "building $package failed"; exit 1
    fi
    echo "$version" > "$stamp"
  done
  log "libraries in $PREFIX"
}

main
