# What the Windows build (cmake/toolchain-mingw64.cmake) differs in: the core,
# the tools and their tests are built; the window host (GTK, WebKit) is not,
# and neither are libcurl and OpenSSL: the Win32 backend downloads over WinINet
# and SHA-256 comes from libsodium. The other libraries are found as on Linux,
# through pkg-config and CMake, in the prefix that scripts/build-win-deps.sh
# fills from Debian's source packages.
if(NOT EXISTS ${QUILLORY_WIN_DEPS_PREFIX}/lib/pkgconfig/minizip.pc)
  message(FATAL_ERROR "No Windows libraries in ${QUILLORY_WIN_DEPS_PREFIX}: "
                      "run scripts/build-win-deps.sh ${CMAKE_BINARY_DIR} first")
endif()

# pkg-config answers from the prefix's .pc files, then the mingw sysroot's
# (zlib). Set here rather than in the toolchain file, which try_compile reads
# again from another folder: the environment would keep that folder's value.
set(ENV{PKG_CONFIG_LIBDIR}
    "${QUILLORY_WIN_DEPS_PREFIX}/lib/pkgconfig:/usr/${QUILLORY_MINGW_HOST}/lib/pkgconfig")

# Wide-character Win32 API everywhere; <windows.h> without the min/max macros
# (they break std::min) and without the old winsock.h (it clashes with winsock2.h).
# Windows 7 is the oldest system the backend calls into.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)

# The system libraries of the Win32 backend of src/platform.
add_library(quillory_win32_system INTERFACE)
target_link_libraries(quillory_win32_system INTERFACE
  ws2_32     # the content server's sockets
  wininet    # downloads and the connection check
  shlwapi    # path helpers
  shell32    # ShellExecuteW, known folders
  advapi32)  # the registry

# Test programs are listed by running them under Wine when CTest starts, not
# after each build: building needs no Wine. See scripts/test-windows.sh.
set(QUILLORY_TEST_DISCOVERY_MODE PRE_TEST)
