# Cross build for 64-bit Windows with Debian's mingw-w64, posix threads variant
# (std::thread and std::mutex need it): g++-mingw-w64-x86-64-posix and
# mingw-w64-tools. Selected by the preset "windows" (CMakePresets.json).
#
# The libraries Debian does not ship for mingw are built by
# scripts/build-win-deps.sh into QUILLORY_WIN_DEPS_PREFIX (default: the build
# folder's deps/prefix); zlib comes from Debian's libz-mingw-w64-dev.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLORY_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLORY_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLORY_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLORY_MINGW_HOST}-windres)

if(NOT QUILLORY_WIN_DEPS_PREFIX)
  set(QUILLORY_WIN_DEPS_PREFIX ${CMAKE_BINARY_DIR}/deps/prefix)
endif()
set(QUILLORY_WIN_DEPS_PREFIX ${QUILLORY_WIN_DEPS_PREFIX} CACHE PATH
    "Prefix of the libraries scripts/build-win-deps.sh built for Windows")

# Libraries, headers and packages only from the mingw sysroot and the prefix;
# programs run at build time are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLORY_MINGW_HOST} ${QUILLORY_WIN_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config answers for the target (its search path: cmake/QuilloryWindows.cmake).
set(PKG_CONFIG_EXECUTABLE ${QUILLORY_MINGW_HOST}-pkg-config CACHE FILEPATH "pkg-config for the target")

# Everything linked statically (libgcc, libstdc++, winpthread, zlib, the
# prefix's libraries), so that an .exe runs under Wine or on a Windows machine
# with no DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)
