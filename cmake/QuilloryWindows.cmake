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
  advapi32   # the registry
  ole32)     # COM set-up before ShellExecuteW

# Test programs run under Wine (wine64 and wineserver of Debian's wine64),
# through a script that gives them the build folder's prefix. They are listed
# by running them when CTest starts, not after each build: building needs no
# Wine. scripts/test-windows.sh makes the prefix before CTest runs.
find_program(QUILLORY_WINE64 wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(QUILLORY_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine
             NO_CMAKE_FIND_ROOT_PATH)
if(QUILLORY_WINE64 AND QUILLORY_WINESERVER)
  set(QUILLORY_WINE_PREFIX ${PROJECT_BINARY_DIR}/wine)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${PROJECT_BINARY_DIR}/wine-run.sh
                 @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                 GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run.sh)
endif()
set(QUILLORY_TEST_DISCOVERY_MODE PRE_TEST)

# Every executable carries the version resource and the manifest (UTF-8 as
# its ANSI code page, so that the platform layer's UTF-8 names open through
# the C library too): added once every target is defined, so that no
# executable of any folder goes without.
enable_language(RC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/quillory.rc.in
               ${PROJECT_BINARY_DIR}/quillory.rc @ONLY)

function(quillory_executables_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  set(found)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    quillory_executables_below(${subdir} below)
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

function(quillory_add_windows_resources)
  quillory_executables_below(${PROJECT_SOURCE_DIR} executables)
  foreach(target IN LISTS executables)
    target_sources(${target} PRIVATE ${PROJECT_BINARY_DIR}/quillory.rc)
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL quillory_add_windows_resources)
